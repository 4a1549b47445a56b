#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine and runs every check CI runs:
#   1. build/ with warnings as errors, and the whole test suite;
#   2. build-sanitize/ (clang, AddressSanitizer + UndefinedBehaviorSanitizer) and the whole
#      test suite again, including one pass of every fuzz target over its seeds;
#   3. each fuzz target for FUZZ_SECONDS (default 30) on a scratch copy of its seeds.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
stage() { echo "=== run-tests: $1 ($(date -u +%H:%M:%S))"; }

stage "installing packages"
bash "$root/scripts/install-deps.sh"

stage "build/ and tests"
bash "$root/scripts/build.sh" -DORICHALCUMITE_TESTS=ON -DORICHALCUMITE_BENCH=ON
ctest --test-dir "$root/build" --output-on-failure -j "$(nproc)"

stage "build-sanitize/ and tests"
bash "$root/scripts/run-sanitized-tests.sh"

for target in action_file descriptor image_file selection_file module_pipl thumbnail_record \
    settings_file key_file; do
  stage "fuzzing $target"
  bash "$root/scripts/fuzz.sh" "$target" "${FUZZ_SECONDS:-30}"
done
stage "done"
