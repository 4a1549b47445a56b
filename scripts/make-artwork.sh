#!/usr/bin/env bash
# Draws the dialog's artwork into a folder for a person to look at: every picture the dialog
# loads, and contact-sheet.png showing them all labelled, small ones magnified.
#
#   scripts/make-artwork.sh [OUTDIR] [BUILD]
#
# OUTDIR defaults to out/artwork, BUILD (the build folder whose generator runs) to build; the
# generator is built there first when it is missing or out of date. The build itself draws the
# same pictures into BUILD/artwork and packs them into the dialog's resource bundle.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-$root/out/artwork}"
build="${2:-$root/build}"

if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$root" -B "$build" -G Ninja
fi
cmake --build "$build" -j 2 --target orichalcumite_make_artwork
mkdir -p "$out"
"$build/bin/orichalcumite_make_artwork" "$out" --contact-sheet
echo "$out/contact-sheet.png"
