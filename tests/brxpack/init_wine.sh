#!/usr/bin/env bash
# The skeleton of brxpack init, as a new packager uses it: the Windows brxpack
# writes it, builds it onto the stub and inspects it clean, and the package
# installs silently in the bench's prefix.
#   init_wine.sh STATE BRXPACK.exe STUB.exe WORK
set -euo pipefail
state=$1 brxpack=$2 stub=$3 work=$4
run=$(cd "$(dirname "$0")/../wine" && pwd)/wine-run.sh
rm -rf "$work"
mkdir -p "$work"
cd "$work"
cp "$stub" brxstub.exe
"$run" "$state" "$brxpack" init cp0042 >init.txt
"$run" "$state" "$brxpack" build --stub brxstub.exe -o cp0042.exe cp0042 2>build.txt
if grep -q 'warning\|error' build.txt; then
  echo "init_wine: the skeleton does not build clean:" >&2
  cat build.txt >&2
  exit 1
fi
"$run" "$state" "$brxpack" inspect cp0042.exe >inspect.txt || { cat inspect.txt >&2; exit 1; }
code=0
"$run" "$state" cp0042.exe /silent || code=$?
if [ "$code" != 1 ]; then
  echo "init_wine: cp0042.exe /silent exited with $code, not 1 (installed)" >&2
  tail -40 "$state/prefix/drive_c/brxsystem/log/brxsetup.log" | iconv -f WINDOWS-1252 -t UTF-8 >&2 || true
  exit 1
fi
echo "init_wine: the skeleton built, inspected clean and installed"
