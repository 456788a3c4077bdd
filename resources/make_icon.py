#!/usr/bin/env python3
"""Draws the program icon and writes resources/icon.ico and the hicolor theme's PNGs.

The ICO holds 256, 16, 20, 24, 32, 40, 48 and 64 px images (32-bit, stored as PNG),
the large one first. Below 256 px the picture is drawn again for its size, on the
pixel grid: at 16 to 24 px one hill and a bold arrow, at 32 to 64 px both hills and
a bolder arrow, so the title bar, the taskbar and Explorer show a sharp icon instead
of the large one shrunk. On Linux the same drawings go into the icon theme at its
standard sizes, hicolor/<size>x<size>/apps/ironvale-mod-installer.png (20 and 40 px are
no hicolor sizes). Only the Python standard library is used: python3 resources/make_icon.py
"""
import os
import struct
import zlib

SAMPLES = 4  # per axis, for anti-aliased edges
SIZES = [256, 16, 20, 24, 32, 40, 48, 64]
THEME_SIZES = [16, 24, 32, 48, 64, 256]
THEME_NAME = "ironvale-mod-installer"

BACKGROUND_TOP = (0x1F, 0x4E, 0x79)
BACKGROUND_BOTTOM = (0x0E, 0x1F, 0x36)
FAR_HILL = (0x6E, 0x86, 0x9F)
NEAR_HILL = (0xA9, 0xBC, 0xCF)
ARROW = (0xF2, 0xB2, 0x33)


def design(size):
    """The shapes for one size, in pixels: (margin, radius, far hill, near hill, arrow)."""
    if size == 256:
        return (8, 44,
                [(8, 248), (8, 190), (70, 128), (128, 186), (186, 118), (248, 180), (248, 248)],
                [(8, 248), (8, 214), (64, 168), (128, 222), (196, 160), (248, 206), (248, 248)],
                [(110, 36), (146, 36), (146, 104), (176, 104), (128, 156), (80, 104), (110, 104)])

    def snap(points):
        # Whole pixels, so edges are crisp instead of half-covered.
        return [(round(x * size), round(y * size)) for x, y in points]

    if size <= 24:
        # The far hill would be a smudge: one hill, and an arrow as wide as it can be.
        near = snap([(0, 1), (0, 0.78), (0.22, 0.64), (0.5, 0.86), (0.78, 0.60), (1, 0.74), (1, 1)])
        arrow = snap([(0.34, 0.06), (0.66, 0.06), (0.66, 0.40), (0.88, 0.40), (0.5, 0.80),
                      (0.12, 0.40), (0.34, 0.40)])
        return 0, max(2, round(size * 0.2)), None, near, arrow
    margin = max(1, round(size / 32))
    far = snap([(0, 1), (0, 0.74), (0.27, 0.50), (0.5, 0.73), (0.73, 0.46), (1, 0.70), (1, 1)])
    near = snap([(0, 1), (0, 0.84), (0.25, 0.66), (0.5, 0.87), (0.77, 0.63), (1, 0.81), (1, 1)])
    arrow = snap([(0.39, 0.12), (0.61, 0.12), (0.61, 0.39), (0.76, 0.39), (0.5, 0.64),
                  (0.24, 0.39), (0.39, 0.39)])
    return margin, round(size * 0.17), far, near, arrow


def in_rounded_square(x, y, size, margin, radius):
    lo, hi = margin, size - margin
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


def render(size):
    margin, radius, far, near, arrow = design(size)
    # The large picture keeps its arrow behind the near hill; small ones draw the
    # arrow on top, where it stays readable.
    small = size < 256

    def colour_at(x, y):
        """Colour of one sample point, or None outside the icon."""
        if not in_rounded_square(x, y, size, margin, radius):
            return None
        if small and in_polygon(x, y, arrow):
            return ARROW
        if in_polygon(x, y, near):
            return NEAR_HILL
        if in_polygon(x, y, arrow):
            return ARROW
        if far and in_polygon(x, y, far):
            return FAR_HILL
        t = y / size
        return tuple(round(a + (b - a) * t) for a, b in zip(BACKGROUND_TOP, BACKGROUND_BOTTOM))

    rows = []
    step = 1.0 / SAMPLES
    for py in range(size):
        row = bytearray([0])  # PNG filter type: none
        for px in range(size):
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


def png(size, pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b""))


def ico(images):
    """images: (size, PNG bytes) pairs, in the order they are stored."""
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = data = b""
    for size, image in images:
        # A width and height of 0 mean 256; 1 plane, 32 bits per pixel.
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image),
                               offset + len(data))
        data += image
    return header + entries + data


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    resources = here
    images = [(size, png(size, render(size))) for size in SIZES]
    icon = ico(images)
    with open(os.path.join(resources, "icon.ico"), "wb") as f:
        f.write(icon)
    for size, image in images:
        if size in THEME_SIZES:
            folder = os.path.join(resources, "hicolor", f"{size}x{size}", "apps")
            os.makedirs(folder, exist_ok=True)
            with open(os.path.join(folder, THEME_NAME + ".png"), "wb") as f:
                f.write(image)
    print(f"wrote {os.path.normpath(os.path.join(resources, 'icon.ico'))} ({len(icon)} bytes, "
          + ", ".join(f"{size} px" for size, _ in images) + ") and hicolor/ at "
          + ", ".join(f"{size} px" for size in THEME_SIZES))


if __name__ == "__main__":
    main()
