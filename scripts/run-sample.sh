#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine and applies the effect to the bundled sample.
# The result is written to out/emblem-bevelled.png.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" -DORICHALCUMITE_TESTS=OFF -DORICHALCUMITE_BENCH=OFF
mkdir -p "$root/out"
"$root/build/bin/orichalcumite" render "$root/examples/emblem.png" -o "$root/out/emblem-bevelled.png"
echo "wrote $root/out/emblem-bevelled.png"
