#!/usr/bin/env bash
# Builds build-sanitize/ (see scripts/build-sanitized.sh) and runs the whole test suite in it.
# Any sanitizer finding fails the run. Needs the packages of scripts/install-deps.sh.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/build-sanitized.sh"
source "$root/scripts/sanitizer-env.sh"
ctest --test-dir "$root/build-sanitize" --output-on-failure -j "$(nproc)"
