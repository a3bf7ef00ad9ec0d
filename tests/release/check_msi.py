#!/usr/bin/env python3
"""Reads an installer package's tables with msiinfo, as Windows Installer will.

usage: check_msi.py ARCH BUILD_DIR MSI VERSION

ARCH is i686 or x86_64, BUILD_DIR that architecture's release build. Checks
the rules of Windows Installer's validation in tests/release/ice_rules.py and
those of the board's set-up in tests/release/action_rules.py on MSI, and that
each rule sees a fault in a package built with one change.
Prints one line per check and a closing line "msi-ARCH: N passed, M failed".
"""
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile

import action_rules
import ice_rules
from check_release import Checks, release_time
from ice_rules import Package, long_name, msiinfo

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# Fixed once for each architecture: a later package finds the installed one
# by it. Changing one strands every installed copy.
UPGRADE_CODES = {"i686": "{86E33B8D-FF0A-4C5D-9897-DCE85C78D8D2}", "x86_64": "{514328A7-D869-44BD-8BF8-4F6D2854F385}"}
COMPONENT_64BIT, COMPONENT_PERMANENT = 0x100, 0x10
# Word Count of the summary information: 2 = compressed; 8 would say that
# no administrator is needed.
WORD_COUNT_COMPRESSED, WORD_COUNT_NO_ELEVATION = 2, 8
BINARIES = ("qb480.cpl", "qb480load.exe", "qb480cfg.exe", "qb480msg.dll")
BUILT = {"qb480.cpl": "applet/qb480.cpl", "qb480load.exe": "loader/qb480load.exe", "qb480cfg.exe": "configurator/qb480cfg.exe",
         "qb480msg.dll": "messages/qb480msg.dll"}
# The applet's Control Panel properties on Vista and later: (key, name) -> value.
EXTENDED = "Software\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Extended Properties\\"
CPL = "%SystemRoot%\\System32\\qb480.cpl"
CONTROL_PANEL = {(EXTENDED + "System.ApplicationName", CPL): "Tessaline.QB480",
                 (EXTENDED + "System.ControlPanel.Category", CPL): "#2"}  # Hardware and Sound
# The set-up's own event source in the Application log, written by the
# package and kept at its removal with the message file: (key, name) -> value
# as the Registry table writes it, #% being REG_EXPAND_SZ and # REG_DWORD.
SOURCE_KEY = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Tessaline QB480"
MESSAGE_FILE = "%SystemRoot%\\System32\\qb480msg.dll"
EVENT_SOURCE = {(SOURCE_KEY, "EventMessageFile"): "#%" + MESSAGE_FILE, (SOURCE_KEY, "CategoryMessageFile"): "#%" + MESSAGE_FILE,
                (SOURCE_KEY, "CategoryCount"): "#3", (SOURCE_KEY, "TypesSupported"): "#7"}
RULES = dict(ice_rules.RULES, **action_rules.RULES)
WXS = os.path.join(ROOT, "packaging", "qb480.wxs")


def stage_of(msi, stage):
    """The staged release an MSI was made of, from its packed files."""
    with tempfile.TemporaryDirectory() as unpacked:
        subprocess.run(["msiextract", "-C", unpacked, msi], check=True, capture_output=True)
        os.makedirs(os.path.join(stage, "screenshots"), exist_ok=True)
        for folder, _, names in os.walk(unpacked):
            for name in names:
                below = "screenshots" if os.path.basename(folder) == "screenshots" else ""
                shutil.copy(os.path.join(folder, name), os.path.join(stage, below, name))
    with open(os.path.join(stage, "qb480cfgmsi.dll"), "wb") as action:
        action.write(msiinfo("extract", msi, "Binary.Qb480CfgMsi"))


def wxs(old, new):
    """Our package built from packaging/qb480.wxs with old replaced by new."""
    def build(msi, out, arch, version, scratch):
        with open(WXS, encoding="utf-8") as f:
            source = f.read()
        if old not in source:
            return False
        stage, changed = os.path.join(scratch, "stage"), os.path.join(scratch, "changed.wxs")
        if not os.path.isdir(stage):
            stage_of(msi, stage)
        with open(changed, "w", encoding="utf-8") as f:
            f.write(source.replace(old, new, 1))
        return subprocess.run([os.path.join(ROOT, "tools", "make-msi.sh"), arch, version, stage, out, changed]).returncode == 0
    return build


def sql(query):
    """Our package with one query run on its tables."""
    def change(msi, out, *_):
        shutil.copy(msi, out)
        return subprocess.run(["msibuild", out, "-q", query]).returncode == 0
    return change


# Each rule sees a package with one fault of its kind.
BREAKS = [
    ("ICE03", "the loader's long name alone", sql("UPDATE `File` SET `FileName` = 'qb480load.exe' WHERE `File` = 'qb480load.exe'")),
    ("ICE03", "a space before the maker's folder's long name", sql("UPDATE `Directory` SET `DefaultDir` = 'TESSAL~1 |Tessaline' "
                                                                  "WHERE `Directory` = 'TESSALINEDIR'")),
    ("ICE03", "a comma in the menu folder's short name", sql("UPDATE `Directory` SET `DefaultDir` = 'TESSAL,1|Tessaline QB480' "
                                                            "WHERE `Directory` = 'TessalineMenuFolder'")),
    ("ICE03", "the program folder's source name long alone", sql("UPDATE `Directory` SET `DefaultDir` = 'QB480:QB480 Files' "
                                                                "WHERE `Directory` = 'INSTALLDIR'")),
    ("ICE18", "the maker's folder a key path not removed", wxs('<RemoveFolder Id="RemoveMakerFolder" On="uninstall"/>', "")),
    ("ICE30", "the guide under the loader's name", wxs('Name="guide.html"', 'Name="qb480load.exe"')),
    ("ICE38", "the Start-menu key under HKLM", wxs('Root="HKCU"', 'Root="HKLM"')),
    ("ICE43", "the Start-menu entries' registry key path empty", sql("UPDATE `Component` SET `KeyPath` = '' "
                                                                    "WHERE `Component` = 'StartMenu'")),
    ("ICE57", "an HKCU value beside the applet", wxs('<File Id="qb480.cpl"', '<RegistryValue Root="HKCU" Key="QB480" '
                                                      'Name="Applet" Type="integer" Value="1"/><File Id="qb480.cpl"')),
    ("ICE60", "the applet hashed", sql("INSERT INTO `MsiFileHash` (`File_`, `Options`, `HashPart1`, `HashPart2`, "
                                       "`HashPart3`, `HashPart4`) VALUES ('qb480.cpl', 0, 1, 2, 3, 4)")),
    ("ICE60", "the loader without a language", sql("UPDATE `File` SET `Language` = '' WHERE `File` = 'qb480load.exe'")),
    ("ICE64", "the menu folder not removed", wxs('<RemoveFolder Id="RemoveMenuFolder" On="uninstall"/>', "")),
    ("ICE68", "the hand-over run as the service", wxs('DllEntry="PrepareBoardConfiguration"\n                  Execute="immediate" Impersonate="yes"',
                                                       'DllEntry="PrepareBoardConfiguration"\n                  Execute="immediate" Impersonate="no"')),
    ("ICE69", "the loader's entry naming its file", wxs('Target="[INSTALLDIR]qb480load.exe"', 'Target="[#qb480load.exe]"')),
    ("ICE77", "the configurator run after InstallFinalize", wxs('Action="ConfigureBoard" Sequence="6590"',
                                                               'Action="ConfigureBoard" Sequence="6700"')),
    ("ICE92", "the permanent message file without a component GUID",
     sql("UPDATE `Component` SET `ComponentId` = '' WHERE `Component` = 'MessageFile'")),
    ("ICE90", "the menu folder a public property", wxs('Id="TessalineMenuFolder"', 'Id="TESSALINEMENU"')),
    ("pasted", "the prefix pasted into a command line", sql("INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
                                                             "VALUES ('Pasted', 51, 'Args', '/prefix \"[QB480_PREFIX]\"')")),
    ("shared folders", "a log in the system's temporary folder", sql("INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, "
                                                                     "`Target`) VALUES ('Log', 51, 'Args', "
                                                                     "'/log \"[WindowsFolder]Temp\\qb480cfg.log\"')")),
    ("administrator", "no refusal for a user who is no administrator",
     sql("DELETE FROM `InstallExecuteSequence` WHERE `Action` = 'RefuseBoardWithoutAdministrator'")),
    ("administrator", "AdminUser the elevation a managed installation lends",
     sql("DELETE FROM `Property` WHERE `Property` = 'MSIUSEREALADMINDETECTION'")),
    ("rollback disabled", "no refusal while rollback is disabled",
     sql("DELETE FROM `InstallExecuteSequence` WHERE `Action` = 'RefuseBoardWithoutRollback'")),
    ("digest", "no digest of the package's configurator", sql("DELETE FROM `Property` WHERE `Property` = 'Qb480CfgSha256'")),
    ("configuration", "the hand-over after InstallInitialize",
     sql("UPDATE `InstallExecuteSequence` SET `Sequence` = 1501 WHERE `Action` = 'PrepareBoardConfiguration'")),
    ("configuration", "the configuration at a removal", sql("UPDATE `InstallExecuteSequence` SET `Condition` = 'QB480_IRQ' "
                                                            "WHERE `Action` = 'ConfigureBoard'")),
    ("rollback", "the rollback after the configuration",
     sql("UPDATE `InstallExecuteSequence` SET `Sequence` = 6591 WHERE `Action` = 'RestoreBoard'")),
    ("versions", "the applet without its version", sql("UPDATE `File` SET `Version` = '' WHERE `File` = 'qb480.cpl'")),
]


def summary(msi):
    text = msiinfo("suminfo", msi).decode("utf-8")
    return dict(re.findall(r"^([^:]+): (.*)$", text, re.M))


def main():
    arch, build, msi, version = sys.argv[1:5]
    msi, build = os.path.abspath(msi), os.path.abspath(build)
    checks = Checks(arch)
    x64 = arch == "x86_64"
    package = Package(msi)
    table = package.table
    properties = {row["Property"]: row["Value"] for row in table("Property")}
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

    # Same commit, same package: the commit's times, and a package code
    # derived from the package itself, so deriving it again changes nothing.
    epoch = release_time()
    with tempfile.TemporaryDirectory() as scratch:
        again = os.path.join(scratch, "again.msi")
        shutil.copy(msi, again)
        subprocess.run(["python3", os.path.join(ROOT, "tools", "msi-reproducible.py"), again, str(epoch)],
                       check=True, stdout=subprocess.DEVNULL)
        with open(msi, "rb") as f, open(again, "rb") as g:
            derived = f.read() == g.read()
    checks.check(derived, "msi: package code %s derived from the package, times the commit's"
                 % info.get("Revision number (UUID)"))
    icons = {row["Name"] for row in table("Icon")}
    icon = properties.get("ARPPRODUCTICON")
    with open(os.path.join(ROOT, "applet", "qb480.ico"), "rb") as f:
        applet_icon = f.read()
    checks.check(icon in icons and msiinfo("extract", msi, "Icon." + str(icon)) == applet_icon,
                 "msi: installed-programs icon is the applet's (%s)" % icon)

    components = {row["Component"]: row for row in table("Component")}
    files = table("File")
    system = "System64Folder" if x64 else "SystemFolder"
    programs = ["ProgramFiles64Folder" if x64 else "ProgramFilesFolder", "Tessaline", "QB480"]
    with open(os.path.join(ROOT, "docs", "guide", "guide.html"), encoding="utf-8") as f:
        images = set(re.findall(r'src="screenshots/([^"]+)"', f.read()))
    expected = {"qb480.cpl": [system], "qb480msg.dll": [system], "qb480load.exe": programs, "qb480cfg.exe": programs, "guide.html": programs}
    expected.update({image: programs + ["screenshots"] for image in images})
    where = {}
    for row in files:
        name = long_name(row["FileName"])
        component = components[row["Component_"]]
        where[name] = package.folder(component["Directory_"])
    checks.check(set(where) == set(expected),
                 "msi: holds exactly the deliverables, the guide and its %d screenshots (extra %s, missing %s)"
                 % (len(images), sorted(set(where) - set(expected)), sorted(set(expected) - set(where))))
    for name in list(BINARIES) + ["guide.html"]:
        checks.check(where.get(name) == expected[name], "msi: %s goes to %s" % (name, "\\".join(where.get(name, ["?"]))))
    checks.check(all(where.get(image) == expected[image] for image in images), "msi: the screenshots go beside the guide")
    bits = {name: int(row["Attributes"]) & COMPONENT_64BIT for name, row in components.items()}
    checks.check(all(bool(bit) == x64 for bit in bits.values()),
                 "msi: every component is %s" % ("64-bit" if x64 else "32-bit"))
    # The message file stays for the records already written; nothing else does.
    owner = {long_name(row["FileName"]): row["Component_"] for row in files}.get("qb480msg.dll")
    permanent = sorted(name for name, row in components.items() if int(row["Attributes"]) & COMPONENT_PERMANENT)
    checks.check(owner == "MessageFile" and components[owner]["KeyPath"] == "qb480msg.dll" and permanent == [owner],
                 "msi: qb480msg.dll is the key of MessageFile, the one permanent component (%s of %s; permanent: %s)"
                 % ("qb480msg.dll", owner, permanent))

    with tempfile.TemporaryDirectory() as unpacked:
        subprocess.run(["msiextract", "-C", unpacked, msi], check=True, capture_output=True)
        packed = {name: os.path.join(dirpath, name) for dirpath, _, names in os.walk(unpacked) for name in names}
        for name, built in BUILT.items():
            with open(packed.get(name, os.devnull), "rb") as a, open(os.path.join(build, built), "rb") as b:
                checks.check(a.read() == b.read(), "msi: %s is the checked binary" % name)

    shortcuts = {long_name(row["Name"]): row for row in table("Shortcut")}
    menu = {name: package.folder(row["Directory_"]) for name, row in shortcuts.items()}
    checks.check(sorted((name, row["Target"]) for name, row in shortcuts.items()) ==
                 [("QB480 Administrator's Guide", "[INSTALLDIR]guide.html"),
                  ("QB480 Firmware Loader", "[INSTALLDIR]qb480load.exe")],
                 "msi: Start-menu entries for the loader and the guide")
    checks.check(all(path == ["ProgramMenuFolder", "Tessaline QB480"] for path in menu.values()),
                 "msi: the entries are in the Start menu's Tessaline QB480 folder")

    upgrades = table("Upgrade")
    checks.check(any(row["ActionProperty"] == "WIX_UPGRADE_DETECTED" and row["VersionMax"] == version for row in upgrades)
                 and any(row["ActionProperty"] == "WIX_DOWNGRADE_DETECTED" and row["VersionMin"] == version for row in upgrades)
                 and all(row["UpgradeCode"] == UPGRADE_CODES[arch] for row in upgrades),
                 "msi: replaces earlier versions of its architecture, detects later ones")
    conditions = {row["Condition"]: row["Description"] for row in table("LaunchCondition")}
    refusal = conditions.pop("NOT WIX_DOWNGRADE_DETECTED", None)
    checks.check(refusal == "A later version of [ProductName] is already installed. Remove it first if you want to "
                            "install version [ProductVersion].", "msi: a later version refuses it with %r" % refusal)
    wow64 = {} if x64 else {"NOT VersionNT64": "This package is for 32-bit Windows. On 64-bit Windows, install "
                                               "qb480-%s-x64.msi." % version}
    checks.check(conditions == wow64, "msi: %s (%s)" % ("installs on 64-bit Windows" if x64 else
                                                         "64-bit Windows refuses it, naming the x64 package", conditions))
    # The board's driver service, its keys and the driver's System-log
    # source belong to the board: the package neither writes nor removes any
    # of them.
    for untouched in ("ServiceInstall", "ServiceControl"):
        checks.check(table(untouched) == [], "msi: no %s rows" % untouched)
    with open(os.path.join(build, "installer", "qb480cfgmsi.dll"), "rb") as f:
        checks.check(msiinfo("extract", msi, "Binary.Qb480CfgMsi") == f.read(),
                     "msi: the action's DLL is the built qb480cfgmsi.dll")
    with open(os.path.join(build, "configurator", "qb480cfg.exe"), "rb") as f:
        checks.check(properties.get("Qb480CfgSha256") == hashlib.sha256(f.read()).hexdigest(),
                     "msi: its digest of qb480cfg.exe is the built program's")
    secure = set(properties.get("SecureCustomProperties", "").split(";"))
    checks.check(secure >= set(action_rules.BOARD_PROPERTIES) | {action_rules.REASON_PROPERTY, "WIX_UPGRADE_DETECTED",
                                                                 "WIX_DOWNGRADE_DETECTED"},
                 "msi: the board's and the upgrade's properties are secure (%s)" % sorted(secure))
    values = {(row["Root"], row["Key"], row["Name"]): (row["Value"], row["Component_"]) for row in table("Registry")}
    wanted = {("1", "Software\\Tessaline\\QB480", "StartMenu"): ("#1", "StartMenu")}
    wanted.update({("2",) + place: (value, "Applet") for place, value in CONTROL_PANEL.items()})
    wanted.update({("2",) + place: (value, "MessageFile") for place, value in EVENT_SOURCE.items()})
    checks.check(values == wanted, "msi: writes the Start-menu key under HKCU and under HKLM, with the applet, its "
                                   "Control Panel name and category, with the message file the event source's "
                                   "paths (REG_EXPAND_SZ) and numbers (%s)" % values)
    programs = {row["File"]: (row["Version"], row["Language"]) for row in table("File") if row["File"] in BINARIES}
    checks.check(programs == {name: (version + ".0", "1033") for name in BINARIES},
                 "msi: the programs have version %s.0, US English (%s)" % (version, programs))

    for rule, faults in RULES.items():
        found = faults(package)
        checks.check(not found, "msi: keeps %s%s" % (rule, ": " + "; ".join(found) if found else ""))
    with tempfile.TemporaryDirectory() as scratch:
        for rule, what, change in BREAKS:
            broken = os.path.join(scratch, rule + ".msi")
            made = change(msi, broken, "x64" if x64 else "x86", version, scratch)
            found = made and RULES[rule](Package(broken))
            checks.check(found, "msi: %s sees a package with %s (%s)" % (rule, what, "; ".join(found or ["nothing"])))

    print("msi-%s: %d passed, %d failed" % (arch, checks.passed, checks.failed))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
