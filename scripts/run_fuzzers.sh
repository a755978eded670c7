#!/usr/bin/env bash
# Runs the fuzz targets the build made: each is a test labelled "fuzz" in CTest
# (a bounded run over its seed corpus), so they run the same way everywhere.
set -euo pipefail
build=${1:-build}
if [ ! -f fuzz/CMakeLists.txt ]; then
  echo "fuzz: there are no fuzz targets yet (fuzz/CMakeLists.txt is missing)"
  exit 0
fi
if ! ctest --test-dir "$build" -N -L fuzz | grep -q 'Total Tests: [1-9]'; then
  echo "fuzz: fuzz/ registers no CTest test labelled fuzz yet"
  exit 0
fi
ctest --test-dir "$build" -L fuzz --output-on-failure
