#!/usr/bin/env python3
"""Fails when an #include or a target_link_libraries points up the layers.

The layers are the table under "The layout of the code" in
docs/architecture.md: one row per folder, its last cell the folders it may
use (written `folder/`, a folder covering its subfolders; `folder/*` every
row below that folder; `folder` without the slash that row alone, not the
rows below it; `*` anything). What a folder may use is what its row lists
and, through them, whatever those may use. A file or a CMake target
belongs to the deepest folder of the table that holds it; a folder holding
C++ sources but no row is an error too, so a new folder is placed on purpose.

    scripts/check_layers.py [source root]
"""

import os
import re
import sys

SOURCE_SUFFIXES = (".cpp", ".cc", ".c", ".h", ".hpp", ".mm")
TABLE_HEADING = "## The layout of the code"
SKIPPED_TOP = ("build", "device")


def read_table(doc_path):
    """Rows of the layer table: {folder: [entries it may use]}."""
    rows = {}
    in_section = False
    with open(doc_path, encoding="utf-8") as doc:
        for line in doc:
            if line.startswith("## "):
                in_section = line.strip() == TABLE_HEADING
                continue
            if not in_section or not line.startswith("| `"):
                continue
            cells = [c.strip() for c in line.strip().strip("|").split("|")]
            folder = re.match(r"`([^`]+)`", cells[0]).group(1).rstrip("/")
            rows[folder] = re.findall(r"`([^`]+)`", cells[-1])
    if not rows:
        sys.exit(f"check_layers: no layer table under '{TABLE_HEADING}' in {doc_path}")
    return rows


def inside(path, folder):
    return path == folder or path.startswith(folder + "/")


def owner(rows, path):
    """The deepest folder of the table holding `path` (a folder), or None."""
    best = None
    for folder in rows:
        if inside(path, folder) and (best is None or len(folder) > len(best)):
            best = folder
    return best


def expand(rows, entry):
    """The table folders an entry names."""
    if entry == "*":
        return set(rows)
    if entry.endswith("/*"):
        base = entry[:-2]
        return {f for f in rows if f.startswith(base + "/")}
    if not entry.endswith("/"):
        return {entry}  # that row alone, not the rows below it
    entry = entry.rstrip("/")
    return {f for f in rows if inside(f, entry)} | {entry}


def allowed(rows):
    """Each folder's reach: itself and, transitively, what its row lists."""
    direct = {f: set().union(*[expand(rows, e) for e in entries]) if entries else set() for f, entries in rows.items()}
    reach = {}
    for folder in rows:
        seen, todo = {folder}, [folder]
        while todo:
            for nxt in direct.get(todo.pop(), ()):
                if nxt not in seen:
                    seen.add(nxt)
                    todo.append(nxt)
        reach[folder] = seen
    return reach


def walk(root):
    for top in sorted(os.listdir(root)):
        if top.startswith(".") or top.startswith(SKIPPED_TOP) or not os.path.isdir(os.path.join(root, top)):
            continue
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            dirs[:] = sorted(d for d in dirs if not d.startswith("."))
            for name in sorted(files):
                yield os.path.relpath(os.path.join(folder, name), root)


def strip_comments(text):
    return re.sub(r"#[^\n]*", "", text)


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    rows = read_table(os.path.join(root, "docs", "architecture.md"))
    reach = allowed(rows)
    faults = []

    def check(where, from_folder, to_folder, what):
        mine, theirs = owner(rows, from_folder), owner(rows, to_folder)
        if mine is None:
            faults.append(f"{where}: {from_folder or 'the top'}/ has no row in docs/architecture.md's layer table")
        elif theirs is not None and theirs not in reach[mine]:
            faults.append(f"{where}: {what} points up the layers ({mine}/ may not use {theirs}/)")

    for folder in sorted(rows):
        if not os.path.isdir(os.path.join(root, folder)):
            faults.append(f"docs/architecture.md: the layer table names {folder}/, which is not in the tree")

    files = list(walk(root))
    sources = [path for path in files if path.endswith(SOURCE_SUFFIXES)]
    unplaced = sorted({os.path.dirname(path) for path in sources if owner(rows, os.path.dirname(path)) is None})
    for folder in unplaced:
        faults.append(f"{folder}/: holds sources but has no row in docs/architecture.md's layer table")
    targets = {}  # CMake target -> folder of the CMakeLists.txt that makes it
    cmake_texts = {}
    for path in files:
        if os.path.basename(path) == "CMakeLists.txt":
            text = strip_comments(open(os.path.join(root, path), encoding="utf-8").read())
            cmake_texts[path] = text
            for name in re.findall(r"\badd_(?:library|executable)\(\s*([A-Za-z0-9_]+)[\s)]", text):
                targets[name] = os.path.dirname(path)

    for path in sources:
        folder = os.path.dirname(path)
        if folder in unplaced:
            continue
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as source:
            for number, line in enumerate(source, 1):
                m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
                if m and "/" in m.group(1):
                    check(f"{path}:{number}", folder, os.path.dirname(m.group(1)), f'#include "{m.group(1)}"')

    for path, text in sorted(cmake_texts.items()):
        for m in re.finditer(r"\btarget_link_libraries\(\s*([A-Za-z0-9_]+)\s+([^)]*)\)", text):
            user = m.group(1)
            if user not in targets:
                continue
            for dep in m.group(2).split():
                if dep in targets:
                    check(f"{path}", targets[user], targets[dep], f"{user} linking {dep}")

    for fault in faults:
        print(fault, file=sys.stderr)
    if faults:
        print(f"check_layers: {len(faults)} use(s) against the layer table in docs/architecture.md", file=sys.stderr)
        return 1
    print(f"check_layers: {len(sources)} sources, {len(targets)} targets, {len(rows)} layers: nothing points up")
    return 0


if __name__ == "__main__":
    sys.exit(main())
