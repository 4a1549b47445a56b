#!/usr/bin/env bash
# Profiles the program on the 12 MP benchmark image (4000 × 3000 RGB, ellipse selection),
# PNG in and PNG out, with the default effect and with the weathered one, for "profiles
# before and after" in a note.
#
#   bench/profile.sh [OUTDIR]        (default out/profile/; BUILD=DIR picks the build, default build)
#
# For each effect NAME (default, weathered) OUTDIR receives
#   NAME-symbols.txt   perf report --no-children --percent-limit 1.5, by shared object and symbol
#   NAME-objects.txt   the same by shared object
#   NAME-stat.txt      perf stat -e task-clock,page-faults,context-switches of a second run
# each report cut to its top 25 lines. The perf data and the images live in a fresh folder
# under the temporary directory that is removed at the end; the program's user folders point
# there too. Needs perf (Debian package linux-perf) and a kernel that lets you profile
# (kernel.perf_event_paranoid at most 2 for your own processes).
set -euo pipefail

out=${1:-out/profile}
build=${BUILD:-build}
program="$build/bin/orichalcumite"
generator="$build/bin/orichalcumite_make_bench_images"
top=25

for tool in "$program" "$generator"; do
  if [ ! -x "$tool" ]; then
    echo "profile.sh: $tool is missing; build it or set BUILD=DIR" >&2
    exit 2
  fi
done
if ! command -v perf >/dev/null; then
  echo "profile.sh: perf is not installed (Debian package linux-perf)" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/orichalcumite-profile-XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/home/config" XDG_STATE_HOME="$work/home/state"
export ORICHALCUMITE_SYSTEM_CONFIG_DIR="$work/home/etc"
mkdir -p "$out"

"$generator" "$work/input.png" "$work/selection.png" 4000 3000

# perf pads its columns to the terminal's width; the notes want the text alone. head ends
# the pipe early, which must not end the script.
report() {
  perf report -i "$1" --no-children --percent-limit 1.5 --stdio -g none --sort "$2" 2>/dev/null |
    grep -v -e '^#' -e '^[[:space:]]*$' | sed -e 's/[[:space:]-]*$//' | head -n "$top" || true
}

for effect in default weathered; do
  sets=()
  if [ "$effect" = weathered ]; then
    for s in rain=60 moss=50 blotches=40 dust=30 tarnish=40 abrasion=30 grit=20; do
      sets+=(--set "$s")
    done
  fi
  render=("$program" render "$work/input.png" --selection "$work/selection.png"
          -o "$work/output.png" --quiet --timing "${sets[@]}")
  echo "profile.sh: $effect" >&2
  perf record -q -g -o "$work/$effect.data" -- "${render[@]}" 2>"$work/$effect-timing.txt"
  {
    echo "# $effect effect, 12 MP PNG to PNG: by shared object and symbol"
    cat "$work/$effect-timing.txt"
    report "$work/$effect.data" dso,symbol
  } >"$out/$effect-symbols.txt"
  {
    echo "# $effect effect, 12 MP PNG to PNG: by shared object"
    report "$work/$effect.data" dso
  } >"$out/$effect-objects.txt"
  perf stat -e task-clock,page-faults,context-switches -o "$out/$effect-stat.txt" -- "${render[@]}" \
    2>/dev/null
done
echo "profile.sh: reports in $out/" >&2
