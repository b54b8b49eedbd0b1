#!/usr/bin/env python3
"""Draws the icons of morvex.exe and morvex-apply.exe as Windows .ico files.

morvex.exe: a blue tile holding four bytes, one of them patched in orange.
morvex-apply.exe (and the patch files it opens): a green tile whose fourth
byte holds a check mark, the patch applied.
The shapes lie on a 16 x 16 grid, so their edges fall on whole pixels at
every size; 4x4 supersampling smooths the rounded corners. 16, 32 and 48 pixels are 32-bit BMP images (read by
every Windows version), 256 pixels is PNG (Vista and later). Only the
standard library is used, and the output depends on nothing but this file.
Usage: make_icon.py MORVEX.ico MORVEX_APPLY.ico
"""
import struct
import sys
import zlib

SIZES = (16, 32, 48, 256)
SAMPLES = 4
BYTE = (0xE8, 0xEF, 0xFA)
PATCHED = (0xFF, 0x9A, 0x1F)
# Each icon: its tile's colour at the top and at the bottom, and whether the
# patched byte carries a check mark.
MAKER = ((0x3D, 0x7B, 0xD6), (0x1A, 0x3F, 0x80), False)
APPLIER = ((0x3C, 0xB0, 0x5A), (0x14, 0x5E, 0x2A), True)
# The check mark: two strokes through these points, in grid units.
CHECK = ((10.0, 11.6), (11.1, 12.7), (13.1, 10.4))
CHECK_HALF_WIDTH = 0.6
# Byte cells on a 2 x 2 grid inside the tile; the last one is patched.
CELLS = [(col, row) for row in range(2) for col in range(2)]


def inside_rounded(x, y, left, top, right, bottom, radius):
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def near_stroke(x, y, start, end, reach):
    """Whether (x, y) lies within reach of the segment from start to end."""
    (ax, ay), (bx, by) = start, end
    t = ((x - ax) * (bx - ax) + (y - ay) * (by - ay)) / ((bx - ax) ** 2 + (by - ay) ** 2)
    t = min(max(t, 0), 1)
    return (x - ax - t * (bx - ax)) ** 2 + (y - ay - t * (by - ay)) ** 2 <= reach * reach


def colour_at(x, y, icon):
    """Colour (r, g, b) or None for transparent at a point of the unit square."""
    top, bottom, checked = icon
    if not inside_rounded(x, y, 0, 0, 1, 1, 3 / 16):
        return None
    for col, row in CELLS:
        left, right = (2 + col * 7) / 16, (7 + col * 7) / 16
        upper, lower = (2 + row * 7) / 16, (7 + row * 7) / 16
        if inside_rounded(x, y, left, upper, right, lower, 1 / 16):
            if (col, row) != CELLS[-1]:
                return BYTE
            if checked and any(near_stroke(x * 16, y * 16, a, b, CHECK_HALF_WIDTH)
                               for a, b in zip(CHECK, CHECK[1:])):
                return BYTE
            return PATCHED
    return tuple(round(a + (b - a) * y) for a, b in zip(top, bottom))


def draw(size, icon):
    """Rows of (r, g, b, a) pixels, top row first."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total, red, green, blue = 0, 0, 0, 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((px + (sx + 0.5) / SAMPLES) / size,
                                  (py + (sy + 0.5) / SAMPLES) / size, icon)
                    if c:
                        total += 1
                        red, green, blue = red + c[0], green + c[1], blue + c[2]
            if total:
                row.append((red // total, green // total, blue // total,
                            total * 255 // (SAMPLES * SAMPLES)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def bmp_image(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    # The AND mask marks transparent pixels for systems that ignore alpha.
    stride = (size + 31) // 32 * 4
    mask = b""
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + pixels + mask


def png_image(rows):
    size = len(rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data)))

    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def write_icon(path, icon):
    images = [png_image(draw(s, icon)) if s == 256 else bmp_image(draw(s, icon)) for s in SIZES]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries, data = b"", b""
    for size, image in zip(SIZES, images):
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32,
                               len(image), offset + len(data))
        data += image
    with open(path, "wb") as out:
        out.write(directory + entries + data)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_icon.py MORVEX.ico MORVEX_APPLY.ico")
    write_icon(sys.argv[1], MAKER)
    write_icon(sys.argv[2], APPLIER)


main()
