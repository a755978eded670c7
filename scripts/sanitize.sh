#!/usr/bin/env bash
# Builds the `sanitize` preset (build-sanitize/, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs the whole test suite under it. Any
# sanitizer report stops the process that made it, so its test fails, and
# the script exits non-zero.
#
#   scripts/sanitize.sh [ctest arguments, e.g. -R Reliability]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/configure.sh sanitize
cmake --build --preset sanitize
# Child processes the tests start (SpringBoard, Preferences, launchd, simdevice)
# inherit these.
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1}
# Leaks inside system libraries (fontconfig's process-long cache) are listed in
# scripts/lsan.supp; anything else leaked fails the test.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:abort_on_error=1:print_stacktrace=1}
ctest --preset sanitize -j"${PX_JOBS:-2}" "$@"
