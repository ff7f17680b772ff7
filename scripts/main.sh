#!/usr/bin/env bash
# The main job: installs what is missing, builds the stub and the tools, builds
# the sample package from sample/component, runs it silently under Wine in a
# private prefix and prints its log session and exit code.
set -euo pipefail
source "$(dirname "$0")/fail_trap.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
# Only what the job runs or dist/ ships: the stub, the packer, the log reader,
# the sample's setup program (sample/setup) and the bench's desktop keeper (tests/wine).
BRX_TARGETS_NATIVE="brxpack brxlog" BRX_TARGETS_WIN="brxstub brxbundle brxpack brxlog brxsample_setup deskhold" \
  "$root/scripts/build.sh" native win

out="$root/build/sample"
state="$out/wine"
mkdir -p "$out"
pkg="$out/brxsample.exe"
comp="$root/sample/component"
# The definition first, then the payload; the sample's setup program comes from the Windows build.
"$root/dist/bin/brxpack" build --stub "$root/dist/bin/brxstub.exe" -o "$pkg" \
  "brxsample.xml=$comp/brxsample.xml" "zt_data.xml=$comp/zt_data.xml" "sample.cfg=$comp/sample.cfg" \
  "readme.txt=$comp/readme.txt" "setup.exe=$root/build/win/bin/brxsample_setup.exe"
"$root/dist/bin/brxpack" list "$pkg"

"$root/tests/wine/bench.sh" start "$state" "$root/build/win/bin/deskhold.exe"
trap '"$root/tests/wine/bench.sh" stop "$state"' EXIT
# The exit code is the result to show, not a failure of the script (and no trap).
code=0
timeout 300 "$root/tests/wine/wine-run.sh" "$state" "$pkg" /silent || code=$?
log="$state/prefix/drive_c/brxsystem/log/brxsetup.log"
if [ -f "$log" ]; then
  echo "----- C:\\brxsystem\\log\\brxsetup.log -----"
  iconv -f WINDOWS-1252 -t UTF-8 "$log" | tr -d '\r'
  echo "-------------------------------------------"
  echo "----- the same session as JSON (dist/bin/brxlog --last 1) -----"
  "$root/dist/bin/brxlog" --last 1 "$log"
fi
echo "brxsample.exe /silent exit code: $code"
# The sample's setup program reports 1 (installed): any other code fails the job,
# so CI running this script proves the whole road from a fresh clone.
if [ "$code" != 1 ]; then
  echo "main: brxsample.exe /silent should exit with 1 (installed), got $code" >&2
  exit 1
fi

# What the stub does with the sample package, for a silent install with the unknown option /f.
echo "----- brxpack inspect brxsample.exe -- /s /f -----"
"$root/dist/bin/brxpack" inspect "$pkg" -- /s /f
