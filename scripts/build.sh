#!/usr/bin/env bash
# Configures and builds the project into build/ (Release, warnings as errors).
# Usage: scripts/build.sh [extra cmake arguments]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORICHALCUMITE_WERROR=ON "$@"
cmake --build "$root/build" -j "$(nproc)"
