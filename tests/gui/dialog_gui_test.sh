#!/usr/bin/env bash
# The dialog on a real X server (run under xvfb-run): it opens at its size with a rendered
# preview; a slider drag renders once, on release; typing renders after a second of quiet,
# not per key; zoom and pan work on a 4000 × 3000 image; OK writes the image with the edited
# effect and Cancel writes nothing. Driven by synthetic input from xdotool; the module's debug
# output tells which previews were rendered.
#
# usage: dialog_gui_test.sh BIN_DIR WORK_DIR
set -uo pipefail

bin=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
export ORICHALCUMITE_DEBUG=1
source "$(dirname "${BASH_SOURCE[0]}")/gui_common.sh"

renders="preview rendered"

# ---- a 4000 × 3000 image: size, first preview, slider, typing, zoom, pan, OK ------------------
convert -size 4000x3000 gradient:"#d8c8a0-#405070" -fill "#803020" \
  -draw "circle 1400,1100 1400,600" -draw "rectangle 2300,1600 3400,2500" "$work/big.png" &&
  convert -size 4000x3000 xc:black -fill white -draw "ellipse 2000,1500 1700,1300 0,360" \
    "$work/big-selection.png" || fail "cannot make the test image"
log=$work/big.log
if start_dialog "$log" "$work/big.png" --selection "$work/big-selection.png" -o "$work/out.png" \
  --save-preset "$work/edited.q5q"; then
  size=$(xwininfo -id "$wid" | awk '/Width/{w=$2} /Height/{h=$2} END{print w "x" h}')
  [ "$size" = "1006x687" ] || fail "client area is $size, not 1006x687"

  # The preview shows a picture: the pane is not one flat colour.
  import -window "$wid" "$work/opened.png"
  spread=$(convert "$work/opened.png" -crop 528x347+462+14 +repage -colorspace gray \
    -format "%[fx:standard_deviation]" info:)
  awk -v s="$spread" 'BEGIN{exit !(s > 0.02)}' || fail "the preview pane is flat ($spread)"
  grep -q "$renders 444x333 at zoom 9 " "$log" || fail "the first preview is not the fitted view"

  # Drag the radius slider through several positions: the preview waits for the release.
  xdotool mousemove $((X + 150)) $((Y + 63)) mousedown 1
  for x in 170 190 210 230 200; do
    xdotool mousemove $((X + x)) $((Y + 63))
    sleep 0.15
  done
  [ "$(count "$log" "$renders")" -eq 1 ] || fail "the preview rendered while the slider moved"
  xdotool mouseup 1
  wait_for "$log" "$renders" 2 5 || fail "no render after the slider's release"
  sleep 0.5
  [ "$(count "$log" "$renders")" -eq 2 ] || fail "a slider release rendered more than once"

  # Type 40 into the radius box, a key at a time: nothing renders until a second of quiet.
  xdotool mousemove $((X + 270)) $((Y + 60)) click --repeat 3 1
  xdotool key ctrl+a type --delay 300 "40"
  sleep 0.5
  [ "$(count "$log" "$renders")" -eq 2 ] || fail "typing rendered before the settle time"
  wait_for "$log" "$renders" 3 5 || fail "no render after typing settled"
  sleep 1.2
  [ "$(count "$log" "$renders")" -eq 3 ] || fail "typing rendered more than once"

  # Zoom in once (fit 9 → 8), then to 100 %, then pan by dragging the picture.
  click 755 388
  wait_for "$log" "at zoom 8 " 1 5 || fail "zoom in did not render at zoom 8"
  click 725 387
  wait_for "$log" "$renders 528x347 at zoom 1 " 1 5 || fail "100% did not render at zoom 1"
  # The zoom keeps the view's centre where it was: the pan it chose is where the drag starts.
  read -r panX panY < <(grep "$renders 528x347 at zoom 1 " "$log" | tail -1 |
    sed -E 's/.* pan ([0-9]+),([0-9]+) .*/\1 \2/')
  xdotool mousemove $((X + 800)) $((Y + 200)) mousedown 1
  for step in 1 2 3 4; do
    xdotool mousemove $((X + 800 - 25 * step)) $((Y + 200 - 10 * step))
    sleep 0.15
  done
  xdotool mouseup 1
  # The picture follows the pointer: dragging up and left by (100, 40) moves the view down
  # and right by as much.
  expected="$renders 528x347 at zoom 1 pan $((panX + 100)),$((panY + 40)) "
  wait_for "$log" "$expected" 1 5 || fail "the pan did not end in a render at $expected"
  grep -q "source shown at zoom 1" "$log" || fail "the pan did not show the source while moving"

  # OK applies the effect as edited.
  click 959 653
  finish
  [ "$status" -eq 0 ] || fail "OK ended with exit code $status"
  [ -s "$work/out.png" ] || fail "OK wrote no image"
  "$bin/orichalcumite" preset show "$work/edited.q5q" >"$work/edited.txt" 2>&1
  grep -Eq "^  radius +40$" "$work/edited.txt" || fail "the written effect does not have radius 40"
fi

# ---- Cancel writes nothing ------------------------------------------------------------------
log=$work/cancel.log
if start_dialog "$log" "$work/big.png" -o "$work/cancelled.png"; then
  # A button's mnemonic presses it: Alt+F is &Factory, which renders.
  xdotool key alt+f
  wait_for "$log" "$renders" 2 5 || fail "Alt+F did not press &Factory"
  click 719 655
  finish
  [ "$status" -eq 130 ] || fail "Cancel ended with exit code $status, not 130"
  [ ! -e "$work/cancelled.png" ] || fail "Cancel wrote an image"
fi

# ---- Tab walks the controls; Escape cancels too ------------------------------------------------
log=$work/escape.log
if start_dialog "$log" "$work/big.png" -o "$work/escaped.png"; then
  # Tab reaches every enabled native control.
  xdotool windowfocus --sync "$wid"
  for _ in $(seq 70); do xdotool key Tab; done
  sleep 0.5
  enabled=$(grep -o "[0-9]* native controls enabled" "$log" | awk '{print $1}')
  reached=$(grep "focus on control" "$log" | awk '{print $5}' | sort -u | wc -l)
  [ -n "$enabled" ] && [ "$reached" -eq "$enabled" ] ||
    fail "Tab reached $reached of ${enabled:-?} enabled native controls"
  xdotool key Escape
  finish
  [ "$status" -eq 130 ] || fail "Escape ended with exit code $status, not 130"
  [ ! -e "$work/escaped.png" ] || fail "Escape wrote an image"
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed; logs in $work" >&2
  exit 1
fi
echo "dialog checks passed"
