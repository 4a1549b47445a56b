"""Reads a PSD document with psd-tools and compares it with the picture it was made from.

usage: psd_tools_check.py DOCUMENT.psd REFERENCE.raw TOLERANCE [visible]

REFERENCE.raw holds the layer's pixels as little-endian float32 red, green, blue, alpha, row
by row, in 0..1 (any value for 32-bit documents). Prints one line per problem and exits 1,
or prints "ok" and exits 0. With "visible", colours are compared only where the reference's
alpha is above 0 (a fully transparent pixel's colour is never seen).
"""

import sys

import numpy as np
from psd_tools import PSDImage


def main():
    path, reference_path, tolerance = sys.argv[1], sys.argv[2], float(sys.argv[3])
    visible_only = len(sys.argv) > 4 and sys.argv[4] == "visible"
    psd = PSDImage.open(path)
    problems = []
    layers = list(psd)
    if len(layers) != 1:
        problems.append(f"{len(layers)} layers")
    else:
        layer = layers[0]
        if layer.name != "layer 1":
            problems.append(f"layer name {layer.name!r}")
        channels = len(layer._record.channel_info)
        if channels != 4:
            problems.append(f"{channels} channels")
        if (layer.width, layer.height) != (psd.width, psd.height):
            problems.append(f"layer size {layer.width}x{layer.height}")
        reference = np.fromfile(reference_path, dtype="<f4").reshape(psd.height, psd.width, 4)
        pixels = layer.numpy()
        if pixels.shape != reference.shape:
            problems.append(f"layer pixels of shape {pixels.shape}")
        else:
            difference = np.abs(pixels.astype(np.float64) - reference)
            if visible_only:
                difference[..., :3] *= (reference[..., 3:] > 0)
            difference = float(np.max(difference))
            if difference > tolerance:
                problems.append(f"layer pixels differ by up to {difference}")
    for problem in problems:
        print(problem)
    if not problems:
        print("ok")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
