#!/usr/bin/env python3
"""Draws data/publish/fullscreen.png: four white corner brackets with a soft
dark edge, so that the icon reads on bright and dark video alike. Standard
library only; run it again to redraw the file."""
import struct
import sys
import zlib

SIZE = 32
STROKE = 3      # thickness of a bracket arm
ARM = 9         # length of a bracket arm
MARGIN = 4      # distance from the icon's edge


def bracket_pixels():
    on = set()
    far = SIZE - MARGIN - 1
    for x0, y0, dx, dy in ((MARGIN, MARGIN, 1, 1), (far, MARGIN, -1, 1),
                           (MARGIN, far, 1, -1), (far, far, -1, -1)):
        for a in range(ARM):
            for t in range(STROKE):
                on.add((x0 + dx * a, y0 + dy * t))   # horizontal arm
                on.add((x0 + dx * t, y0 + dy * a))   # vertical arm
    return on


def image():
    white = bracket_pixels()
    rows = []
    for y in range(SIZE):
        row = bytearray([0])  # filter type: none
        for x in range(SIZE):
            if (x, y) in white:
                row += bytes((255, 255, 255, 255))
            elif any((x + i, y + j) in white for i in (-1, 0, 1) for j in (-1, 0, 1)):
                row += bytes((0, 0, 0, 140))
            else:
                row += bytes((0, 0, 0, 0))
        rows.append(bytes(row))
    return b"".join(rows)


def chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data
            + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff))


def png():
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(image(), 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    target = sys.argv[1] if len(sys.argv) > 1 else "data/publish/fullscreen.png"
    with open(target, "wb") as out:
        out.write(png())
