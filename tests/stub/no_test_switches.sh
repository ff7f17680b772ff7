#!/usr/bin/env bash
# The shipped stub holds no test switch: no "BRX_..." name (the only variables
# it reads are the product's own) in either string encoding, while the
# recording test build, made from the same sources, shows the one it reads
# (so the search would see such a name). The shipped stub still imports the
# system's restart call.
# Usage: no_test_switches.sh STUB.exe RECORDING_STUB.exe
set -u
stub=$1 recording=$2
names() { { strings -a "$1"; strings -a -el "$1"; } | grep -oE 'BRX_[A-Z0-9_]+' | sort -u; }
status=0
found=$(names "$stub")
[ -z "$found" ] || { echo "$(basename "$stub") holds test switch names: $found"; status=1; }
names "$recording" | grep -qx 'BRX_SHUTDOWN_RECORD' || {
  echo "the recording build shows no BRX_SHUTDOWN_RECORD: the search cannot see switches"; status=1; }
x86_64-w64-mingw32-objdump -p "$stub" | grep -q 'InitiateSystemShutdownW' || {
  echo "$(basename "$stub") does not import InitiateSystemShutdownW"; status=1; }
[ $status = 0 ] && echo "no test switch in $(basename "$stub"); it imports the system's restart"
exit $status
