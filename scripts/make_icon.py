#!/usr/bin/env python3
"""Draws the program icon and writes resources/icon.ico.

The ICO holds one 256x256, 32-bit entry stored as PNG. Only the Python standard
library is used, so the icon can be rebuilt anywhere: python3 scripts/make_icon.py
"""
import os
import struct
import zlib

SIZE = 256
SAMPLES = 4  # per axis, for anti-aliased edges

BACKGROUND_TOP = (0x1F, 0x4E, 0x79)
BACKGROUND_BOTTOM = (0x0E, 0x1F, 0x36)
FAR_HILL = (0x6E, 0x86, 0x9F)
NEAR_HILL = (0xA9, 0xBC, 0xCF)
ARROW = (0xF2, 0xB2, 0x33)


def in_rounded_square(x, y, margin=8, radius=44):
    lo, hi = margin, SIZE - margin
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def in_polygon(x, y, points):
    inside = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


FAR_HILL_SHAPE = [(8, 248), (8, 190), (70, 128), (128, 186), (186, 118), (248, 180), (248, 248)]
NEAR_HILL_SHAPE = [(8, 248), (8, 214), (64, 168), (128, 222), (196, 160), (248, 206), (248, 248)]
ARROW_SHAPE = [(110, 36), (146, 36), (146, 104), (176, 104), (128, 156), (80, 104), (110, 104)]


def colour_at(x, y):
    """Colour of one sample point, or None outside the icon."""
    if not in_rounded_square(x, y):
        return None
    if in_polygon(x, y, NEAR_HILL_SHAPE):
        return NEAR_HILL
    if in_polygon(x, y, ARROW_SHAPE):
        return ARROW
    if in_polygon(x, y, FAR_HILL_SHAPE):
        return FAR_HILL
    t = y / SIZE
    return tuple(round(a + (b - a) * t) for a, b in zip(BACKGROUND_TOP, BACKGROUND_BOTTOM))


def render():
    rows = []
    step = 1.0 / SAMPLES
    for py in range(SIZE):
        row = bytearray([0])  # PNG filter type: none
        for px in range(SIZE):
            r = g = b = hits = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at(px + (sx + 0.5) * step, py + (sy + 0.5) * step)
                    if c is not None:
                        r, g, b, hits = r + c[0], g + c[1], b + c[2], hits + 1
            if hits:
                row += bytes((r // hits, g // hits, b // hits, 255 * hits // SAMPLES ** 2))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return b"".join(rows)


def png(pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b""))


def ico(image):
    header = struct.pack("<HHH", 0, 1, 1)
    # Width and height 0 mean 256; 1 plane, 32 bits per pixel; data follows the 22-byte header.
    entry = struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 32, len(image), 6 + 16)
    return header + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.join(here, "..", "resources", "icon.ico")
    image = png(render())
    with open(out, "wb") as f:
        f.write(ico(image))
    with open(os.path.join(here, "..", "resources", "icon.png"), "wb") as f:
        f.write(image)
    print(f"wrote {os.path.normpath(out)} ({len(image) + 22} bytes)")


if __name__ == "__main__":
    main()
