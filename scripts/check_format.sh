#!/usr/bin/env bash
# Fails when a tracked C or C++ file is not formatted as .clang-format says.
# The style is pinned to Debian's clang-format 14: other versions break lines
# differently, so a missing clang-format-14 is an error, not a skip.
set -euo pipefail
cd "$(dirname "$0")/.."
formatter=$(command -v clang-format-14 || true)
if [ -z "$formatter" ]; then
  echo "check_format: clang-format-14 is missing (apt-get install clang-format-14)" >&2
  exit 1
fi
unformatted=()
while IFS= read -r -d '' file; do
  "$formatter" --dry-run -Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done < <(git ls-files -z -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
if [ ${#unformatted[@]} -gt 0 ]; then
  printf 'check_format: not formatted (run clang-format-14 -i FILE):\n' >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi
echo "check_format: every tracked C/C++ file is formatted"
