#!/usr/bin/env python3
"""Makes an installer package the same bytes whenever it is built from the
same commit:

    msi-reproducible.py PACKAGE.msi EPOCH

wixl and msibuild stamp the summary information with the time of the build
(created, last saved, last printed) and give the package a random package
code. This sets every time stamp of the summary information and of the
compound file's directory to EPOCH (seconds since 1970, the commit's time:
tools/source-date-epoch.sh), then derives the package code from the
package's bytes with the code blanked: two different packages get two
different codes, the same package always the same one. Windows Installer
asks exactly that of a package code; the product code, which the upgrades
rest on, is not touched. Every change is made in place: no stream moves.

Run it last: any later change to the package needs it run again.
"""
import hashlib
import struct
import sys
import uuid

SIGNATURE = bytes.fromhex("D0CF11E0A1B11AE1")
FREE, END = 0xFFFFFFFF, 0xFFFFFFFE
SUMMARY = "\x05SummaryInformation"
# Summary information: the package code, and the times wixl and msibuild set.
PID_REVNUMBER, PID_TIMES = 9, (11, 12, 13)
VT_LPSTR, VT_FILETIME = 30, 64
# Packages of this project only: the namespace of their derived codes.
PACKAGE_NAMESPACE = uuid.UUID("8E3F6A41-2C7D-4B59-9E08-D41A7C35B62F")
BLANK_CODE = "{00000000-0000-0000-0000-000000000000}"


def filetime(epoch):
    """Windows' 100 ns ticks since 1601."""
    return (epoch + 11644473600) * 10_000_000


class CompoundFile:
    """Just enough of the compound file format to rewrite a small stream in
    place and to stamp the directory entries."""

    def __init__(self, data):
        self.data = data
        if data[:8] != SIGNATURE:
            raise ValueError("not a compound file")
        self.sector_size = 1 << struct.unpack_from("<H", data, 0x1E)[0]
        self.mini_size = 1 << struct.unpack_from("<H", data, 0x20)[0]
        fat_sectors, first_dir, _, self.cutoff, first_minifat, _, first_difat, difat_count = \
            struct.unpack_from("<IIIIIIII", data, 0x2C)
        difat = list(struct.unpack_from("<109I", data, 0x4C))
        sector = first_difat
        for _ in range(difat_count):
            entries = struct.unpack_from("<%dI" % (self.sector_size // 4), data, self.offset(sector))
            difat += entries[:-1]
            sector = entries[-1]
        self.fat = []
        for sector in difat[:fat_sectors]:
            self.fat += struct.unpack_from("<%dI" % (self.sector_size // 4), data, self.offset(sector))
        self.directory = [self.offset(s) + i for s in self.chain(first_dir) for i in range(0, self.sector_size, 128)]
        self.minifat = []
        for s in self.chain(first_minifat):
            self.minifat += struct.unpack_from("<%dI" % (self.sector_size // 4), data, self.offset(s))
        root = self.directory[0]
        self.mini_stream = [self.offset(s) for s in self.chain(struct.unpack_from("<I", data, root + 116)[0])]

    def offset(self, sector):
        return (sector + 1) * self.sector_size

    def chain(self, sector, fat=None):
        fat = self.fat if fat is None else fat
        seen = []
        while sector not in (END, FREE):
            if sector in seen or sector >= len(fat):
                raise ValueError("broken sector chain")
            seen.append(sector)
            sector = fat[sector]
        return seen

    def entries(self):
        for at in self.directory:
            length = struct.unpack_from("<H", self.data, at + 64)[0]
            kind = self.data[at + 66]
            if kind:
                yield at, self.data[at:at + max(length - 2, 0)].decode("utf-16-le"), kind

    def pieces(self, at):
        """(offset, length) of each piece of the stream of the directory entry at AT."""
        start, size = struct.unpack_from("<II", self.data, at + 116)
        if size < self.cutoff:
            per = self.sector_size // self.mini_size
            spans = [(self.mini_stream[s // per] + (s % per) * self.mini_size, self.mini_size)
                     for s in self.chain(start, self.minifat)]
        else:
            spans = [(self.offset(s), self.sector_size) for s in self.chain(start)]
        result, left = [], size
        for offset, length in spans:
            result.append((offset, min(length, left)))
            left -= min(length, left)
        if left:
            raise ValueError("stream shorter than its size")
        return result

    def read(self, at):
        return b"".join(bytes(self.data[o:o + n]) for o, n in self.pieces(at))

    def write(self, at, content):
        position = 0
        for offset, length in self.pieces(at):
            self.data[offset:offset + length] = content[position:position + length]
            position += length
        assert position == len(content)


def stamp_summary(stream, epoch, code):
    """The summary information with its times and its package code set."""
    stream = bytearray(stream)
    section = struct.unpack_from("<I", stream, 44)[0]
    count = struct.unpack_from("<I", stream, section + 4)[0]
    found = False
    for i in range(count):
        pid, offset = struct.unpack_from("<II", stream, section + 8 + 8 * i)
        at = section + offset
        kind = struct.unpack_from("<I", stream, at)[0]
        if pid in PID_TIMES and kind == VT_FILETIME:
            struct.pack_into("<Q", stream, at + 4, filetime(epoch))
        elif pid == PID_REVNUMBER and kind == VT_LPSTR:
            length = struct.unpack_from("<I", stream, at + 4)[0]
            if length != len(code) + 1:
                raise ValueError("the package code is %d bytes long, not a braced GUID" % (length - 1))
            stream[at + 8:at + 8 + len(code)] = code.encode("ascii")
            found = True
    if not found:
        raise ValueError("the summary information has no package code")
    return bytes(stream)


def main(argv):
    if len(argv) != 2 or not argv[1].isdigit():
        sys.exit(__doc__)
    path, epoch = argv[0], int(argv[1])
    with open(path, "rb") as f:
        package = CompoundFile(bytearray(f.read()))
    # (The directory's own time stamps: wixl leaves them all zero.)
    summary = next((at for at, name, kind in package.entries() if name == SUMMARY and kind == 2), None)
    if summary is None:
        sys.exit("msi-reproducible: %s has no summary information" % path)
    package.write(summary, stamp_summary(package.read(summary), epoch, BLANK_CODE))
    digest = hashlib.sha256(package.data).hexdigest()
    code = "{%s}" % str(uuid.uuid5(PACKAGE_NAMESPACE, digest)).upper()
    package.write(summary, stamp_summary(package.read(summary), epoch, code))
    with open(path, "wb") as f:
        f.write(package.data)
    print(code)


if __name__ == "__main__":
    main(sys.argv[1:])
