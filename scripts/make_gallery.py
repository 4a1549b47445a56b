#!/usr/bin/env python3
"""Renders side-by-side pictures for a person to judge: every bevel shape, every built-in
texture, every glue mode or every weathering layer, applied to the bundled emblem (flattened
onto a grey background, its alpha used as the selection) or, with --photo, to the bundled
landscape with the emblem's shape as the selection.

    python3 scripts/make_gallery.py shapes [-o out/shapes.png] [--set NAME=VALUE ...]
    python3 scripts/make_gallery.py textures [...]
    python3 scripts/make_gallery.py glue --photo [...]
    python3 scripts/make_gallery.py weathering [...]

Tiles are laid out row by row in index order (shape 1 ramp ... 14 edgeless; texture 2 claws
... 12 fractal; glue 1 normal ... 74 contrast negate); `orichalcumite info` lists the names.
Needs the build (build/bin) and oiiotool.
"""
import argparse
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

SETS = {
    # what varies: (scripting name, first index, last index, tiles per row)
    "shapes": ("shape", 1, 14, 7),
    "textures": ("texture choice", 2, 12, 6),
    "glue": ("glue", 1, 74, 10),
}

# One tile per weathering layer, each alone at a clearly visible strength.
WEATHERING = [
    ["tarnish=80"], ["abrasion=80"], ["rain=80"], ["rain=80", "wet rain=true"],
    ["blotches=60"], ["moss=70"], ["moss=70", "leakiness=60"], ["dust=70"], ["grit=60"],
]


def code(what, index):
    """The scripting code of an enumeration index."""
    if what == "shapes":
        return f"Sr{index:02d}"
    if what == "textures":
        return f"St{index:02d}"
    return f"SG{index:02d}" if index <= 15 else f"GL{index - 5:02d}"


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("what", choices=sorted(SETS) + ["weathering"])
    ap.add_argument("-o", "--output")
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--input", default=os.path.join(ROOT, "examples", "emblem.png"),
                    help="an RGBA picture: its colour over grey is the source, its alpha the selection")
    ap.add_argument("--photo", action="store_true",
                    help="use examples/landscape.png as the source and the input's alpha as the selection")
    ap.add_argument("--set", action="append", default=[], help="extra settings for every tile")
    ap.add_argument("--scale", type=float, default=0.5, help="tile size relative to the input")
    args = ap.parse_args()
    if args.what == "weathering":
        variants = [(f"w{i}", extra) for i, extra in enumerate(WEATHERING)]
        across = 5
    else:
        name, first, last, across = SETS[args.what]
        variants = [(f"{index:03d}", [f"{name}={code(args.what, index)}"])
                    for index in range(first, last + 1)]
    output = args.output or os.path.join(ROOT, "out", f"{args.what}.png")
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    program = os.path.join(args.build, "bin", "orichalcumite")

    with tempfile.TemporaryDirectory(prefix="orichalcumite-gallery-") as work:
        flat = os.path.join(work, "flat.png")
        selection = os.path.join(work, "selection.png")
        # The emblem over a mid grey, and its alpha as the selection.
        # "emblem.png : 480 x 360, 4 channel, uint8 png"
        info = subprocess.run(["oiiotool", "--info", args.input], capture_output=True, text=True,
                              check=True).stdout.splitlines()[0]
        width, height = (int(v) for v in info.split(":", 1)[1].split(",")[0].split(" x "))
        if args.photo:
            subprocess.run(["oiiotool", os.path.join(ROOT, "examples", "landscape.png"),
                            "--resize", f"{width}x{height}", "-o", flat], check=True)
        else:
            subprocess.run(["oiiotool", args.input, "--pattern", "constant:color=0.42,0.45,0.5,1",
                            f"{width}x{height}", "4", "--over", "--ch", "R,G,B", "-o", flat], check=True)
        subprocess.run(["oiiotool", args.input, "--ch", "A", "-o", selection], check=True)
        tiles = []
        for label, extra in variants:
            tile = os.path.join(work, f"tile{label}.png")
            cmd = [program, "render", flat, "--selection", selection, "-o", tile, "--quiet"]
            for s in extra + args.set:
                cmd += ["--set", s]
            result = subprocess.run(cmd, capture_output=True, text=True)
            if result.returncode != 0:
                sys.exit(f"{' '.join(cmd)}\n{result.stderr}")
            tiles.append(tile)
        rows = (len(tiles) + across - 1) // across
        tw, th = int(width * args.scale), int(height * args.scale)
        resized = []
        for tile in tiles:
            small = tile.replace(".png", "-small.png")
            subprocess.run(["oiiotool", tile, "--resize", f"{tw}x{th}", "-o", small], check=True)
            resized.append(small)
        subprocess.run(["oiiotool", *resized, "--mosaic:pad=4", f"{across}x{rows}", "-o", output], check=True)
    print(f"wrote {output}")


if __name__ == "__main__":
    main()
