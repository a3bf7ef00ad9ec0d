#!/usr/bin/env python3
"""Draws the deliverables' 32x32 icons and writes them as .ico files.

applet/qb480.ico: the QB480 board (green circuit board, gold edge fingers,
the controller chip and four serial connectors).
loader/qb480load.ico: the same board with a download arrow.

Run from the repository root; the .ico files are committed.
"""
import struct

W = H = 32
TRANSPARENT = None


def blank():
    return [[TRANSPARENT] * W for _ in range(H)]


def rect(img, x0, y0, x1, y1, colour):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            img[y][x] = colour


def board(img):
    green, dark, gold, chip, blue = (0x1E, 0x7A, 0x3C), (0x0F, 0x4D, 0x24), (0xE8, 0xB9, 0x30), (0x20, 0x20, 0x24), (0x3A, 0x6E, 0xD8)
    rect(img, 1, 6, 30, 25, dark)          # outline
    rect(img, 2, 7, 29, 24, green)
    for x in range(4, 28, 3):              # edge connector fingers
        rect(img, x, 26, x + 1, 29, gold)
    rect(img, 10, 12, 21, 20, chip)        # controller
    for y in range(13, 20, 2):             # its pins
        img[y][9] = img[y][22] = (0xC0, 0xC0, 0xC0)
    img[13][11] = (0x90, 0x90, 0x90)       # pin-1 mark
    for x in (3, 10, 17, 24):              # serial connectors along the top edge
        rect(img, x, 2, x + 4, 6, blue)
        rect(img, x + 1, 3, x + 3, 4, (0x18, 0x30, 0x70))
    for (x, y) in ((4, 10), (26, 10), (4, 21), (26, 21)):  # traces
        rect(img, x, y, x + 1, y, gold)


def arrow(img):
    red, edge = (0xF0, 0x6A, 0x10), (0x80, 0x30, 0x00)
    for y in range(8, 17):
        rect(img, 13, y, 18, y, red)
    for i, y in enumerate(range(17, 24)):
        rect(img, 9 + i, y, 22 - i, y, red)
    for y in range(8, 17):
        img[y][12] = img[y][19] = edge
    img[7][12:20] = [edge] * 8


def write_ico(path, img):
    xor = b""
    mask_rows = []
    for y in range(H - 1, -1, -1):          # bottom-up
        bits = 0
        for x in range(W):
            c = img[y][x]
            if c is None:
                xor += b"\0\0\0\0"
                bits |= 1 << (31 - x)
            else:
                xor += bytes((c[2], c[1], c[0], 0xFF))
        mask_rows.append(struct.pack(">I", bits))
    mask = b"".join(mask_rows)
    header = struct.pack("<IiiHHIIiiII", 40, W, H * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", W, H, 0, 0, 1, 32, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(icondir + entry + image)


applet = blank()
board(applet)
write_ico("applet/qb480.ico", applet)

loader = blank()
board(loader)
arrow(loader)
write_ico("loader/qb480load.ico", loader)
