#!/usr/bin/env bash
# Takes a screenshot of a gallery page in headless Chromium, for a person to look at.
#
#   scripts/gallery-screenshot.sh PAGE.html [OUT.png] [WIDTH]
#   scripts/gallery-screenshot.sh --demo FOLDER [BUILD]
#
# The first form shows any written page (default output: PAGE.png beside it, 1000 pixels
# wide). The second builds sample material in FOLDER with the program of BUILD (default:
# build): pictures of several shapes and names and presets rendered with different glue modes;
# it then writes the pictures, presets and memory-dots pages there and a screenshot of each.
# The state folder is FOLDER/state, so the memory-dots page shows the dots stored there (none
# in a fresh folder: copy a state folder in to see some).
set -euo pipefail

browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "gallery-screenshot: chromium is missing (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

screenshot() {
  local page=$1 out=$2 width=${3:-1000}
  local profile
  profile=$(mktemp -d)
  "$browser" --headless --disable-gpu --no-sandbox --no-first-run --hide-scrollbars \
    --user-data-dir="$profile" --virtual-time-budget=5000 \
    --window-size="$width,900" --screenshot="$out" "file://$(realpath "$page")" 2>/dev/null
  rm -rf "$profile"
  echo "$out"
}

if [ "${1:-}" = "--demo" ]; then
  folder=${2:?"--demo needs a folder"}
  build=${3:-build}
  program=$(realpath "$build/bin/orichalcumite")
  mkdir -p "$folder/pictures" "$folder/presets" "$folder/state"
  folder=$(realpath "$folder")
  export XDG_STATE_HOME="$folder/state" XDG_CONFIG_HOME="$folder/config"
  export ORICHALCUMITE_SYSTEM_CONFIG_DIR="$folder/etc" ORICHALCUMITE_RAND_SEED=1
  oiiotool --pattern checker:width=16:height=16 200x100 3 -o "$folder/pictures/wide.png"
  oiiotool --pattern fill:top=0.9,0.5,0.1:bottom=0.1,0.2,0.7 60x140 3 -o "$folder/pictures/Café tall.jpg"
  oiiotool --pattern noise:type=uniform 120x120 3 -o "$folder/pictures/Gold & Silver.tif"
  source="$folder/pictures/wide.png"
  for glue in normal screendim starbright multiply overlay; do
    "$program" render "$source" -o "$folder/render.png" --quiet --set "glue=$glue" \
      --set radius=20 --save-preset "$folder/presets/$glue.q5q"
  done
  "$program" render "$source" -o "$folder/render.png" --quiet --set glue=overlay \
    --save-preset "$folder/presets/<b>bold & \"quoted\"<\\b>.q5q"
  rm -f "$folder/render.png"
  "$program" gallery pictures "$folder/pictures" -o "$folder/pictures.html"
  "$program" gallery presets "$folder/presets" -o "$folder/presets.html"
  "$program" gallery dots --image "$folder/pictures/wide.png" -o "$folder/dots.html"
  for page in pictures presets dots; do screenshot "$folder/$page.html" "$folder/$page.png"; done
  exit 0
fi

page=${1:?"usage: gallery-screenshot.sh PAGE.html [OUT.png] [WIDTH] | --demo FOLDER [BUILD]"}
screenshot "$page" "${2:-${page%.html}.png}" "${3:-1000}"
