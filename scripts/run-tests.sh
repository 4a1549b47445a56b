#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine, builds with warnings as errors and runs the
# whole test suite.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" -DORICHALCUMITE_TESTS=ON -DORICHALCUMITE_BENCH=ON
ctest --test-dir "$root/build" --output-on-failure -j "$(nproc)"
