"""The rules of Windows Installer's validation (the SDK's ICEs) that apply to
our packages, read from the tables as Microsoft documents them, plus the
rule that a program's File row carries the version of its version resource.
Wine's msiexec enforces none of them. Each rule takes a Package and returns
its faults as text: none when the package keeps it."""
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "tools"))
from peimage import version_info  # noqa: E402

# Per user whatever ALLUSERS says, then those of the installing user unless
# ALLUSERS, which a command line may change.
PROFILE_FOLDERS = {"AppDataFolder", "FavoritesFolder", "NetHoodFolder", "PersonalFolder", "PrintHoodFolder",
                   "RecentFolder", "SendToFolder", "MyPicturesFolder", "LocalAppDataFolder",
                   "DesktopFolder", "ProgramMenuFolder", "StartMenuFolder", "StartupFolder", "TemplateFolder",
                   "AdminToolsFolder"}
REGISTRY_KEY_PATH = 0x4
NAME_FORBIDDEN = set('\\/?|><:*"')
SHORT_FORBIDDEN = NAME_FORBIDDEN | set("+,;=[] ")
HKCU, HKMU = "1", "-1"


def msiinfo(*args):
    # Exporting a table with a binary column writes its streams into the
    # working folder: a scratch one.
    with tempfile.TemporaryDirectory() as scratch:
        return subprocess.run(["msiinfo", *args], check=True, capture_output=True, cwd=scratch).stdout


class Package:
    """An MSI's tables and packed files, read once each."""

    def __init__(self, msi):
        self.msi, self.cache, self.packed = msi, {}, None
        self.names = set(msiinfo("tables", msi).decode("utf-8").split())

    def table(self, name):
        """The rows as dictionaries of the column names; no rows for a missing table."""
        if name not in self.cache:
            rows = []
            if name in self.names:
                lines = msiinfo("export", self.msi, name).decode("utf-8").replace("\r\n", "\n").split("\n")
                rows = [dict(zip(lines[0].split("\t"), line.split("\t"))) for line in lines[3:] if line]
            self.cache[name] = rows
        return self.cache[name]

    def rows(self, name, **match):
        return [row for row in self.table(name) if all(row[k] == v for k, v in match.items())]

    def keyed(self, name):
        return {row[name]: row for row in self.table(name)}

    def file(self, row):
        """The packed bytes of a File row, by its long name."""
        if self.packed is None:
            self.packed = {}
            with tempfile.TemporaryDirectory() as unpacked:
                subprocess.run(["msiextract", "-C", unpacked, self.msi], check=True, capture_output=True)
                for folder, _, names in os.walk(unpacked):
                    for name in names:
                        with open(os.path.join(folder, name), "rb") as f:
                            self.packed[name] = f.read()
        return self.packed.get(long_name(row["FileName"]))

    def folder(self, directory, long=True):
        """Target folder names from the root folder property down, for example
        ["ProgramFiles64Folder", "Tessaline", "QB480"]."""
        directories, names = self.keyed("Directory"), []
        while directory and directory != "TARGETDIR":
            name = directories[directory]["DefaultDir"].split(":")[0]
            name = name.split("|")[-1] if long else name.split("|")[0]
            names.insert(0, directory if name == "." else name)
            directory = directories[directory]["Directory_Parent"]
        return names

    def in_profile(self, directory):
        directories = self.keyed("Directory")
        while directory:
            if directory in PROFILE_FOLDERS:
                return True
            directory = directories[directory]["Directory_Parent"]
        return False

    def plain_shortcuts(self):
        """Shortcuts whose target is not a feature: not advertised."""
        features = self.keyed("Feature")
        return [row for row in self.table("Shortcut") if row["Target"] not in features]


def long_name(name):
    return name.split("|")[-1]


def hkcu_key_path_fault(package, component):
    """Why the component's key path is not an HKCU value of its own, or None."""
    key = component["KeyPath"]
    value = package.keyed("Registry").get(key)
    if not int(component["Attributes"]) & REGISTRY_KEY_PATH:
        return "%s has a %s as key path" % (component["Component"], "file" if key else "folder")
    if not key:
        return "%s's registry key path is null" % component["Component"]
    if value is None:
        return "%s has no registry value %s" % (component["Component"], key)
    if value["Component_"] != component["Component"]:
        return "%s's key path %s belongs to %s" % (component["Component"], key, value["Component_"])
    if value["Root"] not in (HKCU, HKMU):
        return "%s's key path %s is not under HKCU" % (component["Component"], key)
    return None


def filename_faults(what, value):
    """Why value is no Filename: "short" or "short|long", or [] when it is."""
    short, bar, long = value.partition("|")
    base, dot, ext = short.partition(".")
    if bar and short.endswith(" "):
        return ["%s %r has a space before '|'" % (what, value)]
    if set(short) & SHORT_FORBIDDEN or not 0 < len(base) <= 8 or len(ext) > 3 or "." in ext or (dot and not ext):
        return ["%s %r has no valid short name" % (what, value)]
    if bar and (not long or set(long) & NAME_FORBIDDEN):
        return ["%s %r has no valid long name" % (what, value)]
    return []


# ICE03: file names and non-root DefaultDir parts (target[:source], "." allowed) are Filenames; a root's is an identifier.
def ice03(package):
    faults = [fault for f in package.table("File") for fault in filename_faults(f["File"], f["FileName"])]
    for d in package.table("Directory"):
        name, value = d["Directory"], d["DefaultDir"]
        if d["Directory_Parent"] in ("", name):
            faults += [] if re.fullmatch(r"[A-Za-z_][A-Za-z0-9_.]*", value) else ["root %s %r is no identifier" % (name, value)]
        elif value.count(":") > 1:
            faults.append("%s %r has more than a target and a source" % (name, value))
        else:
            faults += [fault for part in value.split(":") if part != "." for fault in filename_faults(name, part)]
    return faults


# ICE18: a component whose key path is an empty folder has that folder in CreateFolder.
def ice18(package):
    faults = []
    for c in package.table("Component"):
        name, folder = c["Component"], c["Directory_"]
        # A component that puts or takes files in the folder keeps it.
        if c["KeyPath"] or package.rows("File", Component_=name) or \
                package.rows("RemoveFile", Component_=name, DirProperty=folder) or \
                package.rows("DuplicateFile", Component_=name, DestFolder=folder) or \
                package.rows("MoveFile", Component_=name, DestFolder=folder):
            continue
        if not package.rows("CreateFolder", Component_=name, Directory_=folder):
            faults.append("%s's key path %s is not in CreateFolder" % (name, folder))
    return faults


# ICE30: no two components install a file of the same long or short name into the same folder.
def ice30(package):
    components, owners, faults = package.keyed("Component"), {}, []
    for f in package.table("File"):
        for long in (True, False):
            name = f["FileName"].split("|")[-1 if long else 0]
            place = tuple(n.lower() for n in package.folder(components[f["Component_"]]["Directory_"], long) + [name])
            owner = owners.setdefault(place, f["Component_"])
            if owner != f["Component_"]:
                faults.append("%s and %s both install %s" % (owner, f["Component_"], "\\".join(place)))
    return sorted(set(faults))


# ICE38: a component installed into a user profile has an HKCU registry value of its own as key path.
def ice38(package):
    faults = [hkcu_key_path_fault(package, c) for c in package.table("Component") if package.in_profile(c["Directory_"])]
    return [fault for fault in faults if fault]


# ICE43: a component with non-advertised shortcuts has an HKCU registry value of its own as key path.
def ice43(package):
    components = package.keyed("Component")
    faults = {hkcu_key_path_fault(package, components[s["Component_"]]) for s in package.plain_shortcuts()}
    return sorted(fault for fault in faults if fault)


# ICE57: a component's files, registry values, non-advertised shortcuts and key path are all per user or all per machine.
def ice57(package):
    registry, faults = package.keyed("Registry"), []

    def place(directory):
        return "per user" if package.in_profile(directory) else "per machine"

    def root(value):
        return {HKCU: "per user", HKMU: "per user or machine"}.get(value["Root"], "per machine")

    for c in package.table("Component"):
        name = c["Component"]
        kinds = {place(c["Directory_"]) for _ in package.rows("File", Component_=name)}
        kinds |= {root(value) for value in package.rows("Registry", Component_=name)}
        kinds |= {place(s["Directory_"]) for s in package.plain_shortcuts() if s["Component_"] == name}
        if int(c["Attributes"]) & REGISTRY_KEY_PATH:
            kinds |= {root(registry[c["KeyPath"]])} if c["KeyPath"] in registry else set()
        else:
            kinds.add(place(c["Directory_"]))
        if len(kinds) > 1:
            faults.append("%s mixes %s data" % (name, " and ".join(sorted(kinds))))
    return faults


# ICE64: each folder the package makes in a user profile is listed in RemoveFile as a folder to remove.
def ice64(package):
    return ["%s is not removed" % d["Directory"] for d in package.table("Directory")
            if package.in_profile(d["Directory"]) and d["Directory"] not in PROFILE_FOLDERS
            and not package.rows("RemoveFile", DirProperty=d["Directory"], FileName="")]


# ICE69: a formatted string names only files ([#file], [!file]) and components ([$component]) of its own row's component.
def ice69(package):
    files, faults = package.keyed("File"), []
    for name in sorted(n for n in package.names if not n.startswith("_")):
        for row in package.table(name):
            if "Component_" not in row:
                continue
            for kind, key in re.findall(r"\[([#!$])([^\]]+)\]", " ".join(row.values())):
                owner = key if kind == "$" else files.get(key, {}).get("Component_")
                if owner != row["Component_"]:
                    faults.append("%s row of %s names %s%s of %s" % (name, row["Component_"], kind, key, owner))
    return faults


# ICE90: a shortcut in a user profile is not in a folder named by a public (all capitals) property.
def ice90(package):
    return ["%s is in %s" % (s["Shortcut"], s["Directory_"]) for s in package.table("Shortcut")
            if package.in_profile(s["Directory_"]) and not any(ch.islower() for ch in s["Directory_"])]


# ICE92: a permanent component has a component GUID, and is not also uninstalled on supersedence.
PERMANENT, UNINSTALL_ON_SUPERSEDENCE = 0x10, 0x400


def ice92(package):
    faults = []
    for c in package.table("Component"):
        attributes = int(c["Attributes"])
        if attributes & PERMANENT and not c["ComponentId"]:
            faults.append("%s is permanent without a component GUID" % c["Component"])
        if attributes & PERMANENT and attributes & UNINSTALL_ON_SUPERSEDENCE:
            faults.append("%s is permanent and uninstalled on supersedence" % c["Component"])
    return faults


# ICE60: a versioned file that is not a font has a language, and no versioned file is hashed.
def ice60(package):
    files, fonts = package.keyed("File"), package.keyed("Font")
    versioned = [f for f in files.values() if f["Version"] and f["Version"] not in files]
    faults = ["%s has no language" % f["File"] for f in versioned if not f["Language"] and f["File"] not in fonts]
    return faults + ["%s is versioned and hashed" % h["File_"] for h in package.table("MsiFileHash")
                     if files.get(h["File_"], {}).get("Version")]


# Versions: a packed file with a version resource carries its file version in File.Version, any other none.
def versions(package):
    faults = []
    for f in package.table("File"):
        data = package.file(f)
        info = version_info(data) if data and data[:2] == b"MZ" else None
        wanted = info.file_version if info else ""
        if f["Version"] != wanted and f["Version"] not in package.keyed("File"):
            faults.append("%s has version %r, its resource %r" % (f["File"], f["Version"], wanted))
    return faults


# The basic custom action types (the low six bits of Type) that Windows Installer knows.
ACTION_TYPES = {1, 2, 5, 6, 7, 17, 18, 19, 21, 22, 23, 34, 35, 37, 38, 39, 50, 51, 53, 54}
IN_SCRIPT, NO_IMPERSONATE = 0x400, 0x800


# ICE68: a custom action's basic type is valid, and one run as the service (no impersonation) is deferred.
def ice68(package):
    faults = []
    for a in package.table("CustomAction"):
        kind = int(a["Type"])
        if kind & 0x3F not in ACTION_TYPES:
            faults.append("%s has no valid type (%d)" % (a["Action"], kind))
        elif kind & NO_IMPERSONATE and not kind & IN_SCRIPT:
            faults.append("%s is marked not to impersonate but is not deferred (%d)" % (a["Action"], kind))
    return faults


# ICE77: a deferred custom action is sequenced between InstallInitialize and InstallFinalize.
def ice77(package):
    actions, faults = {row["Action"]: row for row in package.table("CustomAction")}, []
    for table in ("InstallExecuteSequence", "AdminExecuteSequence"):
        steps = {row["Action"]: int(row["Sequence"]) for row in package.table(table)}
        first, last = steps.get("InstallInitialize"), steps.get("InstallFinalize")
        for name, at in steps.items():
            if name in actions and int(actions[name]["Type"]) & IN_SCRIPT and \
                    not (first is not None and last is not None and first < at < last):
                faults.append("%s runs at %d of %s, outside InstallInitialize (%s) to InstallFinalize (%s)"
                              % (name, at, table, first, last))
    return faults


RULES = {"ICE03": ice03, "ICE18": ice18, "ICE30": ice30, "ICE38": ice38, "ICE43": ice43, "ICE57": ice57, "ICE60": ice60,
         "ICE64": ice64, "ICE68": ice68, "ICE69": ice69, "ICE77": ice77, "ICE90": ice90, "ICE92": ice92, "versions": versions}
