#!/usr/bin/env python3
"""Times the `orichalcumite` program end to end on a 4000 x 3000 RGB image with an ellipse
selection: the median of five runs of each scenario, how fast Ctrl-C ends a render, and (with
--gegl) the default effect against a GEGL bevel graph on the same PNG input.

    python3 bench/whole_program.py [--build build] [--runs 5] [--only NAME ...] [--gegl]

The scenarios read and write binary PPM/PGM so that their figures are about the filter, not
about image compression; the GEGL comparison uses PNG for both programs, as GEGL loads and
saves PNG. Ratios are measured within one run of this script (the machine is shared).
--gegl needs the Debian package gegl (`bash scripts/install-deps.sh --bench`).
"""
import argparse
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time

SCENARIOS = {
    # name: extra --set arguments
    "ramp-r35": ["shape=ramp", "radius=35", "smoothness=30", "texture choice=none"],
    "ramp-r100": ["shape=ramp", "radius=100", "smoothness=30", "texture choice=none"],
    "default": [],
    "weathered": ["rain=60", "moss=50", "blotches=40", "dust=30", "tarnish=40", "abrasion=30",
                  "grit=20"],
}

# The comparison graph: a distance transform of the image, scaled, clipped, blurred and used as
# a bump map. It does far less than our effect.
GEGL_BEVEL = """<gegl><node operation='gegl:bump-map'><params><param name='azimuth'>135</param>
  <param name='elevation'>45</param><param name='depth'>10</param></params>
  <node operation='gegl:gaussian-blur'><params><param name='std-dev-x'>3</param><param name='std-dev-y'>3</param></params></node>
  <node operation='gegl:rgb-clip'/>
  <node operation='gegl:multiply'><params><param name='value'>0.025</param></params></node>
  <node operation='gegl:distance-transform'><params><param name='normalize'>false</param></params></node>
  <node operation='gegl:load' path='input.png'/></node>
 <node operation='gegl:load' path='input.png'/></gegl>
"""


def run(cmd, cwd=None, filter_times=None):
    """Runs a command, returns its wall time; with --timing in cmd, also collects the time the
    program reports for the filter itself into filter_times."""
    start = time.perf_counter()
    proc = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, cwd=cwd)
    elapsed = time.perf_counter() - start
    if proc.returncode != 0:
        sys.exit(f"failed ({proc.returncode}): {' '.join(cmd)}\n{proc.stderr}")
    if filter_times is not None:
        for line in proc.stderr.splitlines():
            if line.startswith("timing:"):
                filter_times.append(float(line.split("filter ")[1].split(" s")[0]))
    return elapsed


def cancel_latency(program, image, selection, work):
    """Starts a render, sends SIGINT after 0.5 s and times the exit."""
    out = os.path.join(work, "cancelled.ppm")
    proc = subprocess.Popen([program, "render", image, "--selection", selection, "-o", out,
                             "--quiet", "--set", "radius=100"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(0.5)
    sent = time.perf_counter()
    proc.send_signal(signal.SIGINT)
    code = proc.wait()
    return time.perf_counter() - sent, code, os.path.exists(out)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--only", nargs="*")
    ap.add_argument("--gegl", action="store_true", help="compare the default effect with GEGL")
    args = ap.parse_args()
    bindir = os.path.join(args.build, "bin")
    program = os.path.join(bindir, "orichalcumite")
    with tempfile.TemporaryDirectory(prefix="orichalcumite-bench-") as work:
        image = os.path.join(work, "input.ppm")
        selection = os.path.join(work, "selection.pgm")
        subprocess.run([os.path.join(bindir, "orichalcumite_make_bench_images"), image, selection],
                       check=True)
        medians = {}
        for name, sets in SCENARIOS.items():
            if args.only and name not in args.only:
                continue
            cmd = [program, "render", image, "--selection", selection,
                   "-o", os.path.join(work, name + ".ppm"), "--quiet", "--timing"]
            for s in sets:
                cmd += ["--set", s]
            filter_times = []
            times = [run(cmd, filter_times=filter_times) for _ in range(args.runs)]
            medians[name] = statistics.median(times)
            print(f"{name:12s} median {medians[name]:.3f} s (filter alone {statistics.median(filter_times):.3f} s)"
                  "   runs " + " ".join(f"{t:.3f}" for t in times))
        if "ramp-r35" in medians and "ramp-r100" in medians:
            print(f"radius 100 / radius 35: {medians['ramp-r100'] / medians['ramp-r35']:.2f}")
        if "default" in medians and "weathered" in medians:
            print(f"weathered / default: {medians['weathered'] / medians['default']:.2f}")
        if args.gegl:
            png = os.path.join(work, "input.png")
            png_selection = os.path.join(work, "selection.png")
            subprocess.run([os.path.join(bindir, "orichalcumite_make_bench_images"), png, png_selection],
                           check=True)
            with open(os.path.join(work, "bevel.xml"), "w") as f:
                f.write(GEGL_BEVEL)
            ours = [run([program, "render", png, "--selection", png_selection, "-o",
                         os.path.join(work, "ours.png"), "--quiet"]) for _ in range(args.runs)]
            theirs = [run(["gegl", "-i", "bevel.xml", "-o", "gegl.png"], cwd=work)
                      for _ in range(args.runs)]
            a, b = statistics.median(ours), statistics.median(theirs)
            print(f"PNG default effect median {a:.3f} s   runs " + " ".join(f"{t:.3f}" for t in ours))
            print(f"PNG GEGL bevel     median {b:.3f} s   runs " + " ".join(f"{t:.3f}" for t in theirs))
            print(f"ours / GEGL: {a / b:.2f}")
        latency, code, leftover = cancel_latency(program, image, selection, work)
        print(f"Ctrl-C: exited {latency:.3f} s after the signal, exit code {code}, "
              f"output file left: {'yes' if leftover else 'no'}")


if __name__ == "__main__":
    main()
