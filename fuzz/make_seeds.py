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


def thumbnail_record(version, width, height, data, length=None):
    """A thumbnail record as preset files carry it: four big-endian ints, then the bytes."""
    return struct.pack(">iiii", version, width, height, len(data) if length is None else length) + data


def thumbnail_record_seeds(jpeg=None):
    """Records without a stream; with `jpeg`, records that carry it."""
    put("thumbnail_record", "version0", struct.pack(">i", 0))
    put("thumbnail_record", "version2-skipped", thumbnail_record(2, 8, 8, bytes(range(40))))
    put("thumbnail_record", "over-limit", thumbnail_record(1, 128, 128, b"", length=49153) + b"\xff" * 64)
    if jpeg is not None:
        put("thumbnail_record", "rgb", thumbnail_record(1, 8, 8, jpeg))
        put("thumbnail_record", "rgb-clamped", thumbnail_record(1, 300, -4, jpeg))
        put("thumbnail_record", "rgb-truncated", thumbnail_record(1, 8, 8, jpeg)[: 16 + len(jpeg) // 2])


def settings_file(version, marker=1, names=(b"sky", b"stone"), picture_block=b"", raw_thumbnail=None,
                  thumbnail=None):
    """A settings file of `version`: each field of the layout that the version carries, with
    the factory effect's values (texture choice 13, so that the texture name counts)."""
    ints = lambda *values: b"".join(struct.pack(">i", v) for v in values)
    name = lambda text: struct.pack(">i", len(text)) + text + b"\0"
    colour = lambda r, g, b: ints(r * 256, g * 256, b * 256)
    out = ints(version, 1, 1, 5, 55, 14, 100, 60, 1, 50, 50, 13, 35, 1, -42, -42, 80)
    fields = [
        (version > 15, ints(0)),
        (version > 17, ints(42, 42, 80)),
        (version > 18, colour(255, 255, 255) + colour(0, 0, 0) + ints(0)),
        (version > 19, ints(50)),
        (version > 20, ints(256, 256)),
        (version > 21, ints(100)),
        (version > 22, colour(74, 164, 137) + ints(0)),
        (version > 25, ints(256, 256)),
        (version >= 25, ints(len(picture_block)) + picture_block + ints(0, 0, 0)),
        (version > 26, ints(1)),
        (version > 27, ints(0, 55)),
        (version > 28, ints(0, 0)),
        (version >= 31, ints(marker) + name(names[0]) + name(names[1])),
        (32 <= version <= 199 or version >= 207, ints(0)),
        (version > 33, ints(30)),
        (version > 199, ints(0) + colour(20, 20, 20) + colour(168, 199, 153) + colour(244, 200, 199)
         + ints(0, 25, 80, 25)),
        (version > 200, colour(50, 50, 45) + ints(0, 0, 0)),
        (version > 201, ints(0)),
        (version > 202, colour(101, 108, 45) + colour(81, 95, 44) + ints(0)),
        (version > 203, ints(50, 0)),
        (version > 204, ints(100, 100)),
        (version > 205, colour(128, 116, 100) + ints(0)),
        (version > 208, ints(21)),
        (version > 209, ints(1, 4, 2) + bytes(24) if raw_thumbnail else ints(0)),
        (version > 219, ints(1, 8, 8, len(thumbnail)) + thumbnail if thumbnail else ints(0)),
        (version > 220, ints(1)),
    ]
    return out + b"".join(data for present, data in fields if present)


def settings_seeds():
    """Settings files of several versions, with and without thumbnails. The thumbnail is the
    image_file corpus's JPEG when it is there."""
    shutil.rmtree(os.path.join(CORPUS, "settings_file"), ignore_errors=True)
    jpeg_path = os.path.join(CORPUS, "image_file", "rgb.jpg")
    jpeg = open(jpeg_path, "rb").read() if os.path.exists(jpeg_path) else b"\xff\xd8\xff\xd9"
    for version in (15, 28, 33, 200, 221):
        put("settings_file", "v%d.q9q" % version if version < 200 else "v%d.q5q" % version,
            settings_file(version))
    put("settings_file", "v30-embedded-picture.q9q", settings_file(30, picture_block=bytes(16)))
    put("settings_file", "v199-mac-names.q9q", settings_file(199, marker=0, names=(b"Caf\x8e", b"\xa5")))
    put("settings_file", "v215-raw-thumbnail.q5q", settings_file(215, raw_thumbnail=True))
    put("settings_file", "v221-thumbnail.q5q", settings_file(221, raw_thumbnail=True, thumbnail=jpeg))


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else None
    for target in ("action_file", "descriptor", "image_file", "selection_file", "module_pipl",
                   "thumbnail_record", "key_file"):
        shutil.rmtree(os.path.join(CORPUS, target), ignore_errors=True)
    thumbnail_record_seeds()

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
            thumbnail_record_seeds(data)

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

    settings_seeds()


if __name__ == "__main__":
    main()
