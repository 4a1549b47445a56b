#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run
# (with --bench also those the benchmarks need). clang with its sanitizer and libFuzzer
# runtimes and llvm-14 (for llvm-symbolizer, readable reports) serve build-sanitize/.
# The PSD tests read their documents back with psd-tools (Debian's python3-psd-tools, which
# Debian's own /usr/bin/python3 imports) and ImageMagick.
# cairo and libpng draw and write the dialog's artwork (ui/artwork/).
# chromium loads the gallery pages in the tests (headless) and in scripts/gallery-screenshot.sh.
# Safe to run again: packages already present are left alone. Needs root (or sudo).
set -euo pipefail

# --bench adds what the benchmarks compare against.
packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libopenimageio-dev openimageio-tools
  nlohmann-json3-dev
  libjpeg62-turbo-dev libglib2.0-dev
  libcairo2-dev libpng-dev
  # The program's direct TIFF and PNG paths.
  libtiff-dev zlib1g-dev libdeflate-dev
  libimage-exiftool-perl
  python3
  python3-psd-tools imagemagick
  clang libclang-rt-14-dev llvm-14
  chromium
  # The dialog: GTK 3 to build it; xvfb-run (xvfb, xauth), xdotool and xwininfo to test it.
  libgtk-3-dev xvfb xauth xdotool x11-utils
  # The dialog's labels: a font with Arial's widths, so that the longest labels fit their places.
  fonts-liberation
)

if [ "${1:-}" = "--bench" ]; then packages+=(gegl); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "install-deps: installing ${missing[*]}"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
