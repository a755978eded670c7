#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/. Run again after changing it;
fuzzing runs add their own finds next to these."""
import os, plistlib, struct, json, shutil, glob

here = os.path.dirname(os.path.abspath(__file__))
corpus = os.path.join(here, "corpus")

def put(target, name, data):
    d = os.path.join(corpus, target)
    os.makedirs(d, exist_ok=True)
    if isinstance(data, str):
        data = data.encode()
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)

def bplist(objects, top=0, offset_size=None, ref_size=1, trailer_patch=None):
    """A binary property list from already-encoded objects."""
    body = b"bplist00"
    offsets = []
    for o in objects:
        offsets.append(len(body))
        body += o
    if offset_size is None:
        offset_size = 1 if len(body) < 256 else 2 if len(body) < 65536 else 4
    table = len(body)
    for off in offsets:
        body += off.to_bytes(offset_size, "big")
    fields = dict(offset_size=offset_size, ref_size=ref_size, count=len(objects), top=top, table=table)
    if trailer_patch:
        fields.update(trailer_patch)
    body += bytes(6) + bytes([fields["offset_size"], fields["ref_size"]])
    body += struct.pack(">QQQ", fields["count"], fields["top"], fields["table"])
    return body

def ascii(s):
    b = s if isinstance(s, bytes) else s.encode()
    assert len(b) < 15
    return bytes([0x50 | len(b)]) + b

def array(refs):
    assert len(refs) < 15
    return bytes([0xA0 | len(refs)]) + bytes(refs)

def dict_(keys, values):
    assert len(keys) < 15
    return bytes([0xD0 | len(keys)]) + bytes(keys) + bytes(values)

def date(t):
    return b"\x33" + struct.pack(">d", t)

def int8(n):
    return b"\x13" + struct.pack(">q", n)

status = {
    "AppleRawCurrentCapacity": 1500, "DesignCapacity": 1810, "CycleCount": 342, "Temperature": 3050,
    "Serial": "C01234567890", "IsCharging": True, "ExternalConnected": True, "FullyCharged": False,
    "Voltage": 4215, "InstantAmperage": -310, "MaxCapacity": 1620, "Model": "0001-A", "BootVoltage": 3900,
    "IOProviderClass": "AppleSmartBatteryManager", "IOProbeScore": 0, "UpdateTime": 1765432100,
    "AdapterDetails": {"Watts": 12, "Description": "pd charger", "Amperage": 2100, "FamilyCode": -536854523,
                       "PMUConfiguration": 2100},
    "BatteryData": {"QmaxCell0": 1620, "ChemID": 6301, "Flags": 0},
}
settings = {"enablePSM": True, "percentagePSM": 0.2, "dimLevelPSM": 0.3, "timemode": 2, "debugMode": False,
            "statusbarMah": True, "fullChargeWarning": 1, "wifiPSM": False}

# Property lists, both formats, and the crafted binaries the guard refuses.
put("plist", "status.xml", plistlib.dumps(status))
put("plist", "status.bplist", plistlib.dumps(status, fmt=plistlib.FMT_BINARY))
put("plist", "mixed.bplist", plistlib.dumps({"a": [1, 2.5, b"\0\1", "\u00e9\u4e2d", {"d": True}],
                                             "neg": -(2**63), "big": 2**63 - 1}, fmt=plistlib.FMT_BINARY))
put("plist", "array.xml", plistlib.dumps([1, "two", 3.0, False, {"k": []}]))
put("plist", "nested.xml", "<plist><array>" * 20 + "</array></plist>" * 20)
put("plist", "comment-closings.xml",
    "<plist version=\"1.0\"><array>" + "<!-- </array> -->" * 10 + "<array>" * 10 + "</array>" * 11 + "</plist>")
put("plist", "dates.xml", "<plist><array><date>2001-01-01T00:00:00Z</date><date>2068-12-31T23:59:59Z</date>"
    "<date>9999-12-31T23:59:59Z</date><date/></array></plist>")
put("plist", "entities.xml", "<plist><dict><key>a&amp;b</key><string>&#x10FFFF;&lt;&#65;</string></dict></plist>")
put("plist", "bad-utf8.xml", b"<plist><dict><key>k\xff</key><string>\xc3\x28\xed\xa0\x80</string></dict></plist>")
put("plist", "crafted-date-nan.bplist", bplist([array([1]), date(float("nan"))]))
put("plist", "crafted-date-huge.bplist", bplist([array([1]), date(1e300)]))
put("plist", "crafted-int64-min.bplist", bplist([array([1]), int8(-2**63)]))
put("plist", "crafted-offset-table-wraps.bplist",
    bplist([array([1]), ascii("x")], trailer_patch={"table": 2**64 - 16}))
put("plist", "crafted-count-overflow.bplist",
    bplist([array([1]), ascii("x")], trailer_patch={"count": 2**62 + 1, "offset_size": 4}))
put("plist", "crafted-offset-in-trailer.bplist", bplist([array([1]), ascii("x")], offset_size=1)[:-34] +
    bytes([9, 250]) + bplist([array([1]), ascii("x")], offset_size=1)[-32:])
put("plist", "crafted-cycle.bplist", bplist([array([0])]))
put("plist", "crafted-int-key.bplist", bplist([dict_([1], [2]), b"\x10\x05", ascii("v")]))
# Each array holds the next one twice: 40 small objects expand to 2^40 values in libplist.
chain = [array([i + 1, i + 1]) for i in range(40)] + [ascii("leaf")]
put("plist", "crafted-shared-refs.bplist", bplist(chain))
put("plist", "crafted-utf16-surrogate.bplist", bplist([array([1]), b"\x62\xd8\x00\x00\x41"]))
put("plist", "crafted-ascii-high-bytes.bplist", bplist([array([1]), b"\x53\xff\xfe\x80"]))
# libplist asserts that a string's length equals its strlen: a NUL aborts the reader.
put("plist", "crafted-nul-in-string.bplist", bplist([array([1]), b"\x53a\x00b"]))
put("plist", "crafted-nul-in-key.bplist", bplist([dict_([1], [2]), b"\x52k\x00", ascii("v")]))
put("plist", "crafted-nul-in-utf16.bplist", bplist([array([1]), b"\x62\x00A\x00\x00"]))
put("plist", "nul-in-string.xml", b"<plist><dict><key>k</key><string>a\x00b</string></dict></plist>")

# Control-socket lines: requests and replies, good and bad.
for i, line in enumerate([
        '["status"]', '["press","1","--alert","2"]', '["clock","2026-12-08 01:00"]', '[]', '[1]',
        '["a",null]', '{"status":0,"out":"{}","err":""}', '{"status":"0"}', '{"status":1e99}',
        '{"out":5}', '{"status":-2147483649}', '[' * 2000, '"\\ud800"', '["\\u0000"]', 'null', '']):
    put("control", "line-%02d" % i, line)

# Specifier lists: the bundle's own, and broken variants.
os.makedirs(os.path.join(corpus, "specifiers"), exist_ok=True)
for p in glob.glob(os.path.join(here, "..", "prefs", "resources", "*.plist")):
    name = os.path.basename(p)
    if name in ("Info.plist", "entry.plist"):
        continue
    shutil.copy(p, os.path.join(corpus, "specifiers", name.replace(" ", "_")))
put("specifiers", "items-not-array.xml", plistlib.dumps({"title": 5, "items": "x"}))
put("specifiers", "items-wrong-types.xml", plistlib.dumps({"title": "T", "items": [1, "s", [], {"cell": 7, "get": 3,
    "label": [], "key": {}, "default": [1], "validValues": "x", "validTitles": 5, "min": "a", "max": {}}]}))

# Settings files.
put("settings", "settings.xml", plistlib.dumps(settings))
put("settings", "settings.bplist", plistlib.dumps(settings, fmt=plistlib.FMT_BINARY))
put("settings", "wrong-types.xml", plistlib.dumps({k: [v] for k, v in settings.items()}))
put("settings", "strings.xml", plistlib.dumps({k: str(v) for k, v in settings.items()}))
put("settings", "extremes.xml", plistlib.dumps({"percentagePSM": 1e308, "dimLevelPSM": -1e308, "timemode": 2**63 - 1,
                                                "fullChargeWarning": -2**63, "enablePSM": "YES"}))
put("settings", "array-root.xml", plistlib.dumps([settings]))

# Battery data files, as the panes read them.
put("panes", "status.xml", plistlib.dumps(status))
put("panes", "status.bplist", plistlib.dumps(status, fmt=plistlib.FMT_BINARY))
put("panes", "wrong-types.xml", plistlib.dumps({k: ({"x": v} if not isinstance(v, dict) else "flat")
                                                for k, v in status.items()}))
put("panes", "extremes.xml", plistlib.dumps({"AppleRawCurrentCapacity": -2**63, "DesignCapacity": 0, "MaxCapacity": 2**63 - 1,
    "Temperature": -2**63, "CycleCount": 1e308, "AdapterDetails": {"Watts": float("inf"), "Amperage": -0.0},
    "BatteryData": []}))
put("panes", "empty-dict.xml", plistlib.dumps({}))

# Traces, in both forms.
put("trace", "samples.xml", plistlib.dumps([{"Time": 0, "Level": 0.5, "State": "charging", "Status": status},
                                            {"Time": 60, "Level": 0.51, "State": 2}]))
put("trace", "samples-dict.xml", plistlib.dumps({"Samples": [{"Time": 0, "Status": status}]}))
put("trace", "lines.jsonl", "# recorded\n\n" + "\n".join(json.dumps({"Time": t, "Level": t / 100, "State": "unplugged",
    "Status": {"CurrentCapacity": t}}) for t in range(5)) + "\n")
put("trace", "bad-lines.jsonl", '{"Time": "x"}\n{"Time": 1e400}\n[1,2]\n{"Time": -5, "Level": "a", "State": 9}\n{')
put("trace", "wrong-types.xml", plistlib.dumps([1, "a", {"Time": [], "Level": {}, "State": [], "Status": 5}]))

# Substrate filter plists.
sb = "com.apple.springboard"
put("filter", "springboard.xml", plistlib.dumps({"Filter": {"Bundles": [sb]}}))
put("filter", "springboard.bplist", plistlib.dumps({"Filter": {"Bundles": ["com.apple.Preferences", sb]}},
                                                    fmt=plistlib.FMT_BINARY))
put("filter", "other-bundle.xml", plistlib.dumps({"Filter": {"Bundles": ["com.apple.mobilesafari"]}}))
put("filter", "wrong-shapes.xml", plistlib.dumps({"Filter": {"Bundles": sb, "Executables": [sb]}}))
put("filter", "wrong-types.xml", plistlib.dumps({"Filter": {"Bundles": [1, [sb], {sb: sb}, sb.encode()]}}))
put("filter", "array-root.xml", plistlib.dumps([{"Filter": {"Bundles": [sb]}}]))
put("filter", "nul-in-id.xml", b"<plist><dict><key>Filter</key><dict><key>Bundles</key><array>"
    b"<string>com.apple.springboard\x00x</string></array></dict></dict></plist>")

# PreferenceLoader entry lists.
entry = plistlib.load(open(os.path.join(here, "..", "prefs", "resources", "entry.plist"), "rb"))
put("entries", "entry.xml", plistlib.dumps(entry))
put("entries", "entry.bplist", plistlib.dumps(entry, fmt=plistlib.FMT_BINARY))
def entry_with(**changes):
    e = dict(entry["entry"])
    for k, v in changes.items():
        if v is None:
            e.pop(k, None)
        else:
            e[k] = v
    return plistlib.dumps({"entry": e})
put("entries", "no-bundle.xml", entry_with(bundle=None))
put("entries", "no-detail.xml", entry_with(detail=None))
put("entries", "missing-bundle.xml", entry_with(bundle="Missing"))
put("entries", "climbing-bundle.xml", entry_with(bundle="../../../../etc"))
put("entries", "unknown-class.xml", entry_with(detail="NoSuchController"))
put("entries", "not-a-list-class.xml", entry_with(detail="NSObject"))
put("entries", "sub-pane.xml", entry_with(detail="BatteryData", label="Battery Data"))
put("entries", "wrong-types.xml", entry_with(label=5, bundle=[], detail={}, cell=1, icon=True))
put("entries", "entry-not-dict.xml", plistlib.dumps({"entry": ["PylonexPro2"]}))

# Battery history stores, as the tweak writes them and as they can be found.
import sqlite3, tempfile, math

import re

def history_schema():
    """The store's readings from the field table (history/sample_fields.h) and
    its schema from the migration steps (history/schema.cpp): the seeds are
    stores as this version's writer makes them."""
    fields = open(os.path.join(here, "..", "history", "sample_fields.h")).read()
    table = fields[fields.index("kSampleFields = {{"):]
    columns = re.findall(r'^\s*\{"(\w+)", "[A-Z]+",', table[:table.index("}};")], re.M)
    schema = open(os.path.join(here, "..", "history", "schema.cpp")).read()
    block = schema[schema.index("kSteps[] = {"):]
    block = re.sub(r"//[^\n]*", "", block[:block.index("};")])
    # Every step's literals in order: run together they make the current version.
    steps = "".join(re.findall(r'"((?:[^"\\]|\\.)*)"', block))
    version = int(re.search(r"kSchemaVersion = (\d+);", open(os.path.join(here, "..", "history", "store.h")).read())[1])
    return columns, steps, version

COLUMNS, STEPS, VERSION = history_schema()
HISTORY_SCHEMA = STEPS + "PRAGMA user_version=%d;" % VERSION

def store(rows=(), schema=HISTORY_SCHEMA, extra=""):
    """A store holding `rows`: dicts by column name (absent ones NULL)."""
    with tempfile.TemporaryDirectory() as d:
        path = os.path.join(d, "s.sqlite")
        db = sqlite3.connect(path)
        db.executescript(schema)
        if rows:
            db.executemany("INSERT INTO samples(%s) VALUES (%s)" % (", ".join(COLUMNS), ", ".join("?" * len(COLUMNS))),
                           [tuple(row.get(c) for c in COLUMNS) for row in rows])
        if extra:
            db.executescript(extra)
        db.commit()
        db.close()
        return open(path, "rb").read()

def sample(*values):
    """A row from values in column order (the first ones; the rest NULL)."""
    return dict(zip(COLUMNS, values))

def aging_rows(days, start=1767225600 - 120 * 86400):
    rows = []
    for h in range(days * 24):
        t = start + h * 3600
        cycles = h * 1.5 / 24
        charging = (h % 24) in (7, 8, 19, 20)
        level = 20 + (h * 7) % 80
        max_cap = round(1560 * (1 - 0.0002 * cycles))
        rows.append(dict(time=t, level=level, charging=int(charging), external=int(charging),
                         full=int(level > 95 and charging), raw_capacity=max_cap * level // 100, max_capacity=max_cap,
                         design_capacity=1560, cycles=int(cycles), temperature=3000 + level,
                         voltage=3700 + level * 5, amperage=900 if charging else -300,
                         watts=5.0 if charging else None))
    return rows

good = store(aging_rows(90))
put("history", "aging-90-days.sqlite", good)
put("history", "empty-store.sqlite", store())
put("history", "truncated.sqlite", good[: len(good) // 2])
put("history", "empty-file.sqlite", b"")
put("history", "garbage.sqlite", bytes((i * 7919) % 251 for i in range(8192)))
put("history", "nulls.sqlite", store([sample(1767225600 + i * 61) for i in range(50)]))
# Every column of the first version, by position, with what a crafted file may hold.
put("history", "wild-values.sqlite", store([sample(*row) for row in [
    (1767225600, 400, 7, -1, 2, -5, -1500, 0, -3, 10**15, None, None, float("inf")),
    (1767225661, "fifty", "yes", b"\x00", 1.5, "1500", 1e300, -1e300, 1e18, "hot", 3.5, -2**63, -0.0),
    (-2**63, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0.0),
    (2**63 - 1, 100, 1, 1, 1, 1, 2**62, 1, 2**62, 0, 0, 0, 1e308),
    (1767225600, 50, 1, 1, 0, 500, 1000, 1000, 10, 0, 0, 0, float("nan"))]]))
put("history", "newer-version.sqlite", store(aging_rows(3), extra="PRAGMA user_version=99;"))
put("history", "other-schema.sqlite", store(schema="CREATE TABLE samples(time TEXT, x BLOB); PRAGMA user_version=1;"))
put("history", "with-trigger-and-view.sqlite", store(aging_rows(20), extra=
    "CREATE TABLE log(x); CREATE TRIGGER t AFTER INSERT ON samples BEGIN INSERT INTO log VALUES (1); END;"
    "CREATE VIEW v AS SELECT * FROM samples;"))
put("history", "no-wear.sqlite", store([sample(1767225600 - d * 86400, 50, 0, 0, 0, 750, 1500, 1560, 300 + d, 3000, 3800,
                                              -300) for d in range(60)]))
