#!/usr/bin/env python3
"""Installs, uses, upgrades and removes the release's installer packages
through Wine's own msiexec, each case in a fresh Wine prefix copied from a
template, as on a machine that has never seen the board. The x86 package
in a win64 prefix is refused, and installs nothing. Removal keeps the event
source Tessaline QB480 and its message file. Given the board's
properties, a package sets the board up through the configurator: hostile
values arrive whole or are refused before anything is installed, a refusal
reaches the installer's log whole, a failure after the configuration leaves
the board as it was, and a change taken while the driver runs ends with
3010.

usage: run_install.py VERSION [x64-win64] [x86-win32] [x86-win64]   (default: all three)

Takes dist/qb480-VERSION-x86.msi and -x64.msi with the zips beside them (the
same files), and from the test builds build/i686 and build/x86_64 the
simulated board and installedtest.exe, which drives the installed programs.
Prints one line per check and a closing line "install: N passed, M failed".

./run coverage runs it on packages of its own build: QB480_INSTALL_DIST
names the folder of the packages and zips, QB480_INSTALL_BUILD_I686 and
QB480_INSTALL_BUILD_X86_64 the builds, QB480_INSTALL_WORK the folder of the prefixes (default build/install).
"""
import difflib
import glob
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "release"))
from check_release import Checks  # noqa: E402

TEMPLATES = os.environ.get("QB480_INSTALL_WORK") or os.path.join(ROOT, "build", "install")
DIST = os.environ.get("QB480_INSTALL_DIST") or os.path.join(ROOT, "dist")
BUILDS = {"i686": os.environ.get("QB480_INSTALL_BUILD_I686") or os.path.join(ROOT, "build", "i686"),
          "x86_64": os.environ.get("QB480_INSTALL_BUILD_X86_64") or os.path.join(ROOT, "build", "x86_64")}
WINESTART = os.path.join(ROOT, "tests", "wine", "winestart.sh")
QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
WINE_TIMEOUT = 180
# What installedtest.exe writes when Wine failed a start before the program
# had run and the harness made it once more (tests/harness/Child.h).
START_REPEATED = "harness: start repeated: "
# wine hands a Windows exit code to Unix in its low byte only.
SUCCESS, INSTALL_FAILURE, OTHER_VERSION_INSTALLED = 0, 1603 & 0xFF, 1638 & 0xFF
RESTART_NEEDED = 3010  # read whole, by a Windows parent
# A failed custom action ends msiexec with 1603, as Windows documents it.
ACTION_FAILURE = {INSTALL_FAILURE}
UNINSTALL = r"Software\Microsoft\Windows\CurrentVersion\Uninstall"
SERVICES = r"HKLM\SYSTEM\CurrentControlSet\Services"
# The installing user's value that keys the Start-menu entries.
START_MENU_KEY = r"HKCU\Software\Tessaline\QB480"
PARAMETERS = SERVICES + r"\VDXQB480\Parameters"
# Where the packages once had the configurator append its lines, as SYSTEM,
# in a folder every user may write: a user's folder of that name stopped
# every installation with the board's properties. Wine's own spelling of the
# folder: the Unix side tells letter cases apart.
PLANTED_LOG = ("windows", "temp", "qb480cfg.log")
# The applet's Control Panel name and category (Vista and later).
EXTENDED = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Control Panel\Extended Properties"
CONTROL_PANEL = {"System.ApplicationName": "Tessaline.QB480", "System.ControlPanel.Category": "0x2"}
CPL_NAME = "%SystemRoot%\\System32\\qb480.cpl"
# The set-up's own event source in the Application log and its message file,
# which the package installs into the system folder and keeps at its
# removal, so that the records written stay readable.
EVENT_SOURCE = SERVICES + r"\EventLog\Application\Tessaline QB480"
MESSAGE_FILE = "qb480msg.dll"
EVENT_SOURCE_VALUES = {"EventMessageFile": ("REG_EXPAND_SZ", "%SystemRoot%\\System32\\qb480msg.dll"),
                       "CategoryMessageFile": ("REG_EXPAND_SZ", "%SystemRoot%\\System32\\qb480msg.dll"),
                       "CategoryCount": ("REG_DWORD", "0x3"), "TypesSupported": ("REG_DWORD", "0x7")}
SETTINGS_FOLDER = "QB480 files"
BOARD_FILE = "[Board Settings]\r\nMemory Address = D0000\r\nPort Address = 300\r\nIRQ = 5\r\n"
# Its refusal quotes sections and braces, which the installer's log must keep.
SECTIONS_FILE = "[{Bogus}]\r\n"
SECTIONS_REFUSAL = ("qb480cfg: The settings file C:\\QB480 files\\sections.ini, line 1: unknown section [{Bogus}]; "
                    "the sections are [Board Settings], [Port Numbering] and [Port NAME]")
# No Unix shell and no msiexec command line under Wine passes a quote into a
# property: the hostile package variant has this one in its Property table.
HOSTILE_PREFIX = 'X" /log "C:\\planted\\'
# Type 19 (an error) in the script (0x400): a test variant fails right
# after the configuration.
FAIL_AFTER_CONFIGURATION = 19 | 0x400
# Another administrator's change while the installation runs: a deferred
# exe action (34, in the script, as the service, its code ignored) before
# the configuration.
MEANWHILE = 34 | 0x400 | 0x800 | 0x40
MEANWHILE_IRQ = "0x9"
# A folder of the administrator's choosing that a standard user made first,
# with a program of a higher version at the configurator's name.
CHOSEN_DIR = ("Tools", "QB480")
PLANTED_RAN = "planted-ran.txt"
NOT_THE_PACKAGES = "is not started: its bytes are not the package's (another program stands in its place)"
NO_ROLLBACK = ("Setting up the QB480 board during the installation needs rollback, which is disabled (DISABLEROLLBACK, "
               "or the DisableRollback policy). Install with rollback enabled, or without the QB480_ properties and "
               "then run qb480cfg.exe.")
HELD_OFF = "qb480cfg: another configuration or firmware load is running on this machine: the board is not set up."
LOCK_NAME = "Global\\Tessaline.QB480.Setup"
# The COM port database stand-in (tests/drivers/msports.c) and its array:
# COM3, COM4 and COM6 to COM10 claimed for the board, COM5 by another device.
COM_DATABASE = r"HKLM\SOFTWARE\QB480Test\ComDB"
COM_BITS = "fc03" + "00" * 30
# A Windows locale without an ANSI code page: Wine makes the ANSI (and OEM)
# code page UTF-8 for it (docs/testing-under-wine.md).
UTF8_LOCALE = "hi_IN.UTF-8"
FIRMWARE_FOLDER = "QB480 firmware"
FIRMWARE_FILE = "qb480fw.hex"


class Layout:
    """Where a package goes on one kind of Windows, as paths below drive_c."""

    def __init__(self, package, winearch):
        self.package, self.winearch = package, winearch
        self.arch = "x86_64" if package == "x64" else "i686"
        self.label = "%s in %s" % (package, winearch)
        wow64 = package == "x86" and winearch == "win64"
        self.system = "windows/syswow64" if wow64 else "windows/system32"
        self.programs = "Program Files (x86)" if wow64 else "Program Files"
        # Where the package must not land on 64-bit Windows.
        self.elsewhere = []
        if winearch == "win64":
            self.elsewhere = ["windows/system32" if wow64 else "windows/syswow64",
                              "Program Files" if wow64 else "Program Files (x86)"]
        self.uninstall = "HKLM\\" + (UNINSTALL.replace("Software\\", "Software\\Wow6432Node\\") if wow64 else UNINSTALL)
        self.control = "C:\\" + self.system.replace("/", "\\") + "\\control.exe"
        # Windows runs every package through its native installer service.
        self.msiexec = r"C:\windows\sysnative\msiexec.exe" if wow64 else r"C:\windows\system32\msiexec.exe"
        self.build = BUILDS[self.arch]

    def install_dir(self):
        return self.programs + "/Tessaline/QB480"


def content(path):
    """The file's bytes, or None when there is no such file."""
    if not os.path.isfile(path):
        return None
    with open(path, "rb") as f:
        return f.read()


def installer_log(machine):
    """The installer's verbose log C:\\install.log; Windows writes it in UTF-16 when it begins with a BOM."""
    data = content(machine.c("install.log")) or b""
    text = data.decode("utf-16") if data.startswith(b"\xff\xfe") else data.decode("latin-1")
    return text.replace("\r", "")


def action_lines(machine):
    """What the package's actions passed into the installer's log."""
    return [line for line in installer_log(machine).splitlines() if line.startswith("qb480cfg: ")]


# Wine's ReportEventW prints each record: its head on the advapi channel,
# then each string on the eventlog channel (tests/harness/EventRecords.h).
EVENT_TRACE = "-all,err+all,fixme+advapi,trace+eventlog,warn+eventlog"


def event_records(trace):
    """(ID, [strings]) of each record in Wine's debug output; the strings as debugstr_w gave them, unquoted."""
    records, lines = [], trace.splitlines()
    for at, line in enumerate(lines):
        head = re.search(r":advapi:ReportEventW \(([^)]*)\)", line)
        if not head:
            continue
        fields = head.group(1).split(",")
        count = int(fields[5], 16)
        own = [text for text in lines[at + 1:] if ":eventlog:ReportEventW " in text][:count]
        strings = [re.sub(r'^.*?L"(.*)"(\.\.\.)?$', r"\1", text) for text in own]
        records.append((int(fields[3], 16), [s.replace("\\\\", "\\") for s in strings]))
    return records


def logged_property(log, name):
    """A property's value as the verbose log lists it at the end, or None."""
    found = re.findall(r"Property\([SC]\): %s = (.*)" % re.escape(name), log)
    return found[-1] if found else None


def msi_variant(msi, out, *queries):
    """The package with SQL run on its tables, for a case Wine cannot make otherwise."""
    shutil.copy(msi, out)
    subprocess.run(["msibuild", out] + [arg for query in queries for arg in ("-q", query)], check=True)
    return out


def windows_path(unix_path):
    return "Z:" + unix_path.replace("/", "\\")


def packed_guid(guid):
    """The form Windows Installer keys its registry entries by."""
    hex_digits = guid.strip("{}").replace("-", "")
    swapped = "".join(hex_digits[i + 1] + hex_digits[i] for i in range(16, 32, 2))
    return hex_digits[7::-1] + hex_digits[11:7:-1] + hex_digits[15:11:-1] + swapped


def msi_property(msi, name):
    rows = subprocess.run(["msiinfo", "export", msi, "Property"], check=True, capture_output=True, text=True).stdout
    for line in rows.splitlines():
        key, _, value = line.partition("\t")
        if key == name:
            return value.strip()
    return None


def intel_hex(image):
    """Intel HEX of image at address 0: 32-byte data records, extended linear
    address records past each 64K, an end record."""
    lines = []

    def record(kind, address, data):
        body = bytes([len(data), address >> 8 & 0xFF, address & 0xFF, kind]) + data
        lines.append(":" + body.hex().upper() + "%02X" % (-sum(body) & 0xFF))

    for at in range(0, len(image), 32):
        if at % 0x10000 == 0 and at:
            record(4, 0, struct.pack(">H", at >> 16))
        record(0, at & 0xFFFF, image[at:at + 32])
    record(1, 0, b"")
    return "\r\n".join(lines) + "\r\n"


def shortcut_target(path):
    """The local base path of a .lnk file's link information."""
    data = content(path)
    flags = struct.unpack_from("<I", data, 0x14)[0]
    at = 0x4C
    if flags & 1:  # HasLinkTargetIDList
        at += 2 + struct.unpack_from("<H", data, at)[0]
    if not flags & 2:  # HasLinkInfo
        return None
    base = at + struct.unpack_from("<I", data, at + 16)[0]
    return data[base:data.index(b"\0", base)].decode("latin-1")


class Machine:
    """A fresh copy of a template prefix with a wineserver of its own, ended
    and deleted on leaving."""

    def __init__(self, template, path, keeper):
        self.path, self.keeper = path, keeper
        shutil.rmtree(path, ignore_errors=True)
        subprocess.run(["cp", "-a", template, path], check=True)
        self.env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        self.env.update(WINEPREFIX=path, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=")

    def __enter__(self):
        subprocess.run(["wineserver", "-p30"], env=self.env, start_new_session=True, **QUIET)
        self.wine("wineboot")
        # One process that lives as long as the machine keeps Wine's system
        # processes up between the steps: without it each step restarts
        # them (seconds), and the restarted services.exe starts the board
        # driver the applet registered for automatic start, as a reboot
        # would. It ends by itself when this script is gone, and the server
        # 30 s later.
        self.keeping = subprocess.Popen([WINESTART, self.keeper,
                                         str(os.getpid())], env=self.env, start_new_session=True, **QUIET)
        return self

    def __exit__(self, *exception):
        subprocess.run(["wineserver", "-k"], env=self.env, **QUIET)
        subprocess.run(["wineserver", "-w"], env=self.env, **QUIET)
        self.keeping.wait(timeout=WINE_TIMEOUT)
        shutil.rmtree(self.path, ignore_errors=True)

    def c(self, *parts):
        return os.path.join(self.path, "drive_c", *parts)

    def wine(self, *args, settings=None, timeout=WINE_TIMEOUT):
        # Output goes through files, not pipes: Wine's system processes
        # inherit the first program's handles and would hold a pipe open.
        env = dict(self.env, **(settings or {}))
        # A program of ours (a Unix path) is started by the loader of its
        # own architecture; through `wine`, a 64-bit one would go by
        # start.exe (docs/testing-under-wine.md).
        launcher = [WINESTART] if args[0].startswith("/") else ["wine"]
        with tempfile.TemporaryFile("w+", errors="replace") as out, tempfile.TemporaryFile("w+", errors="replace") as err:
            try:
                code = subprocess.run([*launcher, *args], env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                      timeout=timeout).returncode
            except subprocess.TimeoutExpired:
                code = -1
                err.write("\ntimed out after %d s" % timeout)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(args, code, out.read(), err.read())

    def msiexec(self, *args, settings=None):
        """Its exit code (low byte) and the seconds it took."""
        started = time.monotonic()
        result = self.wine("msiexec", *args, settings=settings)
        return result.returncode, time.monotonic() - started

    def reg_tree(self, key, win64):
        """reg query /s of the key as text, or None when it is missing."""
        view = ["/reg:64"] if win64 else []
        result = self.wine(r"C:\windows\system32\reg.exe", "query", key, "/s", *view)
        return result.stdout.replace("\r", "") if result.returncode == 0 else None

    def reg_values(self, key, win64, settings=None):
        """The key's own values by name, or None when it is missing."""
        typed = self.reg_typed_values(key, win64, settings)
        return None if typed is None else {name: data for name, (_, data) in typed.items()}

    def reg_typed_values(self, key, win64, settings=None):
        """The key's own values by name as (type, data), or None when it is missing."""
        view = ["/reg:64"] if win64 else []
        result = self.wine(r"C:\windows\system32\reg.exe", "query", key, *view, settings=settings)
        if result.returncode != 0:
            return None
        values = {}
        for line in result.stdout.replace("\r", "").splitlines():
            parts = line.strip().split("    ")
            if line.startswith("    ") and len(parts) >= 2 and parts[1].startswith("REG_"):
                values[parts[0]] = (parts[1], parts[2] if len(parts) > 2 else "")
        return values

    def unix(self, windows):
        """The file behind a C:\\ path, as a 64-bit program sees it."""
        return self.c(*windows[3:].split("\\"))


class Release:
    def __init__(self, version, scratch, packages):
        self.version = version
        major_minor, _, patch = version.rpartition(".")
        self.next_version = "%s.%d" % (major_minor, int(patch) + 1)
        self.scratch = scratch
        self.staged, self.msi, self.next_msi, self.rebuilt_next_msi = {}, {}, {}, {}
        self.failing_msi, self.hostile_msi, self.meanwhile_msi = {}, {}, {}
        for package, arch in (("x86", "i686"), ("x64", "x86_64")):
            if package not in packages:
                continue
            with zipfile.ZipFile(os.path.join(DIST, "qb480-%s-%s.zip" % (version, arch))) as z:
                z.extractall(scratch)
            stage = os.path.join(scratch, "qb480-%s-%s" % (version, arch))
            self.staged[package] = stage
            self.msi[package] = os.path.join(DIST, "qb480-%s-%s.msi" % (version, package))
            # The installer's action is packed into the MSI only.
            with open(os.path.join(stage, "qb480cfgmsi.dll"), "wb") as action:
                action.write(subprocess.run(["msiinfo", "extract", self.msi[package], "Binary.Qb480CfgMsi"],
                                            check=True, capture_output=True).stdout)
            self.failing_msi[package] = msi_variant(
                self.msi[package], os.path.join(scratch, "failing-%s.msi" % package),
                "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('FailAfterConfiguration', %d, "
                "'', 'This test package fails after the configuration.')" % FAIL_AFTER_CONFIGURATION,
                "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('FailAfterConfiguration', 6591)")
            self.meanwhile_msi[package] = msi_variant(
                self.msi[package], os.path.join(scratch, "meanwhile-%s.msi" % package),
                "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('AnotherAdministrator', %d, "
                "'TARGETDIR', 'reg.exe add %s /v IRQ /t REG_DWORD /d %s /f')"
                % (MEANWHILE, PARAMETERS, int(MEANWHILE_IRQ, 16)),
                "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('AnotherAdministrator', 6580)")
            self.hostile_msi[package] = msi_variant(
                self.msi[package], os.path.join(scratch, "hostile-%s.msi" % package),
                "INSERT INTO `Property` (`Property`, `Value`) VALUES ('QB480_PREFIX', '%s')" % HOSTILE_PREFIX)
            # A later version of the same files, and that version built again
            # from a later commit: the same product code, another package.
            epoch = int(subprocess.run([os.path.join(ROOT, "tools", "source-date-epoch.sh")], check=True,
                                       capture_output=True, text=True).stdout)
            for target, built, when in ((self.next_msi, "next", epoch), (self.rebuilt_next_msi, "rebuilt", epoch + 60)):
                target[package] = os.path.join(scratch, "%s-%s.msi" % (built, package))
                subprocess.run([os.path.join(ROOT, "tools", "make-msi.sh"), package, self.next_version, stage,
                                target[package]], check=True, env=dict(os.environ, SOURCE_DATE_EPOCH=str(when)))


class Cases:
    def __init__(self, checks, release):
        self.checks, self.release = checks, release
        self.timings = []
        self.starts_repeated = 0
        self.applet_icon = content(os.path.join(ROOT, "applet", "qb480.ico"))

    def check(self, layout, ok, what):
        self.checks.check(ok, "%s: %s" % (layout.label, what))
        return ok

    def timed_msiexec(self, machine, layout, what, *args, settings=None):
        code, seconds = machine.msiexec(*args, settings=settings)
        self.timings.append("%s: %s took %.2f s" % (layout.label, what, seconds))
        return code

    def installed_files(self, layout, package):
        """Path below drive_c -> staged file, for every file the package installs."""
        stage = self.release.staged[package]
        files = {layout.system + "/" + name: os.path.join(stage, name) for name in ("qb480.cpl", MESSAGE_FILE)}
        for dirpath, _, names in os.walk(stage):
            for name in names:
                # The applet and the messages go elsewhere, and the installer's action is never installed.
                if name not in ("qb480.cpl", MESSAGE_FILE, "qb480cfgmsi.dll"):
                    relative = os.path.relpath(os.path.join(dirpath, name), stage)
                    files[layout.install_dir() + "/" + relative] = os.path.join(dirpath, name)
        return files

    def start_menus(self, machine):
        return [machine.c("ProgramData", "Microsoft", "Windows", "Start Menu", "Programs")] + sorted(
            glob.glob(machine.c("users", "*", "AppData", "Roaming", "Microsoft", "Windows", "Start Menu", "Programs")))

    def machine(self, layout):
        keeper = os.path.join(layout.build, "tests", "harness", "keepdesktop.exe")
        return Machine(template(layout.winearch), os.path.join(TEMPLATES, "case"), keeper)

    def win64(self, layout):
        return layout.winearch == "win64"

    def products_key(self, product_code):
        return r"HKLM\Software\Classes\Installer\Products" + "\\" + packed_guid(product_code)

    def expect_installed(self, machine, layout, msi, version):
        product_code = msi_property(msi, "ProductCode")
        wrong = [below for below, staged in self.installed_files(layout, layout.package).items()
                 if content(machine.c(below)) != content(staged)]
        self.check(layout, not wrong, "every file is installed where the table says (%s, %s)%s"
                   % (layout.system, layout.install_dir(), " but not " + ", ".join(wrong) if wrong else ""))
        strays = [place for place in layout.elsewhere
                  if any(os.path.exists(machine.c(place, name)) for name in ("qb480.cpl", MESSAGE_FILE, "Tessaline"))]
        if layout.elsewhere:
            self.check(layout, not strays, "nothing in %s" % " or ".join(layout.elsewhere))

        menus = [m for m in self.start_menus(machine) if os.path.isdir(os.path.join(m, "Tessaline QB480"))]
        entries = sorted(os.listdir(os.path.join(menus[0], "Tessaline QB480"))) if len(menus) == 1 else []
        self.check(layout, entries == ["QB480 Administrator's Guide.lnk", "QB480 Firmware Loader.lnk"],
                   "Start-menu entries %s in %s" % (entries, menus))
        if entries:
            folder = "C:\\" + layout.install_dir().replace("/", "\\") + "\\"
            targets = [shortcut_target(os.path.join(menus[0], "Tessaline QB480", e)) or "" for e in entries]
            self.check(layout, [t.lower() for t in targets] == [(folder + "guide.html").lower(),
                                                               (folder + "qb480load.exe").lower()],
                       "the entries open the installed guide and loader (%s)" % targets)

        entry = machine.reg_values(layout.uninstall + "\\" + product_code, self.win64(layout)) or {}
        self.check(layout, (entry.get("DisplayName"), entry.get("Publisher"), entry.get("DisplayVersion")) ==
                   ("Tessaline QB480", "Tessaline", version),
                   "installed programs list %r by %r, version %r" % (entry.get("DisplayName"), entry.get("Publisher"),
                                                                     entry.get("DisplayVersion")))
        product = machine.reg_values(self.products_key(product_code), self.win64(layout)) or {}
        icon = product.get("ProductIcon", "")
        icon_file = machine.unix(icon) if icon.startswith("C:\\") else ""
        self.check(layout, content(icon_file) == self.applet_icon,
                   "the entry shows the applet's icon (%s)" % icon)
        per_user = machine.reg_values(r"HKCU\Software\Microsoft\Installer\Products" + "\\" + packed_guid(product_code),
                                      self.win64(layout))
        self.check(layout, bool(product) and per_user is None, "installed for the machine, not for the user")
        key = machine.reg_values(START_MENU_KEY, self.win64(layout)) or {}
        self.check(layout, key.get("StartMenu") == "0x1", "the Start-menu entries are keyed by the user's value (%s)" % key)
        found = self.control_panel(machine, layout)
        self.check(layout, found == CONTROL_PANEL, "the applet's Control Panel name and category are registered (%s)" % found)
        self.expect_event_source(machine, layout, "registered with its message file in %s" % layout.system)
        return product_code

    def expect_event_source(self, machine, layout, what):
        """The event source's four values, with their types, and the package's message file in the system folder."""
        values = machine.reg_typed_values(EVENT_SOURCE, self.win64(layout)) or {}
        found = {name: values.get(name) for name in EVENT_SOURCE_VALUES}
        staged = content(os.path.join(self.release.staged[layout.package], MESSAGE_FILE))
        in_place = content(machine.c(layout.system, MESSAGE_FILE)) == staged
        self.check(layout, found == EVENT_SOURCE_VALUES and in_place, "the event source Tessaline QB480 is %s "
                   "(%s, the file %s)" % (what, found, "in place" if in_place else "missing or another"))

    def control_panel(self, machine, layout):
        """The applet's values under the Control Panel's extended properties, by property."""
        return {key: (machine.reg_values(EXTENDED + "\\" + key, self.win64(layout)) or {}).get(CPL_NAME)
                for key in CONTROL_PANEL}

    def expect_removed(self, machine, layout, product_code, left_beside_loader):
        kept = layout.system + "/" + MESSAGE_FILE
        remaining = [below for below in self.installed_files(layout, layout.package)
                     if below != kept and os.path.exists(machine.c(below))]
        self.check(layout, not remaining, "every installed file is removed%s" % (": not " + ", ".join(remaining) if remaining else ""))
        vendor = machine.c(layout.programs, "Tessaline")
        if left_beside_loader:
            found = sorted(os.listdir(machine.c(layout.install_dir()))) if os.path.isdir(machine.c(layout.install_dir())) else None
            self.check(layout, found == left_beside_loader and os.listdir(vendor) == ["QB480"],
                       "the loader's folder keeps only what the administrator put there (%s)" % found)
        else:
            self.check(layout, not os.path.exists(vendor), "the installed folders are removed")
        menus = [m for m in self.start_menus(machine) if os.path.exists(os.path.join(m, "Tessaline QB480"))]
        self.check(layout, not menus, "the Start-menu entries and their folder are removed %s" % menus)
        self.check(layout, machine.reg_values(layout.uninstall + "\\" + product_code, self.win64(layout)) is None and
                   machine.reg_values(self.products_key(product_code), self.win64(layout)) is None,
                   "the installed-programs entry is removed")
        self.check(layout, machine.reg_values(START_MENU_KEY, self.win64(layout)) is None,
                   "the Start-menu entries' key is removed")
        found = self.control_panel(machine, layout)
        self.check(layout, found == dict.fromkeys(CONTROL_PANEL), "the applet's Control Panel values are removed (%s)" % found)
        self.expect_event_source(machine, layout, "kept with its message file, so that its records stay readable")

    def step(self, machine, layout, test, what, settings=None):
        program = os.path.join(layout.build, "tests", "install", "installedtest.exe")
        result = machine.wine(program, "--gtest_filter=" + test, settings=settings)
        ok = result.returncode == 0 and "[  PASSED  ] 1 test" in result.stdout
        output = result.stdout + result.stderr
        self.starts_repeated += output.count(START_REPEATED)
        if not self.check(layout, ok, what):
            print("      " + "\n      ".join(output.strip().splitlines()[-40:]))
        return ok

    def board_state(self, machine, layout):
        """What belongs to the board: its service as the SCM reports it, the
        service's key with its parameters and special modes, the event-log
        source, the driver file and the loader.sys beside the loader."""
        state = {}
        query = machine.wine(r"C:\windows\system32\sc.exe", "query", "VDXQB480")
        state["service"] = query.stdout.replace("\r", "") if query.returncode == 0 else None
        state["service key"] = machine.reg_tree(SERVICES + r"\VDXQB480", self.win64(layout))
        state["event-log source"] = machine.reg_tree(SERVICES + r"\EventLog\System\vdxqb480", self.win64(layout))
        state["event-log sources"] = (machine.reg_values(SERVICES + r"\EventLog\System", self.win64(layout)) or {}).get("Sources")
        state["COM database"] = (machine.reg_values(COM_DATABASE, self.win64(layout)) or {}).get("ComDB")
        for name, below in (("driver file", "windows/system32/drivers/vdxqb480.sys"),
                            ("loader.sys", layout.install_dir() + "/loader.sys")):
            state[name] = content(machine.c(below))
        return state

    def lifecycle(self, layout):
        """Install, use as the guide says, uninstall."""
        msi = self.release.msi[layout.package]
        with self.machine(layout) as machine:
            code = self.timed_msiexec(machine, layout, "silent install", "/i", windows_path(msi), "/qn", "/l*v",
                                      "C:\\install.log")
            if not self.check(layout, code == SUCCESS, "msiexec /i /qn succeeds (exit %d)" % code):
                return
            product_code = self.expect_installed(machine, layout, msi, self.release.version)
            self.check(layout, action_lines(machine) == [], "without the board's properties the configurator does not run")

            # The board's own files, where the guide says to put them.
            board = os.path.join(layout.build, "tests", "drivers")
            shutil.copy(os.path.join(board, "fakevdx.sys"), machine.c("windows", "system32", "drivers", "vdxqb480.sys"))
            self.step(machine, layout, "InstalledApplet.*",
                      "the installed applet opens through control.exe qb480.cpl and registers the driver",
                      {"QB480_CONTROL": layout.control})
            shutil.copy(os.path.join(board, "fakeloader.sys"), machine.c(layout.install_dir(), "loader.sys"))
            image = random.Random(480).randbytes(70000)
            os.makedirs(machine.c(FIRMWARE_FOLDER))
            with open(machine.c(FIRMWARE_FOLDER, FIRMWARE_FILE), "w", newline="") as f:
                f.write(intel_hex(image))
            self.step(machine, layout, "InstalledLoader.*",
                      "the installed loader downloads through the loader.sys beside it",
                      {"QB480_LOADER": "C:\\" + layout.install_dir().replace("/", "\\") + "\\qb480load.exe",
                       "QB480_FIRMWARE_FOLDER": "C:\\" + FIRMWARE_FOLDER, "QB480_FIRMWARE_FILE": FIRMWARE_FILE})
            self.check(layout, content(machine.c("qb480board.bin")) == image,
                       "the simulated board holds the firmware, byte for byte")
            self.check(layout, content(machine.c("windows", "system32", "drivers", "qb480fw.bin")) == image,
                       "the image lies in the real system32\\drivers, byte for byte")
            if self.win64(layout):
                self.check(layout, not os.path.exists(machine.c("windows", "syswow64", "drivers", "qb480fw.bin")),
                           "no image in syswow64\\drivers")

            # A special mode, as the applet's advanced options store one.
            machine.wine(r"C:\windows\system32\reg.exe", "add", SERVICES + r"\vdxqb480\Parameters\SpecialModes",
                         "/v", "COM1", "/t", "REG_DWORD", "/d", "0x1103", "/f")
            before = self.board_state(machine, layout)
            # A fresh Wine has no list of the System log's sources to add to,
            # and its own msports.dll is no database.
            missing = [name for name, value in before.items() if not value and name not in ("event-log sources", "COM database")]
            self.check(layout, not missing, "the board's service, keys and files are in place%s"
                       % (": not " + ", ".join(missing) if missing else ""))
            code = self.timed_msiexec(machine, layout, "silent uninstall", "/x", product_code, "/qn")
            self.check(layout, code == SUCCESS, "msiexec /x /qn succeeds (exit %d)" % code)
            self.expect_removed(machine, layout, product_code, ["loader.sys"])
            after = self.board_state(machine, layout)
            changed = [name for name in before if before[name] != after[name]]
            self.check(layout, not changed, "the board's service, keys and files are as they were%s"
                       % (": not " + ", ".join(changed) if changed else ""))

    def configured(self, layout):
        """The board's properties, on one machine, in this order: refused
        before anything is installed; refused by the configurator, its line
        whole in the installer's log; a failure after the configuration
        rolled back on a machine without the service; hostile values stored
        whole; a failure rolled back on a machine with the service and
        stored values; a change while the driver runs ends with 3010."""
        with self.machine(layout) as machine:
            shutil.copy(os.path.join(layout.build, "tests", "drivers", "fakevdx.sys"),
                        machine.c("windows", "system32", "drivers", "vdxqb480.sys"))
            os.makedirs(machine.c(SETTINGS_FOLDER))
            for name, text in (("board.ini", BOARD_FILE), ("sections.ini", SECTIONS_FILE)):
                with open(machine.c(SETTINGS_FOLDER, name), "w", newline="") as f:
                    f.write(text)
            os.makedirs(machine.c(*PLANTED_LOG))
            self.refused_before_installing(machine, layout)
            self.refused_without_rollback(machine, layout)
            self.refusal_logged_whole(machine, layout)
            self.rolled_back(machine, layout, ["QB480_MEMSEG=D0000", "QB480_PORT=300", "QB480_IRQ=5"],
                             "on a machine without the service")
            self.hostile_values_whole(machine, layout)
            # Stored values of every kind the configuration may change back,
            # and the board's COM numbers claimed in the database.
            reg = r"C:\windows\system32\reg.exe"
            for value, kind, data in (("COM1", "REG_DWORD", "0x1103"), ("ABC7", "REG_DWORD", "0x2")):
                machine.wine(reg, "add", PARAMETERS + r"\SpecialModes", "/v", value, "/t", kind, "/d", data, "/f")
            for value, kind, data in (("FirstPort", "REG_DWORD", "3"), ("PortNamePrefix", "REG_SZ", "COM"),
                                      ("TotalNumberOfPorts", "REG_DWORD", "8"),
                                      ("PortsStartingAt", "REG_DWORD", "3"), ("ClaimedComNumbers", "REG_SZ", "3,4,6,7,8,9,10")):
                machine.wine(reg, "add", PARAMETERS, "/v", value, "/t", kind, "/d", data, "/f")
            machine.wine(reg, "add", COM_DATABASE, "/v", "ComDB", "/t", "REG_BINARY", "/d", COM_BITS, "/f")
            shutil.copy(os.path.join(layout.build, "tests", "drivers", "comdb", "msports.dll"),
                        machine.c("windows", "system32", "msports.dll"))
            self.rolled_back(machine, layout, ["QB480_MEMSEG=E0000", "QB480_PORT=310", "QB480_IRQ=7", "QB480_PREFIX=ABC",
                                               "QB480_FIRST=none"], "on a machine with the service and stored values, "
                                                                    "the board's COM numbers given back")
            self.rolled_back(machine, layout, ["QB480_FIRST=20"], "with the board's COM numbers moved")
            self.held_off(machine, layout)
            self.restart_code(machine, layout)
            self.recorded(machine, layout)
            self.utf8_code_page(machine, layout)

    def install_logged(self, machine, layout, msi, given, what, settings=None):
        """msiexec /i with the given properties and a verbose log: its exit code's low byte."""
        if os.path.exists(machine.c("install.log")):
            os.remove(machine.c("install.log"))
        return self.timed_msiexec(machine, layout, what, "/i", windows_path(msi), "/qn", "/l*v", "C:\\install.log", *given,
                                  settings=settings)

    def nothing_installed(self, machine, layout, rolled_back=False):
        """What an installation that stopped left: files, the event source, the service. Rolled back, Wine 8
        leaves the permanent component's file in place, though it takes the component's registry values
        away; Windows returns the system to its original state ("Rollback Installation")."""
        kept = layout.system + "/" + MESSAGE_FILE if rolled_back else None
        installed = [below for below in self.installed_files(layout, layout.package)
                     if below != kept and os.path.exists(machine.c(below))]
        source = machine.reg_values(EVENT_SOURCE, self.win64(layout)) is not None
        service = machine.wine(r"C:\windows\system32\sc.exe", "query", "VDXQB480").returncode == 0
        return installed + (["the event source"] if source else []) + (["the service"] if service else [])

    def refused_before_installing(self, machine, layout):
        """A value the configurator must not get stops the installation before anything is installed."""
        msi = self.release.msi[layout.package]
        cases = ((["QB480_IRQ=5", "QB480_PREFIX=A\x1fB"], "QB480_PREFIX holds a control character (code 31)"),
                 (["QB480_SETTINGS=C:\\board\uff02.ini"], "QB480_SETTINGS holds a character that the system's code page"))
        for given, refusal in cases:
            code = self.install_logged(machine, layout, msi, given, "refused install")
            lines, left = action_lines(machine), self.nothing_installed(machine, layout)
            self.check(layout, code == INSTALL_FAILURE and len(lines) == 1 and lines[0].startswith("qb480cfg: " + refusal) and
                       not left, "%r is refused before anything is installed (exit %d, %s, installed %s)"
                       % (given[-1], code, lines, left))

    def refusal_logged_whole(self, machine, layout):
        """A refusal that quotes sections reaches the installer's log as the configurator printed it."""
        given = ["QB480_SETTINGS=C:\\%s\\sections.ini" % SETTINGS_FOLDER]
        code = self.install_logged(machine, layout, self.release.msi[layout.package], given, "install refused by qb480cfg")
        lines, left = action_lines(machine), self.nothing_installed(machine, layout, rolled_back=True)
        self.check(layout, code in ACTION_FAILURE and lines[:2] == [SECTIONS_REFUSAL, "qb480cfg: ended with exit code 2"]
                   and not left, "a refusal quoting [sections] and {braces} is logged whole and rolls the installation "
                                 "back (exit %d, %s, installed %s)" % (code, lines[:2], left))

    def rolled_back(self, machine, layout, given, where):
        """The test variant that fails right after the configuration leaves the board exactly as it was."""
        before = self.board_state(machine, layout)
        code = self.install_logged(machine, layout, self.release.failing_msi[layout.package], given, "failing install")
        after, lines = self.board_state(machine, layout), action_lines(machine)
        changed = [name for name in before if before[name] != after[name]]
        if not self.check(layout, code == INSTALL_FAILURE and "qb480cfg: ended with exit code 0" in lines and
                          lines[-1] == "qb480cfg: rollback: the board is as it was before the installation." and
                          not changed, "a failure after the configuration %s rolls the board back, value by value "
                          "(exit %d, %s%s)" % (where, code, lines[-2:], ", changed: " + ", ".join(changed) if changed else "")):
            for name in changed:
                print("      %s, before and after:" % name)
                for line in difflib.unified_diff(str(before[name]).splitlines(), str(after[name]).splitlines(), lineterm="", n=1):
                    print("      " + line)

    def hostile_values_whole(self, machine, layout):
        """A quote with a switch after it and a trailing backslash, a path with blanks: each one argument,
        stored whole; no file where a user put the old log's name, nor where a value names one."""
        msi = self.release.hostile_msi[layout.package]
        code = self.install_logged(machine, layout, msi, ["QB480_SETTINGS=C:\\%s\\board.ini" % SETTINGS_FOLDER],
                                   "install with hostile values")
        values = machine.reg_values(PARAMETERS, self.win64(layout)) or {}
        stored = {name: values.get(name) for name in ("MEM_SEG", "PORT", "IRQ", "PortNamePrefix")}
        planted = [os.path.relpath(os.path.join(folder, name), machine.c()) for folder, folders, files in os.walk(machine.c())
                   for name in folders + files if "planted" in name.lower()]
        self.check(layout, code == SUCCESS and stored == {"MEM_SEG": "0xd0000", "PORT": "0x300", "IRQ": "0x5",
                                                          "PortNamePrefix": HOSTILE_PREFIX.upper()} and
                   not planted and os.listdir(machine.c(*PLANTED_LOG)) == [],
                   "the prefix %r and the settings file in %r arrive whole, each one argument, beside a folder at the old "
                   "log's name (exit %d, %s, planted %s)" % (HOSTILE_PREFIX, SETTINGS_FOLDER, code, stored, planted))
        code = self.timed_msiexec(machine, layout, "uninstall", "/x", msi_property(msi, "ProductCode"), "/qn")
        after = machine.reg_values(PARAMETERS, self.win64(layout)) or {}
        self.check(layout, code == SUCCESS and {name: after.get(name) for name in stored} == stored,
                   "removal keeps the board's settings and runs no configurator (exit %d)" % code)

    def refused_without_rollback(self, machine, layout):
        """With rollback disabled a board property stops the installation before anything is installed, and
        the installer's own interface says why. Wine 8's msiexec sets RollbackDisabled for DISABLEROLLBACK=1,
        not for the DisableRollback policy (docs/testing-under-wine.md)."""
        msi, given = self.release.msi[layout.package], ["DISABLEROLLBACK=1", "QB480_IRQ=5"]
        before = self.board_state(machine, layout)
        code = self.install_logged(machine, layout, msi, given, "install without rollback")
        stopped = ": RefuseBoardWithoutRollback." in installer_log(machine)
        left, changed = self.nothing_installed(machine, layout), before != self.board_state(machine, layout)
        self.check(layout, code == INSTALL_FAILURE and stopped and not left and not changed and not action_lines(machine),
                   "rollback disabled: stopped before anything is installed (exit %d, refusal ran %s, installed %s, "
                   "board changed %s)" % (code, stopped, left, changed))
        self.step(machine, layout, "RefusedPackage.*", "rollback disabled: the installer says why",
                  {"QB480_MSIEXEC": layout.msiexec, "QB480_REFUSED_MSI": windows_path(msi),
                   "QB480_REFUSED_ARGUMENTS": " ".join(given), "QB480_REFUSAL": NO_ROLLBACK})

    def held_off(self, machine, layout):
        """Another administrator's set-up holds the lock, and another administrator changes the IRQ while the
        installation runs: the configuration does not start, and the rollback keeps both as they are."""
        before = self.board_state(machine, layout)
        irq_before = (machine.reg_values(PARAMETERS, self.win64(layout)) or {}).get("IRQ", "")
        ready = machine.c("lockholder.ready")
        holder = subprocess.Popen([WINESTART, os.path.join(layout.build, "tests", "harness", "lockholder.exe"), LOCK_NAME,
                                   "admin", "C:\\lockholder.ready"], env=machine.env, **QUIET)
        try:
            deadline = time.monotonic() + WINE_TIMEOUT
            while not os.path.exists(ready) and holder.poll() is None and time.monotonic() < deadline:
                time.sleep(0.1)
            if not self.check(layout, os.path.exists(ready), "set-up: another administrator's set-up holds the lock"):
                return
            code = self.install_logged(machine, layout, self.release.meanwhile_msi[layout.package], ["QB480_IRQ=7"],
                                       "install held off by another set-up")
        finally:
            holder.kill()
            holder.wait(timeout=WINE_TIMEOUT)
        after, lines = self.board_state(machine, layout), action_lines(machine)
        irq = (machine.reg_values(PARAMETERS, self.win64(layout)) or {}).get("IRQ")
        # The other administrator's IRQ is the one change.
        after["service key"] = (after["service key"] or "").replace("IRQ    REG_DWORD    " + MEANWHILE_IRQ,
                                                                    "IRQ    REG_DWORD    " + irq_before)
        changed = [name for name in before if before[name] != after[name]]
        self.check(layout, code == INSTALL_FAILURE and any(line.startswith(HELD_OFF) for line in lines) and
                   irq == MEANWHILE_IRQ and not changed and
                   "qb480cfg: rollback: the configuration did not start: there is nothing to put back." in lines,
                   "held off by another set-up: the board as it was, and another administrator's IRQ kept (exit %d, "
                   "IRQ %s, %s%s)" % (code, irq, lines[-2:], ", changed: " + ", ".join(changed) if changed else ""))

    def utf8_code_page(self, machine, layout):
        """Where the ANSI code page is UTF-8 ("Use Unicode UTF-8 for worldwide language support"; under Wine a
        locale without an ANSI code page, LC_ALL=hi_IN.UTF-8), a prefix holding É arrives and is stored whole."""
        utf8 = {"LC_ALL": UTF8_LOCALE}
        code = self.install_logged(machine, layout, self.release.msi[layout.package], ["QB480_PREFIX=\u00c9X"],
                                   "install where the code page is UTF-8", settings=utf8)
        prefix = (machine.reg_values(PARAMETERS, self.win64(layout), settings=utf8) or {}).get("PortNamePrefix")
        self.check(layout, code in (SUCCESS, RESTART_NEEDED & 0xFF) and prefix == "\u00c9X",
                   "where the code page is UTF-8, the prefix \u00c9X is stored whole (exit %d, %r, %s)"
                   % (code, prefix, action_lines(machine)[-2:]))

    def planted(self, layout):
        """A folder of the administrator's choosing that a standard user made first, holding a newer
        qb480cfg.exe: that program never runs and the installation fails; without it the same folder works."""
        with self.machine(layout) as machine:
            shutil.copy(os.path.join(layout.build, "tests", "drivers", "fakevdx.sys"),
                        machine.c("windows", "system32", "drivers", "vdxqb480.sys"))
            os.makedirs(machine.c(*CHOSEN_DIR))
            shutil.copy(os.path.join(layout.build, "tests", "install", "planted.exe"), machine.c(*CHOSEN_DIR, "qb480cfg.exe"))
            chosen = "INSTALLDIR=C:\\%s\\" % "\\".join(CHOSEN_DIR)
            program = "C:\\%s\\qb480cfg.exe" % "\\".join(CHOSEN_DIR)
            msi = self.release.msi[layout.package]
            board = ["QB480_MEMSEG=D0000", "QB480_PORT=300", "QB480_IRQ=5"]
            code = self.install_logged(machine, layout, msi, [chosen] + board, "install over a planted program")
            lines, ran = action_lines(machine), os.path.exists(machine.c(PLANTED_RAN))
            service = machine.wine(r"C:\windows\system32\sc.exe", "query", "VDXQB480").returncode == 0
            self.check(layout, code == INSTALL_FAILURE and not ran and not service and
                       "qb480cfg: %s %s" % (program, NOT_THE_PACKAGES) in lines,
                       "a newer qb480cfg.exe planted in the chosen folder never runs, and the installation fails "
                       "(exit %d, ran %s, service %s, %s)" % (code, ran, service, lines[-1:]))
            os.remove(machine.c(*CHOSEN_DIR, "qb480cfg.exe"))
            code = self.install_logged(machine, layout, msi, [chosen] + board, "install into the chosen folder")
            irq = (machine.reg_values(PARAMETERS, self.win64(layout)) or {}).get("IRQ")
            self.check(layout, code == SUCCESS and irq == "0x5" and "qb480cfg: ended with exit code 0" in action_lines(machine),
                       "the package's own configurator in the chosen folder configures the board (exit %d, IRQ %s)"
                       % (code, irq))

    def restart_code(self, machine, layout):
        """A change taken while the driver runs: msiexec ends with 3010, read whole, and no restart under
        /norestart; the same installation again changes nothing and ends with 0."""
        machine.wine(r"C:\windows\system32\sc.exe", "start", "VDXQB480")
        state = machine.wine(r"C:\windows\system32\sc.exe", "query", "VDXQB480").stdout
        arguments = '/i "%s" /qn /norestart /l*v C:\\install.log QB480_IRQ=7' % windows_path(self.release.msi[layout.package])
        ran = self.step(machine, layout, "Msiexec.*", "with the driver running, msiexec ends with 3010",
                        {"QB480_MSIEXEC": layout.msiexec, "QB480_MSIEXEC_ARGUMENTS": arguments,
                         "QB480_EXIT_CODE": str(RESTART_NEEDED)})
        lines = action_lines(machine)
        irq = (machine.reg_values(PARAMETERS, self.win64(layout)) or {}).get("IRQ")
        self.check(layout, ran and "RUNNING" in state and irq == "0x7" and "qb480cfg: ended with exit code 3010" in lines and
                   lines[-1].startswith("qb480cfg: the driver is running"),
                   "the running driver's new IRQ is stored and the installation asks for a restart (%s, IRQ %s, %s)"
                   % ("running" if "RUNNING" in state else "not running", irq, lines[-2:]))
        # The same value again changes nothing: no restart is asked for.
        ran = self.step(machine, layout, "Msiexec.*", "the same IRQ again, msiexec ends with 0",
                        {"QB480_MSIEXEC": layout.msiexec, "QB480_MSIEXEC_ARGUMENTS": arguments,
                         "QB480_EXIT_CODE": str(SUCCESS)})
        lines = action_lines(machine)
        self.check(layout, ran and "qb480cfg: ended with exit code 0" in lines and
                   lines[-1].startswith("qb480cfg: the driver is running and its settings are unchanged"),
                   "an installation that changes nothing asks for no restart (%s)" % lines[-2:])

    def recorded(self, machine, layout):
        """An installation's change on the audit trail, read from Wine's trace: made by the configurator the
        package ran, for the user who started the installation (UserSID, LogonUser), with QB480_REASON."""
        msi = windows_path(self.release.msi[layout.package])
        result = machine.wine("msiexec", "/i", msi, "/qn", "/norestart", "/l*v", "C:\\install.log", "QB480_IRQ=9",
                              "QB480_REASON=CR-17: new card", settings={"WINEDEBUG": EVENT_TRACE})
        log = installer_log(machine)
        irq = [strings for event, strings in event_records(result.stderr)
               if event & 0xFFFF == 1001 and strings[:1] == ["IRQ"]]
        user, logon = logged_property(log, "UserSID"), logged_property(log, "LogonUser")
        fields = irq[0] if len(irq) == 1 and len(irq[0]) == 15 else [""] * 15
        self.check(layout, result.returncode in (SUCCESS, RESTART_NEEDED & 0xFF) and user and logon and
                   fields[:3] == ["IRQ", "7", "9"] and fields[6:8] == [user, logon] and
                   fields[8] == "qb480cfg install" and fields[13] == "CR-17: new card",
                   "an installation's change is recorded for its user %s (%s) with its reason (%s, %s)"
                   % (user, logon, result.returncode, fields[:14]))

    def installed_snapshot(self, machine, layout):
        """Name, size and modification time of every installed file."""
        snapshot = {}
        for below in self.installed_files(layout, layout.package):
            path = machine.c(below)
            snapshot[below] = (os.stat(path).st_size, os.stat(path).st_mtime_ns) if os.path.exists(path) else None
        return snapshot

    def related_products(self, machine, layout):
        upgrade_code = msi_property(self.release.msi[layout.package], "UpgradeCode")
        key = r"HKLM\Software\Classes\Installer\UpgradeCodes" + "\\" + packed_guid(upgrade_code)
        return sorted((machine.reg_values(key, self.win64(layout)) or {}).keys())

    def versions(self, layout):
        """Upgrade, the same version again, downgrade, then removal."""
        release, package = self.release, layout.package
        earlier, later = release.msi[package], release.next_msi[package]
        later_code = msi_property(later, "ProductCode")
        with self.machine(layout) as machine:
            codes = [self.timed_msiexec(machine, layout, "silent install", "/i", windows_path(earlier), "/qn")]
            codes.append(self.timed_msiexec(machine, layout, "upgrade", "/i", windows_path(later), "/qn"))
            if not self.check(layout, codes == [SUCCESS, SUCCESS],
                              "%s, then %s installs (exits %s)" % (release.version, release.next_version, codes)):
                return
            self.check(layout, self.related_products(machine, layout) == [packed_guid(later_code)],
                       "one product is left, of version %s" % release.next_version)
            self.expect_installed(machine, layout, later, release.next_version)
            self.check(layout, machine.reg_values(layout.uninstall + "\\" + msi_property(earlier, "ProductCode"),
                                                  self.win64(layout)) is None,
                       "version %s is gone from the installed programs" % release.version)

            installed = self.installed_snapshot(machine, layout)
            # Windows refuses it as another version of the product; Wine takes
            # it for the installed package and does nothing.
            code, _ = machine.msiexec("/i", windows_path(release.rebuilt_next_msi[package]), "/qn")
            self.check(layout, code in (OTHER_VERSION_INSTALLED, SUCCESS) and
                       self.related_products(machine, layout) == [packed_guid(later_code)],
                       "a rebuilt package of the installed version adds no second product (exit %d)" % code)
            code, _ = machine.msiexec("/i", windows_path(earlier), "/qn")
            self.check(layout, code == INSTALL_FAILURE, "the earlier version is refused (exit %d)" % code)
            self.check(layout, self.related_products(machine, layout) == [packed_guid(later_code)] and
                       self.installed_snapshot(machine, layout) == installed,
                       "the installed product and its files are unchanged")
            self.step(machine, layout, "RefusedPackage.*",
                      "opened with the installer's own interface, the earlier version says why it is refused",
                      {"QB480_MSIEXEC": layout.msiexec, "QB480_REFUSED_MSI": windows_path(earlier),
                       "QB480_REFUSAL": "A later version of Tessaline QB480 is already installed. Remove it first if "
                                        "you want to install version %s." % release.version})
            self.check(layout, self.installed_snapshot(machine, layout) == installed,
                       "the installed files are still unchanged")
            code = self.timed_msiexec(machine, layout, "silent uninstall", "/x", later_code, "/qn")
            self.check(layout, code == SUCCESS, "msiexec /x /qn succeeds (exit %d)" % code)
            self.expect_removed(machine, layout, later_code, None)

    def refused(self, layout):
        """The x86 package on 64-bit Windows: refused, silently and with the
        installer's own interface, and nothing installed."""
        msi = self.release.msi[layout.package]
        refusal = "This package is for 32-bit Windows. On 64-bit Windows, install qb480-%s-x64.msi." % self.release.version
        with self.machine(layout) as machine:
            code = self.timed_msiexec(machine, layout, "refused silent install", "/i", windows_path(msi), "/qn")
            self.check(layout, code == INSTALL_FAILURE, "msiexec /i /qn is refused (exit %d)" % code)
            self.step(machine, layout, "RefusedPackage.*", "opened with the installer's own interface, it says %r" % refusal,
                      {"QB480_MSIEXEC": layout.msiexec, "QB480_REFUSED_MSI": windows_path(msi), "QB480_REFUSAL": refusal})
            product_code = msi_property(msi, "ProductCode")
            found = [place + "/" + name for place in ("windows/system32", "windows/syswow64")
                     for name in ("qb480.cpl", MESSAGE_FILE) if os.path.exists(machine.c(place, name))]
            found += [folder for folder in ("Program Files", "Program Files (x86)") if os.path.exists(machine.c(folder, "Tessaline"))]
            found += [m for m in self.start_menus(machine) if os.path.exists(os.path.join(m, "Tessaline QB480"))]
            keys = [layout.uninstall, "HKLM\\" + UNINSTALL]
            found += [key for key in [k + "\\" + product_code for k in keys] + [self.products_key(product_code), START_MENU_KEY,
                                                                                 EVENT_SOURCE]
                      if machine.reg_values(key, True) is not None]
            self.check(layout, not found, "nothing is installed%s" % (": but " + ", ".join(found) if found else ""))


def template(winearch):
    """A prefix as Wine makes it, made once per build folder."""
    path = os.path.join(TEMPLATES, "template-" + winearch)
    stamp = os.path.join(path, ".qb480-ready")
    if not os.path.exists(stamp):
        subprocess.run([os.path.join(ROOT, "tests", "wine", "mkprefix.sh"), path, winearch, stamp], check=True)
    return path


def main():
    version, chosen = sys.argv[1], sys.argv[2:]
    checks = Checks("install")
    layouts = [Layout("x64", "win64"), Layout("x86", "win32"), Layout("x86", "win64")]
    layouts = [layout for layout in layouts if not chosen or "%s-%s" % (layout.package, layout.winearch) in chosen]
    os.makedirs(TEMPLATES, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="qb480-install-") as scratch:
        cases = Cases(checks, Release(version, scratch, {layout.package for layout in layouts}))
        for layout in layouts:
            refused = layout.package == "x86" and layout.winearch == "win64"
            for case in (cases.refused,) if refused else (cases.lifecycle, cases.versions, cases.configured, cases.planted):
                try:
                    case(layout)
                except (OSError, subprocess.SubprocessError, ValueError) as error:
                    checks.check(False, "%s: %s stopped: %s" % (layout.label, case.__name__, error))
    for timing in cases.timings:
        print("time  " + timing)
    repeated = cases.starts_repeated
    print("install: %d passed, %d failed%s" % (checks.passed, checks.failed, ", %d start%s repeated" %
                                               (repeated, "" if repeated == 1 else "s") if repeated else ""))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
