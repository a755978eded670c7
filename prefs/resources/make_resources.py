#!/usr/bin/env python3
"""Writes the bundle's specifier lists, Info.plist, the PreferenceLoader entry
and the three images into OUT_DIR, then MANIFEST (OUT_DIR/manifest.txt), the
list of what it wrote, from which the build stages the bundle. Run by the
build:

    make_resources.py TABLES.json OUT_DIR

TABLES.json is written by px_resource_tables from the C++ tables the bundle
and the tweak compile against (the settings schema and its panes, the shared
names of shared/names.h, what Data Sharing sends); the lists take those
names and texts from it rather than repeating them here."""
import json, os, plistlib, struct, sys, zlib, math

if len(sys.argv) != 3:
    sys.exit("usage: make_resources.py TABLES.json OUT_DIR")
with open(sys.argv[1], encoding="utf-8") as f:
    TABLES = json.load(f)
os.makedirs(sys.argv[2], exist_ok=True)
os.chdir(sys.argv[2])

NOTE = TABLES["names"]["settings_changed_notification"]
PANES = TABLES["panes"]
# The Settings URL opens the root entry by its label ("prefs:root=<label>").
URL_PREFIX = "prefs:root="
if not TABLES["names"]["settings_url"].startswith(URL_PREFIX):
    sys.exit(f"make_resources.py: the settings URL does not start with {URL_PREFIX!r}")
ROOT_LABEL = TABLES["names"]["settings_url"][len(URL_PREFIX):]

# What is written, for the manifest: (where it goes, file name).
WRITTEN = []

def write_file(name, data, where="bundle"):
    with open(name, "wb") as f:
        f.write(data)
    WRITTEN.append((where, name))

def group(label="", **extra):
    return dict(cell="PSGroupCell", label=label, **extra)

SETTINGS = {s["key"]: s for s in TABLES["settings"]}
PLACED = {}

def setting(label, key):
    """An editable row: its cell, default (and range or choices) come from the
    settings schema; the key must be one of the schema's, placed once."""
    if key not in SETTINGS:
        sys.exit(f"make_resources.py: {key!r} is not in the settings schema")
    if key in PLACED:
        sys.exit(f"make_resources.py: {key!r} has two rows")
    s = SETTINGS[key]
    PLACED[key] = CURRENT_LIST
    row = dict(label=label, key=key, default=s["default"], PostNotification=NOTE)
    if "choices" in s:
        row.update(cell="PSSegmentCell", validValues=[c["value"] for c in s["choices"]],
                   validTitles=[c["title"] for c in s["choices"]])
    elif s["type"] == "real":
        row.update(cell="PSSliderCell", min=s["min"], max=s["max"])
    elif s["type"] == "boolean":
        row.update(cell="PSSwitchCell")
    else:
        sys.exit(f"make_resources.py: no row for {key!r} of type {s['type']}")
    return row

def rows_of(name, make):
    global CURRENT_LIST
    CURRENT_LIST = name
    return make()

CURRENT_LIST = None

def value(label, getter):
    return dict(cell="PSTitleValueCell", label=label, get=getter)

def link(label, detail):
    return dict(cell="PSLinkCell", label=label, detail=detail, isController=True)

def button(label, action):
    return dict(cell="PSButtonCell", label=label, action=action)

def chart(label, selector):  # a row drawn by PylonexPro2ChartCell with the pane's chart
    return dict(cell="PSStaticTextCell", label=label, cellClass="PylonexPro2ChartCell", chart=selector)

lists = {
    "PylonexPro2Prefs": dict(title=ROOT_LABEL, items=[
        group(headerCellClass="PylonexPro2TitleCell"),
        group("Battery"),
        link("Battery Data", "BatteryData"),
        link("Cable Info", "CableInfo"),
        link("History", "History"),
        group("Options"),
        link("Power Saving Mode", PANES["power_saving"]),
        link("Info Popup", PANES["info_popup"]),
        link("Advanced Options", PANES["advanced_options"]),
        group("Statistics"),
        link("Data Sharing", "DataSharing"),
        group("Developer", footerText="PylonexPro2 by zelmoraq"),
        button("Follow @zelmoraq", "Twitter:"),
    ]),
    # Fully Charged comes before Actual Max Capacity: it turns battery
    # monitoring on, so the maximum is recorded from the real level.
    "Battery Data": dict(title="Battery Data", items=[
        group("Capacity"),
        value("Current Capacity", "RawCapacity:"),
        value("Design Capacity", "DesignCapacity:"),
        value("Fully Charged", "fullyCharged:"),
        value("Actual Max Capacity", "ActualMaxCapacity:"),
        value("Lost Capacity", "LostCapacity:"),
        value("Cycle Count", "CycleCount:"),
        group("Time Left", footerText="At the present use, from the last half hour of the battery's history."),
        value("Time to Empty", "TimeToEmpty:"),
        value("Time to Full", "TimeToFull:"),
        group("Battery"),
        value("Temperature", "Temperature:"),
        value("Boot Voltage", "BootVoltage:"),
        value("Chemistry ID", "CHM:"),
        value("Flags", "Flags:"),
        value("Qmax Cell 0", "QCell:"),
        group("Identifiers"),
        value("Model", "Model:"),
        value("Serial", "Serial:"),
        value("IOProviderClass", "IOProviderClass:"),
        value("IOProbeScore", "IOProbeScore:"),
        value("Last Update", "UpdateTime:"),
    ]),
    "Cable Info": dict(title="Cable Info", items=[
        group("Link"),
        value("Charger", "Link:"),
        group("Adapter"),
        value("Amperage", "Amperage:"),
        value("Description", "Description:"),
        value("Family Code", "FamilyCode:"),
        value("PMU Configuration", "PMUConf:"),
        value("Watts", "Watts:"),
    ]),
    PANES["advanced_options"]: rows_of(PANES["advanced_options"], lambda: dict(title="Advanced Options", items=[
        group("Status Bar"),
        setting("Capacity In Status Bar", "statusbarMah"),
        setting("Time Left In Status Bar", "statusbarTime"),
        setting("Clock", "timemode"),
        group("Battery", footerText="Temperatures are shown in Celsius unless Fahrenheit is on. The charge alarm "
                                    "speaks once each time the charger is connected, when the charge reaches its level."),
        setting("Full Charge Alert", "fullChargeWarning"),
        setting("Charge Alarm", "chargeAlarm"),
        setting("Charge Alarm Level", "chargeAlarmLevel"),
        setting("Fahrenheit", "Fahrenheit"),
        group("Diagnostics"),
        setting("Debug Log", "debugMode"),
        group("History", footerText="The battery's history stays on this device."),
        setting("Keep History", "keepHistory"),
        button("Clear History", "ClearHistory:"),
    ])),
    PANES["info_popup"]: rows_of(PANES["info_popup"], lambda: dict(title="Info Popup", items=[
        group("Lines shown", footerText="Bind the popup to a gesture in Activator."),
        setting("Current Capacity", "capacityPOP"),
        setting("Design Capacity", "designCapacityPOP"),
        setting("Cycle Count", "cyclePOP"),
        setting("Serial", "serialPOP"),
        setting("Time Left", "timePOP"),
        setting("Charger Watts", "wattsPOP"),
        setting("Charger Amperage", "amperagePOP"),
    ])),
    PANES["power_saving"]: rows_of(PANES["power_saving"], lambda: dict(title="Power Saving Mode", items=[
        group("Trigger"),
        setting("Enabled", "enablePSM"),
        setting("Battery Percentage", "percentagePSM"),
        group("Actions"),
        setting("Wi-Fi Off", "wifiPSM"),
        setting("Location Services Off", "locationPSM"),
        setting("Airplane Mode On", "airplanePSM"),
        setting("Bluetooth Off", "bluetoothPSM"),
        setting("Dim Screen", "dimPSM"),
        setting("Brightness", "dimLevelPSM"),
        setting("Vibrate", "vibratePSM"),
        setting("Banner", "notificationPSM"),
    ])),
    "History": dict(title="History", items=[
        group("Health"),
        value("Health Now", "HealthNow:"),
        value("30 Days Ago", "Health30DaysAgo:"),
        value("365 Days Ago", "Health365DaysAgo:"),
        value("Cycles per Week", "CyclesPerWeek:"),
        value("Last Full Charge", "LastFullCharge:"),
        group("Forecast", footerText="When health (full-charge capacity against design) reaches 80 %, "
                                     "fitted to the cycles so far; the range is the fit's uncertainty."),
        value("80 % Health", "Forecast:"),
        group("Charging"),
        dict(link("Charge Sessions", "HistorySessions"), get="SessionCount:"),
        group("Battery Level"),
        chart("Last 24 Hours", "LevelChart:"),
        group("Health Over Time"),
        chart("All Time", "HealthChart:"),
    ]),
    "History Sessions": dict(title="Charge Sessions", items=[
        group("Last 20 Sessions", footerText="Plugged in → unplugged: level, charge added, "
                                             "the adapter's peak watts and how long it took."),
    ]),
    "Data Sharing": dict(title="Data Sharing", items=[
        group("Statistics", footerText=TABLES["data_sharing"]["footer"]),
        value("Last Sync", "LastSync:"),
        button("Send Data", "SendData:"),
        button("See Statistics", "SeeData:"),
    ]),
}

# Every setting of the schema has its row, in the pane the schema names.
for key, s in SETTINGS.items():
    if PLACED.get(key) != s["pane"]:
        sys.exit(f"make_resources.py: {key!r} belongs in {s['pane']}, placed in {PLACED.get(key)}")

for name, content in lists.items():
    write_file(name + ".plist", plistlib.dumps(content))

write_file("Info.plist", plistlib.dumps(dict(
        CFBundleDevelopmentRegion="English", CFBundleExecutable="PylonexPro2Prefs",
        CFBundleIdentifier="com.zelmoraq.PylonexPro2Prefs", CFBundleInfoDictionaryVersion="6.0",
        CFBundlePackageType="BNDL", CFBundleShortVersionString="1.0.0", CFBundleVersion="1.0",
        NSPrincipalClass="PylonexPro2PrefsListController",
        PXConnectivityProbeURL="http://probe.pylonex.example/",
        PXUploadHost="stats.pylonex.example",
        PXStatisticsSiteURL="http://stats.pylonex.example/",
        PXSocialWebHost="twitter.com")))

ICON = "PylonexPro2min.png"
# The PreferenceLoader entry is staged beside the bundle, not in it.
write_file("entry.plist", plistlib.dumps(dict(entry=dict(bundle="PylonexPro2Prefs", cell="PSLinkCell",
                                  detail="PylonexPro2PrefsListController", isController=True,
                                  label=ROOT_LABEL, icon=ICON))), where="loader")

def png(path, w, h, pixel):
    raw = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(w)) for y in range(h))
    def chunk(t, d):
        return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d) & 0xffffffff)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    write_file(path, data)

def heart(x, y):  # a red heart on transparency, 44 x 44 (22 points at 2x)
    u, v = (x - 21.5) / 16.0, (21.0 - y) / 16.0
    inside = (u * u + v * v - 1) ** 3 - u * u * v ** 3 <= 0
    return (222, 45, 70, 255) if inside else (0, 0, 0, 0)

def respring(x, y):  # an open ring with an arrow head, 44 x 44
    dx, dy = x - 21.5, y - 21.5
    r, a = math.hypot(dx, dy), math.degrees(math.atan2(dy, dx)) % 360
    ring = 11 <= r <= 16 and not (300 <= a <= 340)
    head = 0 <= x - 30 <= 10 and 0 <= y - 4 <= 10 and (x - 30) + (y - 4) <= 10
    return (40, 120, 220, 255) if ring or head else (0, 0, 0, 0)

def logo(x, y):  # a battery outline, three-quarters charged, 120 x 44
    body = 8 <= x <= 104 and 6 <= y <= 37
    inner = 12 <= x <= 100 and 10 <= y <= 33
    cap = 105 <= x <= 112 and 15 <= y <= 28
    charge = 14 <= x <= 80 and 12 <= y <= 31
    if charge:
        return (76, 200, 90, 255)
    if (body and not inner) or cap:
        return (30, 30, 30, 255)
    return (0, 0, 0, 0)

png("love.png", 44, 44, heart)
png("Respring.png", 44, 44, respring)
png(ICON, 120, 44, logo)

# Last, and whole or not at all: its presence says every file above is written.
with open("manifest.txt.part", "w", encoding="utf-8") as f:
    f.write("".join(f"{where} {name}\n" for where, name in WRITTEN))
os.replace("manifest.txt.part", "manifest.txt")
