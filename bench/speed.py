#!/usr/bin/env python3
"""Speed of the `orichalcumite` program in one table: 1, 12 and 48 megapixel RGB images with
an ellipse selection, PNG and TIFF in and out, the default and the weathered effect; beside
each case the same-size GEGL bevel graph on the PNG input; then start-up and the dialog
preview.

    python3 bench/speed.py [--build build] [--runs 5] [--quick] [--only WORD ...]
                           [--bench-build DIR] [--gegl PROGRAM]

For every case the figures are medians over the runs (default 5; --quick: 1 and 12 MP only,
3 runs):
  ours filter / read / write  the program's own `--timing` line
  ours whole                  wall time of the whole program, start to exit
  cores busy                  user + system CPU time over wall time
  filter cores busy           the same for the filter alone, from the `--timing` line
  peak MB                     the child's maximum resident set (from os.wait4, per child)
  ms/MP                       filter and whole-program time per megapixel, so that the cost
                              can be read off as flat (or not) from 1 to 48 MP
  GEGL whole, GEGL peak MB    `gegl -i bevel.xml -o out.png` on the same PNG input, the graph
                              of bench/whole_program.py; shown on the PNG rows
  ours / GEGL                 our whole-program time over GEGL's
The runs of one size take turns (each case once, then GEGL, then again), so that a busy
moment on the shared machine spreads over all of them instead of one case.

Start-up is a 1 x 1 PNG render end to end. The preview line runs the Google Benchmark
`orichalcumite_bench_preview` (fitted view of 4000 x 3000, default effect) from
--bench-build (default: --build) when that build has it (configure with
-DORICHALCUMITE_BENCH=ON); otherwise the script says how to get it.

--only narrows the run; words of one kind are alternatives, kinds combine:
  sizes 1MP 12MP 48MP · formats png tiff · effects default weathered ·
  sections ours gegl startup preview
e.g. `--only 12MP png gegl ours` or `--only startup`.

Inputs come from build/bin/orichalcumite_make_bench_images at each size, TIFF ones through the
program's own writer. Everything lives in a fresh folder under the temporary directory, deleted
at the end; the program's user folders point inside it, so no run touches a user's settings.
Before each 48 MP run the script checks the memory available and skips the run if it is short.
The table is Markdown; progress goes to stderr. GEGL is the Debian package gegl
(`bash scripts/install-deps.sh --bench`); without it the GEGL columns stay empty.
"""
import argparse
import dataclasses
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from xml.sax.saxutils import quoteattr

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from whole_program import GEGL_BEVEL  # noqa: E402  (the one copy of the comparison graph)

SIZES = {"1MP": (1155, 866), "12MP": (4000, 3000), "48MP": (8000, 6000)}
QUICK_SIZES = ("1MP", "12MP")
FORMATS = {"png": ".png", "tiff": ".tif"}
EFFECTS = {
    "default": [],
    "weathered": ["rain=60", "moss=50", "blotches=40", "dust=30", "tarnish=40", "abrasion=30",
                  "grit=20"],
}
SECTIONS = ("ours", "gegl", "startup", "preview")
ALIASES = {"tif": "tiff"}

# A render holds about 30 bytes per pixel at its peak (1.4 GB at 48 MP); GEGL needs about as
# much. Half as much again is kept free for everything else on the machine.
PEAK_BYTES_PER_PIXEL = 30
MEMORY_MARGIN = 1.5
CHECK_MEMORY_FROM_MP = 20

PREVIEW_BENCHMARK = "previewRender/fittedDefaultEffect/"


class RunFailed(Exception):
    pass


@dataclasses.dataclass
class Run:
    wall: float          # s
    cpu: float           # user + system, s
    peak_kb: int         # maximum resident set, KiB
    timing: tuple = None  # (read, filter, write) s from the program, when it printed them
    filter_cores: float = None  # the filter's user + system time over its wall time, likewise


@dataclasses.dataclass
class Summary:
    wall: float
    cores: float
    peak_mb: float
    read: float = None
    filter: float = None
    write: float = None
    filter_cores: float = None


@dataclasses.dataclass
class Selection:
    sizes: list
    formats: list
    effects: list
    sections: list


def select(only, quick):
    """Which sizes, formats, effects and sections to run. Words of one kind are alternatives;
    a kind with no word takes everything (sizes: only 1 and 12 MP with --quick)."""
    kinds = {"sizes": list(SIZES), "formats": list(FORMATS), "effects": list(EFFECTS),
             "sections": list(SECTIONS)}
    lower = {name.lower(): (kind, name) for kind, names in kinds.items() for name in names}
    chosen = {kind: [] for kind in kinds}
    for word in only or []:
        word = ALIASES.get(word.lower(), word.lower())
        if word not in lower:
            raise ValueError(f"--only: unknown word {word!r}; known: "
                             + " ".join(n for names in kinds.values() for n in names))
        kind, name = lower[word]
        if name not in chosen[kind]:
            chosen[kind].append(name)
    if quick and not chosen["sizes"]:
        chosen["sizes"] = list(QUICK_SIZES)
    for kind, names in kinds.items():
        # Keep the table's own order whatever order the words came in.
        chosen[kind] = [n for n in names if n in chosen[kind]] if chosen[kind] else list(names)
    return Selection(**chosen)


def parse_timing(stderr_text):
    """(read, filter, write) in seconds from the program's line
    "timing: read X s, filter Y s, write Z s", or None without one."""
    for line in stderr_text.splitlines():
        if not line.startswith("timing:"):
            continue
        parts = {}
        for item in line[len("timing:"):].split(","):
            words = item.split()
            if len(words) == 3 and words[2] == "s":
                try:
                    parts[words[0]] = float(words[1])
                except ValueError:
                    return None
        if {"read", "filter", "write"} <= parts.keys():
            return parts["read"], parts["filter"], parts["write"]
        return None
    return None


def parse_filter_cores(stderr_text):
    """The cores the filter kept busy, from ", filter cores C" on the timing line, or None."""
    for line in stderr_text.splitlines():
        if not line.startswith("timing:"):
            continue
        for item in line[len("timing:"):].split(","):
            words = item.split()
            if len(words) == 3 and words[:2] == ["filter", "cores"]:
                try:
                    return float(words[2])
                except ValueError:
                    return None
    return None


def summarise(runs):
    """Medians of each figure over the runs."""
    med = statistics.median
    summary = Summary(wall=med(r.wall for r in runs),
                      cores=med(r.cpu / r.wall if r.wall > 0 else 0.0 for r in runs),
                      peak_mb=med(r.peak_kb / 1024 for r in runs))
    timed = [r.timing for r in runs if r.timing]
    if len(timed) == len(runs):
        summary.read, summary.filter, summary.write = (med(t[i] for t in timed) for i in range(3))
    cores = [r.filter_cores for r in runs if r.filter_cores is not None]
    if len(cores) == len(runs):
        summary.filter_cores = med(cores)
    return summary


def gegl_graph(input_path):
    """The comparison graph of bench/whole_program.py reading input_path."""
    graph = GEGL_BEVEL.replace("path='input.png'", "path=" + quoteattr(input_path))
    if graph == GEGL_BEVEL:
        raise ValueError("the GEGL graph no longer names input.png")
    return graph


def memory_available_mb(meminfo_text):
    for line in meminfo_text.splitlines():
        if line.startswith("MemAvailable:"):
            return int(line.split()[1]) / 1024
    return None


def memory_needed_mb(width, height):
    return width * height * PEAK_BYTES_PER_PIXEL * MEMORY_MARGIN / (1024 * 1024)


def enough_memory(width, height, meminfo_text):
    """Whether a render of width x height fits into the memory available now. Small images
    always do; when the kernel does not say, the run goes ahead."""
    if width * height < CHECK_MEMORY_FROM_MP * 1e6:
        return True
    available = memory_available_mb(meminfo_text)
    return available is None or available >= memory_needed_mb(width, height)


def preview_median_ms(benchmark_json):
    """The median of the fitted-preview benchmark's repetitions, in milliseconds."""
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
    times = []
    for b in json.loads(benchmark_json).get("benchmarks", []):
        if not b.get("name", "").startswith(PREVIEW_BENCHMARK):
            continue
        ms = b["real_time"] * scale[b.get("time_unit", "ns")]
        if b.get("aggregate_name") == "median":
            return ms
        if b.get("run_type", "iteration") == "iteration":
            times.append(ms)
    return statistics.median(times) if times else None


def _cell(value, fmt):
    return "–" if value is None else format(value, fmt)


def table_row(case, megapixels, ours, gegl):
    """One Markdown row; ours or gegl may be None (not run)."""
    cells = [case]
    if ours:
        per_mp = (f"{_cell(ours.filter and ours.filter * 1e3 / megapixels, '.0f')} / "
                  f"{ours.wall * 1e3 / megapixels:.0f}")
        cells += [_cell(ours.filter, ".3f"), _cell(ours.read, ".3f"), _cell(ours.write, ".3f"),
                  f"{ours.wall:.3f}", f"{ours.cores:.2f}", _cell(ours.filter_cores, ".2f"),
                  f"{ours.peak_mb:.0f}", per_mp]
    else:
        cells += ["–"] * 8
    if gegl:
        cells += [f"{gegl.wall:.3f}", f"{gegl.peak_mb:.0f}",
                  f"{ours.wall / gegl.wall:.2f}" if ours and gegl.wall > 0 else "–"]
    else:
        cells += ["–"] * 3
    return "| " + " | ".join(cells) + " |"


TABLE_HEADER = (
    "| case | ours filter s | ours read s | ours write s | ours whole s | cores busy "
    "| filter cores busy | peak MB | ms/MP filter / whole | GEGL whole s | GEGL peak MB "
    "| ours / GEGL |\n"
    "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")


def run_measured(cmd, env=None, cwd=None):
    """Runs cmd to its end; wall time, CPU time and peak memory of that one child."""
    with tempfile.TemporaryFile() as err:
        start = time.perf_counter()
        proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=err, env=env, cwd=cwd)
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.perf_counter() - start
        proc.returncode = os.waitstatus_to_exitcode(status)
        err.seek(0)
        text = err.read().decode(errors="replace")
    if proc.returncode != 0:
        raise RunFailed(f"exit {proc.returncode}: {' '.join(cmd)}\n{text.strip()}")
    return Run(wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss, parse_timing(text),
               parse_filter_cores(text))


def progress(text):
    print(text, file=sys.stderr, flush=True)


class Bench:
    def __init__(self, args, work):
        self.args = args
        self.work = work
        self.bindir = os.path.join(args.build, "bin")
        self.program = os.path.join(self.bindir, "orichalcumite")
        self.generator = os.path.join(self.bindir, "orichalcumite_make_bench_images")
        home = os.path.join(work, "home")
        # The program keeps the effect it used last; these runs must not touch a user's.
        self.env = dict(os.environ,
                        XDG_CONFIG_HOME=os.path.join(home, "config"),
                        XDG_STATE_HOME=os.path.join(home, "state"),
                        ORICHALCUMITE_SYSTEM_CONFIG_DIR=os.path.join(home, "etc"))
        self.notes = []

    def make_inputs(self, width, height, ext, stem):
        image = os.path.join(self.work, f"{stem}{ext}")
        selection = os.path.join(self.work, f"{stem}-selection{ext}")
        # The size after the names, not --size: builds from before --size understand it too.
        subprocess.run([self.generator, image, selection, str(width), str(height)],
                       check=True, env=self.env)
        return image, selection

    def render_cmd(self, image, selection, output, sets):
        cmd = [self.program, "render", image, "--selection", selection, "-o", output,
               "--quiet", "--timing"]
        for s in sets:
            cmd += ["--set", s]
        return cmd

    def memory_ok(self, width, height):
        try:
            with open("/proc/meminfo") as f:
                meminfo = f.read()
        except OSError:
            return True
        return enough_memory(width, height, meminfo)

    def size_rows(self, size, sel, gegl):
        """Every selected case of one size, runs taking turns; returns table rows."""
        width, height = SIZES[size]
        megapixels = width * height / 1e6
        inputs = {}
        for fmt in sel.formats if "ours" in sel.sections else []:
            inputs[fmt] = self.make_inputs(width, height, FORMATS[fmt], f"{size}-input")
        cases = [(fmt, effect) for fmt in inputs for effect in sel.effects]
        gegl_xml = None
        if gegl and "png" in sel.formats:
            png = inputs.get("png") or self.make_inputs(width, height, ".png", f"{size}-input")
            gegl_xml = os.path.join(self.work, f"{size}-bevel.xml")
            with open(gegl_xml, "w") as f:
                f.write(gegl_graph(png[0]))
        runs = {case: [] for case in cases}
        gegl_runs = []
        skipped = False
        for n in range(self.args.runs):
            for case in cases + ([None] if gegl_xml else []):
                if not self.memory_ok(width, height):
                    skipped = True
                    break
                label = f"{size} GEGL" if case is None else f"{size} {case[0]} {case[1]}"
                try:
                    if case is None:
                        run = run_measured([gegl, "-i", gegl_xml, "-o",
                                            os.path.join(self.work, "gegl-out.png")], cwd=self.work)
                        gegl_runs.append(run)
                    else:
                        fmt, effect = case
                        image, selection = inputs[fmt]
                        output = os.path.join(self.work, f"{size}-output{FORMATS[fmt]}")
                        run = run_measured(self.render_cmd(image, selection, output,
                                                           EFFECTS[effect]), env=self.env)
                        runs[case].append(run)
                except RunFailed as failure:
                    if case is not None:
                        raise
                    self.notes.append(f"GEGL failed at {size}, column left empty: {failure}")
                    gegl_xml = None
                    gegl_runs = []
                    break
                progress(f"  {label} run {n + 1}/{self.args.runs}: {run.wall:.3f} s")
            if skipped:
                self.notes.append(f"{size}: stopped after {n} runs, less than "
                                  f"{memory_needed_mb(width, height):.0f} MB of memory available")
                break
        for name in os.listdir(self.work):  # the big files of this size go before the next
            if name.startswith(f"{size}-") or name == "gegl-out.png":
                os.remove(os.path.join(self.work, name))
        gegl_summary = summarise(gegl_runs) if gegl_runs else None
        rows = []
        for fmt, effect in cases if cases else [("png", None)]:
            ours = summarise(runs[(fmt, effect)]) if effect and runs[(fmt, effect)] else None
            shown_gegl = gegl_summary if fmt == "png" else None
            if ours or shown_gegl:
                rows.append(table_row(f"{size} {fmt} {effect or 'GEGL only'}", megapixels,
                                      ours, shown_gegl))
        return rows

    def startup(self):
        image, selection = self.make_inputs(1, 1, ".png", "startup")
        runs = [run_measured(self.render_cmd(image, selection,
                                             os.path.join(self.work, "startup-out.png"), []),
                             env=self.env) for _ in range(self.args.runs)]
        s = summarise(runs)
        return (f"start-up (1 x 1 PNG render end to end): median {s.wall * 1e3:.1f} ms, "
                f"peak {s.peak_mb:.0f} MB, runs " + " ".join(f"{r.wall * 1e3:.1f}" for r in runs))

    def preview(self):
        build = self.args.bench_build or self.args.build
        binary = os.path.join(build, "bench", "orichalcumite_bench_preview")
        if not os.access(binary, os.X_OK):
            return (f"preview: {binary} is not built; configure a build with "
                    "-DORICHALCUMITE_BENCH=ON, build orichalcumite_bench_preview and pass "
                    "--bench-build DIR (or run it with "
                    f"--benchmark_filter={PREVIEW_BENCHMARK} --benchmark_repetitions=5)")
        proc = subprocess.run([binary, f"--benchmark_filter={PREVIEW_BENCHMARK}",
                               f"--benchmark_repetitions={self.args.runs}",
                               "--benchmark_report_aggregates_only=true",
                               "--benchmark_format=json"],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                              env=self.env)
        median = preview_median_ms(proc.stdout) if proc.returncode == 0 else None
        if median is None:
            return f"preview: {binary} failed (exit {proc.returncode})"
        return (f"preview (fitted view of 4000 x 3000, default effect, Google Benchmark): "
                f"median {median:.1f} ms of {self.args.runs} repetitions")


def find_gegl(program):
    found = shutil.which(program)
    return os.path.abspath(found) if found else None


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build", help="the build folder whose bin/ is timed")
    ap.add_argument("--runs", type=int, help="runs per case (default 5, 3 with --quick)")
    ap.add_argument("--quick", action="store_true", help="1 and 12 MP only, 3 runs")
    ap.add_argument("--only", nargs="+", metavar="WORD", help="sizes, formats, effects, sections")
    ap.add_argument("--bench-build", help="the build folder holding bench/ (default: --build)")
    ap.add_argument("--gegl", default="gegl", help="the gegl program (default: gegl on PATH)")
    args = ap.parse_args(argv)
    if args.runs is None:
        args.runs = 3 if args.quick else 5
    if args.runs < 1:
        ap.error("--runs must be at least 1")
    try:
        sel = select(args.only, args.quick)
    except ValueError as e:
        ap.error(str(e))
    for tool in ("orichalcumite", "orichalcumite_make_bench_images"):
        if not os.access(os.path.join(args.build, "bin", tool), os.X_OK):
            ap.error(f"{args.build}/bin/{tool} is missing; build it or pass --build DIR")

    gegl = None
    if "gegl" in sel.sections:
        gegl = find_gegl(args.gegl)
    work = tempfile.mkdtemp(prefix="orichalcumite-speed-")
    try:
        bench = Bench(args, work)
        if "gegl" in sel.sections and not gegl:
            bench.notes.append(f"GEGL: {args.gegl} not found, column skipped "
                               "(bash scripts/install-deps.sh --bench installs it)")
        rows = []
        if "ours" in sel.sections or gegl:
            for size in sel.sizes:
                progress(f"{size} ({SIZES[size][0]} x {SIZES[size][1]})")
                rows += bench.size_rows(size, sel, gegl)
        lines = []
        if "startup" in sel.sections:
            progress("start-up")
            lines.append(bench.startup())
        if "preview" in sel.sections:
            progress("preview")
            lines.append(bench.preview())
    except (RunFailed, subprocess.CalledProcessError) as failure:
        sys.exit(f"speed.py: a run failed, {failure}")
    finally:
        shutil.rmtree(work, ignore_errors=True)

    print(f"Medians of {args.runs} runs; program {os.path.abspath(bench.program)}.")
    if rows:
        print()
        print(TABLE_HEADER)
        print("\n".join(rows))
        print()
    for line in lines + bench.notes:
        print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main())
