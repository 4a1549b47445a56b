#!/usr/bin/env python3
"""Generates the two LabSpace tables of the glue modes: 16 x 16 x 16 grid points each.

The forward table maps RGB to (lightness, red-green, yellow-blue); the inverse table maps
(lightness, red-green, yellow-blue) back to RGB. Every value is a byte. Grid index k stands
for the byte value 17 k (0, 17, ..., 255) on each axis; the first axis varies fastest
(3 bytes apart), then the second (48), then the third (768).

The space is CIELAB, stored with lightness L* x 2.55 and a* + 128, b* + 128 (so 128 is
neutral), rounded and limited to 0..255. RGB values are encoded with the sRGB transfer
curve. The RGB primaries are chosen so that the pure primaries land on these points:

    black (0, 128, 128)      white (255, 128, 128)
    red   (144, 208, 208)    green (214, 51, 207)     blue (104, 158, 33)

Each primary's XYZ (relative to the white point) is what CIELAB gives for its point; the
three columns are then scaled so that R = G = B = 1 is exactly the white point, which keeps
every grey neutral (a* = b* = 0). The scaling moves the primaries by well under one unit.

The inverse table converts each grid point back through the same primaries and curve;
points outside the RGB gamut are clipped channel by channel.

Run it and commit the output:
    python3 scripts/make_lab_tables.py --out render/detail/lab_space_tables.inc
    python3 scripts/make_lab_tables.py --check     (prints the anchors and a round-trip test)
Needs only the Python standard library; the output is the same on every run.
"""

import argparse
import random

GRID = 16
STEP = 17  # byte value between grid points

ANCHORS = {
    "black": ((0, 0, 0), (0, 128, 128)),
    "white": ((255, 255, 255), (255, 128, 128)),
    "red": ((255, 0, 0), (144, 208, 208)),
    "green": ((0, 255, 0), (214, 51, 207)),
    "blue": ((0, 0, 255), (104, 158, 33)),
}

EPSILON = 216.0 / 24389.0
KAPPA = 24389.0 / 27.0


def lab_f(t):
    return t ** (1.0 / 3.0) if t > EPSILON else (KAPPA * t + 16.0) / 116.0


def lab_f_inverse(f):
    return f ** 3 if f ** 3 > EPSILON else (116.0 * f - 16.0) / KAPPA


def srgb_to_linear(v):
    return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4


def linear_to_srgb(v):
    return 12.92 * v if v <= 0.0031308 else 1.055 * v ** (1.0 / 2.4) - 0.055


def stored_to_lab(point):
    lightness, red_green, yellow_blue = point
    return lightness / 2.55, red_green - 128.0, yellow_blue - 128.0


def lab_to_relative_xyz(lab):
    lightness, a, b = lab
    fy = (lightness + 16.0) / 116.0
    return lab_f_inverse(fy + a / 500.0), lab_f_inverse(fy), lab_f_inverse(fy - b / 200.0)


def relative_xyz_to_lab(xyz):
    fx, fy, fz = (lab_f(t) for t in xyz)
    return 116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)


def solve3(m, v):
    """Solves m x = v for a 3 x 3 matrix by Cramer's rule."""
    def det(a):
        return (a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1])
                - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0])
                + a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]))
    d = det(m)
    out = []
    for col in range(3):
        a = [row[:] for row in m]
        for r in range(3):
            a[r][col] = v[r]
        out.append(det(a) / d)
    return out


def inverse3(m):
    columns = [solve3(m, [1.0 if r == c else 0.0 for r in range(3)]) for c in range(3)]
    return [[columns[c][r] for c in range(3)] for r in range(3)]


def primaries_matrix():
    """Linear RGB to XYZ relative to the white point, columns from the primaries' anchors."""
    columns = [lab_to_relative_xyz(stored_to_lab(ANCHORS[name][1]))
               for name in ("red", "green", "blue")]
    m = [[columns[c][r] for c in range(3)] for r in range(3)]
    scale = solve3(m, [1.0, 1.0, 1.0])
    return [[m[r][c] * scale[c] for c in range(3)] for r in range(3)]


TO_XYZ = primaries_matrix()
FROM_XYZ = inverse3(TO_XYZ)


def to_byte(v):
    return max(0, min(255, int(round(v))))


def rgb_to_stored(rgb):
    linear = [srgb_to_linear(c / 255.0) for c in rgb]
    xyz = [sum(TO_XYZ[r][c] * linear[c] for c in range(3)) for r in range(3)]
    lightness, a, b = relative_xyz_to_lab(xyz)
    return lightness * 2.55, a + 128.0, b + 128.0


def stored_to_rgb(point):
    xyz = lab_to_relative_xyz(stored_to_lab(point))
    linear = [sum(FROM_XYZ[r][c] * xyz[c] for c in range(3)) for r in range(3)]
    return [255.0 * linear_to_srgb(min(1.0, max(0.0, v))) for v in linear]


def build(convert):
    table = []
    for k2 in range(GRID):
        for k1 in range(GRID):
            for k0 in range(GRID):
                table.extend(to_byte(v) for v in convert((k0 * STEP, k1 * STEP, k2 * STEP)))
    return table


def lookup(table, point):
    """Tetrahedral interpolation of byte coordinates, in floats (for --check)."""
    pos = [min(max(c, 0.0), 255.0) / STEP for c in point]
    idx = [min(int(p), GRID - 1) for p in pos]
    frac = [p - i if i < GRID - 1 else 0.0 for p, i in zip(pos, idx)]

    def corner(offsets):
        k = [min(i + o, GRID - 1) for i, o in zip(idx, offsets)]
        at = 3 * (k[0] + GRID * k[1] + GRID * GRID * k[2])
        return table[at:at + 3]

    order = sorted(range(3), key=lambda a: -frac[a])
    weights = [1.0 - frac[order[0]], frac[order[0]] - frac[order[1]],
               frac[order[1]] - frac[order[2]], frac[order[2]]]
    offsets = [0, 0, 0]
    result = [0.0, 0.0, 0.0]
    for step in range(4):
        if step > 0:
            offsets[order[step - 1]] = 1
        value = corner(offsets)
        for c in range(3):
            result[c] += weights[step] * value[c]
    return result


def write_table(out, name, what, table):
    out.write(f"\n// {what}\n")
    out.write(f"constexpr uint8_t {name}[{len(table)}] = {{\n")
    for row in range(0, len(table), 24):
        out.write(",".join(f"{v:3d}" for v in table[row:row + 24]) + ",\n")
    out.write("};\n")


def check(forward, inverse):
    print("anchor            table           wanted")
    for name, (rgb, wanted) in ANCHORS.items():
        got = lookup(forward, rgb)
        print(f"{name:6s} {str(rgb):16s} {' '.join(f'{v:6.1f}' for v in got)}   {wanted}")
    rng = random.Random(7)
    errors = []
    for _ in range(20000):
        rgb = [rng.uniform(0, 255) for _ in range(3)]
        back = lookup(inverse, lookup(forward, rgb))
        errors.append(max(abs(a - b) for a, b in zip(rgb, back)))
    errors.sort()
    print(f"round trip RGB -> Lab -> RGB, worst channel error in byte units: "
          f"median {errors[len(errors) // 2]:.1f}, 95% {errors[int(len(errors) * 0.95)]:.1f}, "
          f"max {errors[-1]:.1f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", help="the .inc file to write")
    parser.add_argument("--check", action="store_true", help="print anchors and round-trip error")
    args = parser.parse_args()
    forward = build(rgb_to_stored)
    inverse = build(stored_to_rgb)
    if args.check:
        check(forward, inverse)
    if args.out:
        with open(args.out, "w", encoding="ascii") as out:
            out.write("// The LabSpace tables: 16 x 16 x 16 points of three bytes, first axis fastest.\n"
                      "// Generated by scripts/make_lab_tables.py; edit the script, not this file.\n")
            write_table(out, "kLabForwardTable", "RGB to lightness, red-green, yellow-blue", forward)
            write_table(out, "kLabInverseTable", "lightness, red-green, yellow-blue to RGB", inverse)

if __name__ == "__main__":
    main()
