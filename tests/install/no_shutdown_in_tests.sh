#!/usr/bin/env bash
# The real restart may only be reachable from the stub: no test program of the
# Windows tree may import the system's shutdown call, and the stub must.
# Usage: no_shutdown_in_tests.sh BIN_DIR
set -u
bin=$1
status=0
if ! x86_64-w64-mingw32-objdump -p "$bin/brxstub.exe" | grep -q 'InitiateSystemShutdown'; then
  echo "brxstub.exe does not import InitiateSystemShutdown*"; status=1
fi
for exe in "$bin"/*.exe; do
  case "$(basename "$exe")" in brxstub.exe) continue ;; esac
  if x86_64-w64-mingw32-objdump -p "$exe" | grep -q 'InitiateSystemShutdown'; then
    echo "$(basename "$exe") imports InitiateSystemShutdown*"; status=1
  fi
done
[ $status = 0 ] && echo "only brxstub.exe can restart the machine"
exit $status
