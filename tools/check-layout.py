#!/usr/bin/env python3
"""Checks that the production code's includes run one way:
framework/ <- common/ (top) <- windows/ <- board/ <- settingsfile/ <- the
programs, and that no program includes another's files. Prints each arrow
that runs back up and exits 1 when there is one."""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROGRAMS = ["applet", "loader", "configurator", "installer"]
# Lower ranks may be included by higher ones, never the other way round.
RANKS = {"framework": 0, "common": 1, "common/windows": 2, "common/board": 3, "common/settingsfile": 4}
RANKS.update({program: 5 for program in PROGRAMS})
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def folder_of(path):
    folder = os.path.dirname(os.path.relpath(path, ROOT)).replace(os.sep, "/")
    return folder if folder in RANKS else None


def resolve(includer_folder, name):
    """The folder that holds the included file, or None (generated, resources)."""
    if "/" in name:
        return folder_of(os.path.join(ROOT, "common", name))
    for folder in (includer_folder, "framework", "common"):
        if os.path.isfile(os.path.join(ROOT, folder, name)):
            return folder
    return None


def faults():
    for folder in RANKS:
        for name in sorted(os.listdir(os.path.join(ROOT, folder))):
            if not name.endswith((".h", ".cpp", ".c")):
                continue
            with open(os.path.join(ROOT, folder, name), encoding="latin-1") as source:
                for included in INCLUDE.findall(source.read()):
                    target = resolve(folder, included)
                    if target is None or target == folder:
                        continue
                    if RANKS[target] > RANKS[folder] or RANKS[target] == RANKS[folder]:
                        yield f"{folder}/{name} includes {included} ({target}/)"


def main():
    found = list(faults())
    for fault in found:
        print(fault)
    print(f"layout: {len(found)} include(s) against the direction")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
