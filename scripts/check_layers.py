#!/usr/bin/env python3
"""Fails when an #include or a target_link_libraries points up the layers, or
when a namespace does not say where its code lives.

The layers are the table under "The layout of the code" in
docs/architecture.md: one row per folder, its last cell the folders it may
use (written `folder/`, a folder covering its subfolders; `folder/*` every
row below that folder; `folder` without the slash that row alone, not the
rows below it; `*` anything). What a folder may use is what its row lists
and, through them, whatever those may use. A file or a CMake target
belongs to the deepest folder of the table that holds it; a folder holding
C++ sources but no row is an error too, so a new folder is placed on purpose.

Namespaces follow folders under one root: a file in platform/foundation/
opens `px::platform::foundation` (or a namespace nested in it), a file in
prefs/resources/ may also open its parent's `px::prefs`, and a test opens the
namespace of the folder it mirrors (tests/cli/ -> host/cli/ -> `px::host::cli`).

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


EXTERNAL_NAMESPACES = ("httplib",)  # forward declarations of a library's own types


def code_only(text):
    """C++ text without comments, string and character literals."""
    text = re.sub(r'R"(\w*)\((.*?)\)\1"', '""', text, flags=re.S)
    text = re.sub(r"(?<=\w)'(?=\w)", "", text)  # digit separators
    return re.sub(r'//[^\n]*|/\*.*?\*/|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', " ", text, flags=re.S)


def top_level_namespaces(text):
    """The named namespaces a file opens outside any other."""
    depth, names = 0, []
    for m in re.finditer(r"\bnamespace\s+([A-Za-z_][\w:]*)\s*\{|\{|\}", code_only(text)):
        if m.group(1) and depth == 0:
            names.append(m.group(1))
        depth += -1 if m.group(0) == "}" else 1
    return names


def namespaces_of(folder, source_folders):
    """The namespaces a file in `folder` may open."""
    parts = folder.split("/")
    allowed = {"px::" + "::".join(parts[:k]) for k in range(1, len(parts) + 1)}
    if parts[0] == "tests" and len(parts) > 1:
        mirrored = "/".join(parts[1:])
        allowed.add("px::" + mirrored.replace("/", "::"))
        allowed |= {"px::" + s.replace("/", "::") for s in source_folders if s.endswith("/" + mirrored)}
    return allowed


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

    source_folders = {os.path.dirname(p) for p in sources if not p.startswith(("tests/", "bench/", "fuzz/"))}
    for path in sources:
        allowed_names = namespaces_of(os.path.dirname(path), source_folders)
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as source:
            for name in top_level_namespaces(source.read()):
                if name in EXTERNAL_NAMESPACES or any(name == a or name.startswith(a + "::") for a in allowed_names):
                    continue
                faults.append(f"{path}: namespace {name} does not follow its folder (expected "
                              f"{' or '.join(sorted(allowed_names, key=len, reverse=True)[:2])})")

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
        print(f"check_layers: {len(faults)} fault(s) against the layers and namespaces of docs/architecture.md", file=sys.stderr)
        return 1
    print(f"check_layers: {len(sources)} sources, {len(targets)} targets, {len(rows)} layers: nothing points up, every namespace follows its folder")
    return 0


if __name__ == "__main__":
    sys.exit(main())
