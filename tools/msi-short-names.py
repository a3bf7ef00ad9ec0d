#!/usr/bin/env python3
"""Gives every file and folder name in an installer package that is no valid
short (8.3) name a short one beside it, as "QB480L~1.EXE|qb480load.exe":

    msi-short-names.py MSI

wixl writes long names only, and Windows Installer installs by the short
names when SHORTFILENAMES is set or the target volume has no long names.
Short names are unique among the files and folders of their folder, in the
target tree and in the source tree ("target:source" in DefaultDir).
"""
import itertools
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from msitables import Table, replace  # noqa: E402

# Forbidden in every name, and further in short names.
FORBIDDEN = set('\\/?|><:*"')
SHORT_FORBIDDEN = FORBIDDEN | set("+,;=[] ")


def fail(message):
    print("msi-short-names: " + message, file=sys.stderr)
    sys.exit(1)


def is_short(name):
    base, dot, ext = name.partition(".")
    return (0 < len(base) <= 8 and len(ext) <= 3 and "." not in ext and bool(ext) == bool(dot)
            and name.isascii() and name.isprintable() and not set(name) & SHORT_FORBIDDEN)


def clean(text):
    # Blanks and inner dots go; what a short name cannot hold becomes "_".
    return "".join("_" if c in SHORT_FORBIDDEN or not (c.isascii() and c.isprintable()) else c
                   for c in text.upper() if c not in " .")


def candidates(long):
    """QB480L~1.EXE, QB480L~2.EXE, ..., QB480~10.EXE, ..."""
    stem, dot, ext = long.lstrip(". ").rpartition(".")
    if not dot:
        stem, ext = ext, ""
    stem, ext = clean(stem) or "_", clean(ext)[:3]
    for n in itertools.count(1):
        tail = "~%d" % n
        yield stem[:8 - len(tail)] + tail + ("." + ext if ext else "")


class Name:
    """One name of a file or folder and the folders whose names it shares
    ("target" or "source", the Directory key)."""

    def __init__(self, text, folders):
        self.text, self.folders, self.short = text, folders, None

    def settled(self):
        return self.text in ("", ".") or "|" in self.text or is_short(self.text)

    def value(self):
        return self.text if self.short is None else self.short + "|" + self.text


def give_short_names(names):
    taken = set()
    for name in names:
        if name.settled():
            taken |= {(folder, name.text.split("|")[0].upper()) for folder in name.folders}
    # In the order of the long names, as Windows numbers the names of a folder.
    for name in sorted((n for n in names if not n.settled()), key=lambda n: n.text.lower()):
        name.short = next(c for c in candidates(name.text) if not {(f, c) for f in name.folders} & taken)
        taken |= {(folder, name.short) for folder in name.folders}


def main():
    msi = sys.argv[1]
    files, directories, components = (Table(msi, name) for name in ("File", "Directory", "Component"))
    component_folders = {row[0]: row[components.index("Directory_")] for row in components.rows}
    file_name, component = files.index("FileName"), files.index("Component_")
    default_dir, parent = directories.index("DefaultDir"), directories.index("Directory_Parent")

    cells = []  # (row, column, the Names of the cell's ":"-separated parts)
    for row in files.rows:
        folder = component_folders[row[component]]
        cells.append((row, file_name, [Name(row[file_name], {("target", folder), ("source", folder)})]))
    for row in directories.rows:
        # A root's DefaultDir names the source root by a property.
        if row[parent] in ("", row[0]):
            continue
        parts, folder = row[default_dir].split(":"), row[parent]
        if len(parts) > 2:
            fail("folder %s's name %r is more than target:source" % (row[0], row[default_dir]))
        kinds = [{("target", folder), ("source", folder)}] if len(parts) == 1 else \
            [{("target", folder)}, {("source", folder)}]
        cells.append((row, default_dir, [Name(part, kind) for part, kind in zip(parts, kinds)]))
    give_short_names([name for _, _, names in cells for name in names])
    for row, column, names in cells:
        row[column] = ":".join(name.value() for name in names)

    replace(msi, files, directories)
    # Read back: the import replaced both tables whole.
    for table in (files, directories):
        if Table(msi, table.name).rows != table.rows:
            fail("the %s table of %s does not hold the short names given" % (table.name, msi))


if __name__ == "__main__":
    main()
