#!/usr/bin/env bash
# The dialog's drawn widgets on a real X server (run under xvfb-run): a memory dot stores the
# effect with a click and gives it back with the next; the dot's file and the kept map are
# written; the next dialog snapshots into the first dot that is not kept; a light-ball drag
# turns the light; dragging the texture swatch pans the texture; a spin turns the environment
# swatch. Screenshots of each stage stay in WORK_DIR for a look.
#
# usage: widgets_gui_test.sh BIN_DIR WORK_DIR
set -uo pipefail

bin=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
export ORICHALCUMITE_DEBUG=1
source "$(dirname "${BASH_SOURCE[0]}")/gui_common.sh"
state=${XDG_STATE_HOME:?}/orichalcumite
# Every run starts without dots, map or last effect.
rm -rf "$state"

# A picture of the window with the pointer parked where no tooltip comes up.
shot() {
  xdotool mousemove $((X + 1003)) $((Y + 684))
  sleep 0.3
  import -window "$wid" "$work/$1.png"
}
renders="preview rendered"
dot1="448 453" # the middle of memory dot 1

# Types VALUE into the radius box and waits for the settle timer's render (the Nth).
type_radius() {
  local log=$1 value=$2 n=$3
  xdotool mousemove $((X + 270)) $((Y + 60)) click --repeat 3 1
  xdotool key ctrl+a type --delay 50 "$value"
  wait_for "$log" "$renders" "$n" 5 || fail "no render after typing radius $value"
}

convert -size 640x420 gradient:"#d8c8a0-#405070" -fill "#803020" \
  -draw "circle 220,180 220,90" "$work/in.png" || fail "cannot make the test image"

# ---- first dialog: store into dot 1, change, recall; turn light 1 -----------------------------
log=$work/first.log
if start_dialog "$log" "$work/in.png" -o "$work/out.png" --save-preset "$work/edited.q5q"; then
  shot opened
  # The dialog's own snapshot went into dot 1 (nothing is kept yet): a right click clears it.
  [ -f "$state/Orichalcumite A memory dot 0.q5q" ] || fail "no automatic snapshot in dot 1"
  click $dot1 3
  wait_for "$log" "memory dot 126 clicked" 1 5 || fail "the right click on dot 1 did nothing"

  n=$(count "$log" "$renders")
  type_radius "$log" 37 $((n + 1))
  click $dot1
  wait_for "$log" "memory dot 126 clicked, code 0, hovered 0" 1 5 || fail "dot 1 did not store"
  shot stored

  n=$(count "$log" "$renders")
  type_radius "$log" 12 $((n + 1))
  n=$(count "$log" "$renders")
  click $dot1
  wait_for "$log" "$renders" $((n + 1)) 5 || fail "recalling dot 1 did not render"
  grep -q 'memory dot 126 clicked, code 0, hovered 0, effect "dot 1"' "$log" ||
    fail "the recalled effect is not named \"dot 1\""

  # Drag light 1 from its middle to 40 right and 30 down: the light lies at the horizon
  # towards (0.8, 0.6).
  xdotool mousemove $((X + 150)) $((Y + 445)) mousedown 1
  for step in 1 2 3 4; do
    xdotool mousemove $((X + 150 + 10 * step)) $((Y + 445 + 15 * step / 2))
    sleep 0.1
  done
  n=$(count "$log" "$renders")
  xdotool mouseup 1
  wait_for "$log" "$renders" $((n + 1)) 5 || fail "no render after the light's release"

  # Drag the texture swatch 20 left and 10 up: the tile moves with the pointer, so the
  # window onto it starts 20 right and 10 down.
  xdotool mousemove $((X + 380)) $((Y + 90)) mousedown 1
  for step in 1 2 3 4 5; do
    xdotool mousemove $((X + 380 - 4 * step)) $((Y + 90 - 2 * step))
    sleep 0.1
  done
  n=$(count "$log" "$renders")
  xdotool mouseup 1
  wait_for "$log" "$renders" $((n + 1)) 5 || fail "no render after the texture's drag"

  # Hovering a filled dot shows its preview in the square.
  xdotool mousemove $((X + 452)) $((Y + 462))
  sleep 0.2
  xdotool mousemove $((X + 448)) $((Y + 453))
  sleep 0.2
  shot hovered
  spread=$(convert "$work/hovered.png" -crop 88x88+464+462 +repage -colorspace gray \
    -format "%[fx:standard_deviation]" info:)
  awk -v s="$spread" 'BEGIN{exit !(s > 0.01)}' || fail "the preview square is empty ($spread)"

  click 959 653
  finish
  [ "$status" -eq 0 ] || fail "OK ended with exit code $status"
  "$bin/orichalcumite" preset show "$work/edited.q5q" >"$work/edited.txt" 2>&1
  grep -Eq "^  radius +37$" "$work/edited.txt" || fail "the recalled effect does not have radius 37"
  grep -Eq "^  light 1 X +0.80$" "$work/edited.txt" || fail "light 1 X is not 0.80"
  grep -Eq "^  light 1 Y +0.60$" "$work/edited.txt" || fail "light 1 Y is not 0.60"
  grep -Eq "^  light 1 Z +0.00$" "$work/edited.txt" || fail "light 1 Z is not 0.00"
  grep -Eq "^  texture pan X +20$" "$work/edited.txt" || fail "texture pan X is not 20"
  grep -Eq "^  texture pan Y +10$" "$work/edited.txt" || fail "texture pan Y is not 10"
  [ -f "$state/Orichalcumite A memory dot 0.q5q" ] || fail "dot 1 has no file"
  # The map keeps dot 1: version 221, then 1 for dot 1 and 0 for dot 2.
  map=$(od -An -tx1 -N12 "$state/Orichalcumite memdot map 3" 2>/dev/null | tr -d ' \n')
  [ "$map" = "000000dd0000000100000000" ] || fail "the memory-dot map is $map"
fi

# ---- second dialog: dot 1 kept, the snapshot goes to dot 2; spin the environment ---------------
log=$work/second.log
if start_dialog "$log" "$work/in.png" -o "$work/second.png"; then
  [ -f "$state/Orichalcumite A memory dot 1.q5q" ] || fail "no automatic snapshot in dot 2"
  shot reopened
  click 427 296
  wait_for "$log" "$renders" 2 5 || fail "no render after the spin"
  shot spun
  before=$(convert "$work/reopened.png" -crop 64x64+342+279 +repage -format "%#" info:)
  after=$(convert "$work/spun.png" -crop 64x64+342+279 +repage -format "%#" info:)
  [ "$before" != "$after" ] || fail "the environment swatch did not turn"
  click 717 653
  finish
  [ "$status" -ne 0 ] || fail "Cancel ended with exit code 0"
fi

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed; logs and pictures in $work" >&2
  exit 1
fi
echo "widgets on the X server: all checks passed"
