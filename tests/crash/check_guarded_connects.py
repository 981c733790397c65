#!/usr/bin/env python3
"""Fails when a connect in editor/, song_page/ or app/ passes a slot that is
not wrapped in GuardedSlot (shell/guarded_slot.h): an exception from such a
slot would unwind through Qt's frames, which skip their clean-up.

A connect call is found by its name and read to its closing parenthesis;
disconnect calls are not connects.
"""
import pathlib
import re
import sys

FOLDERS = ("editor", "song_page", "app")
CONNECT = re.compile(r"(?<![A-Za-z_])connect\s*\(")


def calls(text):
    for match in CONNECT.finditer(text):
        depth, at = 0, match.end() - 1
        while at < len(text):
            if text[at] == "(":
                depth += 1
            elif text[at] == ")":
                depth -= 1
                if depth == 0:
                    break
            at += 1
        yield match.start(), text[match.start():at + 1]


def main(root):
    root = pathlib.Path(root).resolve()
    problems, count = [], 0
    for folder in FOLDERS:
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in (".cpp", ".h"):
                continue
            text = path.read_text(errors="replace")
            for start, call in calls(text):
                count += 1
                if "GuardedSlot(" not in call:
                    line = text.count("\n", 0, start) + 1
                    problems.append(f"{path.relative_to(root)}:{line}: {' '.join(call.split())}")
    for problem in problems:
        print(f"unguarded slot: {problem}")
    print(f"{count} connects checked, {len(problems)} without GuardedSlot")
    return 1 if problems or count == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
