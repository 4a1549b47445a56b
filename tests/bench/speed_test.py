#!/usr/bin/env python3
"""bench/speed.py: what it reads from the program and from GEGL, how it narrows a run, and a
whole run against stand-in programs (no figure is checked against a clock). With
ORICHALCUMITE_BENCH_IMAGES set, also the bench image generator's command line."""
import contextlib
import io
import json
import os
import stat
import subprocess
import sys
import tempfile
import textwrap
import unittest
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench"))
import speed  # noqa: E402

SCRIPT = os.path.abspath(speed.__file__)


class SelectTest(unittest.TestCase):
    def test_words_narrow_each_kind_and_keep_the_table_order(self):
        all_sections = list(speed.SECTIONS)
        cases = [
            # only, quick, sizes, formats, effects, sections
            (None, False, ["1MP", "12MP", "48MP"], ["png", "tiff"], ["default", "weathered"],
             all_sections),
            (None, True, ["1MP", "12MP"], ["png", "tiff"], ["default", "weathered"],
             all_sections),
            (["48MP"], True, ["48MP"], ["png", "tiff"], ["default", "weathered"], all_sections),
            (["tif", "weathered"], False, ["1MP", "12MP", "48MP"], ["tiff"], ["weathered"],
             all_sections),
            (["12mp", "1MP", "PNG", "gegl", "ours"], False, ["1MP", "12MP"], ["png"],
             ["default", "weathered"], ["ours", "gegl"]),
            (["startup", "startup"], False, ["1MP", "12MP", "48MP"], ["png", "tiff"],
             ["default", "weathered"], ["startup"]),
        ]
        for only, quick, sizes, formats, effects, sections in cases:
            with self.subTest(only=only, quick=quick):
                sel = speed.select(only, quick)
                self.assertEqual(sel.sizes, sizes)
                self.assertEqual(sel.formats, formats)
                self.assertEqual(sel.effects, effects)
                self.assertEqual(sel.sections, sections)

    def test_unknown_word_is_refused(self):
        for word in ["24MP", "jpeg", ""]:
            with self.subTest(word=word), self.assertRaises(ValueError):
                speed.select([word], False)


class ReadingTest(unittest.TestCase):
    def test_timing_line(self):
        cases = [
            ("timing: read 0.789 s, filter 3.727 s, write 1.830 s\n", (0.789, 3.727, 1.830)),
            ("warning: something\ntiming: read 1 s, filter 2 s, write 3 s", (1.0, 2.0, 3.0)),
            ("timing: read 0.1 s, filter 0.2 s\n", None),
            ("timing: read x s, filter 0.2 s, write 0.3 s\n", None),
            ("read 0.1 s, filter 0.2 s, write 0.3 s\n", None),
            ("", None),
        ]
        for text, expected in cases:
            with self.subTest(text=text):
                self.assertEqual(speed.parse_timing(text), expected)

    def test_medians_and_cores_busy(self):
        runs = [speed.Run(2.0, 3.0, 2048, (0.1, 1.0, 0.5)),
                speed.Run(4.0, 4.0, 4096, (0.3, 3.0, 0.7)),
                speed.Run(3.0, 6.0, 1024, (0.2, 2.0, 0.6))]
        s = speed.summarise(runs)
        self.assertEqual((s.wall, s.cores, s.peak_mb), (3.0, 1.5, 2.0))
        self.assertEqual((s.read, s.filter, s.write), (0.2, 2.0, 0.6))
        # A run without the timing line leaves the program's own figures unknown, not skewed.
        runs[1].timing = None
        self.assertIsNone(speed.summarise(runs).filter)
        self.assertIsNone(speed.summarise(runs).filter_cores)
        for run, cores in zip(runs, (1.9, 1.2, 1.5)):
            run.filter_cores = cores
        self.assertEqual(speed.summarise(runs).filter_cores, 1.5)

    def test_filter_cores_come_from_the_timing_line(self):
        cases = [
            ("timing: read 0.1 s, filter 0.5 s, write 0.2 s, filter cores 1.73\n", 1.73),
            ("warning: x\ntiming: read 1 s, filter 2 s, write 3 s, filter cores 2.00", 2.0),
            ("timing: read 0.1 s, filter 0.5 s, write 0.2 s\n", None),  # an older program
            ("timing: read 0.1 s, filter 0.5 s, write 0.2 s, filter cores x\n", None),
        ]
        for text, expected in cases:
            with self.subTest(text=text):
                self.assertEqual(speed.parse_filter_cores(text), expected)
                # The timing figures themselves read the same either way.
                if text.startswith("timing: read 0.1"):
                    self.assertEqual(speed.parse_timing(text), (0.1, 0.5, 0.2))

    def test_preview_median(self):
        def doc(*benchmarks):
            return json.dumps({"context": {}, "benchmarks": list(benchmarks)})
        name = speed.PREVIEW_BENCHMARK + "real_time"
        cases = [
            (doc({"name": name + "_mean", "aggregate_name": "mean", "real_time": 30.0,
                  "time_unit": "ms", "run_type": "aggregate"},
                 {"name": name + "_median", "aggregate_name": "median", "real_time": 22.5,
                  "time_unit": "ms", "run_type": "aggregate"}), 22.5),
            (doc({"name": name, "real_time": 21000.0, "time_unit": "us"},
                 {"name": name, "real_time": 25000.0, "time_unit": "us"},
                 {"name": name, "real_time": 23000.0, "time_unit": "us"}), 23.0),
            (doc({"name": "previewRender/fittedDefaultEffectOneThread/real_time_median",
                  "aggregate_name": "median", "real_time": 40.0, "time_unit": "ms"}), None),
            (doc(), None),
        ]
        for text, expected in cases:
            with self.subTest(expected=expected):
                self.assertEqual(speed.preview_median_ms(text), expected)

    def test_gegl_graph_reads_the_given_file_even_with_awkward_names(self):
        for path in ["/tmp/a/input.png", "/tmp/it's & <odd>\"/in.png"]:
            with self.subTest(path=path):
                root = ET.fromstring(speed.gegl_graph(path))
                loads = [n for n in root.iter("node") if n.get("operation") == "gegl:load"]
                self.assertEqual([n.get("path") for n in loads], [path, path])

    def test_memory_check(self):
        meminfo = "MemTotal: 24000000 kB\nMemAvailable: {} kB\n"
        cases = [
            ((8000, 6000), meminfo.format(4_000_000), True),
            ((8000, 6000), meminfo.format(1_000_000), False),
            ((1155, 866), meminfo.format(10_000), True),   # small images are not held back
            ((8000, 6000), "MemTotal: 24000000 kB\n", True),  # unknown: go ahead
        ]
        for size, text, expected in cases:
            with self.subTest(size=size, text=text):
                self.assertEqual(speed.enough_memory(*size, text), expected)

    def test_rows_match_the_header_whatever_was_run(self):
        ours = speed.Summary(wall=2.0, cores=1.5, peak_mb=300, read=0.1, filter=1.2, write=0.4)
        gegl = speed.Summary(wall=4.0, cores=1.0, peak_mb=500)
        header_cells = speed.TABLE_HEADER.splitlines()[0].count("|")
        for o, g in [(ours, gegl), (ours, None), (None, gegl)]:
            with self.subTest(ours=o is not None, gegl=g is not None):
                row = speed.table_row("12MP png default", 12.0, o, g)
                self.assertEqual(row.count("|"), header_cells)
        cells = [c.strip() for c in speed.table_row("c", 12.0, ours, gegl).split("|")[1:-1]]
        self.assertEqual(cells[6], "–")          # filter cores: not reported
        self.assertEqual(cells[8], "100 / 167")  # ms per megapixel: filter / whole
        self.assertEqual(cells[11], "0.50")      # ours / GEGL


def write_script(path, body):
    with open(path, "w") as f:
        f.write("#!/bin/sh\n" + textwrap.dedent(body))
    os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)


class WholeRunTest(unittest.TestCase):
    """speed.py against stand-in programs that answer instantly and log what they were given."""

    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory(prefix="speed-test-")
        root = self.scratch.name
        self.build = os.path.join(root, "build")
        os.makedirs(os.path.join(self.build, "bin"))
        self.tmp = os.path.join(root, "tmp")
        os.mkdir(self.tmp)
        self.log = os.path.join(root, "log")
        # The generator writes its two files; the program logs its arguments and user folder.
        write_script(os.path.join(self.build, "bin", "orichalcumite_make_bench_images"),
                     'echo "$1" > "$1"; echo "$2" > "$2"\n')
        self.program(0)
        self.gegl = os.path.join(root, "gegl")
        write_script(self.gegl, f'echo "gegl $*" >> "{self.log}"\n')

    def tearDown(self):
        self.scratch.cleanup()

    def program(self, code):
        write_script(os.path.join(self.build, "bin", "orichalcumite"), f"""\
            echo "ours $* config=$XDG_CONFIG_HOME" >> "{self.log}"
            echo "timing: read 0.100 s, filter 0.200 s, write 0.050 s" >&2
            exit {code}
            """)

    def run_speed(self, *args):
        env = dict(os.environ, TMPDIR=self.tmp)
        return subprocess.run([sys.executable, SCRIPT, "--build", self.build, "--runs", "2",
                               "--gegl", self.gegl, *args],
                              capture_output=True, text=True, env=env)

    def logged(self):
        with open(self.log) as f:
            return f.read().splitlines()

    def rows(self, stdout):
        return {line.split("|")[1].strip(): [c.strip() for c in line.split("|")[2:-1]]
                for line in stdout.splitlines()
                if line.startswith("| ") and not line.startswith("| case")}

    def test_cases_take_turns_and_the_folder_goes(self):
        proc = self.run_speed("--only", "1MP", "ours", "gegl")
        self.assertEqual(proc.returncode, 0, proc.stderr)
        rows = self.rows(proc.stdout)
        self.assertEqual(sorted(rows), ["1MP png default", "1MP png weathered",
                                        "1MP tiff default", "1MP tiff weathered"])
        self.assertEqual(rows["1MP png default"][:3], ["0.200", "0.100", "0.050"])
        self.assertNotEqual(rows["1MP png weathered"][7], "–")   # GEGL beside PNG rows
        self.assertEqual(rows["1MP tiff default"][8:], ["–", "–", "–"])  # none beside TIFF
        log = self.logged()
        # Round by round: each case once, then GEGL; a weathered run has its settings.
        kinds = ["png" if ".png" in l.split()[2] else "tif" for l in log if l.startswith("ours")]
        self.assertEqual(kinds, ["png", "png", "tif", "tif"] * 2)
        self.assertEqual([l.split()[0] for l in log], (["ours"] * 4 + ["gegl"]) * 2)
        self.assertIn("--set grit=20", log[1])
        self.assertIn("--timing", log[0])
        # The program's user folders are inside the scratch folder, which is gone afterwards.
        self.assertIn(f"config={self.tmp}/orichalcumite-speed-", log[0])
        self.assertEqual(os.listdir(self.tmp), [])

    def test_failing_program_fails_the_run_and_still_cleans_up(self):
        self.program(3)
        proc = self.run_speed("--only", "1MP", "png", "default", "ours")
        self.assertNotEqual(proc.returncode, 0)
        self.assertIn("exit 3", proc.stderr)
        self.assertNotIn("| 1MP", proc.stdout)
        self.assertEqual(os.listdir(self.tmp), [])

    def test_without_gegl_the_column_is_skipped_with_a_note(self):
        proc = self.run_speed("--only", "1MP", "png", "default", "--gegl",
                              os.path.join(self.tmp, "no-such-gegl"))
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertEqual(self.rows(proc.stdout)["1MP png default"][8:], ["–", "–", "–"])
        self.assertIn("not found, column skipped", proc.stdout)
        self.assertIn("start-up (1 x 1 PNG render end to end)", proc.stdout)
        self.assertIn("preview: ", proc.stdout)  # not built here: says how to get it

    def test_bad_arguments_are_refused_before_any_run(self):
        for args in [["--only", "2MP"], ["--runs", "0"], ["--build", self.tmp]]:
            with self.subTest(args=args):
                proc = self.run_speed(*args)
                self.assertEqual(proc.returncode, 2)
                self.assertFalse(os.path.exists(self.log))


@unittest.skipUnless(os.environ.get("ORICHALCUMITE_BENCH_IMAGES"), "the generator is not built")
class GeneratorTest(unittest.TestCase):
    def generate(self, *args):
        with tempfile.TemporaryDirectory() as work:
            image, mask = os.path.join(work, "i.ppm"), os.path.join(work, "m.pgm")
            argv = [a.replace("IMAGE", image).replace("MASK", mask) for a in args]
            proc = subprocess.run([os.environ["ORICHALCUMITE_BENCH_IMAGES"], *argv],
                                  capture_output=True)
            if proc.returncode != 0:
                return proc.returncode, None
            with open(image, "rb") as f, open(mask, "rb") as g:
                return 0, (f.read(16).split()[:3], g.read(16).split()[:3])

    def test_sizes(self):
        cases = [
            (["--size", "3x2", "IMAGE", "MASK"], (0, ([b"P6", b"3", b"2"], [b"P5", b"3", b"2"]))),
            (["IMAGE", "--size=5x1", "MASK"], (0, ([b"P6", b"5", b"1"], [b"P5", b"5", b"1"]))),
            (["IMAGE", "MASK", "4", "3"], (0, ([b"P6", b"4", b"3"], [b"P5", b"4", b"3"]))),
        ] + [(["--size", bad, "IMAGE", "MASK"], (2, None))
             for bad in ["0x3", "3x", "x2", "-3x2", "3x2x1", " 3x2", "99999x2", "3"]] + [
            (["IMAGE", "MASK", "3", "abc"], (2, None)),
            (["IMAGE", "MASK", "3"], (2, None)),
            (["--size"], (2, None)),
        ]
        for args, expected in cases:
            with self.subTest(args=args):
                self.assertEqual(self.generate(*args), expected)


if __name__ == "__main__":
    unittest.main(verbosity=2)
