#!/usr/bin/env bash
# Runs a Windows program in the test run's private Wine prefix.
# Usage: wine-run.sh STATE_DIR PROGRAM.exe [ARGS...]; exits with the program's exit code (mod 256).
state=$1; shift
source "$(dirname "$0")/wine-env.sh" "$state"
err=$(mktemp)
trap 'rm -f "$err"' EXIT
for attempt in 1 2; do
  /usr/lib/wine/wine64 "$@" 2>"$err"
  code=$?
  cat "$err" >&2
  # Now and then glibc's loader asserts while the Wine process is exiting,
  # after the program itself has finished, or Wine on a loaded machine fails
  # to start the program at all and falls back to the shell, which cannot
  # either: faults of the host, not of the program. Such a run is repeated
  # once; anything else is reported as it is.
  if [ $code -ne 0 ] && [ $attempt = 1 ] &&
     grep -q -e 'Inconsistency detected by ld.so' -e 'ShellExecuteEx failed' "$err"; then
    echo "wine-run: the host failed to start or end the Wine process; running once more" >&2
    continue
  fi
  exit $code
done
