#!/usr/bin/env python3
"""Draws the publish dialog's images into resources/: the three method
pictures (folder, FTP server, web page; 48 px) and the button icons (browse,
edit, publish; 16 px). Shapes are filled with 4x4 supersampling for smooth
edges. Standard library only; run it again to redraw the files."""
import math
import os
import struct
import sys
import zlib

SAMPLES = 4


class Canvas:
    def __init__(self, size):
        self.size = size
        self.pixels = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def fill(self, inside, color):
        """Blends `color` (r, g, b, a) over every pixel by the share of its
        subsamples for which inside(x, y) holds (coordinates in pixels)."""
        n = self.size
        for py in range(n):
            for px in range(n):
                hits = 0
                for sy in range(SAMPLES):
                    for sx in range(SAMPLES):
                        if inside(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES):
                            hits += 1
                if hits:
                    self.blend(px, py, color, hits / (SAMPLES * SAMPLES))

    def blend(self, x, y, color, coverage):
        r, g, b, a = color
        alpha = a / 255 * coverage
        dr, dg, db, da = self.pixels[y][x]
        da /= 255
        out = alpha + da * (1 - alpha)
        if out <= 0:
            return
        mix = lambda s, d: round((s * alpha + d * da * (1 - alpha)) / out)
        self.pixels[y][x] = (mix(r, dr), mix(g, dg), mix(b, db), round(out * 255))

    def png(self):
        raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in self.pixels)
        def chunk(kind, data):
            return (struct.pack(">I", len(data)) + kind + data
                    + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff))
        header = struct.pack(">IIBBBBB", self.size, self.size, 8, 6, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def rect(x0, y0, x1, y1, radius=0.0):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 + 1e-9
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r, width):
    return lambda x, y: (r - width) ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def line(x0, y0, x1, y1, width):
    length = math.hypot(x1 - x0, y1 - y0)
    ux, uy = (x1 - x0) / length, (y1 - y0) / length
    def inside(x, y):
        t = (x - x0) * ux + (y - y0) * uy
        d = abs((x - x0) * uy - (y - y0) * ux)
        return -width / 2 <= t <= length + width / 2 and d <= width / 2
    return inside


def scaled(shape_maker, factor):
    return lambda *args: shape_maker(*[a * factor for a in args])


FOLDER_BACK = (214, 160, 46, 255)
FOLDER_FRONT = (246, 196, 82, 255)
PAPER = (255, 255, 255, 255)
INK = (70, 78, 90, 255)
BLUE = (52, 120, 218, 255)
GREEN = (46, 160, 92, 255)


def folder(c, k):
    c.fill(rect(4 * k, 10 * k, 20 * k, 16 * k, 2 * k), FOLDER_BACK)
    c.fill(rect(4 * k, 14 * k, 44 * k, 40 * k, 3 * k), FOLDER_BACK)
    c.fill(polygon([(4 * k, 40 * k), (9 * k, 20 * k), (47 * k, 20 * k), (42 * k, 40 * k)]), FOLDER_FRONT)


def publish_file(c):
    c.fill(rect(12, 4, 36, 30, 1), PAPER)
    c.fill(rect(12, 4, 36, 5), INK)
    for y in (10, 15, 20):
        c.fill(rect(16, y, 32, y + 1.6), INK)
    folder(c, 1)


def publish_ftp(c):
    for top in (6, 19, 32):
        c.fill(rect(8, top, 40, top + 11, 2), INK)
        c.fill(circle(13, top + 5.5, 1.8), GREEN)
        c.fill(rect(19, top + 4.5, 34, top + 6.5), (160, 170, 180, 255))


def publish_html(c):
    c.fill(rect(6, 4, 42, 44, 3), (225, 230, 238, 255))
    c.fill(rect(6, 4, 42, 13, 3), BLUE)
    c.fill(rect(6, 9, 42, 13), BLUE)
    for x in (11, 16, 21):
        c.fill(circle(x, 8.5, 1.6), PAPER)
    c.fill(polygon([(20, 20), (11, 29), (20, 38), (22.5, 35.5), (16, 29), (22.5, 22.5)]), INK)
    c.fill(polygon([(28, 20), (37, 29), (28, 38), (25.5, 35.5), (32, 29), (25.5, 22.5)]), INK)


def publish_browse(c):
    c.fill(rect(1, 3, 6, 5, 0.8), FOLDER_BACK)
    c.fill(rect(1, 4, 14, 13, 1), FOLDER_BACK)
    c.fill(polygon([(1, 13), (3, 6.5), (15.5, 6.5), (13.5, 13)]), FOLDER_FRONT)


def publish_edit(c):
    c.fill(line(3.5, 12.5, 12, 4, 3.2), (240, 170, 60, 255))
    c.fill(polygon([(1.5, 14.5), (2.2, 11), (5, 13.8)]), INK)
    c.fill(line(11.5, 4.5, 13, 3, 3.2), (220, 90, 90, 255))


def publish(c):
    c.fill(circle(8, 8, 7.5), GREEN)
    c.fill(polygon([(8, 2.5), (13, 8), (10, 8), (10, 13), (6, 13), (6, 8), (3, 8)]), PAPER)


ICONS = {
    "publish_file.png": (48, publish_file),
    "publish_ftp.png": (48, publish_ftp),
    "publish_html.png": (48, publish_html),
    "publish_browse.png": (16, publish_browse),
    "publish_edit.png": (16, publish_edit),
    "publish.png": (16, publish),
}

if __name__ == "__main__":
    target = sys.argv[1] if len(sys.argv) > 1 else "resources"
    for name, (size, draw) in ICONS.items():
        canvas = Canvas(size)
        draw(canvas)
        with open(os.path.join(target, name), "wb") as out:
            out.write(canvas.png())
