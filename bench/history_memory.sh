#!/usr/bin/env bash
# The history readers' peak memory and wall time over a crafted store:
# ROWS samples in the last 24 hours (3 000 000 unless given) and one a day
# for a year before. Each reader runs in its own process under /usr/bin/time.
#   bench/history_memory.sh [BUILD_BIN_DIR] [ROWS]
set -euo pipefail
bin=${1:-build/bin}
rows=${2:-3000000}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/var/mobile/Library"
start=$(date +%s.%N)
"$bin/px_history_memory" fill "$root" "$rows"
printf 'store: %s rows, %s MiB, made in %.1f s\n' "$rows" \
  "$(($(stat -c %s "$root/var/mobile/Library/PylonexHistory.sqlite") >> 20))" "$(echo "$(date +%s.%N) - $start" | bc)"
measure() {
  local label=$1
  shift
  /usr/bin/time -v "$@" >"$root/out" 2>"$root/time" || { cat "$root/time" >&2; return 1; }
  local rss wall cpu
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$root/time")
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$root/time")
  cpu=$(awk -F': ' '/User time|System time/ {s += $2} END {printf "%.1f", s}' "$root/time")
  printf '%-28s | peak RSS %6.1f MiB | wall %s | CPU %s s | output %s MiB\n' "$label" "$(echo "$rss / 1024" | bc -l)" \
    "$wall" "$cpu" "$(($(stat -c %s "$root/out") >> 20))"
}
measure "history --json" "$bin/simdevice" --root "$root" history --json
measure "history --csv" "$bin/simdevice" --root "$root" history --csv
measure "history sessions --json" "$bin/simdevice" --root "$root" history sessions --json
measure "history forecast --json" "$bin/simdevice" --root "$root" history forecast --json
measure "History pane (read_history)" "$bin/px_history_memory" pane "$root"
