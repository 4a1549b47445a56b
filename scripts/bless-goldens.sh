#!/usr/bin/env bash
# Re-renders every golden scenario's expected.png from the current build. Run it only after a
# deliberate change, then look at every changed picture before committing it:
#   git diff --stat tests/golden
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cmake --build "$root/build" --target golden_tests
ORICHALCUMITE_BLESS=1 "$root/build/tests/golden/golden_tests"
git -C "$root" status --short tests/golden
