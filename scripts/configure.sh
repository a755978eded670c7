#!/usr/bin/env bash
# Configures a preset's build folder: scripts/configure.sh default|sanitize
#
# The presets build with Ninja. A folder configured by an older checkout with
# another generator keeps that generator in its cache, and CMake refuses to
# switch in place: such a cache is dropped first (its objects are rebuilt once).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$1
case "$preset" in
  sanitize) folder=build-sanitize ;;
  *) folder=build ;;
esac
if [ -f "$folder/CMakeCache.txt" ] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$folder/CMakeCache.txt"; then
  echo "configure: $folder was made with another generator; starting it again with Ninja" >&2
  rm -rf "$folder/CMakeCache.txt" "$folder/CMakeFiles"
fi
cmake --preset "$preset" >/dev/null
