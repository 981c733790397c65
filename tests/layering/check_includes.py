#!/usr/bin/env python3
"""Fails when an include runs against the layering of the source folders.

Headers are included by bare name (each library puts its own folder on the
include path), so a name is traced back to the folder that holds it. The
order, lowest first: model, channel, shell, then editor, song_page and crash
side by side, then app. A folder includes from its own level and below,
never from a sibling; tools/ sits beside the program and includes only
model/ and channel/. model/ and channel/ use no Qt.
"""
import pathlib
import re
import sys

LEVEL = {"model": 0, "channel": 1, "shell": 2,
         "editor": 3, "song_page": 3, "crash": 3, "app": 4}
TOOLS_MAY_USE = {"model", "channel", "tools"}
QT_FREE = {"model", "channel"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def folder_of(path, root):
    return path.relative_to(root).parts[0]


def main(root):
    root = pathlib.Path(root).resolve()
    sources = [p for folder in list(LEVEL) + ["tools"]
               for p in (root / folder).rglob("*")
               if p.suffix in (".h", ".cpp")]
    owner = {}
    for p in sources:
        owner.setdefault(p.name, set()).add(folder_of(p, root))
    problems = []
    for p in sources:
        here = folder_of(p, root)
        for kind, name in INCLUDE.findall(p.read_text(errors="replace")):
            close = ">" if kind == "<" else '"'
            where = f"{p.relative_to(root)}: #include {kind}{name}{close}"
            if kind == "<":
                if here in QT_FREE and re.match(r"Q[A-Za-z]", name):
                    problems.append(f"{where}: Qt in a Qt-free folder")
                continue
            for there in owner.get(pathlib.Path(name).name, set()) - {here}:
                if here == "tools" or there == "tools":
                    ok = here == "tools" and there in TOOLS_MAY_USE
                else:
                    ok = LEVEL[there] < LEVEL[here]
                if not ok:
                    problems.append(f"{where}: {here}/ may not include from {there}/")
    for line in problems:
        print(line)
    print(f"{len(sources)} files checked, {len(problems)} includes against the layering")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
