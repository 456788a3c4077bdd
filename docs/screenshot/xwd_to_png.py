#!/usr/bin/env python3
"""Cuts a rectangle out of an X window dump (XWD, such as Xvfb -fbdir writes for its
screen) and saves it as a PNG, with the Python standard library only:

    python3 docs/screenshot/xwd_to_png.py SCREEN.xwd X Y WIDTH HEIGHT OUT.png

Only true-colour dumps of 24 or 32 bits per pixel are read; that is what Xvfb writes.
"""
import struct
import sys
import zlib


def read_rgb_rows(path, x, y, width, height):
    with open(path, "rb") as f:
        data = f.read()
    fields = struct.unpack(">25I", data[:100])
    header_size, _, _, _, screen_w, screen_h = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    masks = fields[14:17]
    ncolors = fields[19]
    if bits_per_pixel not in (24, 32):
        sys.exit(f"xwd_to_png: {bits_per_pixel} bits per pixel is not read here")
    if x < 0 or y < 0 or x + width > screen_w or y + height > screen_h:
        sys.exit(f"xwd_to_png: {width}x{height}+{x}+{y} is outside the {screen_w}x{screen_h} dump")
    shifts = [(m & -m).bit_length() - 1 for m in masks]
    step = bits_per_pixel // 8
    order = "little" if byte_order == 0 else "big"
    pixels = header_size + 12 * ncolors
    rows = []
    for row in range(y, y + height):
        start = pixels + row * bytes_per_line + x * step
        line = data[start:start + width * step]
        out = bytearray()
        for i in range(0, len(line), step):
            value = int.from_bytes(line[i:i + step], order)
            out += bytes((value & m) >> s for m, s in zip(masks, shifts))
        rows.append(bytes(out))
    return rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    raw = b"".join(b"\x00" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def main():
    if len(sys.argv) != 7:
        sys.exit(__doc__)
    source, x, y, width, height, target = sys.argv[1], *map(int, sys.argv[2:6]), sys.argv[6]
    write_png(target, width, height, read_rgb_rows(source, x, y, width, height))


if __name__ == "__main__":
    main()
