#!/usr/bin/env bash
# The dialog's two speeds on a 4000 × 3000 image, on a private X server: how long after Start
# the first (fitted) preview is on screen, and how long a slider release takes to redraw the
# fitted preview (render and draw). Medians over RUNS dialog runs (default 5) of five slider
# releases each, from the timings the dialog writes with ORICHALCUMITE_DEBUG set.
#
#   bench/dialog_timing.sh [RUNS] [BUILD]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs=${1:-5}
build="$(realpath -m "${2:-$root/build}")"

if [ -z "${DIALOG_TIMING_INNER:-}" ]; then
  DIALOG_TIMING_INNER=1 exec xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" "$runs" "$build"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state ORICHALCUMITE_DEBUG=1
convert -size 4000x3000 gradient:"#d8c8a0-#405070" -fill "#803020" \
  -draw "circle 1400,1100 1400,600" -draw "rectangle 2300,1600 3400,2500" "$work/big.png"
convert -size 4000x3000 xc:black -fill white -draw "ellipse 2000,1500 1700,1300 0,360" \
  "$work/selection.png"

: >"$work/first" && : >"$work/release"
for run in $(seq "$runs"); do
  "$build/bin/orichalcumite" render "$work/big.png" --selection "$work/selection.png" \
    -o "$work/out.png" --dialog >/dev/null 2>"$work/log" &
  pid=$!
  wid=""
  for _ in $(seq 100); do
    wid=$(xdotool search --onlyvisible --name '^Orichalcumite$' 2>/dev/null | head -1 || true)
    [ -n "$wid" ] && break
    sleep 0.2
  done
  [ -n "$wid" ] || { echo "dialog-timing: the dialog did not open" >&2; cat "$work/log" >&2; exit 1; }
  eval "$(xwininfo -id "$wid" | awk '/Absolute upper-left X/{print "X="$4} /Absolute upper-left Y/{print "Y="$4}')"
  sleep 1
  for x in 150 200 130 220 180; do
    xdotool mousemove $((X + 120)) $((Y + 63)) mousedown 1 mousemove $((X + x)) $((Y + 63)) \
      sleep 0.1 mouseup 1
    sleep 0.4
  done
  xdotool key Escape
  wait "$pid" || true
  grep -o 'first preview shown [0-9.]*' "$work/log" | awk '{print $4}' >>"$work/first"
  # Every draw after the first is a slider release.
  grep -o 'preview drawn [0-9.]*' "$work/log" | tail -n +2 | awk '{print $3}' >>"$work/release"
done

median() { sort -n "$1" | awk '{v[NR]=$1} END{print (NR%2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2)}'; }
echo "dialog on 4000 x 3000, $runs runs"
echo "  first preview on screen after Start: median $(median "$work/first") ms ($(wc -l <"$work/first") runs)"
echo "  slider release, render and draw:     median $(median "$work/release") ms ($(wc -l <"$work/release") releases)"
