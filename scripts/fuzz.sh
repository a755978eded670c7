#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/, ASan + UBSan) and runs
# each for SECONDS (default 60), starting from the committed seeds in
# fuzz/corpus/<target>/. New inputs collect in build-fuzz/corpus/<target>/;
# a crash is written to build-fuzz/crashes/<target>/ and fails the run. To
# keep a crash as a regression input, copy it into fuzz/corpus/<target>/ (the
# replay test in `make test` then runs it).
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
build=${PX_FUZZ_BUILD_DIR:-build-fuzz}
jobs=${PX_JOBS:-2}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
link="-fsanitize=address,undefined"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPX_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$link" -DCMAKE_SHARED_LINKER_FLAGS="$link" >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for d in fuzz/corpus/*/; do
    t=$(basename "$d")
    grep -q "entry_$t " fuzz/CMakeLists.txt && targets+=("$t")
  done
fi
build_targets=()
for t in "${targets[@]}"; do build_targets+=("fuzz_$t"); done
cmake --build "$build" -j"$jobs" --target "${build_targets[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
status=0
summary=()
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  crashes="$build/crashes/$t"
  mkdir -p "$work" "$crashes"
  log="$build/fuzz-$t.log"
  echo "== fuzz_$t for ${seconds}s"
  if "$build/bin/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
      -print_final_stats=1 -artifact_prefix="$crashes/" "$work" "fuzz/corpus/$t" >"$log" 2>&1; then
    result=ok
  else
    result="FAILED (see $log and $crashes/)"
    status=1
  fi
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')
  summary+=("$(printf '%-11s %8ss %12s execs  cov %-6s %s' "$t" "$seconds" "${execs:-?}" "${cov:-?}" "$result")")
done
echo
printf '%s\n' "${summary[@]}"
exit $status
