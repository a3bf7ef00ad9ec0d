#!/usr/bin/env python3
"""Gives the programs in an installer package the version and language of
their version resource, which wixl leaves empty:

    msi-file-versions.py MSI FILE_KEY=PATH...

Without a version Windows Installer takes a program for an unversioned file,
and a versioned file already in place wins over an unversioned one: a
qb480.cpl copied into the system folder from the zip would be kept. File
hashes are for unversioned files only, so the program's MsiFileHash row goes.
"""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from msitables import Table  # noqa: E402
from peimage import version_info  # noqa: E402


def fail(message):
    print("msi-file-versions: " + message, file=sys.stderr)
    sys.exit(1)


def main():
    msi, pairs = sys.argv[1], sys.argv[2:]
    queries, expected = [], {}
    for pair in pairs:
        key, _, path = pair.partition("=")
        # Keys go into SQL text: identifiers only.
        if not re.fullmatch(r"[A-Za-z_][A-Za-z0-9_.]*", key):
            fail("%r is not a File table key" % key)
        with open(path, "rb") as f:
            info = version_info(f.read())
        if not info or not info.file_version:
            fail("%s carries no version resource" % path)
        # A program without a translation is language neutral.
        language = ",".join(str(language) for language in info.languages) or "0"
        expected[key] = (info.file_version, language)
        queries += ["-q", "UPDATE `File` SET `Version` = '%s', `Language` = '%s' WHERE `File` = '%s'"
                    % (info.file_version, language, key),
                    "-q", "DELETE FROM `MsiFileHash` WHERE `File_` = '%s'" % key]
    subprocess.run(["msibuild", msi, *queries], check=True)

    # An UPDATE that matches no row succeeds: read back what the table says.
    files = Table(msi, "File")
    found = {row[0]: (row[files.index("Version")], row[files.index("Language")]) for row in files.rows}
    for key, wanted in expected.items():
        if found.get(key) != wanted:
            fail("the File table of %s has no %s of version %s" % (msi, key, wanted[0]))


if __name__ == "__main__":
    main()
