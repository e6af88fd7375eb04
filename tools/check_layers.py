#!/usr/bin/env python3
"""Reads every #include of the library against the allowed directions of
tools/layers.txt and fails on one that runs against them.

  check_layers.py [--root DIR] [--matrix FILE]   check the tree
  check_layers.py --self-test                    check the checker on small made-up trees
"""
import argparse
import fnmatch
import os
import re
import sys

CHECKED_DIRS = ("core", "graphics", "softrender", "sound", "movie", "network", "game", "platform")
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".inc")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


class Matrix:
    def __init__(self, text):
        self.groups = []  # (name, [patterns]) in file order
        self.allowed = {}  # name -> [group names or path patterns]
        self.system_deny = None  # (exempt groups, compiled regex)
        for number, raw in enumerate(text.splitlines(), 1):
            line = raw.split("#", 1)[0].strip() if not raw.lstrip().startswith("deny-system") else raw.strip()
            if not line:
                continue
            words = line.split()
            if words[0] == "group" and len(words) >= 3:
                self.groups.append((words[1], words[2:]))
            elif words[0] == "allow" and len(words) >= 4 and words[2] == "->":
                self.allowed.setdefault(words[1], []).extend(words[3:])
            elif words[0] == "deny-system-except" and len(words) >= 3:
                self.system_deny = (set(words[1:-1]), re.compile(words[-1]))
            else:
                raise ValueError(f"layers matrix line {number}: cannot read {raw!r}")
        names = {name for name, _ in self.groups}
        for source, targets in self.allowed.items():
            if source not in names:
                raise ValueError(f"layers matrix: allow names an unknown group {source!r}")
            for t in targets:
                if "/" not in t and t not in names:
                    raise ValueError(f"layers matrix: {source} allows an unknown group {t!r}")

    def group_of(self, path):
        for name, patterns in self.groups:
            if any(fnmatch.fnmatchcase(path, p) for p in patterns):
                return name
        return None

    def allows(self, source, target_path):
        target_group = self.group_of(target_path)
        for t in self.allowed.get(source, []):
            if "/" in t:
                if fnmatch.fnmatchcase(target_path, t):
                    return True
            elif t == target_group:
                return True
        return False


def check(files, matrix):
    """files: {path from the top folder: text}. Answers the list of faults."""
    faults = []
    for path in sorted(files):
        source = matrix.group_of(path)
        if source is None:
            faults.append(f"{path}: belongs to no layer of the matrix")
            continue
        for m in INCLUDE.finditer(files[path]):
            kind, name = m.group(1), m.group(2)
            line = files[path].count("\n", 0, m.start()) + 1
            if kind == "<":
                exempt, deny = matrix.system_deny if matrix.system_deny else (set(), None)
                if deny is not None and source not in exempt and deny.search(name):
                    faults.append(f"{path}:{line}: {source} includes the system header <{name}>")
                continue
            target = name
            if target not in files:
                local = os.path.normpath(os.path.join(os.path.dirname(path), name))
                if local in files:
                    target = local
                else:
                    faults.append(f"{path}:{line}: includes \"{name}\", which is no file of the library")
                    continue
            if not matrix.allows(source, target):
                faults.append(f"{path}:{line}: {source} may not include \"{target}\" ({matrix.group_of(target)})")
    return faults


def read_tree(root):
    files = {}
    for top in CHECKED_DIRS:
        for folder, _, names in os.walk(os.path.join(root, top)):
            for n in names:
                if n.endswith(SOURCE_SUFFIXES):
                    full = os.path.join(folder, n)
                    with open(full, encoding="utf-8", errors="replace") as f:
                        files[os.path.relpath(full, root).replace(os.sep, "/")] = f.read()
    return files


def self_test(matrix_text):
    matrix = Matrix(matrix_text)
    base = {
        "platform/kernel/types.h": "#include <cstdint>\n",
        "platform/window/window.h": '#include "platform/kernel/types.h"\n#include <SDL2/SDL.h>\n',
        "core/log.h": '#include "platform/kernel/types.h"\n',
        "core/startup.h": "",
        "core/api.h": "",
        "graphics/drawstate.h": '#include "core/log.h"\n',
        "graphics/memimg.h": '#include "platform/kernel/types.h"\n',
        "softrender/blit/blit.cpp": '#include "graphics/memimg.h"\n#include "core/log.h"\n',
        "game/winmain.cpp": '#include "core/api.h"\n',
    }
    cases = [
        ("a tree that keeps the layers", {}, 0),
        ("softrender includes the drawing state", {"softrender/x.cpp": '#include "graphics/drawstate.h"\n'}, 1),
        ("graphics includes start-up", {"graphics/x.cpp": '#include "core/startup.h"\n'}, 1),
        ("platform includes the library", {"platform/gdi/x.cpp": '#include "core/log.h"\n'}, 1),
        ("a subsystem includes the game", {"core/startup.cpp": '#include "game/winmain.h"\n',
                                           "game/winmain.h": ""}, 1),
        ("graphics includes SDL", {"graphics/y.cpp": "#include <SDL2/SDL.h>\n"}, 1),
        ("an include of no file", {"graphics/z.cpp": '#include "graphics/nothing.h"\n'}, 1),
        ("a folder of no layer", {"elsewhere/a.cpp": ""}, 1),
    ]
    failed = 0
    for what, extra, want in cases:
        got = len(check({**base, **extra}, matrix))
        if got != want:
            print(f"self-test: {what}: {got} faults, expected {want}")
            failed += 1
    print(f"self-test: {len(cases) - failed} of {len(cases)} cases hold")
    return failed == 0


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--root", default=os.path.dirname(here))
    ap.add_argument("--matrix", default=os.path.join(here, "layers.txt"))
    ap.add_argument("--self-test", action="store_true")
    args = ap.parse_args()
    with open(args.matrix, encoding="utf-8") as f:
        text = f.read()
    if args.self_test:
        return 0 if self_test(text) else 1
    files = read_tree(args.root)
    faults = check(files, Matrix(text))
    for fault in faults:
        print(fault)
    print(f"{len(files)} files read, {len(faults)} includes against the layers")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
