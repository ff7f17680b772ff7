#!/usr/bin/env bash
# Runs a Windows program in the test run's private Wine prefix.
# Usage: wine-run.sh STATE_DIR PROGRAM.exe [ARGS...]; exits with the program's exit code (mod 256).
state=$1; shift
source "$(dirname "$0")/wine-env.sh" "$state"
exec /usr/lib/wine/wine64 "$@"
