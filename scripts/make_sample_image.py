#!/usr/bin/env python3
"""Draws the bundled sample, examples/emblem.png: an emblem (a ring around a five-pointed star
and a bar) on a transparent background, 480 x 360, RGBA, antialiased by 4 x 4 supersampling.
Uses only the standard library, so it runs anywhere python3 does.

    python3 scripts/make_sample_image.py examples/emblem.png
"""
import math
import struct
import sys
import zlib

W, H = 480, 360
CX, CY = W / 2, H / 2
SS = 4  # samples per axis


def star_polygon(cx, cy, outer, inner, points=5):
    verts = []
    for i in range(points * 2):
        r = outer if i % 2 == 0 else inner
        a = -math.pi / 2 + i * math.pi / points
        verts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return verts


STAR = star_polygon(CX, CY - 6, 96, 40)


def inside_polygon(x, y, verts):
    inside = False
    j = len(verts) - 1
    for i in range(len(verts)):
        xi, yi = verts[i]
        xj, yj = verts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def covered(x, y):
    d = math.hypot(x - CX, y - CY)
    if 138 <= d <= 170:  # the ring
        return True
    if inside_polygon(x, y, STAR):
        return True
    # a bar under the star, with rounded ends
    if 100 <= y - CY <= 124 and abs(x - CX) <= 80:
        return True
    for ex in (CX - 80, CX + 80):
        if math.hypot(x - ex, y - (CY + 112)) <= 12:
            return True
    return False


def colour(x, y):
    # a warm brass-like gradient, darker towards the bottom right
    t = ((x / W) + (y / H)) / 2
    return (int(214 - 70 * t), int(168 - 60 * t), int(72 - 30 * t))


def main(path):
    rows = []
    for py in range(H):
        row = bytearray([0])  # PNG filter type: none
        for px in range(W):
            hits = 0
            for sy in range(SS):
                for sx in range(SS):
                    if covered(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS):
                        hits += 1
            a = round(255 * hits / (SS * SS))
            r, g, b = colour(px, py) if a else (0, 0, 0)
            row += bytes((r, g, b, a))
        rows.append(bytes(row))
    raw = b"".join(rows)

    def chunk(tag, data):
        c = struct.pack(">I", len(data)) + tag + data
        return c + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "examples/emblem.png")
