#!/usr/bin/env bash
# Every test: installs what is missing, builds the native, sanitizer, fuzzing and
# Windows trees, then runs all their tests (the Windows ones under Wine) in one ctest run.
set -euo pipefail
source "$(dirname "$0")/fail_trap.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" native asan fuzz win
cd "$root/build"
# Label "full": the stub built a second time (tests/repro); CI runs it after the main job.
ctest -j "${BRX_JOBS:-$(nproc)}" --output-on-failure --timeout 600 -LE full
