#!/usr/bin/env python3
"""Draws the Morvex icon and writes it as a Windows .ico file.

The picture: a blue tile holding four bytes, one of them patched in orange.
The shapes lie on a 16 x 16 grid, so their edges fall on whole pixels at
every size; 4x4 supersampling smooths the rounded corners. 16, 32 and 48 pixels are 32-bit BMP images (read by
every Windows version), 256 pixels is PNG (Vista and later). Only the
standard library is used, and the output depends on nothing but this file.
Usage: make_icon.py OUTPUT.ico
"""
import struct
import sys
import zlib

SIZES = (16, 32, 48, 256)
SAMPLES = 4
TILE_TOP = (0x3D, 0x7B, 0xD6)
TILE_BOTTOM = (0x1A, 0x3F, 0x80)
BYTE = (0xE8, 0xEF, 0xFA)
PATCHED = (0xFF, 0x9A, 0x1F)
# Byte cells on a 2 x 2 grid inside the tile; the last one is patched.
CELLS = [(col, row) for row in range(2) for col in range(2)]


def inside_rounded(x, y, left, top, right, bottom, radius):
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def colour_at(x, y):
    """Colour (r, g, b) or None for transparent at a point of the unit square."""
    if not inside_rounded(x, y, 0, 0, 1, 1, 3 / 16):
        return None
    for col, row in CELLS:
        left, top = (2 + col * 7) / 16, (2 + row * 7) / 16
        if inside_rounded(x, y, left, top, left + 5 / 16, top + 5 / 16, 1 / 16):
            return PATCHED if (col, row) == CELLS[-1] else BYTE
    return tuple(round(a + (b - a) * y) for a, b in zip(TILE_TOP, TILE_BOTTOM))


def draw(size):
    """Rows of (r, g, b, a) pixels, top row first."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total, red, green, blue = 0, 0, 0, 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((px + (sx + 0.5) / SAMPLES) / size,
                                  (py + (sy + 0.5) / SAMPLES) / size)
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


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    images = [png_image(draw(s)) if s == 256 else bmp_image(draw(s)) for s in SIZES]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries, data = b"", b""
    for size, image in zip(SIZES, images):
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32,
                               len(image), offset + len(data))
        data += image
    with open(sys.argv[1], "wb") as out:
        out.write(directory + entries + data)


main()
