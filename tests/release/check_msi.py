#!/usr/bin/env python3
"""Reads an installer package's tables with msiinfo, as Windows Installer will.

usage: check_msi.py ARCH BUILD_DIR MSI VERSION

ARCH is i686 or x86_64, BUILD_DIR that architecture's release build. Prints
one line per check and a closing line "msi-ARCH: N passed, M failed".
"""
import os
import re
import subprocess
import sys
import tempfile

from check_release import Checks

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# Fixed once for each architecture: a later package finds the installed one
# by it. Changing one strands every installed copy.
UPGRADE_CODES = {"i686": "{86E33B8D-FF0A-4C5D-9897-DCE85C78D8D2}", "x86_64": "{514328A7-D869-44BD-8BF8-4F6D2854F385}"}
COMPONENT_64BIT = 0x100
# Word Count of the summary information: 2 = compressed; 8 would say that
# no administrator is needed.
WORD_COUNT_COMPRESSED, WORD_COUNT_NO_ELEVATION = 2, 8


def msiinfo(*args):
    # Exporting a table with a binary column writes its streams into the
    # working folder: a scratch one.
    with tempfile.TemporaryDirectory() as scratch:
        return subprocess.run(["msiinfo", *args], check=True, capture_output=True, cwd=scratch).stdout


def table(msi, name):
    """The rows of a table as dictionaries of its column names."""
    lines = msiinfo("export", msi, name).decode("utf-8").replace("\r\n", "\n").split("\n")
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:] if line]


def summary(msi):
    text = msiinfo("suminfo", msi).decode("utf-8")
    return dict(re.findall(r"^([^:]+): (.*)$", text, re.M))


def folder_path(directories, directory):
    """Folder names from the standard folder property down, for example
    ["ProgramFiles64Folder", "Tessaline", "QB480"]."""
    names = []
    while directory and directory != "TARGETDIR":
        row = directories[directory]
        default = row["DefaultDir"].split(":")[-1].split("|")[-1]
        names.insert(0, directory if default == "." else default)
        directory = row["Directory_Parent"]
    return names


def main():
    arch, build, msi, version = sys.argv[1:5]
    msi, build = os.path.abspath(msi), os.path.abspath(build)
    checks = Checks(arch)
    x64 = arch == "x86_64"
    properties = {row["Property"]: row["Value"] for row in table(msi, "Property")}
    checks.check(properties.get("ProductName") == "Tessaline QB480", "msi: product name %r" % properties.get("ProductName"))
    checks.check(properties.get("Manufacturer") == "Tessaline", "msi: manufacturer %r" % properties.get("Manufacturer"))
    checks.check(properties.get("ProductVersion") == version, "msi: version %r" % properties.get("ProductVersion"))
    checks.check(properties.get("UpgradeCode") == UPGRADE_CODES[arch], "msi: upgrade code %s" % properties.get("UpgradeCode"))
    checks.check(properties.get("ALLUSERS") == "1", "msi: installs per machine (ALLUSERS %r)" % properties.get("ALLUSERS"))

    info = summary(msi)
    template = info.get("Template", "")
    checks.check(template == ("x64;1033" if x64 else "Intel;1033"), "msi: platform and language %r" % template)
    # msiinfo names the word count "Source".
    word_count = int(re.match(r"\d+", info.get("Source", "0")).group())
    checks.check(word_count & WORD_COUNT_COMPRESSED and not word_count & WORD_COUNT_NO_ELEVATION,
                 "msi: compressed, needs an administrator (word count %d)" % word_count)

    icons = {row["Name"] for row in table(msi, "Icon")}
    icon = properties.get("ARPPRODUCTICON")
    with open(os.path.join(ROOT, "applet", "qb480.ico"), "rb") as f:
        applet_icon = f.read()
    checks.check(icon in icons and msiinfo("extract", msi, "Icon." + str(icon)) == applet_icon,
                 "msi: installed-programs icon is the applet's (%s)" % icon)

    directories = {row["Directory"]: row for row in table(msi, "Directory")}
    components = {row["Component"]: row for row in table(msi, "Component")}
    files = table(msi, "File")
    system = "System64Folder" if x64 else "SystemFolder"
    programs = ["ProgramFiles64Folder" if x64 else "ProgramFilesFolder", "Tessaline", "QB480"]
    with open(os.path.join(ROOT, "docs", "guide", "guide.html"), encoding="utf-8") as f:
        images = set(re.findall(r'src="screenshots/([^"]+)"', f.read()))
    expected = {"qb480.cpl": [system], "qb480load.exe": programs, "guide.html": programs}
    expected.update({image: programs + ["screenshots"] for image in images})
    where = {}
    for row in files:
        name = row["FileName"].split("|")[-1]
        component = components[row["Component_"]]
        where[name] = folder_path(directories, component["Directory_"])
    checks.check(set(where) == set(expected),
                 "msi: holds exactly the deliverables, the guide and its %d screenshots (extra %s, missing %s)"
                 % (len(images), sorted(set(where) - set(expected)), sorted(set(expected) - set(where))))
    for name in ("qb480.cpl", "qb480load.exe", "guide.html"):
        checks.check(where.get(name) == expected[name], "msi: %s goes to %s" % (name, "\\".join(where.get(name, ["?"]))))
    checks.check(all(where.get(image) == expected[image] for image in images), "msi: the screenshots go beside the guide")
    bits = {name: int(row["Attributes"]) & COMPONENT_64BIT for name, row in components.items()}
    checks.check(all(bool(bit) == x64 for bit in bits.values()),
                 "msi: every component is %s" % ("64-bit" if x64 else "32-bit"))

    with tempfile.TemporaryDirectory() as unpacked:
        subprocess.run(["msiextract", "-C", unpacked, msi], check=True, capture_output=True)
        packed = {name: os.path.join(dirpath, name) for dirpath, _, names in os.walk(unpacked) for name in names}
        for name, built in (("qb480.cpl", "applet/qb480.cpl"), ("qb480load.exe", "loader/qb480load.exe")):
            with open(packed.get(name, os.devnull), "rb") as a, open(os.path.join(build, built), "rb") as b:
                checks.check(a.read() == b.read(), "msi: %s is the checked binary" % name)

    shortcuts = {row["Name"].split("|")[-1]: row for row in table(msi, "Shortcut")}
    menu = {name: folder_path(directories, row["Directory_"]) for name, row in shortcuts.items()}
    checks.check(sorted((name, row["Target"]) for name, row in shortcuts.items()) ==
                 [("QB480 Administrator's Guide", "[#guide.html]"), ("QB480 Firmware Loader", "[#qb480load.exe]")],
                 "msi: Start-menu entries for the loader and the guide")
    checks.check(all(path == ["ProgramMenuFolder", "Tessaline QB480"] for path in menu.values()),
                 "msi: the entries are in the Start menu's Tessaline QB480 folder")

    upgrades = table(msi, "Upgrade")
    checks.check(any(row["ActionProperty"] == "WIX_UPGRADE_DETECTED" and row["VersionMax"] == version for row in upgrades)
                 and any(row["ActionProperty"] == "WIX_DOWNGRADE_DETECTED" and row["VersionMin"] == version for row in upgrades)
                 and all(row["UpgradeCode"] == UPGRADE_CODES[arch] for row in upgrades),
                 "msi: replaces earlier versions of its architecture, detects later ones")
    refusal = [row["Description"] for row in table(msi, "LaunchCondition") if "WIX_DOWNGRADE_DETECTED" in row["Condition"]]
    checks.check(refusal == ["A later version of [ProductName] is already installed. Remove it first if you want to "
                             "install version [ProductVersion]."], "msi: a later version refuses it with %r" % refusal)
    # The board's driver service, its keys and its event-log source belong to
    # the board: the package neither writes nor removes any of them.
    for untouched in ("ServiceInstall", "ServiceControl", "Registry", "CustomAction"):
        checks.check(table(msi, untouched) == [], "msi: no %s rows" % untouched)

    print("msi-%s: %d passed, %d failed" % (arch, checks.passed, checks.failed))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
