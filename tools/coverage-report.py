#!/usr/bin/env python3
"""Summarises gcovr's JSON output for ./run coverage.

    coverage-report.py [--branches] [--windows ARCH] [--part NAME=FILE,FILE...] UNREACHABLE.txt GCOVR.json...

Each JSON file is one build's measurement (the Windows build under Wine,
ARCH i686 unless --windows says otherwise, and the native build); they are
merged line by line, so a line counts as
executed when any build ran it. Prints line and branch coverage for each
production folder and in total, then every line never executed, as
file:line with its text, and apart from them the lines that the list
UNREACHABLE.txt names, each with its reason: not reachable under Wine, or
reachable but not tested yet.
--branches also lists the lines that have a branch never taken. --part
gives the named files a row of their own, taken out of their folder's row
(the installer's action DLL, in installer/, with the portable core
it shares with the unit tests).

The report ends with the lines never executed that the list does not name:
each needs a test, or an entry with its reason.

UNREACHABLE.txt: one entry a line, "FILE:FIRST[-LAST][@ARCH] `TEXT` KIND: REASON",
TEXT being line FIRST as it reads (blanks at its ends left out), KIND
"unreachable" or "untested"; @ARCH limits the entry to measurements of
that Windows build (a line another architecture runs, the WOW64 paths of
the i686 build, say); blank lines and lines starting with # are ignored. When code above moves the lines, the
entry is found again by TEXT (when one line alone reads it) and applies
there, with a note to renumber it. An entry whose TEXT is gone, whose lines were
run, or that covers no code line, is reported as out of date.
"""
import json
import sys
import textwrap
from pathlib import Path

FOLDERS = ["applet/", "loader/", "common/", "framework/", "configurator/", "installer/"]


class Line:
    def __init__(self, count, branches):
        self.count = count
        self.branches = branches  # taken counts, by branch number


def load(paths):
    """{file: {line number: Line}} over every build, counts added up."""
    files = {}
    for path in paths:
        for entry in json.loads(Path(path).read_text())["files"]:
            lines = files.setdefault(entry["file"], {})
            for raw in entry["lines"]:
                if raw["gcovr/noncode"] or raw.get("gcovr/excluded"):
                    continue
                taken = [b["count"] for b in raw["branches"]]
                line = lines.get(raw["line_number"])
                if line is None:
                    lines[raw["line_number"]] = Line(raw["count"], taken)
                    continue
                # The builds share one compiler version and flags, so a line
                # has the same branches in both; should they differ, the
                # longer list is kept.
                line.count += raw["count"]
                merged = [a + b for a, b in zip(line.branches, taken)]
                longer = line.branches if len(line.branches) > len(taken) else taken
                line.branches = merged + longer[len(merged):]
    return files


KINDS = {"unreachable": "not reachable under Wine", "untested": "reachable, not tested yet"}


def read_unreachable(path, windows):
    """[(file, first, last, anchor text, kind, reason, entry line)] of the
    entries that apply to the Windows build `windows`; exits on a malformed
    entry."""
    entries = []
    for number, text in enumerate(Path(path).read_text().splitlines(), 1):
        text = text.strip()
        if not text or text.startswith("#"):
            continue
        where, _, rest = text.partition(" ")
        where, _, arch = where.partition("@")
        name, _, lines = where.rpartition(":")
        first, _, last = lines.partition("-")
        anchor, reason = None, ""
        if rest.startswith("`") and rest.count("`") >= 2:
            anchor, _, reason = rest[1:].partition("`")
        kind, _, reason = reason.strip().partition(": ")
        if (not name or not first.isdigit() or (last and not last.isdigit()) or not anchor
                or kind not in KINDS or not reason.strip() or arch not in ("", "i686", "x86_64")):
            sys.exit(f"{path}:{number}: expected FILE:FIRST[-LAST][@ARCH] `TEXT OF LINE FIRST` "
                     f"unreachable|untested: REASON, got: {text}")
        if arch and arch != windows:
            continue
        entries.append((name, int(first), int(last or first), anchor.strip(), kind, reason.strip(), number))
    return entries


def find_anchor(name, first, anchor):
    """Where the entry's first line is now: FIRST when it still reads TEXT,
    else the one line that does, else None. A text that several lines read
    (a bare return) says nothing about which one moved there: the nearest
    was seen to be the wrong one, so such an entry must be renumbered."""
    lines = [line.strip() for line in source_lines(name)]
    if first <= len(lines) and lines[first - 1] == anchor:
        return first
    found = [n for n, line in enumerate(lines, 1) if line == anchor]
    return found[0] if len(found) == 1 else None


def percent(part, whole):
    return f"{100.0 * part / whole:5.1f}%" if whole else "    -"


def figures(lines):
    code = len(lines)
    run = sum(1 for line in lines if line.count > 0)
    branches = sum(len(line.branches) for line in lines)
    taken = sum(1 for line in lines for count in line.branches if count > 0)
    return run, code, taken, branches


def source_lines(name, cache={}):
    if name not in cache:
        try:
            cache[name] = Path(name).read_text(errors="replace").splitlines()
        except OSError:
            cache[name] = []
    return cache[name]


def text_of(name, number, width=72):
    lines = source_lines(name)
    text = lines[number - 1].strip() if number <= len(lines) else "(line not in the source)"
    return text if len(text) <= width else text[: width - 3] + "..."


def main(argv):
    show_branches = "--branches" in argv
    argv = [arg for arg in argv if arg != "--branches"]
    windows = "i686"
    if len(argv) > 1 and argv[0] == "--windows":
        windows, argv = argv[1], argv[2:]
    parts = {}
    while len(argv) > 1 and argv[0] == "--part":
        label, _, names = argv[1].partition("=")
        parts[label] = set(filter(None, names.split(",")))
        argv = argv[2:]
    if len(argv) < 2:
        sys.exit(__doc__)
    unreachable = read_unreachable(argv[0], windows)
    files = {name: lines for name, lines in load(argv[1:]).items() if name.startswith(tuple(FOLDERS))}

    print(f"Coverage of the production code (every Wine suite of the {windows} build, the installer packages"
          " under msiexec, the native unit tests)")
    print()
    in_parts = set().union(*parts.values())
    rows = [(folder, [name for name in files if name.startswith(folder) and name not in in_parts]) for folder in FOLDERS]
    rows += [(label, [name for name in files if name in names]) for label, names in parts.items()]
    rows.append(("total", list(files)))
    label_width = max(len(label) for label, _ in rows)
    print(f"  {'':<{label_width}} {'lines':<21}  {'branches'}")
    for label, names in rows:
        run, code, taken, branches = figures([line for name in names for line in files[name].values()])
        if label == "total":
            print(f"  {'-' * label_width} {'-' * 21}  {'-' * 21}")
        print(f"  {label:<{label_width}} {run:>5} of {code:<5} {percent(run, code)}  "
              f"{taken:>5} of {branches:<5} {percent(taken, branches)}")

    # Which entry of the list explains each line, and entries gone stale.
    explained = {}
    stale, moved = [], []
    for name, first, last, anchor, kind, reason, number in unreachable:
        lines = files.get(name, {})
        now = find_anchor(name, first, anchor)
        if now is None:
            stale.append(f"{argv[0]}:{number}: {name}:{first}-{last} reads no longer `{anchor}`, and no single other "
                         f"line of {name} does")
            continue
        if now != first:
            moved.append(f"{argv[0]}:{number}: {name}:{first}-{last} is now {name}:{now}-{now + last - first}")
            first, last = now, now + last - first
        covered = [n for n in range(first, last + 1) if n in lines]
        run = [n for n in covered if lines[n].count > 0]
        if not covered or run:
            why = "covers no code line" if not covered else "lines " + ", ".join(map(str, run)) + " were run"
            stale.append(f"{argv[0]}:{number}: {name}:{first}-{last} {why}")
            continue
        for n in covered:
            explained[(name, n)] = (kind, reason, number)

    missed = [(name, n) for name in sorted(files) for n in sorted(files[name]) if files[name][n].count == 0]
    not_run = [key for key in missed if key not in explained]
    width = max([len(f"{name}:{n}") for name, n in missed] + [0])

    for kind, title in KINDS.items():
        named = [key for key in missed if key in explained and explained[key][0] == kind]
        print()
        print(f"{title[0].upper()}{title[1:]} ({argv[0]}): {len(named)} lines")
        for index, (name, n) in enumerate(named):
            _, reason, number = explained[(name, n)]
            print(f"  {f'{name}:{n}':<{width}}  {text_of(name, n)}")
            following = named[index + 1] if index + 1 < len(named) else None
            if not following or explained[following][2] != number:
                print(textwrap.fill(f"{title}: {reason}", width=100, initial_indent="      ",
                                    subsequent_indent="        "))
    if show_branches:
        print()
        print("Lines with a branch never taken (taken/branches):")
        for name in sorted(files):
            for n, line in sorted(files[name].items()):
                taken = sum(1 for count in line.branches if count > 0)
                if line.count > 0 and taken < len(line.branches):
                    print(f"  {f'{name}:{n}':<{width}}  {taken}/{len(line.branches)}  {text_of(name, n, 60)}")

    if moved:
        print()
        print("Entries of the unreachable list found by their text on other lines (renumber them):")
        for text in moved:
            print("  " + text)
    if stale:
        print()
        print("WARNING: entries of the unreachable list are out of date (fix or remove them):")
        for text in stale:
            print("  " + text)

    # Last, where it cannot scroll away: what needs a test or an entry.
    print()
    print(f"Not executed and not in {argv[0]}: {len(not_run)} lines")
    previous = None
    for name, n in not_run:
        if previous and previous != name:
            print()
        print(f"  {f'{name}:{n}':<{width}}  {text_of(name, n)}")
        previous = name
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
