#!/usr/bin/env bash
# Re-renders the golden scenarios' expected.png from the current build: all of them, or the
# scenarios named as arguments (folder names under tests/golden/). Run it only after a
# deliberate change, then look at every changed picture before committing it:
#   git diff --stat tests/golden
# The golden test itself only compares; this is the one way expected pictures change.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cmake --build "$root/build" --target golden_bless -j 2
"$root/build/tests/golden/golden_bless" "$@"
git -C "$root" status --short tests/golden
