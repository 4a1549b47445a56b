#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora into fuzz/corpus/: a few small, valid inputs each.

Pictures are written here with the standard library (PNG, PPM/PGM, TIFF); a JPEG and the
module's PIPL come from a build of the program:
    python3 fuzz/make_seeds.py BUILD_DIR
where BUILD_DIR holds bin/orichalcumite and bin/Orichalcumite.8bf. Action files are the golden
scenarios' own. Run it only to change the seeds; the fuzzers never write here.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "fuzz", "corpus")


def put(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def pixels(width, height, channels, depth=8):
    """A small gradient, rows of `channels` samples of `depth` bits, big-endian."""
    rows = []
    top = (1 << depth) - 1
    for y in range(height):
        row = bytearray()
        for x in range(width):
            for c in range(channels):
                v = (x * 37 + y * 59 + c * 91) % (top + 1) if depth == 8 else (x * 9001 + y * 4099 + c * 77) % (top + 1)
                if channels in (2, 4) and c == channels - 1:
                    v = top if (x + y) % 3 else 0  # straight alpha with some holes
                row += v.to_bytes(depth // 8, "big")
        rows.append(bytes(row))
    return rows


def png(width, height, channels, depth=8):
    colour = {1: 0, 2: 4, 3: 2, 4: 6}[channels]

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    raw = b"".join(b"\0" + r for r in pixels(width, height, channels, depth))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def pnm(width, height, channels, depth=8):
    magic = b"P6" if channels == 3 else b"P5"
    top = (1 << depth) - 1
    return b"%s\n%d %d\n%d\n" % (magic, width, height, top) + b"".join(pixels(width, height, channels, depth))


def tiff(width, height, channels):
    """Uncompressed, little-endian, 8 bits a sample, one strip."""
    data = b"".join(pixels(width, height, channels))
    entries = [
        (256, 3, 1, width), (257, 3, 1, height), (258, 3, 1, 8), (259, 3, 1, 1),
        (262, 3, 1, 2 if channels >= 3 else 1), (273, 4, 1, 8), (277, 3, 1, channels),
        (278, 3, 1, height), (279, 4, 1, len(data)),
    ]
    if channels in (2, 4):
        entries.append((338, 3, 1, 2))  # extra sample: unassociated alpha
    ifd_offset = 8 + len(data)
    ifd = struct.pack("<H", len(entries))
    for tag, kind, count, value in entries:
        ifd += struct.pack("<HHI", tag, kind, count) + (struct.pack("<HH", value, 0) if kind == 3 else struct.pack("<I", value))
    return b"II*\0" + struct.pack("<I", ifd_offset) + data + ifd + b"\0\0\0\0"


def fourcc(text):
    return text.encode("ascii")


def descriptor(items):
    """The host's descriptor bytes: tag, version, count, then fixed-size items with their bytes."""
    out = fourcc("ODsc") + struct.pack(">HI", 1, len(items))
    for key, kind, integer, number, code, value, data in items:
        out += fourcc(key) + fourcc(kind) + struct.pack(">id", integer, number) + fourcc(code) + fourcc(value)
        out += struct.pack(">I", len(data)) + data
    return out


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else None
    for target in ("action_file", "descriptor", "image_file", "selection_file", "module_pipl",
                   "key_file"):
        shutil.rmtree(os.path.join(CORPUS, target), ignore_errors=True)

    golden = os.path.join(ROOT, "tests", "golden")
    for scenario in ("glue-frontal", "material-weathered", "texture-bubbles", "spherical-environment"):
        with open(os.path.join(golden, scenario, "action.json"), "rb") as f:
            put("action_file", scenario + ".json", f.read())

    none = "\0\0\0\0"
    put("descriptor", "empty", descriptor([]))
    put("descriptor", "settings", descriptor([
        ("0001", "long", 55, 0.0, none, none, b""),
        ("SGky", "enum", 0, 0.0, "SGty", "GL62", b""),
        ("flt1", "doub", 0, 0.25, none, none, b""),
        ("bool", "bool", 1, 0.0, none, none, b""),
        ("unit", "UntF", 0, 12.5, "#Pxl", none, b""),
        ("text", "TEXT", 0, 0.0, none, none, "bevel \u00e9".encode()),
    ]))
    inner = descriptor([("0002", "long", -7, 0.0, none, none, b"")])
    put("descriptor", "nested", descriptor([("objc", "Objc", 0, 0.0, "Clss", none, inner)]))

    put("image_file", "grey.png", png(5, 3, 1))
    put("image_file", "rgba.png", png(4, 4, 4))
    put("image_file", "grey-alpha16.png", png(3, 2, 2, 16))
    put("image_file", "rgb.ppm", pnm(4, 3, 3))
    put("image_file", "grey16.pgm", pnm(3, 3, 1, 16))
    put("image_file", "rgb.tif", tiff(4, 2, 3))
    put("image_file", "rgba.tif", tiff(2, 2, 4))

    size = lambda w, h: struct.pack(">HH", w, h)
    put("selection_file", "grey.png", size(5, 3) + png(5, 3, 1))
    put("selection_file", "rgb.png", size(4, 4) + png(4, 4, 3))
    put("selection_file", "grey16.pgm", size(3, 3) + pnm(3, 3, 1, 16))
    put("selection_file", "grey.tif", size(3, 2) + tiff(3, 2, 1))
    put("selection_file", "wrong-size.png", size(6, 3) + png(5, 3, 1))

    user_key = "[SOFTWARE\\Ferrovantine PV\\Orichalcumite\\2.00]\n"
    put("key_file", "user-key.conf", (user_key + "EnviroPath=/home/me/pictures\n"
                                      "ChromeFNameOnly=chrome.png\nPresetName=\\sbrass\\n\n").encode())
    put("key_file", "machine-key.conf", ("# kept\n[SOFTWARE\\Ferrovantine\\Gleamcraft\\2.14A]\n"
                                         "CurrentDirectory=/srv/presets\n[Other]\nx=1\n").encode())
    put("key_file", "translations.conf", (user_key + "PresetName=brass\nPresetName[de]=Messing\n").encode())
    put("key_file", "empty.conf", b"")

    if build:
        program = os.path.join(build, "bin", "orichalcumite")
        module = os.path.join(build, "bin", "Orichalcumite.8bf")
        with tempfile.TemporaryDirectory() as tmp:
            source = os.path.join(tmp, "in.png")
            with open(source, "wb") as f:
                f.write(png(8, 8, 3))
            jpeg = os.path.join(tmp, "out.jpg")
            subprocess.run([program, "render", source, "-o", jpeg], check=True)
            with open(jpeg, "rb") as f:
                data = f.read()
            put("image_file", "rgb.jpg", data)
            put("selection_file", "rgb.jpg", size(8, 8) + data)

            # A tiny ELF object carrying the real module's PIPL section.
            pipl = os.path.join(tmp, "pipl.bin")
            subprocess.run(["objcopy", "-O", "binary", "--only-section=.pipl", module, pipl], check=True)
            stub = os.path.join(tmp, "stub.c")
            with open(stub, "w") as f:
                f.write("int stub;\n")
            obj = os.path.join(tmp, "stub.o")
            subprocess.run(["cc", "-c", "-o", obj, stub], check=True)
            subprocess.run(["objcopy", "--add-section", ".pipl=" + pipl, obj], check=True)
            subprocess.run(["strip", "--strip-unneeded", "-R", ".comment", "-R", ".note.GNU-stack", obj], check=True)
            with open(obj, "rb") as f:
                put("module_pipl", "stub-with-pipl.o", f.read())


if __name__ == "__main__":
    main()
