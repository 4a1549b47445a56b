#!/usr/bin/env bash
# Runs one fuzz target for a while: builds it in build-sanitize/ if needed, then
# fuzzes a scratch copy of the target's seed corpus, so new inputs never land in the
# repository. A crash leaves its input in the scratch folder named at the end, and fails.
# Usage: scripts/fuzz.sh NAME SECONDS [extra libFuzzer flags]
#   NAME is a folder of fuzz/corpus/: action_file, descriptor, image_file, selection_file,
#   direct_image_file, module_pipl, thumbnail_record, settings_file, key_file.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ $# -lt 2 ]; then
  echo "usage: scripts/fuzz.sh NAME SECONDS [libFuzzer flags]" >&2
  exit 2
fi
name="$1"
seconds="$2"
shift 2
seeds="$root/fuzz/corpus/$name"
if [ ! -d "$seeds" ]; then
  echo "fuzz.sh: no fuzz target named $name (no $seeds)" >&2
  exit 2
fi

bash "$root/scripts/build-sanitized.sh" "fuzz_$name"

work="$(mktemp -d "${TMPDIR:-/tmp}/orichalcumite-fuzz-$name.XXXXXX")"
mkdir -p "$work/corpus" "$work/crashes"
cp "$seeds"/* "$work/corpus/"

source "$root/scripts/sanitizer-env.sh"
status=0
"$root/build-sanitize/fuzz/fuzz_$name" -max_total_time="$seconds" -rss_limit_mb=2560 -timeout=20 \
  -print_final_stats=1 -artifact_prefix="$work/crashes/" "$@" "$work/corpus" || status=$?

if [ "$status" -ne 0 ]; then
  echo "fuzz.sh: $name failed; reproducer(s) kept in $work/crashes/:" >&2
  ls -l "$work/crashes" >&2
  exit "$status"
fi
rm -rf "$work"
