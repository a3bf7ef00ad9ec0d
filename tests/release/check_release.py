#!/usr/bin/env python3
"""Checks the release binaries and packages as an administrator receives them.

usage: check_release.py ARCH BUILD_DIR ZIP VERSION

Reads the PE headers and resources of qb480.cpl, qb480load.exe, qb480cfg.exe and qb480msg.dll in BUILD_DIR
(the release build of ARCH, i686 or x86_64) and the contents of ZIP, and
prints one line per check and a closing line "release-ARCH: N passed, M failed".
"""
import os
import struct
import subprocess
import sys
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "tools"))
from peimage import RT_VERSION, PeImage, VersionInfo  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "comdlg32.dll", "shell32.dll", "msvcrt.dll",
               "msi.dll"}
MAX_I686_SIZE = 150 * 1000  # "under 150 KB", read strictly
DYNAMIC_BASE, NX_COMPAT, HIGH_ENTROPY_VA = 0x40, 0x100, 0x20
RT_MANIFEST = 24
RT_RCDATA, RT_MESSAGETABLE = 10, 11
MESSAGE_FILE_RESOURCE = 480  # the copy of qb480msg.dll the applet and the configurator put in place
CPL_MANIFEST_ID = 123  # the resource the shell reads for a Control Panel applet's run level
SUBSYSTEM_WINDOWS_CUI = 3  # a console program: the shell waits for it and keeps its exit code
# Packed file -> where the release build puts it.
BUILT = {"qb480.cpl": "applet/qb480.cpl", "qb480load.exe": "loader/qb480load.exe",
         "qb480cfg.exe": "configurator/qb480cfg.exe", "qb480msg.dll": "messages/qb480msg.dll"}


class Checks:
    def __init__(self, label):
        self.label, self.passed, self.failed = label, 0, 0

    def check(self, ok, what):
        print(("ok    " if ok else "FAIL  ") + what)
        if ok:
            self.passed += 1
        else:
            self.failed += 1


def release_time():
    """The time every stamp of the release must carry: the commit's."""
    return int(subprocess.run([os.path.join(ROOT, "tools", "source-date-epoch.sh")], check=True,
                              capture_output=True, text=True).stdout)


def check_binary(checks, arch, path, version, description_word):
    with open(path, "rb") as f:
        data = f.read()
    name = path.rsplit("/", 1)[-1]
    image = PeImage(data)
    checks.check(image.pe32_plus == (arch == "x86_64"), "%s: %s image" % (name, "PE32+" if arch == "x86_64" else "PE32"))
    flags = image.dll_characteristics
    checks.check(flags & DYNAMIC_BASE and flags & NX_COMPAT, "%s: ASLR and DEP (DllCharacteristics %#06x)" % (name, flags))
    if arch == "x86_64":
        checks.check(bool(flags & HIGH_ENTROPY_VA), "%s: high-entropy ASLR" % name)
    # Rebuilt from the same commit, the same bytes: the time stamps are the commit's.
    epoch = release_time()
    stamps = {image.timestamp, image.export_timestamp() or epoch}
    checks.check(stamps == {epoch}, "%s: time stamps are the commit's %d (%s)" % (name, epoch, sorted(stamps)))
    imports = [dll.lower() for dll in image.imports()]
    checks.check(set(imports) <= SYSTEM_DLLS, "%s: imports system DLLs only (%s)" % (name, ", ".join(sorted(imports))))
    if arch == "i686":
        checks.check(len(data) < MAX_I686_SIZE, "%s: %d bytes, under 150 KB" % (name, len(data)))
        checks.check(image.subsystem_version == (4, 0), "%s: runs on NT 4.0 (subsystem version %d.%d)"
                     % ((name,) + image.subsystem_version))
    info = image.resource(RT_VERSION)
    strings = VersionInfo(info).strings if info else {}
    checks.check(strings.get("CompanyName") == "Tessaline", "%s: company %r" % (name, strings.get("CompanyName")))
    checks.check(strings.get("ProductName") == "Tessaline QB480", "%s: product %r" % (name, strings.get("ProductName")))
    checks.check(strings.get("FileVersion") == version and strings.get("ProductVersion") == version,
                 "%s: version %r" % (name, strings.get("FileVersion")))
    checks.check(description_word in strings.get("FileDescription", ""), "%s: description %r" % (name, strings.get("FileDescription")))
    checks.check(strings.get("OriginalFilename") == name, "%s: original file name %r" % (name, strings.get("OriginalFilename")))
    return image


def main():
    arch, build, zip_path, version = sys.argv[1:5]
    checks = Checks(arch)
    applet = check_binary(checks, arch, build + "/" + BUILT["qb480.cpl"], version, "Control Panel")
    checks.check(applet.exports() == ["CPlApplet"], "qb480.cpl: exports exactly CPlApplet (%s)" % applet.exports())
    checks.check(applet.characteristics & 0x2000 != 0, "qb480.cpl: is a DLL")
    loader = check_binary(checks, arch, build + "/" + BUILT["qb480load.exe"], version, "firmware")
    configurator = check_binary(checks, arch, build + "/" + BUILT["qb480cfg.exe"], version, "configurator")
    # The loader asks for the rights and draws sharp at any DPI; the
    # configurator runs as its caller, as Windows' own console tools do
    # (reading needs no rights, and it refuses every change without them).
    for name, program, level in (("qb480load.exe", loader, b"requireAdministrator"),
                                 ("qb480cfg.exe", configurator, b"asInvoker")):
        manifest = program.resource(RT_MANIFEST) or b""
        checks.check(b'level="' + level + b'"' in manifest, "%s: manifest asks for %s" % (name, level.decode()))
        checks.check(manifest.count(b"supportedOS") >= 1, "%s: manifest declares supported Windows versions" % name)
    loader_manifest = loader.resource(RT_MANIFEST) or b""
    checks.check(b">true</dpiAware>" in loader_manifest, "qb480load.exe: manifest declares system DPI awareness")
    # The installer's action: found by its entry point, stored in the MSI only.
    action = check_binary(checks, arch, build + "/installer/qb480cfgmsi.dll", version, "installer action")
    entries = ["ConfigureBoard", "ForgetBoardRecord", "PrepareBoardConfiguration", "RequestRestartForDriver", "RestoreBoard"]
    checks.check(sorted(action.exports()) == entries, "qb480cfgmsi.dll: exports exactly %s (%s)"
                 % (", ".join(entries), action.exports()))
    checks.check(configurator.subsystem == SUBSYSTEM_WINDOWS_CUI,
                 "qb480cfg.exe: console subsystem (%d)" % configurator.subsystem)
    applet_manifest = applet.resource(RT_MANIFEST, CPL_MANIFEST_ID) or b""
    checks.check(b'level="requireAdministrator"' in applet_manifest,
                 "qb480.cpl: manifest %d asks for administrator rights" % CPL_MANIFEST_ID)
    checks.check(b"dependency" not in applet_manifest,
                 "qb480.cpl: manifest %d adds no dependency (the dialogs keep their look)" % CPL_MANIFEST_ID)
    # The event source's message table: a file of resources alone, which
    # Event Viewer loads as data long after the programs are gone.
    messages = check_binary(checks, arch, build + "/" + BUILT["qb480msg.dll"], version, "event messages")
    checks.check(messages.imports() == [] and messages.exports() == [],
                 "qb480msg.dll: imports and exports nothing (%s; %s)" % (messages.imports(), messages.exports()))
    entry = struct.unpack_from("<I", messages.data, struct.unpack_from("<I", messages.data, 0x3C)[0] + 24 + 16)[0]
    checks.check(entry == 0, "qb480msg.dll: no entry point (%#x)" % entry)
    checks.check(messages.resource(RT_MESSAGETABLE) is not None, "qb480msg.dll: holds a message table")
    for name, program in (("qb480.cpl", applet), ("qb480cfg.exe", configurator)):
        checks.check(program.resource(RT_RCDATA, MESSAGE_FILE_RESOURCE) == messages.data,
                     "%s: carries the built qb480msg.dll as its resource %d" % (name, MESSAGE_FILE_RESOURCE))

    with zipfile.ZipFile(zip_path) as package:
        names = set(package.namelist())
        top = sorted(names)[0].split("/")[0]
        for needed in list(BUILT) + ["guide.html"]:
            checks.check(top + "/" + needed in names, "zip: holds %s" % needed)
        for member, built in BUILT.items():
            with open(build + "/" + built, "rb") as f:
                checks.check(package.read(top + "/" + member) == f.read(), "zip: %s is the checked binary" % member)
        guide = package.read(top + "/guide.html").decode("utf-8")
        images = [part.split('"')[0] for part in guide.split('src="')[1:]]
        checks.check(len(images) > 0 and all(top + "/" + image in names for image in images),
                     "zip: every screenshot the guide shows is packed (%d)" % len(images))
        checks.check("@" not in guide.split("<body>")[1][:400], "zip: guide has its version and architecture filled in")
        checks.check(not any(n.endswith((".sys", ".hex", ".bin")) for n in names), "zip: no test doubles or firmware")
        checks.check(top + "/qb480cfgmsi.dll" not in names, "zip: no installer action")
        # Same commit, same zip: names in order, the commit's time, plain permissions, no extra fields.
        entries = package.infolist()
        when = time.gmtime(release_time())[:5]
        odd = [e.filename for e in entries if e.date_time[:5] != when or e.extra
               or e.external_attr >> 16 not in (0o40755, 0o100644)]
        checks.check([e.filename for e in entries] == sorted(names) and not odd,
                     "zip: entries sorted, with the commit's time, fixed permissions and no extra fields (not: %s)"
                     % ", ".join(odd[:5]))

    print("release-%s: %d passed, %d failed" % (arch, checks.passed, checks.failed))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
