#!/usr/bin/env bash
# Configures and builds build-sanitize/: everything (module, program, tests, fuzz targets)
# compiled by clang under AddressSanitizer and UndefinedBehaviorSanitizer, with libFuzzer's
# coverage; any finding stops the process. Warnings are errors, as in build/.
# Usage: scripts/build-sanitized.sh [TARGET...]   (no target: all of them)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-sanitize"
# -O1 keeps the build short and the stacks readable; line tables are all a report needs.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS_DEBUG="-O1 -gline-tables-only" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" \
  -DORICHALCUMITE_SANITIZE=ON -DORICHALCUMITE_FUZZ=ON -DORICHALCUMITE_WERROR=ON \
  -DORICHALCUMITE_TESTS=ON -DORICHALCUMITE_BENCH=OFF >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$build" -j "$(nproc)" "${targets[@]}"
