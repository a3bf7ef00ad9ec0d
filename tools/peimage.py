"""Reads what the release needs of a PE image: its headers, imports, exports
and resources, and of its version resource the fixed file version, the
languages and the strings. Used by tools/msi-file-versions.py and by the
release checks."""
import struct

RT_VERSION = 16
FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD


class PeImage:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, self.timestamp, _, _, optional_size, self.characteristics = \
            struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", data, opt)[0]
        self.pe32_plus = magic == 0x20B
        self.subsystem_version = struct.unpack_from("<HH", data, opt + 48)
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", data, opt + 68)
        directories = opt + (112 if self.pe32_plus else 96)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((va, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("RVA %#x outside every section" % rva)

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("latin-1")

    def imports(self):
        rva, size = self.directories[1]
        names, at = [], self.offset(rva)
        while True:
            lookup, _, _, name, thunk = struct.unpack_from("<IIIII", self.data, at)
            if not (lookup or name or thunk):
                return names
            names.append(self.cstring(name))
            at += 20

    def export_timestamp(self):
        rva, size = self.directories[0]
        return struct.unpack_from("<I", self.data, self.offset(rva) + 4)[0] if rva else None

    def exports(self):
        rva, size = self.directories[0]
        if not rva:
            return []
        at = self.offset(rva)
        count, names = struct.unpack_from("<II", self.data, at + 24)[0], struct.unpack_from("<I", self.data, at + 32)[0]
        return [self.cstring(struct.unpack_from("<I", self.data, self.offset(names) + 4 * i)[0]) for i in range(count)]

    def resource(self, type_id, name_id=None):
        """The data of the first resource of that type (and numeric name), or None."""
        base_rva = self.directories[2][0]
        if not base_rva:
            return None
        base = self.offset(base_rva)

        def entries(directory):
            named, ids = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + ids):
                yield struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)

        for name, target in entries(0):
            if name != type_id:
                continue
            depth = 0
            while target & 0x80000000:
                level = target & 0x7FFFFFFF
                candidates = list(entries(level))
                if depth == 0 and name_id is not None:
                    candidates = [entry for entry in candidates if entry[0] == name_id]
                    if not candidates:
                        return None
                target = candidates[0][1]
                depth += 1
            data_rva, size = struct.unpack_from("<II", self.data, base + target)
            start = self.offset(data_rva)
            return self.data[start:start + size]
        return None


class VersionInfo:
    """A VS_VERSIONINFO resource: file_version as Windows Installer writes it
    ("1.0.0.0", None without a VS_FIXEDFILEINFO), the languages of its
    translations and its StringFileInfo values."""

    def __init__(self, block):
        self.block, self.file_version, self.languages, self.strings = block, None, [], {}
        self.walk(0, len(block), 0)

    def walk(self, at, end, depth):
        block = self.block
        while at + 6 <= end:
            length, value_length, kind = struct.unpack_from("<HHH", block, at)
            if length == 0:
                return
            key_end = at + 6
            while block[key_end:key_end + 2] != b"\0\0":
                key_end += 2
            key = block[at + 6:key_end].decode("utf-16-le")
            value_at = (key_end + 2 + 3) & ~3
            value = block[value_at:value_at + value_length * (2 if kind == 1 else 1)]
            if depth == 0 and len(value) >= 16 and struct.unpack_from("<I", value)[0] == FIXED_FILE_INFO_SIGNATURE:
                most, least = struct.unpack_from("<II", value, 8)
                self.file_version = "%d.%d.%d.%d" % (most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF)
            if depth == 3:
                self.strings[key] = value.decode("utf-16-le").rstrip("\0")
            elif key == "Translation":
                self.languages += [struct.unpack_from("<H", value, i)[0] for i in range(0, len(value) - 3, 4)]
            else:
                self.walk((value_at + len(value) + 3) & ~3, at + length, depth + 1)
            at = (at + length + 3) & ~3


def version_info(data):
    """The VersionInfo of a PE image's bytes, or None without a version resource."""
    block = PeImage(data).resource(RT_VERSION)
    return VersionInfo(block) if block else None
