#!/usr/bin/env python3
"""Fails on a raw `.dump(` in the C++ sources.

JSON becomes text in one place, host::json_text (host/common/value_json.h):
nlohmann's plain dump() throws on a string that is not UTF-8, and names and
files read from the device are not promised to be. Every other `.dump(` in
code (comments and string literals do not count) is reported with its file
and line.

    scripts/check_json_text.py [source root]
"""

import os
import re
import sys

from check_layers import SOURCE_SUFFIXES, walk

# Files allowed a raw dump(), and why.
EXEMPT = {
    "host/common/value_json.h": "the writer itself",
    "prefs/resources/resource_tables.cpp": (
        "a build-time generator in the bundle, which may not use host/ (the layer table); "
        "it writes the schema's own compiled-in UTF-8 text"
    ),
}

# A string or character literal, or a comment: blanked before looking, newlines kept.
NOT_CODE = re.compile(r'"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'|//[^\n]*|/\*.*?\*/', re.S)
RAW_DUMP = re.compile(r"\.dump\s*\(")


def code_only(text):
    return NOT_CODE.sub(lambda m: re.sub(r"[^\n]", " ", m.group(0)), text)


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    faults = []
    for path in walk(root):
        if not path.endswith(SOURCE_SUFFIXES) or path in EXEMPT:
            continue
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as source:
            text = code_only(source.read())
        for number, line in enumerate(text.split("\n"), 1):
            if RAW_DUMP.search(line):
                faults.append(f"{path}:{number}: raw .dump( (throws on a string that is not UTF-8)")
    for fault in faults:
        print(fault, file=sys.stderr)
    if faults:
        print(
            f"check_json_text: {len(faults)} raw .dump( call(s): write host::json_text(j) or host::json_text(j, indent) "
            "(host/common/value_json.h) instead; for a number shown as text, print the number itself",
            file=sys.stderr,
        )
        return 1
    print("check_json_text: JSON becomes text only through host::json_text")
    return 0


if __name__ == "__main__":
    sys.exit(main())
