#!/usr/bin/env bash
# The stub's own extraction under Wine, in a private prefix (tests/wine/bench.sh):
# the 64 MiB deflated file of run.sh in a package on the shipped brxstub.exe,
# extracted with /silent /extract:, against zlib's in-memory raw inflate plus
# CRC-32 of the same entry built for Windows (inflate_reference.c, MinGW's
# zlib) and run in the same prefix. A package of one small file, extracted
# the same way, gives the run's fixed cost (Wine starting the stub, opening
# and checking the package), which is taken off.
# Usage: bench/archive/wine.sh ARCHIVE_BENCH_DIR [WIN_BUILD_DIR]
#   ARCHIVE_BENCH_DIR  a work dir run.sh has filled (one/large.bin, large.deflate, one.entry)
#   BRX_BENCH_RUNS     runs of each (default 5)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
[ $# -ge 1 ] || { echo "usage: bench/archive/wine.sh ARCHIVE_BENCH_DIR [WIN_BUILD_DIR]" >&2; exit 2; }
work=$(cd "$1" && pwd)
win=$(realpath "${2:-$root/build/win}")
runs=${BRX_BENCH_RUNS:-5}
brxpack=${BRXPACK:-$root/build/native/bin/brxpack}
stub=$win/bin/brxstub.exe
[ -f "$stub" ] || { echo "bench: $stub not built (scripts/build.sh win)" >&2; exit 2; }
[ -f "$work/one.entry" ] && [ -f "$work/large.deflate" ] || { echo "bench: run bench/archive/run.sh with $work first" >&2; exit 2; }
cd "$work"

# The entry's raw deflate data, size and CRC, as bench/archive/run.sh left them.
read -r one_size one_crc <one.entry
# The reference links the zlib the stub links (scripts/setup.sh builds it).
zlib=${BRX_DEPS:-/opt/brx-deps}/zlib-mingw
x86_64-w64-mingw32-gcc -O2 -static -I"$zlib/include" -o inflate_reference.exe "$root/bench/archive/inflate_reference.c" \
  "$zlib/lib/libz.a" -lpthread
"$brxpack" build --stub "$stub" -o onepkg.exe --force large.bin=one/large.bin >/dev/null 2>&1
echo tiny > tiny.txt
"$brxpack" build --stub "$stub" -o tinypkg.exe --force tiny.txt >/dev/null 2>&1

bench=$work/wine
trap '"$root/tests/wine/bench.sh" stop "$bench" >/dev/null 2>&1 || true' EXIT
"$root/tests/wine/bench.sh" start "$bench" >/dev/null
out=$bench/prefix/drive_c/brxbench

now() { date +%s%N; }
# best_of N PACKAGE: the fastest of N extractions into a fresh folder, in ms.
best_of() {
  local n=$1 package=$2 best=
  for ((i = 0; i < n; i++)); do
    # The stub extracts into a folder that exists (an empty one here).
    rm -rf "$out" && mkdir -p "$out"
    sync
    local t0 t1
    t0=$(now)
    # An extraction-only run ends with the installed code (1); what counts is the file.
    "$root/tests/wine/wine-run.sh" "$bench" "$work/$package" /silent '/extract:C:\brxbench' >/dev/null 2>&1 || true
    t1=$(now)
    [ -n "$(ls -A "$out")" ] || { echo "bench: $package extracted nothing" >&2; exit 1; }
    local ms=$(( (t1 - t0) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}

"$root/tests/wine/wine-run.sh" "$bench" "$work/tinypkg.exe" /silent 'C:\nothing' >/dev/null 2>&1 || true
tiny=$(best_of "$runs" tinypkg.exe)
one=$(best_of "$runs" onepkg.exe)
cmp -s one/large.bin "$out/large.bin" || { echo "bench: large.bin extracted wrong" >&2; exit 1; }
reference=$("$root/tests/wine/wine-run.sh" "$bench" inflate_reference.exe large.deflate "$one_size" "$one_crc" "$runs" | tr -d '\r')
net=$((one - tiny))
printf '%-34s %8s %8s %8s %7s\n' "under Wine" "stub" "fixed" "zlib" "share"
printf '%-34s %6sms %6sms %6sms %7s\n' "extract 64 MiB deflated file" "$one" "$tiny" "$reference" \
  "$(awk -v a="$reference" -v b="$net" 'BEGIN { if (b <= 0) b = 1; printf "%.2f", a / b }')"
