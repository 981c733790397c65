#!/usr/bin/env python3
"""Plants small deliberate faults in the sources, one at a time, and reports
whether the test suite notices each of them.

For every fault of the list: replace one fragment of one source file, build
incrementally, run the tests, put the file back. A fault counts as caught when
the build succeeds and at least one test fails; a fault whose build fails is
reported as such (it says nothing about the tests and should be rewritten).

    tools/fault_check/fault_check.py                      # every fault
    tools/fault_check/fault_check.py --only model-        # ids starting so
    tools/fault_check/fault_check.py --source /other/tree --build-dir /other/tree/build/default

The list format is described in tools/fault_check/README.md.
"""

from __future__ import annotations

import argparse
import dataclasses
import pathlib
import sys
import time

from planting import PlantedFiles, run

HERE = pathlib.Path(__file__).resolve().parent
DEFAULT_SOURCE = HERE.parent.parent


@dataclasses.dataclass
class Fault:
    ident: str
    file: str
    find: str
    replace: str
    note: str = ""

    @property
    def folder(self) -> str:
        return self.file.split("/", 1)[0]


def unescape(text: str) -> str:
    # "\n" and "\t" let one fragment span lines; "\\" is a backslash.
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            out.append({"n": "\n", "t": "\t", "\\": "\\"}.get(nxt, "\\" + nxt))
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def read_faults(path: pathlib.Path) -> list[Fault]:
    faults: list[Fault] = []
    current: dict[str, str] | None = None

    def finish() -> None:
        if current is None:
            return
        missing = [k for k in ("file", "find", "replace") if k not in current]
        if missing:
            sys.exit(f"{path}: fault {current['id']} lacks {', '.join(missing)}")
        faults.append(Fault(current["id"], current["file"], unescape(current["find"]),
                            unescape(current["replace"]), current.get("note", "")))

    for number, raw in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        line = raw.rstrip("\n")
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        if line.startswith("[") and line.rstrip().endswith("]"):
            finish()
            current = {"id": line.strip()[1:-1]}
            continue
        key, sep, value = line.partition(":")
        if current is None or not sep or key not in ("file", "find", "replace", "note"):
            sys.exit(f"{path}:{number}: cannot read '{line}'")
        current[key] = value[1:] if value.startswith(" ") else value
    finish()
    ids = [f.ident for f in faults]
    duplicates = {i for i in ids if ids.count(i) > 1}
    if duplicates:
        sys.exit(f"{path}: duplicate ids {sorted(duplicates)}")
    return faults


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--list", type=pathlib.Path, default=HERE / "faults.txt")
    parser.add_argument("--source", type=pathlib.Path, default=DEFAULT_SOURCE,
                        help="source tree the faults are planted in")
    parser.add_argument("--build-dir", type=pathlib.Path,
                        help="configured build tree (default: SOURCE/build/default)")
    parser.add_argument("--only", action="extend", nargs="+", default=[],
                        help="run faults whose id starts with one of these, in this order")
    parser.add_argument("--jobs", default="2", help="parallel build and test jobs")
    parser.add_argument("--target", action="extend", nargs="+", default=[],
                        help="build only these targets (repeatable; default: everything)")
    parser.add_argument("--timeout", type=int, default=180, help="seconds per test")
    parser.add_argument("--log", type=pathlib.Path, default=None,
                        help="build and test output (default: BUILD/fault_check.log)")
    parser.add_argument("--results", type=pathlib.Path, default=None,
                        help="one line per fault (default: BUILD/fault_check.results)")
    args = parser.parse_args()

    source = args.source.resolve()
    build = (args.build_dir or source / "build" / "default").resolve()
    if not (build / "CTestTestfile.cmake").exists():
        sys.exit(f"{build} is no configured build tree (run cmake --preset default first)")
    faults = read_faults(args.list)
    if args.only:
        # In the order the prefixes were given, so the most wanted run first.
        faults = [f for p in args.only for f in faults if f.ident.startswith(p)]
        faults = list({f.ident: f for f in faults}.values())
    log_path = args.log or build / "fault_check.log"
    results_path = args.results or build / "fault_check.results"

    nice = ["nice", "-n", "10"]
    build_cmd = nice + ["cmake", "--build", str(build), "--parallel", args.jobs]
    if args.target:
        build_cmd += ["--target"] + args.target
    test_cmd = nice + ["ctest", "--test-dir", str(build), "--parallel", args.jobs,
                       "--timeout", str(args.timeout), "--stop-on-failure", "--output-on-failure"]

    # Put the file back whatever ends the run.
    planted = PlantedFiles()

    results: list[tuple[Fault, str]] = []
    with open(log_path, "w", encoding="utf-8") as log:
        if run(build_cmd, log, 3600, cwd=source)[0] != 0:
            sys.exit(f"the unchanged tree does not build; see {log_path}")
        for fault in faults:
            target = source / fault.file
            original = target.read_text(encoding="utf-8")
            count = original.count(fault.find)
            if count != 1:
                outcome = f"bad fault ({count} matches)"
            else:
                started = time.monotonic()
                log.write(f"\n===== {fault.ident}: {fault.file}\n")
                planted.plant(target, original.replace(fault.find, fault.replace))
                try:
                    if run(build_cmd, log, 3600, cwd=source)[0] != 0:
                        outcome = "build failed"
                    elif run(test_cmd, log, 7200, cwd=source)[0] != 0:
                        outcome = "caught"
                    else:
                        outcome = "MISSED"
                finally:
                    planted.restore()
                outcome += f" ({time.monotonic() - started:.0f} s)"
            results.append((fault, outcome))
            print(f"{fault.ident:40} {outcome}", flush=True)
        # Leave the build matching the restored sources.
        run(build_cmd, log, 3600, cwd=source)

    folders: dict[str, list[int]] = {}
    for fault, outcome in results:
        tally = folders.setdefault(fault.folder, [0, 0, 0])
        if outcome.startswith("caught"):
            tally[0] += 1
        elif outcome.startswith("MISSED"):
            tally[1] += 1
        else:
            tally[2] += 1
    lines = [f"{fault.ident}\t{fault.file}\t{outcome}" for fault, outcome in results]
    lines.append("")
    lines.append("folder\tcaught\tmissed\tunusable")
    for folder, (caught, missed, unusable) in sorted(folders.items()):
        lines.append(f"{folder}\t{caught}\t{missed}\t{unusable}")
    results_path.write_text("\n".join(lines) + "\n", encoding="utf-8")
    print()
    print("\n".join(lines[len(results) + 1:]))
    print(f"\nresults: {results_path}\nlog: {log_path}")
    return 0 if all(o.startswith("caught") for _, o in results) else 1


if __name__ == "__main__":
    sys.exit(main())
