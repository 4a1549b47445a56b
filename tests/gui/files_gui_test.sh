#!/usr/bin/env bash
# The dialog's file commands on a real X server (run under xvfb-run): a preset saved through
# the file chooser (a name typed, Enter) and loaded back brings its settings back; a preset
# naming a texture picture that is gone asks about it and keeps the effect without it; the
# texture list's "file" item, cancelled, keeps the previous choice; the colour chooser opens
# with the swatch's title; the PSD export writes a document psd-tools opens. Screenshots of
# every chooser and of the progress window are left in WORK_DIR.
#
# usage: files_gui_test.sh BIN_DIR WORK_DIR
set -uo pipefail

bin=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
export ORICHALCUMITE_DEBUG=1
source "$(dirname "${BASH_SOURCE[0]}")/gui_common.sh"

# Waits for a visible window named exactly NAME; sets found to its id.
wait_window() {
  found=""
  for _ in $(seq 100); do
    found=$(xdotool search --onlyvisible --name "^$1" 2>/dev/null | head -1)
    [ -n "$found" ] && return 0
    sleep 0.1
  done
  return 1
}

# Waits until no visible window is named NAME.
wait_gone() {
  for _ in $(seq 100); do
    [ -z "$(xdotool search --onlyvisible --name "^$1" 2>/dev/null)" ] && return 0
    sleep 0.1
  done
  return 1
}

shot() { import -window root "$work/$1.png"; }

# Types RADIUS into the radius box and waits for the render it settles into.
set_radius() {
  local renders
  renders=$(count "$log" "preview rendered")
  xdotool mousemove $((X + 270)) $((Y + 60)) click --repeat 3 1
  xdotool key ctrl+a type "$1"
  wait_for "$log" "preview rendered" $((renders + 1)) 5 || fail "no render after radius $1"
}

# Types PATH into the open chooser named TITLE and confirms it.
open_in_chooser() {
  wait_window "$1" || { fail "no chooser \"$1\""; return 1; }
  sleep 0.5
  shot "$3"
  xdotool key ctrl+l
  sleep 0.2
  xdotool type "$2"
  xdotool key Return
  wait_gone "$1" || fail "the chooser \"$1\" stayed open"
}

convert -size 400x300 gradient:"#d8c8a0-#405070" -fill "#803020" -draw "circle 140,110 140,60" \
  "$work/small.png" || fail "cannot make the test image"
convert -size 64x64 pattern:checkerboard "$work/tex.png" || fail "cannot make the texture"

# ---- save a preset through the chooser, change the effect, load it back ---------------------
log=$work/presets.log
if start_dialog "$log" "$work/small.png" -o "$work/out.png" --save-preset "$work/final.q5q"; then
  set_radius 40
  click 373 495  # &Save
  if wait_window "Save a settings file"; then
    sleep 0.5
    shot save-chooser
    # A name without extension gets ".q5q".
    xdotool key ctrl+a type "$work/mine"
    xdotool key Return
    wait_gone "Save a settings file" || fail "the save chooser stayed open"
  else
    fail "no save chooser"
  fi
  # The file is written once the chooser has closed.
  for _ in $(seq 50); do [ -s "$work/mine.q5q" ] && break; sleep 0.1; done
  [ -s "$work/mine.q5q" ] || fail "the preset was not saved as mine.q5q"
  "$bin/orichalcumite" preset thumbnail "$work/mine.q5q" -o "$work/mine-thumbnail.png" ||
    fail "the saved preset has no thumbnail"

  set_radius 70
  click 373 456  # &Load
  open_in_chooser "Open a settings file" "$work/mine.q5q" load-chooser
  wait_for "$log" "preview rendered" 4 5 || fail "no render after the preset was loaded"

  # The texture list's "file" item, cancelled: the choice stays what it was.
  xdotool mousemove $((X + 373)) $((Y + 173)) click 1
  sleep 0.5
  xdotool key End Return
  if wait_window "Open a texture picture"; then
    sleep 0.5
    shot texture-chooser
    xdotool key Escape
    wait_gone "Open a texture picture" || fail "the texture chooser stayed open"
  else
    fail "choosing \"file\" opened no texture chooser"
  fi

  # The colour chooser of the first light's colour: look, then cancel.
  click 87 476
  if wait_window "Choose the light.*s color."; then
    sleep 0.5
    shot colour-chooser
    xdotool key Escape
    wait_gone "Choose the light.*s color." || fail "the colour chooser stayed open"
  else
    fail "no colour chooser (windows: $(xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | tr '\n' '|'))"
  fi

  click 959 653  # &OK
  finish
  [ "$status" -eq 0 ] || fail "OK ended with exit code $status"
  "$bin/orichalcumite" preset show "$work/final.q5q" >"$work/final.txt" 2>&1
  grep -Eq "^  radius +40$" "$work/final.txt" || fail "the loaded preset's radius 40 did not come back"
  "$bin/orichalcumite" preset show "$work/mine.q5q" >"$work/mine.txt" 2>&1
  diff <(grep -i "texture choice" "$work/mine.txt") <(grep -i "texture choice" "$work/final.txt") ||
    fail "the cancelled texture chooser changed the texture choice"
fi

# ---- a preset naming a texture picture that is gone ----------------------------------------
"$bin/orichalcumite" render "$work/small.png" -o "$work/with-texture.png" --texture "$work/tex.png" \
  --set radius=33 --save-preset "$work/textured.q5q" --quiet || fail "cannot make the textured preset"
rm -f "$work/tex.png"
log=$work/missing.log
if start_dialog "$log" "$work/small.png" -o "$work/out2.png" --save-preset "$work/final2.q5q"; then
  click 373 456  # &Load
  open_in_chooser "Open a settings file" "$work/textured.q5q" missing-load-chooser
  wait_for "$log" "missing texture picture" 1 5 || fail "the missing texture was not asked about"
  # "Can't open file" asks; Ignore (its default button) gives the picture up.
  if wait_window "Can't open file"; then
    sleep 0.5
    shot cant-open-file
    xdotool key Return
    wait_gone "Can't open file" || fail "\"Can't open file\" stayed open"
  else
    fail "no \"Can't open file\" window"
  fi
  sleep 1
  click 959 653
  finish
  [ "$status" -eq 0 ] || fail "OK after the missing picture ended with exit code $status"
  "$bin/orichalcumite" preset show "$work/final2.q5q" >"$work/final2.txt" 2>&1
  grep -Eq "^  radius +33$" "$work/final2.txt" || fail "the effect without its picture was not kept"
fi

# ---- PSD export ----------------------------------------------------------------------------
log=$work/psd.log
convert -size 1600x1200 gradient:"#d8c8a0-#405070" "$work/psd-source.png"
if start_dialog "$log" "$work/psd-source.png" -o "$work/out3.png"; then
  click 373 651  # PSD
  if wait_window "Save a PSD file"; then
    sleep 0.5
    shot psd-chooser
    xdotool key ctrl+a type "$work/result.psd"
    xdotool key Return
    if wait_window "PSD file progress"; then
      shot psd-progress
    else
      fail "no progress window"
    fi
    wait_gone "PSD file progress" || fail "the progress window stayed"
  else
    fail "no PSD chooser"
  fi
  click 719 655  # &Cancel
  finish
  psd="$work/result layer 1.psd"
  [ -s "$psd" ] || fail "no PSD document written"
  /usr/bin/python3 -c "
import sys
from psd_tools import PSDImage
p = PSDImage.open(sys.argv[1])
assert (p.width, p.height) == (1600, 1200), (p.width, p.height)
assert [l.name for l in p] == ['layer 1'], [l.name for l in p]
" "$psd" || fail "psd-tools cannot read the PSD document"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed; logs and pictures in $work" >&2
  exit 1
fi
echo "all file dialog checks passed"
