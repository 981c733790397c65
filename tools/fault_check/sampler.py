#!/usr/bin/env python3
"""Draws small faults at random from the sources and reports which of them
the test suite catches.

A seed shuffles every line of the sampled folders that can hold a fault; the
sampler walks that order, plants one fault of the line (chosen with the same
seed), builds what the tests need, runs the tests nearest to the changed
folder first, stops at the first failure and puts the file back. Faults that
do not build are drawn past, until N faults have built.

    tools/fault_check/sampler.py --seed 7 -n 50                # plant and test
    tools/fault_check/sampler.py --seed 7 -n 50 --list-only    # only show the draw
    tools/fault_check/sampler.py --seed 7 -n 50 --sanitizer survivors
    tools/fault_check/sampler.py --replay build/faults/build/default/sampler.results --outcome survived

What is skipped, the sanitizer stage and the format of judged.txt are
described in tools/fault_check/README.md.
"""

from __future__ import annotations

import argparse
import dataclasses
import json
import os
import pathlib
import platform
import random
import re
import subprocess
import sys
import time

from planting import PlantedFiles, run

HERE = pathlib.Path(__file__).resolve().parent
DEFAULT_SOURCE = HERE.parent.parent
FOLDERS = ("model", "channel", "shell", "editor", "song_page", "crash", "app")
SUFFIXES = (".cpp", ".h")
# Statements that only write to the error stream or only hold at compile time.
LOG_OR_COMPILE_TIME = re.compile(r"\b(static_assert|qDebug|qInfo|qWarning|qCritical|stderr)\b")
MAX_CALL_LINES = 12

# ---------------------------------------------------------------- reading code


@dataclasses.dataclass
class Line:
    raw: str  # without the line end
    code: str  # comments blanked, the inside of text and character literals blanked
    strings: list[tuple[int, int]]  # [start, end) of each "..." literal, quotes included
    chars: list[tuple[int, int]]  # the same for '...' literals
    skip: bool = False


# The processor macros whose branches the sampler tells apart; a branch for
# another processor than this machine's is not compiled here, so a fault in it
# would build and survive whatever the tests do.
PROCESSOR_MACROS = {"x86_64": "__x86_64__", "aarch64": "__aarch64__", "i386": "__i386__", "arm": "__arm__"}
THIS_PROCESSOR = PROCESSOR_MACROS.get(platform.machine(), "")


def processor_condition(condition: str) -> bool | None:
    """True or False for `defined(PROCESSOR_MACRO)`, None for any other condition."""
    m = re.fullmatch(r"defined\s*\(?\s*(\w+)\s*\)?", condition.strip())
    if not m or m.group(1) not in PROCESSOR_MACROS.values():
        return None
    return m.group(1) == THIS_PROCESSOR


def skip_other_processors(lines: list[Line]) -> None:
    """Marks the lines of #if/#elif/#else branches for another processor as skipped."""
    # Per open #if: whether the lines around it are compiled, whether a branch
    # was taken, and whether the current branch is compiled.
    stack: list[list[bool]] = []
    for line in lines:
        directive = re.match(r"\s*#\s*(if|ifdef|ifndef|elif|else|endif)\b(.*)", line.code)
        outer = stack[-1][2] if stack else True
        if not directive:
            line.skip = line.skip or not outer
            continue
        word, rest = directive.group(1), directive.group(2)
        if word in ("if", "ifdef", "ifndef"):
            known = processor_condition(rest) if word == "if" else None
            active = outer and known is not False
            stack.append([outer, known is True, active])
        elif word == "elif" and stack:
            known = processor_condition(rest)
            parent, taken, _ = stack[-1]
            stack[-1] = [parent, taken or known is True, parent and not taken and known is not False]
        elif word == "else" and stack:
            parent, taken, _ = stack[-1]
            stack[-1] = [parent, True, parent and not taken]
        elif word == "endif" and stack:
            stack.pop()


def scan(text: str) -> list[Line]:
    """Splits a C++ file into lines whose comments and literal contents are blanked."""
    lines: list[Line] = []
    raw_lines = text.split("\n")
    in_block = False
    for raw in raw_lines:
        code = list(raw)
        strings: list[tuple[int, int]] = []
        chars: list[tuple[int, int]] = []
        i = 0
        n = len(raw)
        while i < n:
            if in_block:
                end = raw.find("*/", i)
                stop = n if end < 0 else end + 2
                for k in range(i, stop):
                    code[k] = " "
                in_block = end < 0
                i = stop
                continue
            c = raw[i]
            if raw.startswith("//", i):
                for k in range(i, n):
                    code[k] = " "
                break
            if raw.startswith("/*", i):
                in_block = True
                continue
            if c in "\"'":
                # A digit separator (1'000) is no literal.
                if c == "'" and i > 0 and raw[i - 1].isalnum():
                    i += 1
                    continue
                k = i + 1
                while k < n and raw[k] != c:
                    k += 2 if raw[k] == "\\" else 1
                end = min(k + 1, n)
                for m in range(i + 1, end - 1):
                    code[m] = " "
                (strings if c == '"' else chars).append((i, end))
                i = end
                continue
            i += 1
        lines.append(Line(raw, "".join(code), strings, chars))
    skip_other_processors(lines)
    # Preprocessor lines and whole statements that only log or only hold at
    # compile time never hold a fault.
    k = 0
    while k < len(lines):
        code = lines[k].code
        if code.lstrip().startswith("#"):
            lines[k].skip = True
            while lines[k].code.rstrip().endswith("\\") and k + 1 < len(lines):
                k += 1
                lines[k].skip = True
        elif LOG_OR_COMPILE_TIME.search(code):
            depth = 0
            for j in range(k, min(k + MAX_CALL_LINES, len(lines))):
                lines[j].skip = True
                depth += lines[j].code.count("(") - lines[j].code.count(")")
                if depth <= 0 and ";" in lines[j].code:
                    k = j
                    break
        k += 1
    return lines


# ---------------------------------------------------------------- faults


@dataclasses.dataclass
class Fault:
    file: str  # from the repository root
    line: int  # first changed line, 1-based
    kind: str
    old: list[str]  # the raw lines replaced
    new: list[str]  # what they become

    @property
    def folder(self) -> str:
        return self.file.split("/", 1)[0]

    @property
    def was(self) -> str:
        return " / ".join(s.strip() for s in self.old)

    @property
    def now(self) -> str:
        return " / ".join(s.strip() for s in self.new)

    def where(self) -> str:
        return f"{self.file}:{self.line}"


NUMBER = re.compile(r"(?<![\w.])(0[xX][0-9a-fA-F']+|\d[\d']*(?:\.\d+)?)([uUlLfF]*)(?![\w.])")
PURE_SPECIFIER = re.compile(r"\)(\s*(const|override|noexcept|final))*\s*=\s*0$")
COMPARISON = re.compile(r"(?<= )(<=|>=|==|!=|<|>)(?= )")
NEGATION = {"<": ">=", ">=": "<", ">": "<=", "<=": ">", "==": "!=", "!=": "=="}
BOUNDARY = {"<": "<=", "<=": "<", ">": ">=", ">=": ">"}
ARITHMETIC = re.compile(r"(?<= )([+-])(?= )|([+-])=|(\+\+|--)")
BOOLEAN = re.compile(r"\b(true|false)\b")
CALL_START = re.compile(r"^\s*(?:[A-Za-z_]\w*(?:::|\.|->))*[A-Za-z_~]\w*(?:<[^;()]*>)?\(")
NOT_CALLS = {"return", "if", "while", "for", "switch", "case", "throw", "delete", "sizeof", "static_assert",
             "using", "typedef", "template", "else", "do", "goto", "alignof", "decltype", "catch", "operator"}


def number_variants(token: str, suffix: str) -> list[str]:
    if token.lower().startswith("0x"):
        digits = token[2:].replace("'", "")
        value = int(digits, 16)
        upper = any(c in "ABCDEF" for c in digits) or not any(c in "abcdef" for c in digits)

        def fmt(v: int) -> str:
            text = f"{v:0{len(digits)}X}" if upper else f"{v:0{len(digits)}x}"
            return token[:2] + text + suffix
    elif "." in token:
        value_f = float(token.replace("'", ""))
        out = [repr(value_f + 1), repr(value_f - 1)] + (["0.0"] if value_f != 0 else [])
        return [v + suffix for v in dict.fromkeys(out) if not v.startswith("-")]
    elif len(token) > 1 and token.startswith("0"):  # octal (file modes) stays octal
        value = int(token.replace("'", ""), 8)

        def fmt(v: int) -> str:
            return (f"0{v:o}" if v else "0") + suffix
    else:
        value = int(token.replace("'", ""))

        def fmt(v: int) -> str:
            return str(v) + suffix
    candidates = [value + 1] + ([value - 1] if value > 0 else []) + ([0] if value > 1 else [])
    return [fmt(v) for v in dict.fromkeys(candidates)]


def line_faults(path: str, lines: list[Line], k: int) -> list[Fault]:
    """Every fault the sampler can plant in line k."""
    line = lines[k]
    if line.skip or not line.code.strip():
        return []
    raw, code = line.raw, line.code
    out: list[Fault] = []

    def replace(kind: str, start: int, end: int, text: str) -> None:
        out.append(Fault(path, k + 1, kind, [raw], [raw[:start] + text + raw[end:]]))

    for m in NUMBER.finditer(code):
        if PURE_SPECIFIER.search(code[:m.end()]) and code[m.end():].strip() == ";":
            continue  # "= 0" of a pure virtual function
        divisor = code[:m.start()].rstrip().endswith(("/", "%"))
        for variant in number_variants(m.group(1), m.group(2)):
            if not (divisor and variant.rstrip("uUlL") in ("0", "0x0", "0X0")):
                replace("constant", m.start(), m.end(), variant)
    for start, end in line.chars:
        body = raw[start + 1:end - 1]
        if len(body) == 1 and body not in "\\'":
            for delta in (1, -1):
                c = chr(ord(body) + delta)
                if c.isprintable() and c not in "\\'":
                    replace("constant", start, end, f"'{c}'")
    for m in BOOLEAN.finditer(code):
        replace("constant", m.start(), m.end(), "false" if m.group(1) == "true" else "true")
    for m in COMPARISON.finditer(code):
        op = m.group(1)
        for other in (BOUNDARY.get(op), NEGATION[op]):
            if other:
                replace("comparison", m.start(), m.end(), other)
    for m in ARITHMETIC.finditer(code):
        if m.group(1):
            replace("arithmetic", m.start(1), m.end(1), "-" if m.group(1) == "+" else "+")
        elif m.group(2):
            replace("arithmetic", m.start(2), m.end(2), "-" if m.group(2) == "+" else "+")
        else:
            replace("arithmetic", m.start(3), m.end(3), "--" if m.group(3) == "++" else "++")
    if not code.lstrip().startswith("extern"):
        for start, end in line.strings:
            body = raw[start + 1:end - 1]
            units = re.findall(r"\\.|.", body)
            if not units:
                replace("text", start, end, '"x"')
                continue
            # One character left out; which one is drawn with the line.
            for u in range(len(units)):
                replace("text", start, end, '"' + "".join(units[:u] + units[u + 1:]) + '"')
    call = call_removal(path, lines, k)
    if call:
        out.append(call)
    return out


def call_removal(path: str, lines: list[Line], k: int) -> Fault | None:
    code = lines[k].code
    m = CALL_START.match(code)
    if not m:
        return None
    first_word = re.match(r"\s*([A-Za-z_~]\w*)", code).group(1)
    if first_word in NOT_CALLS:
        return None
    # The statement must close, at depth 0, with ");" on this or a later line.
    depth = 0
    for j in range(k, min(k + MAX_CALL_LINES, len(lines))):
        if lines[j].skip:
            return None
        text = lines[j].code.rstrip()
        depth += text.count("(") - text.count(")")
        if depth == 0 and text.endswith(");"):
            old = [ln.raw for ln in lines[k:j + 1]]
            indent = lines[k].raw[:len(lines[k].raw) - len(lines[k].raw.lstrip())]
            # An empty block keeps an "if (x)" before the call from taking
            # the next statement as its body.
            new = [indent + "{}"] + [""] * (j - k)
            return Fault(path, k + 1, "call removed", old, new)
        if depth <= 0 or ";" in text:
            return None
    return None


def source_files(source: pathlib.Path, folders: list[str]) -> list[str]:
    files = []
    for folder in folders:
        for path in sorted((source / folder).rglob("*")):
            if path.suffix in SUFFIXES and path.is_file():
                files.append(path.relative_to(source).as_posix())
    return files


def draw_order(source: pathlib.Path, folders: list[str], seed: int) -> tuple[list[Fault], int]:
    """One fault per line that can hold one, in the seed's order; and the count of such lines."""
    rng = random.Random(seed)
    sites: list[tuple[str, int]] = []
    scanned: dict[str, list[Line]] = {}
    for path in source_files(source, folders):
        lines = scan((source / path).read_text(encoding="utf-8"))
        scanned[path] = lines
        for k in range(len(lines)):
            if line_faults(path, lines, k):
                sites.append((path, k))
    rng.shuffle(sites)
    faults = []
    for path, k in sites:
        faults.append(rng.choice(line_faults(path, scanned[path], k)))
    return faults, len(sites)


# Tests that run programs of the build folder only after packaging them: the
# package's crash run starts the editor and the reporter as the .deb holds
# them, made from this build folder, so it sees a fault in either; the
# package's contents hold the icon files the build draws with its tool.
PACKAGED_RUNS = {"deb_crash_e2e": ["app/kestrin-music-editor", "app/kestrin-crash-report"],
                 "deb_package_contents": ["app/kestrin-write-icons"]}


# ---------------------------------------------------------------- judged harmless


@dataclasses.dataclass
class Judgement:
    file: str
    was: str
    now: str
    why: str
    within: str = ""  # "in:": the definition the line stands in, "*" for every place

    def matches(self, fault: Fault, source: pathlib.Path) -> bool:
        if not (self.file == fault.file and self.was in ("*", fault.was) and self.now in ("*", fault.now)):
            return False
        return self.within in ("", "*") or self.within in enclosing_definition(source / fault.file, fault.line)

    def places(self, source: pathlib.Path) -> int:
        """How many lines of the file this entry's `was` stands on (multi-line entries count as one)."""
        path = source / self.file
        if self.was == "*" or " / " in self.was or not path.exists():
            return 1
        return sum(1 for text in path.read_text(encoding="utf-8").splitlines() if text.strip() == self.was)


def enclosing_definition(path: pathlib.Path, line: int) -> str:
    """The nearest line above `line` (1-based) that starts in the first column: the definition it stands in."""
    for text in reversed(path.read_text(encoding="utf-8").splitlines()[:line - 1]):
        if text.strip() and text[0] not in " \t}#/":
            return text
    return ""


def read_judged(path: pathlib.Path) -> list[Judgement]:
    if not path.exists():
        return []
    out: list[Judgement] = []
    entry: dict[str, str] = {}

    def finish(number: int) -> None:
        if not entry:
            return
        missing = [k for k in ("file", "was", "now", "why") if not entry.get(k)]
        if missing:
            sys.exit(f"{path}:{number}: entry lacks {', '.join(missing)}")
        out.append(Judgement(entry["file"], entry["was"], entry["now"], entry["why"], entry.get("in", "")))
        entry.clear()

    lines = path.read_text(encoding="utf-8").splitlines()
    for number, line in enumerate(lines, 1):
        if line.startswith("#"):
            continue
        if not line.strip():
            finish(number)
            continue
        key, sep, value = line.partition(":")
        if not sep or key not in ("file", "was", "now", "why", "in"):
            sys.exit(f"{path}:{number}: cannot read '{line}'")
        if key in entry:  # two entries with no blank line between them
            sys.exit(f"{path}:{number}: '{key}:' again in one entry")
        entry[key] = value.strip()
    finish(len(lines))
    return out


# ---------------------------------------------------------------- building and testing

@dataclasses.dataclass
class Test:
    number: int
    name: str
    programs: list[str]  # build-tree programs it runs, relative to the build folder


class Build:
    """One configured build folder: what each test runs and what each program is built from."""

    def __init__(self, source: pathlib.Path, folder: pathlib.Path, name: str, nice: list[str], jobs: str,
                 timeout: int, log):
        self.source, self.folder, self.name = source, folder, name
        self.nice, self.jobs, self.timeout, self.log = nice, jobs, timeout, log
        self.tests: list[Test] = []
        self.built_from: dict[str, set[str]] = {}  # program -> source files (absolute)
        self.objects_of: dict[str, list[str]] = {}  # source file -> objects compiled from it
        self.excluded: set[int] = set()

    def ninja(self, *args: str, capture=True, timeout=3600) -> tuple[int, str]:
        return run(self.nice + ["ninja", "-C", str(self.folder)] + list(args), self.log, timeout, capture)

    def build(self, targets: list[str]) -> bool:
        return self.ninja("-j", self.jobs, *targets, capture=False)[0] == 0

    def prepare(self) -> None:
        if not (self.folder / "build.ninja").exists():
            sys.exit(f"{self.folder} is no configured Ninja build folder")
        if not self.build([]):
            sys.exit(f"the unchanged tree does not build in {self.folder}; see the log")
        code, out = run(["ctest", "--test-dir", str(self.folder), "--show-only=json-v1"], self.log, 600, True)
        start = out.find("{")
        info = json.loads(out[start:]) if code == 0 and start >= 0 else sys.exit("ctest cannot list the tests")
        folder = str(self.folder) + os.sep
        for number, test in enumerate(info["tests"], 1):
            programs = []
            for word in test.get("command", []):
                if word.startswith(folder) and os.path.isfile(word) and os.access(word, os.X_OK):
                    programs.append(os.path.relpath(word, self.folder))
            if not programs:
                programs = [p for p in PACKAGED_RUNS.get(test["name"], []) if (self.folder / p).is_file()]
            self.tests.append(Test(number, test["name"], programs))
        _, deps = self.ninja("-t", "deps")
        headers: dict[str, list[str]] = {}
        current = None
        for line in deps.splitlines():
            if line and not line.startswith(" ") and ": #deps" in line:
                current = line.split(": #deps")[0]
                headers[current] = []
            elif line.startswith("    ") and current is not None:
                headers[current].append(os.path.normpath(os.path.join(self.folder, line.strip())))
        for obj, files in headers.items():
            for f in files:
                self.objects_of.setdefault(f, []).append(obj)
        for program in sorted({p for t in self.tests for p in t.programs}):
            _, inputs = self.ninja("-t", "inputs", program)
            files: set[str] = set()
            for item in inputs.split():
                if item in headers:
                    files.update(headers[item])
                else:
                    files.add(os.path.normpath(os.path.join(self.folder, item)))
            self.built_from[program] = files

    def baseline(self) -> None:
        """Runs every test once on the unchanged tree; those that fail are left out."""
        numbers = [t.number for t in self.tests if t.programs]
        failed = self.ctest(numbers, stop=False)
        if failed:
            self.excluded = {t.number for t in self.tests if t.name in failed}
            print(f"warning: {self.name}: these tests fail on the unchanged tree and are left out: "
                  f"{', '.join(sorted(failed))}", flush=True)

    def ctest(self, numbers: list[int], stop: bool = True) -> list[str]:
        """Runs the tests of these numbers; returns the names of those that failed."""
        if not numbers:
            return []
        command = self.nice + ["ctest", "--test-dir", str(self.folder), "--parallel", self.jobs,
                               "--timeout", str(self.timeout), "--output-on-failure",
                               "-I", "0,0,0," + ",".join(map(str, numbers))]
        if stop:
            command.append("--stop-on-failure")
        code, out = run(command, self.log, 7200, capture=True)
        # Skipped tests are listed apart, under "did not run".
        failed = []
        _, _, listed = out.partition("The following tests FAILED:")
        for line in listed.splitlines()[1:]:
            m = re.match(r"\s*\d+ - (\S+) \(", line)
            if not m:
                break
            failed.append(m.group(1))
        if code != 0 and not failed:
            failed = ["(ctest failed)"]
        return failed

    def stages(self, fault: Fault) -> list[tuple[str, list[str], list[int]]]:
        """(program, targets to build, test numbers) for the tests whose programs hold the file,
        the programs whose tests live beside the changed folder first."""
        path = os.path.normpath(self.source / fault.file)
        programs = [p for p, files in self.built_from.items() if path in files]
        near = f"tests{os.sep}{fault.folder}{os.sep}"

        # One stage per program or set of programs; the gtest programs whose
        # tests live beside the changed folder first, scripts that drive
        # several programs (end-to-end runs) last.
        groups: dict[tuple[str, ...], list[int]] = {}
        for test in self.tests:
            if test.number not in self.excluded and any(p in programs for p in test.programs):
                groups.setdefault(tuple(test.programs), []).append(test.number)
        ordered = sorted(groups, key=lambda g: (len(g) > 1, 0 if g[0].startswith(near) else 1, g))
        return [(" ".join(os.path.basename(p) for p in g), list(g), groups[g]) for g in ordered]

    def objects(self, fault: Fault) -> list[str]:
        return self.objects_of.get(os.path.normpath(self.source / fault.file), [])

    def try_fault(self, fault: Fault) -> tuple[str, str]:
        """('caught' | 'survived' | 'no build' | 'untested', detail)."""
        stages = self.stages(fault)
        if not stages:
            objects = self.objects(fault)
            if not objects:
                return "untested", "no program of the tests is built from this file"
            # The whole build as well: a build step may run the program (the
            # icon files are drawn that way), and a fault that stops the
            # build never ships.
            if not self.build(objects) or not self.build([]):
                return "no build", ""
            return "untested", "no program of the tests is built from this file"
        flaky: list[str] = []
        for label, targets, numbers in stages:
            # A package is made from the whole build folder, files that build
            # steps draw with these programs included.
            packaged = any(t.name in PACKAGED_RUNS for t in self.tests if t.number in numbers)
            if not self.build(targets) or (packaged and not self.build([])):
                return "no build", label
            while numbers:
                failed = self.ctest(numbers)
                if not failed:
                    break
                test = next((t for t in self.tests if t.name == failed[0]), None)
                # A test that fails, then passes when run again, failed for
                # another reason (a busy machine, a display server): the
                # fault is caught only by a failure that repeats.
                if test is None or self.ctest([test.number]):
                    return "caught", f"{failed[0]} ({self.name})"
                self.log.write(f"{test.name} passed when run again: taken as flaky\n")
                flaky.append(test.name)
                numbers = [n for n in numbers if n != test.number]
        return "survived", f"flaky: {', '.join(flaky)}" if flaky else ""


def recheck_catches(build: Build, rows: list[tuple[Fault, str, float, str]]) -> None:
    """Runs every test that caught a fault in this build once more on the unchanged tree.
    Something outside the tree (a folder's mode, a full disk) can make a test fail
    whatever is planted; a catch by a test that fails now counts as a survivor."""
    def catcher(outcome: str, detail: str) -> str | None:
        """The test of this build that caught the fault, from its detail "Test (build)"."""
        m = re.match(rf"(\S+) \({build.name}\)", detail) if outcome == "caught" else None
        return m.group(1) if m else None

    catchers = {catcher(outcome, detail) for _, outcome, _, detail in rows} - {None}
    failing = set(build.ctest([t.number for t in build.tests if t.name in catchers], stop=False))
    if not failing:
        return
    print(f"warning: {build.name}: these tests fail on the unchanged tree after the run, so their "
          f"catches count as survivors (plant those faults again): {', '.join(sorted(failing))}", flush=True)
    for i, (fault, outcome, seconds, detail) in enumerate(rows):
        if catcher(outcome, detail) in failing:
            rows[i] = (fault, "survived", seconds, f"{detail}; that test fails on the unchanged tree after the run")


# ---------------------------------------------------------------- results


def escape(text: str) -> str:
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")


def unescape(text: str) -> str:
    return re.sub(r"\\(.)", lambda m: {"t": "\t", "n": "\n"}.get(m.group(1), m.group(1)), text)


RESULT_FIELDS = ("file", "line", "kind", "outcome", "seconds", "detail", "old", "new")


def write_results(path: pathlib.Path, rows: list[tuple[Fault, str, float, str]]) -> None:
    lines = ["\t".join(RESULT_FIELDS)]
    for fault, outcome, seconds, detail in rows:
        lines.append("\t".join([fault.file, str(fault.line), fault.kind, outcome, f"{seconds:.0f}", escape(detail),
                                escape("\n".join(fault.old)), escape("\n".join(fault.new))]))
    path.write_text("\n".join(lines) + "\n", encoding="utf-8")


def read_results(path: pathlib.Path, outcomes: list[str]) -> list[Fault]:
    faults = []
    rows = path.read_text(encoding="utf-8").splitlines()
    for row in rows[1:]:
        values = dict(zip(RESULT_FIELDS, row.split("\t")))
        if outcomes and values["outcome"] not in outcomes:
            continue
        faults.append(Fault(values["file"], int(values["line"]), values["kind"],
                            unescape(values["old"]).split("\n"), unescape(values["new"]).split("\n")))
    return faults


def locate(source: pathlib.Path, fault: Fault) -> Fault | None:
    """The fault moved to where its lines stand now (nearest the recorded line), or None."""
    path = source / fault.file
    if not path.exists():
        return None
    lines = path.read_text(encoding="utf-8").split("\n")
    width = len(fault.old)
    starts = [i for i in range(len(lines) - width + 1) if lines[i:i + width] == fault.old]
    if not starts:
        return None
    best = min(starts, key=lambda i: abs(i + 1 - fault.line))
    return dataclasses.replace(fault, line=best + 1)


def planted_text(source: pathlib.Path, fault: Fault) -> str:
    """The text of the fault's file with the fault in it."""
    path = source / fault.file
    lines = path.read_text(encoding="utf-8").split("\n")
    k = fault.line - 1
    if lines[k:k + len(fault.old)] != fault.old:
        raise RuntimeError(f"{fault.where()} does not hold the expected lines")
    lines[k:k + len(fault.old)] = fault.new
    return "\n".join(lines)


def summary(rows: list[tuple[Fault, str, float, str]], judged: list[Judgement], folders: list[str]) -> list[str]:
    tally: dict[str, dict[str, int]] = {f: {} for f in folders}
    for fault, outcome, _, _ in rows:
        tally.setdefault(fault.folder, {})
        tally[fault.folder][outcome] = tally[fault.folder].get(outcome, 0) + 1
    out = ["| folder | built | caught | survived | judged harmless | score over the faults that matter |",
           "|---|---|---|---|---|---|"]
    totals = {"caught": 0, "survived": 0, "judged harmless": 0}
    for folder in folders:
        t = tally.get(folder, {})
        caught, survived, harmless = t.get("caught", 0), t.get("survived", 0), t.get("judged harmless", 0)
        for key, value in (("caught", caught), ("survived", survived), ("judged harmless", harmless)):
            totals[key] += value
        built = caught + survived + harmless
        matter = caught + survived
        score = f"{caught} of {matter} ({100 * caught / matter:.0f} %)" if matter else "-"
        out.append(f"| {folder}/ | {built} | {caught} | {survived} | {harmless} | {score} |")
    matter = totals["caught"] + totals["survived"]
    score = f"{totals['caught']} of {matter} ({100 * totals['caught'] / matter:.0f} %)" if matter else "-"
    out.append(f"| all | {sum(totals.values())} | {totals['caught']} | {totals['survived']} | "
               f"{totals['judged harmless']} | {score} |")
    return out


# ---------------------------------------------------------------- main


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seed", type=int, help="the draw; the same seed on the same tree draws the same faults")
    parser.add_argument("-n", "--count", type=int, default=60, help="faults that build (default 60)")
    parser.add_argument("--folder", action="extend", nargs="+", default=[], choices=FOLDERS,
                        help="draw only from these folders (default: all of them)")
    parser.add_argument("--replay", type=pathlib.Path,
                        help="plant the faults of an earlier results file again instead of drawing")
    parser.add_argument("--outcome", action="extend", nargs="+", default=[],
                        help="with --replay: only faults that had one of these outcomes (e.g. survived)")
    parser.add_argument("--list-only", action="store_true", help="print the draw; build and test nothing")
    parser.add_argument("--source", type=pathlib.Path, default=DEFAULT_SOURCE,
                        help="source tree the faults are planted in (it is edited: use a clone)")
    parser.add_argument("--build-dir", type=pathlib.Path, help="default: SOURCE/build/default")
    parser.add_argument("--sanitizer", choices=("off", "survivors", "all"), default="off",
                        help="also run the sanitizer build's tests: for faults the default build's tests "
                             "did not catch, or for every fault")
    parser.add_argument("--asan-build-dir", type=pathlib.Path, help="default: SOURCE/build/asan")
    parser.add_argument("--judged", type=pathlib.Path, default=HERE / "judged.txt")
    parser.add_argument("--no-baseline", action="store_true",
                        help="do not first run the tests on the unchanged tree")
    parser.add_argument("--jobs", default="2", help="parallel build and test jobs")
    parser.add_argument("--nice", type=int, default=19, help="niceness of builds and tests")
    parser.add_argument("--timeout", type=int, default=120, help="seconds per test")
    parser.add_argument("--results", type=pathlib.Path, help="default: BUILD/sampler.results")
    parser.add_argument("--log", type=pathlib.Path, help="default: BUILD/sampler.log")
    args = parser.parse_args()
    if (args.seed is None) == (args.replay is None):
        parser.error("give either --seed or --replay")

    source = args.source.resolve()
    folders = args.folder or list(FOLDERS)
    judged = read_judged(args.judged)
    for j in (j for j in judged if not j.within):
        if (places := j.places(source)) > 1:
            print(f"warning: {args.judged.name}: '{j.was}' stands on {places} lines of {j.file}; "
                  "the entry needs 'in:' to say which, or 'in: *' for all", file=sys.stderr)
    if args.replay:
        draws = [f for f in read_results(args.replay.resolve(), args.outcome)]
        lines_total = None
    else:
        draws, lines_total = draw_order(source, folders, args.seed)
    if args.list_only:
        shown = draws if args.replay else draws[:args.count]
        if lines_total is not None:
            print(f"{lines_total} lines can hold a fault; the first {len(shown)} of the draw:")
        for fault in shown:
            print(f"{fault.where():40} {fault.kind:13} {fault.was}  ->  {fault.now}")
        return 0

    build_dir = (args.build_dir or source / "build" / "default").resolve()
    asan_dir = (args.asan_build_dir or source / "build" / "asan").resolve()
    results_path = args.results or build_dir / "sampler.results"
    log_path = args.log or build_dir / "sampler.log"
    nice = ["nice", "-n", str(args.nice)]

    planted = PlantedFiles()

    rows: list[tuple[Fault, str, float, str]] = []
    commit = subprocess.run(["git", "-C", str(source), "log", "-1", "--format=%h %s"], capture_output=True,
                            text=True).stdout.strip()
    what = f"seed {args.seed}, {args.count} faults" if args.seed is not None else f"replay of {args.replay}"
    print(f"{what}; sanitizer stage: {args.sanitizer}; tree: {commit or source}", flush=True)
    started_all = time.monotonic()
    with open(log_path, "w", encoding="utf-8") as log:
        default = Build(source, build_dir, "default", nice, args.jobs, args.timeout, log)
        default.prepare()
        if not args.no_baseline:
            default.baseline()
        asan: Build | None = None
        if args.sanitizer != "off":
            asan = Build(source, asan_dir, "asan", nice, args.jobs, args.timeout, log)
            asan.prepare()
            if not args.no_baseline:
                asan.baseline()
        setup = time.monotonic() - started_all
        for fault in draws:
            built = sum(1 for _, o, _, _ in rows if o != "no build")
            if not args.replay and built >= args.count:
                break
            if args.replay:
                moved = locate(source, fault)
                if moved is None:
                    print(f"{fault.where():40} its lines are gone; skipped", flush=True)
                    continue
                fault = moved
            started = time.monotonic()
            log.write(f"\n===== {fault.where()} {fault.kind}: {fault.was} -> {fault.now}\n")
            planted.plant(source / fault.file, planted_text(source, fault))
            try:
                outcome, detail = default.try_fault(fault)
                if asan is not None and outcome != "no build" and (
                        args.sanitizer == "all" or outcome in ("survived", "untested")):
                    asan_outcome, asan_detail = asan.try_fault(fault)
                    if asan_outcome == "caught" and outcome != "caught":
                        outcome, detail = "caught", asan_detail
                    elif outcome == "caught":
                        detail += f"; sanitizer build: {asan_outcome} {asan_detail}".rstrip()
            finally:
                planted.restore()
            if outcome == "untested":
                outcome = "survived"
            if outcome == "survived":
                reason = next((j.why for j in judged if j.matches(fault, source)), None)
                if reason is not None:
                    outcome, detail = "judged harmless", reason
            seconds = time.monotonic() - started
            rows.append((fault, outcome, seconds, detail))
            write_results(results_path, rows)
            number = f"[{sum(1 for _, o, _, _ in rows if o != 'no build')}]" if outcome != "no build" else "[-]"
            print(f"{number:6} {fault.where():36} {fault.kind:12} {outcome:15} {seconds:4.0f} s  "
                  f"{fault.was}  ->  {fault.now}" + (f"   [{detail}]" if detail else ""), flush=True)
        # Leave the builds matching the restored sources.
        default.build([])
        if asan is not None:
            asan.build([])
        if not args.no_baseline:
            for build in (b for b in (default, asan) if b is not None):
                recheck_catches(build, rows)
            write_results(results_path, rows)

    counted = [r for r in rows if r[1] != "no build"]
    print()
    print("\n".join(summary(counted, judged, folders)))
    survivors = [r for r in counted if r[1] == "survived"]
    if survivors:
        print("\nsurvivors (file, line, the change):")
        for fault, _, _, _ in survivors:
            print(f"  {fault.where()}: {fault.was}  ->  {fault.now}")
    if counted:
        elapsed = sum(r[2] for r in rows)
        print(f"\n{len(counted)} faults built, {len(rows) - len(counted)} did not; "
              f"{elapsed / len(counted):.0f} s per fault that built; {elapsed / 60:.0f} min for the faults, "
              f"{setup / 60:.0f} min to build and check the unchanged tree first")
    print(f"results: {results_path}\nlog: {log_path}")
    return 0 if not survivors else 1


if __name__ == "__main__":
    sys.exit(main())
