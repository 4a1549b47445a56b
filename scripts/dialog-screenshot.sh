#!/usr/bin/env bash
# Screenshots of the dialog for a person to look at, on a private X server (xvfb-run), driven
# by xdotool. Writes into FOLDER (default out/dialog-screenshots):
#   opened.png      the dialog as it opens over the bundled sample, preview fitted
#   slider.png      after the radius slider was dragged (the preview rendered on release)
#   glue-list.png   the glue-mode list open
#   zoomed.png      a 4000 × 3000 picture at 100 %, panned
#
#   scripts/dialog-screenshot.sh [FOLDER] [BUILD]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$(realpath -m "${1:-$root/out/dialog-screenshots}")"
build="$(realpath -m "${2:-$root/build}")"

# Run again inside a private X server unless we are the inner run.
if [ -z "${DIALOG_SCREENSHOT_INNER:-}" ]; then
  for tool in xvfb-run xdotool xwininfo import convert; do
    command -v "$tool" >/dev/null ||
      { echo "dialog-screenshot: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
  done
  [ -x "$build/bin/orichalcumite" ] ||
    { echo "dialog-screenshot: build the program first (scripts/build.sh)" >&2; exit 1; }
  mkdir -p "$out"
  DIALOG_SCREENSHOT_INNER=1 exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$out" "$build"
fi

state=$(mktemp -d)
trap 'rm -rf "$state"' EXIT
export XDG_CONFIG_HOME=$state/config XDG_STATE_HOME=$state/state ORICHALCUMITE_DEBUG=1

open_dialog() {
  "$build/bin/orichalcumite" render "$@" --dialog >/dev/null 2>"$state/log" &
  pid=$!
  wid=""
  for _ in $(seq 100); do
    wid=$(xdotool search --onlyvisible --name '^Orichalcumite$' 2>/dev/null | head -1 || true)
    [ -n "$wid" ] && break
    sleep 0.2
  done
  [ -n "$wid" ] || { echo "dialog-screenshot: the dialog did not open" >&2; cat "$state/log" >&2; exit 1; }
  eval "$(xwininfo -id "$wid" | awk '/Absolute upper-left X/{print "X="$4} /Absolute upper-left Y/{print "Y="$4}')"
  sleep 1
}
close_dialog() {
  xdotool key Escape
  wait "$pid" || true
}
shot() {
  # The pointer goes off the dialog so that no tooltip covers it.
  xdotool mousemove 1 1
  sleep 0.6
  # The whole screen cropped to the dialog, so that open lists and menus are in the picture.
  import -window root -crop "1006x687+$X+$Y" +repage "$out/$1"
  echo "$out/$1"
}

open_dialog "$root/examples/emblem.png" -o "$state/result.png"
shot opened.png
xdotool mousemove $((X + 150)) $((Y + 63)) mousedown 1 mousemove $((X + 200)) $((Y + 63)) \
  sleep 0.2 mouseup 1
shot slider.png
xdotool mousemove $((X + 509)) $((Y + 652)) click 1
shot glue-list.png
xdotool key Escape
close_dialog

convert -size 4000x3000 gradient:"#d8c8a0-#405070" -fill "#803020" \
  -draw "circle 1400,1100 1400,600" -draw "rectangle 2300,1600 3400,2500" "$state/big.png"
convert -size 4000x3000 xc:black -fill white -draw "ellipse 2000,1500 1700,1300 0,360" \
  "$state/big-selection.png"
open_dialog "$state/big.png" --selection "$state/big-selection.png" -o "$state/big-result.png"
xdotool mousemove $((X + 725)) $((Y + 387)) click 1
sleep 0.5
xdotool mousemove $((X + 700)) $((Y + 200)) mousedown 1 mousemove $((X + 600)) $((Y + 120)) \
  sleep 0.2 mouseup 1
shot zoomed.png
close_dialog
