#!/usr/bin/env bash
# The guided tour: a fresh device, the package installed, booted, and each
# feature shown by driving the device and reading back what it did — from its
# files, its log and its processes' status, never from canned text.
#
# DEVICE (default ./device) is the device root; SIMDEVICE the simdevice binary.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
SIMDEVICE=${SIMDEVICE:-$here/build/bin/simdevice}
DEVICE=${DEVICE:-$here/device}
STAGE=${STAGE:-$(dirname "$(dirname "$SIMDEVICE")")/stage}
export SIMDEVICE_ROOT=$DEVICE
sd() { "$SIMDEVICE" --root "$DEVICE" "$@"; }

bold=$'\e[1m' dim=$'\e[2m' off=$'\e[0m'
[ -t 1 ] || { bold=; dim=; off=; }
n=0
step() { n=$((n + 1)); printf '\n%s== %d. %s%s\n' "$bold" "$n" "$*" "$off"; }
run() { printf '%s$ simdevice %s%s\n' "$dim" "$*" "$off"; sd "$@"; }
note() { printf '   %s\n' "$*"; }

# Values read from the device's property lists (XML or binary).
plist_get() {  # FILE KEY...   prints the value at that key path, or (absent)
  python3 - "$@" <<'PY'
import plistlib, sys
path, keys = sys.argv[1], sys.argv[2:]
try:
    with open(path, 'rb') as f:
        v = plistlib.load(f)
except Exception:
    print('(no file)'); sys.exit()
for k in keys:
    v = v.get(k) if isinstance(v, dict) else None
print('(absent)' if v is None else v)
PY
}
status_get() {  # a Python expression over the status JSON `s`
  sd status --json | python3 -c "import json,sys; s=json.load(sys.stdin); print($1)"
}
data_file=$DEVICE/var/mobile/Library/PylonexData.plist
sb_defaults=$DEVICE/var/mobile/Library/Preferences/com.apple.springboard.plist
settings_file=$DEVICE/var/mobile/Library/Preferences/com.zelmoraq.PylonexPro2Prefs.plist
show_capture() {
  note "battery data file:  AppleRawCurrentCapacity=$(plist_get "$data_file" AppleRawCurrentCapacity)" \
       "CycleCount=$(plist_get "$data_file" CycleCount)  AdapterDetails.Watts=$(plist_get "$data_file" AdapterDetails Watts)"
  note "SpringBoard defaults: Capacity=$(plist_get "$sb_defaults" Capacity) DesignCapacity=$(plist_get "$sb_defaults" DesignCapacity)" \
       "CycleCount=$(plist_get "$sb_defaults" CycleCount) Serial=$(plist_get "$sb_defaults" Serial)" \
       "Watts=$(plist_get "$sb_defaults" Watts) Amperage=$(plist_get "$sb_defaults" Amperage)"
}

if [ ! -x "$SIMDEVICE" ]; then
  echo "demo: $SIMDEVICE is missing; run make demo (or build first)" >&2
  exit 1
fi

step "A fresh device at $DEVICE, the package installed, booted at 14:05"
run init --fresh || exit 1
if [ -d "$STAGE" ]; then run install "$STAGE" || exit 1; else note "(no staged package at $STAGE)"; fi
run boot --clock 14:05 || { echo "demo: the device did not boot; see $DEVICE/var/log/launchd.log" >&2; exit 1; }
note "tweaks loaded by SpringBoard: $(status_get "', '.join(s['tweaks']) or '(none)'")"

step "A battery broadcast, recorded by the tweak"
run battery 0.42 --state unplugged
show_capture
note "log: $(sd log | grep -c 'PylonexPro2 Stats') 'PylonexPro2 Stats' line(s) in the device's syslog"

step "A charger: AdapterDetails appears, and a hand-set key sticks"
run plug
run battery --set AdapterDetails.Watts=12
show_capture
note "hand-set keys stay through later changes until --unset or --reset:"
run battery --reset

step "The capacity clock in the status bar"
run tick 1 --reset
note "status bar reads: \"$(status_get "s['status_bar_time']")\""

step "The first full charge shows the alert once"
run battery 100% --state full
run alerts
run press 0

step "A setting changed by another process and reloaded by the running tweak"
python3 - "$settings_file" <<'PY'
import plistlib, sys
path = sys.argv[1]
try:
    with open(path, 'rb') as f: d = plistlib.load(f)
except Exception: d = {}
d['percentagePSM'] = 20.0
with open(path, 'wb') as f: plistlib.dump(d, f)
PY
note "wrote percentagePSM = 20 into the settings file"
run post com.zelmoraq.PylonexPro2Prefs/updatesettings
sleep 0.5
note "tweak log: $(sd log | grep 'PylonexPro2 Settings' | tail -n 1 | sed 's/.*PylonexPro2 Settings/PylonexPro2 Settings/' | cut -c1-150)"

step "The battery reaches 20 %: the power-saving actions"
run battery 20% --state unplugged
note "hardware: $(status_get "', '.join('{}={}'.format(k, s['hardware'][k]) for k in ('wifi','bluetooth','airplane','location','brightness','vibrations'))")"
note "banner: $(status_get "(s['banners'][-1]['title'] + ' / ' + s['banners'][-1]['message']) if s['banners'] else '(none)'")"

step "The info popup through an Activator event"
run activator com.zelmoraq.pylonexpro2
run alerts
run press 0

step "The first unlock greets the user; \"Open Settings\" opens the add-on's pane"
run unlock
run alerts
run press "Open Settings"
sleep 0.5
note "SpringBoard opened: $(status_get "', '.join(s['opened_urls']) or '(nothing)'")"

step "The Settings app's panes"
if [ "$(status_get "s['settings']['pid'] is not None")" = "True" ]; then
  run settings show
  run settings tap "Battery Data" && run settings show && run settings back
  run settings tap "Cable Info" && run settings show && run settings back

  step "A setting changed in the Settings app, reloaded at once by the running tweak"
  run settings tap "Advanced Options"
  run settings set "Fahrenheit" on
  run settings back
  run settings tap "Battery Data"
  note "Temperature row now: $(sd settings show --json | python3 -c "import json,sys; print(next((r.get('value') for r in json.load(sys.stdin)['rows'] if r.get('label')=='Temperature'), '?'))")"
  run settings back
  run settings tap "Power Saving Mode"
  run settings set "Battery Percentage" 15
  sleep 0.3
  note "settings file: percentagePSM=$(plist_get "$settings_file" percentagePSM)  Fahrenheit=$(plist_get "$settings_file" Fahrenheit)"
  note "SpringBoard's tweak reloaded: $(sd log | grep 'PylonexPro2 Settings' | tail -n 1 | grep -o 'percentagePSM = [0-9.]*')"
  run settings back

  step "Data Sharing against a local stand-in of the statistics service"
  stats_log=$(mktemp)
  coproc STATS { exec python3 "$here/scripts/stats_server.py" "$stats_log"; }
  read -r stats_port <&"${STATS[0]}"
  info=$DEVICE/Library/PreferenceBundles/PylonexPro2Prefs.bundle/Info.plist
  python3 - "$info" "$stats_port" <<'PY'
import plistlib, sys
path, port = sys.argv[1], sys.argv[2]
with open(path, 'rb') as f: d = plistlib.load(f)
d['PXConnectivityProbeURL'] = 'http://127.0.0.1:%s/' % port
d['PXUploadHost'] = '127.0.0.1:%s' % port
d['PXStatisticsSiteURL'] = 'http://127.0.0.1:%s/stats' % port
with open(path, 'wb') as f: plistlib.dump(d, f)
PY
  note "the installed bundle's Info.plist now points at http://127.0.0.1:$stats_port"
  run settings tap "Data Sharing"
  run settings tap "Send Data"
  run settings alerts
  run settings press OK
  run settings show
  note "the statistics service received:"
  sed 's/^/     /' "$stats_log"
  run settings tap "See Statistics"
  note "web views: $(status_get "', '.join(s['settings']['web_views']) or '(none)'")"
  kill "$STATS_PID" 2>/dev/null
  rm -f "$stats_log"
else
  note "(the Settings app is not open)"
fi

step "A respring: SpringBoard comes back with the tweak and the settings"
run respring
note "SpringBoard pid $(status_get "s['springboard']['pid']"), restarts $(status_get "s['springboard']['restarts']")," \
     "HasLaunchedOnce=$(plist_get "$sb_defaults" HasLaunchedOnce)"

step "The device's screen"
run watch --once

step "A battery that ages: three months in a minute, and the History pane"
# The load model under browsing drains 20 -> 90 % in about 13 hours, the 5 W
# charger fills it back in about an hour and a half: a session every 15
# hours, wearing 0.04 points a cycle (80 % after about 500 cycles). At
# 150000 times real time a real second is about 1.7 simulated days; every
# plug and unplug is read, so each charge session reads as the sim ran it.
aging="sim:cycle=20-90,usage=browse,speed=150000,wear=0.04%/cycle"
run shutdown
run boot --battery "$aging" || exit 1
run settings open prefs:root=PylonexPro2
run settings tap "Advanced Options"
run settings set "Debug Log" off
note "(a quieter log: the battery now broadcasts up to 50 times a second)"
run settings back
run settings tap History
# Until a month of history gives the month-ago row and a forecast (a minute at most).
history_ready() { sd settings show --json | python3 -c "
import json, sys
rows = {r['label']: r.get('value', '') for r in json.load(sys.stdin)['rows']}
sys.exit(0 if rows.get('80 % Health', '').startswith('80 % in about') and '%' in rows.get('30 Days Ago', '') else 1)"; }
for _ in $(seq 60); do
  history_ready && break
  sleep 1
done
run settings show
health=$(plist_get "$data_file" MaxCapacity)
design=$(plist_get "$data_file" DesignCapacity)
note "the model: $(python3 -c "h=100*$health/$design; print('health %.1f %%, wearing 0.04 points a cycle: 80 %% in %d cycles' % (h, (h-80)/0.04))" 2>/dev/null)"
note "the charts as the page fetches them:"
sd settings show --json | python3 -c "
import json, sys
for r in json.load(sys.stdin)['rows']:
    for v in r.get('views', []):
        if isinstance(v.get('image'), dict) and 'png_path' in v['image']:
            print('     %-14s %s%s' % (r['label'], sys.argv[1], v['image']['png_path']))" "$DEVICE"

step "Power you can see: what the phone draws by what it does, and the time left"
# At 600 times real time a reading comes every half second: the estimate needs
# a few that agree on the load (the aging battery above is too fast to follow).
run shutdown
run boot --battery "sim:level=80,speed=600" || exit 1
run usage video
sleep 3
run status
run history remaining
run usage idle
sleep 3
run history remaining
note "the same estimate is in the Battery Data pane (Time to Empty / Time to Full) and on the page"
run shutdown
run boot --battery "$aging" || exit 1

step "The device in a browser: simdevice web"
# Detached from this terminal; it records its process id under the device's
# /var/run/ like the device's other processes, so simdevice shutdown stops it.
web_log=$DEVICE/var/log/web.log
start_web() {
  setsid "$SIMDEVICE" --root "$DEVICE" web --port "$1" > "$web_log" 2>&1 < /dev/null &
  for _ in $(seq 100); do
    grep -q 'http://' "$web_log" 2>/dev/null && return 0
    kill -0 $! 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
if start_web "${WEB_PORT:-8765}" || start_web 0; then
  web_address=$(grep -o 'http://[^ ]*' "$web_log" | head -n 1)
  note "simdevice web serves the live page (pid $(cat "$DEVICE/var/run/web.pid" 2>/dev/null)):"
  note "  open ${bold}$web_address${off}"
else
  note "simdevice web did not start: $(cat "$web_log")"
fi

printf '\n%sThe device stays up. Try:%s\n' "$bold" "$off"
cat <<TXT
  export SIMDEVICE_ROOT=$DEVICE
  ${web_address:-$SIMDEVICE web}   # the phone in a browser
  $SIMDEVICE watch                     # live screen (Ctrl-C to leave)
  $SIMDEVICE battery 55% --state charging
  $SIMDEVICE activator com.zelmoraq.pylonexpro2 && $SIMDEVICE alerts
  $SIMDEVICE settings open prefs:root=PylonexPro2 && $SIMDEVICE settings show
  $SIMDEVICE status
  $SIMDEVICE shutdown                  # or: make shutdown
TXT
