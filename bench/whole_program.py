#!/usr/bin/env python3
"""Times the `orichalcumite` program end to end on a 4000 x 3000 RGB image with an ellipse
selection: the median of five runs of each scenario, and how fast Ctrl-C ends a render.

    python3 bench/whole_program.py [--build build] [--runs 5] [--only NAME ...]

Input and output are binary PPM/PGM so that the figures are about the filter, not about
image compression. Ratios are measured within one run of this script (the machine is shared).
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
}


def run(cmd):
    start = time.perf_counter()
    proc = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    elapsed = time.perf_counter() - start
    if proc.returncode != 0:
        sys.exit(f"failed ({proc.returncode}): {' '.join(cmd)}\n{proc.stderr}")
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
                   "-o", os.path.join(work, name + ".ppm"), "--quiet"]
            for s in sets:
                cmd += ["--set", s]
            times = [run(cmd) for _ in range(args.runs)]
            medians[name] = statistics.median(times)
            print(f"{name:12s} median {medians[name]:.3f} s   runs " +
                  " ".join(f"{t:.3f}" for t in times))
        if "ramp-r35" in medians and "ramp-r100" in medians:
            print(f"radius 100 / radius 35: {medians['ramp-r100'] / medians['ramp-r35']:.2f}")
        latency, code, leftover = cancel_latency(program, image, selection, work)
        print(f"Ctrl-C: exited {latency:.3f} s after the signal, exit code {code}, "
              f"output file left: {'yes' if leftover else 'no'}")


if __name__ == "__main__":
    main()
