#!/usr/bin/env bash
# Timed fuzzing, outside the test command (which only replays each target's
# corpus and makes a fixed number of mutations): every fuzz target, or the
# ones named, for SECONDS each, growing its corpus under build/fuzz. A crash
# stops with the target's report and leaves the input as crash-* in build/fuzz.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     (default 300 s, every target)
set -euo pipefail
source "$(dirname "$0")/fail_trap.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-300}
shift || true
"$root/scripts/build.sh" fuzz
list="$root/build/fuzz/fuzz-targets.txt"
cd "$root/build/fuzz"
while read -r name dirs; do
  if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$name"; then continue; fi
  echo "fuzz: $name for $seconds s"
  # shellcheck disable=SC2086  # the corpus folders are separate words
  "bin/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 $dirs
done <"$list"
