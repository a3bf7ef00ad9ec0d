"""Whole tables of an installer package, read with msiinfo and written back
with msibuild, for the tools that finish what wixl leaves undone.

msibuild's SQL has no escape for a quote inside a string, so a value such as
a long file name with an apostrophe can only be written by importing the
table as an .idt file, which replaces the table whole.
"""
import os
import subprocess
import tempfile


class Table:
    """The export of one table: its three header lines and its rows, as lists
    of cells in the export's own encoding of tabs and line breaks."""

    def __init__(self, msi, name):
        self.name = name
        text = subprocess.run(["msiinfo", "export", msi, name], check=True, capture_output=True).stdout.decode("utf-8")
        lines = text.split("\r\n")
        self.header = lines[:3]
        self.columns = self.header[0].split("\t")
        self.rows = [line.split("\t") for line in lines[3:] if line]

    def index(self, column):
        return self.columns.index(column)

    def idt(self):
        return "".join(line + "\r\n" for line in self.header + ["\t".join(row) for row in self.rows])


def replace(msi, *tables):
    """Writes the tables into the package in one msibuild run."""
    with tempfile.TemporaryDirectory() as scratch:
        imports = []
        for table in tables:
            path = os.path.join(scratch, table.name + ".idt")
            with open(path, "w", encoding="utf-8", newline="") as f:
                f.write(table.idt())
            imports += ["-i", path]
        subprocess.run(["msibuild", msi, *imports], check=True)
