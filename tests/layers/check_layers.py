#!/usr/bin/env python3
"""Every include of the project's own headers points down the layers.

Layers, bottom to top: core < path < planner < render, plot < app < answer < web.
render and plot stand side by side and do not include each other. A file may
include headers of its own folder and of any folder below it. Prints each
include that points up (file:line) and exits 1 when there is one.
Usage: check_layers.py SOURCE_ROOT
"""
import os
import re
import sys

RANK = {"core": 0, "path": 1, "planner": 2, "render": 3, "plot": 3, "app": 4, "answer": 5, "web": 6}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/[^"]+"')


def violations(root):
    found = []
    for folder in RANK:
        top = os.path.join(root, folder)
        for dirpath, _, files in os.walk(top):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp", ".hpp", ".cc")):
                    continue
                path = os.path.join(dirpath, name)
                with open(path, encoding="utf-8") as f:
                    for lineno, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m or m.group(1) not in RANK:
                            continue
                        target = m.group(1)
                        up = RANK[target] > RANK[folder] or (RANK[target] == RANK[folder] and target != folder)
                        if up:
                            rel = os.path.relpath(path, root)
                            found.append(f"{rel}:{lineno}: {folder}/ includes {target}/ ({line.strip()})")
    return found


def self_test():
    """The check finds an upward include, and only that one, in a small tree."""
    import tempfile
    with tempfile.TemporaryDirectory() as root:
        files = {
            "core/state.h": '#pragma once\n',
            "planner/search.cpp": '#include "core/state.h"\n#include "planner/search.h"\n',
            "planner/keys.cpp": '#include "core/state.h"\n\n#include "app/dialogue.h"\n',
            "render/frame.cpp": '#include "plot/figure.h"\n',
            "app/main.cpp": '#include "render/frame.h"\n#include "planner/search.h"\n',
        }
        for rel, text in files.items():
            os.makedirs(os.path.join(root, os.path.dirname(rel)), exist_ok=True)
            with open(os.path.join(root, rel), "w", encoding="utf-8") as f:
                f.write(text)
        got = sorted(v.split(":")[0] + ":" + v.split(":")[1] for v in violations(root))
    want = ["planner/keys.cpp:3", "render/frame.cpp:1"]
    if got != want:
        print(f"check_layers self-test: found {got}, expected {want}")
        return 1
    print("check_layers self-test: the upward includes are found")
    return 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    if not all(os.path.isdir(os.path.join(root, d)) for d in ("core", "planner", "app")):
        print(f"check_layers: {root} holds no source tree", file=sys.stderr)
        return 2
    bad = violations(root)
    for line in bad:
        print(line)
    if bad:
        print(f"check_layers: {len(bad)} include(s) point up the layers "
              "core < path < planner < render, plot < app < answer < web")
        return 1
    print("check_layers: every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
