#!/usr/bin/env bash
# Runs every benchmark executable the build made (bench/ targets named *bench*).
set -euo pipefail
build=${1:-build}
if [ ! -f bench/CMakeLists.txt ]; then
  echo "bench: there are no benchmarks yet (bench/CMakeLists.txt is missing)"
  exit 0
fi
mapfile -t benches < <(find "$build/bin" "$build/bench" -maxdepth 2 -type f -executable -name '*bench*' 2>/dev/null | sort -u)
if [ ${#benches[@]} -eq 0 ]; then
  echo "bench: bench/ builds no executable named *bench* yet"
  exit 0
fi
for b in "${benches[@]}"; do
  echo "== $b"
  "$b"
done
