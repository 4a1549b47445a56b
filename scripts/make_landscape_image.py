#!/usr/bin/env python3
"""Draws examples/landscape.png, a photograph-like test picture of our own (480 x 360 RGB):
an evening sky with a low sun, hazy hills in three layers, a lake that mirrors them and a
grassy foreground with fine grain, so that every glue mode has smooth gradients, strong
colours, dark and bright areas and texture to work on. Standard library only; deterministic.

    python3 scripts/make_landscape_image.py examples/landscape.png
"""
import math
import random
import struct
import sys
import zlib

W, H = 480, 360
HORIZON = 0.62  # the lake's shore, as a share of the height


def noise1(x, seed):
    """Smooth 1-D value noise in 0..1."""
    rnd = random.Random(seed)
    knots = [rnd.random() for _ in range(64)]
    i = int(math.floor(x)) % 63
    t = x - math.floor(x)
    t = t * t * (3 - 2 * t)
    return knots[i] * (1 - t) + knots[i + 1] * t


def ridge(x, layer):
    """Height of hill layer `layer` at column x, as a share of the height (smaller is higher)."""
    base = (0.40, 0.48, 0.56)[layer]
    amp = (0.16, 0.11, 0.07)[layer]
    f = (3.0, 5.0, 9.0)[layer]
    return base - amp * (0.6 * noise1(x / W * f, 11 + layer) + 0.4 * noise1(x / W * f * 2.7, 23 + layer))


def sky(u, v):
    # warm near the horizon, deep blue above, and the sun's glow
    t = v / HORIZON
    top, low = (38, 72, 140), (250, 176, 110)
    c = [top[i] + (low[i] - top[i]) * t ** 1.8 for i in range(3)]
    d = math.hypot(u - 0.7, (v - 0.2) * 1.2)
    glow = math.exp(-d * 9.0)
    c = [min(255, c[i] + (255, 225, 170)[i] * glow) for i in range(3)]
    if d < 0.035:
        c = [255, 246, 220]
    return c


def land(x, v, layer):
    colours = ((108, 110, 150), (72, 96, 96), (44, 78, 48))
    c = colours[layer]
    # Patches of light and shade that follow the slope rather than run straight down.
    warp = x / W * 14 + 6 * noise1(v * 9 + layer, 31 + layer)
    shade = 0.8 + 0.35 * noise1(warp, 97 + layer) - 0.6 * (v - ridge(x, layer))
    return [max(0, min(255, ch * shade)) for ch in c]


def scene(x, y):
    u, v = x / W, y / H
    if v < HORIZON:
        for layer in (2, 1, 0):
            if v >= ridge(x, layer):
                return land(x, v, layer)
        return sky(u, v)
    # the lake mirrors the scene above the shore, darker and rippled
    if v < 0.8:
        ripple = 0.004 * math.sin(y * 1.7 + 3 * math.sin(x * 0.05))
        mv = 2 * HORIZON - v + ripple
        c = scene(x, min(int(mv * H), int(HORIZON * H) - 1))
        return [ch * 0.72 + 10 for ch in c]
    # grassy foreground with fine grain
    g = 0.7 + 0.3 * noise1(x / W * 23 + 4 * noise1(y * 0.07, 8), 5) + 0.15 * (random.random() - 0.5)
    t = (v - 0.8) / 0.2
    return [max(0, min(255, ch * g)) for ch in (70 + 30 * t, 110 - 20 * t, 40)]


def main(path):
    random.seed(1)
    rows = []
    for y in range(H):
        row = bytearray([0])
        for x in range(W):
            row += bytes(int(round(max(0, min(255, c)))) for c in scene(x, y))
        rows.append(bytes(row))

    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(b"".join(rows), 9)))
        f.write(chunk(b"IEND", b""))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "examples/landscape.png")
