#!/usr/bin/env bash
# Setup output benchmark, under Wine in a private prefix (tests/wine/bench.sh):
# a chatty setup program (chatty.c: MEGABYTES of log lines to its standard
# output, one write per line) run through the stub against a plain reader of
# the same program (plain_reader.c: one pipe, a blocking read loop, nothing
# else). The stub runs it from a package built here on the shipped
# brxstub.exe, with /silent, so its launcher pipes and drains the output while
# it pumps messages. Prints best-of-N wall times, both measured in this run,
# and the ratio stub/reader (1 is the reader's speed).
# Usage: bench/launcher/run.sh [WIN_BUILD_DIR] [WORK_DIR]
#   WIN_BUILD_DIR  default build/win (brxstub.exe); brxpack from build/native
#   BRX_BENCH_RUNS runs of each (default 3); BRX_BENCH_MB megabytes (default 48)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
win=$(realpath "${1:-$root/build/win}")
work=${2:-$(mktemp -d /tmp/brx-launcher-bench.XXXXXX)}
runs=${BRX_BENCH_RUNS:-3}
megabytes=${BRX_BENCH_MB:-48}
brxpack=${BRXPACK:-$root/build/native/bin/brxpack}
stub=$win/bin/brxstub.exe
[ -f "$stub" ] || { echo "bench: $stub not built (scripts/build.sh win)" >&2; exit 2; }
[ -x "$brxpack" ] || { echo "bench: $brxpack not built (scripts/build.sh native)" >&2; exit 2; }
mkdir -p "$work"
work=$(cd "$work" && pwd)
cd "$work"

x86_64-w64-mingw32-gcc -O2 -Wall -o chatty.exe "$root/bench/launcher/chatty.c"
x86_64-w64-mingw32-gcc -O2 -Wall -o plain_reader.exe "$root/bench/launcher/plain_reader.c"

rm -rf payload && mkdir payload
cp chatty.exe payload/chatty.exe
cat > payload/chattypkg.xml <<XML
<?xml version="1.0" encoding="UTF-8"?>
<brx_package version="2.0.2.0">
  <filename>chattypkg.exe</filename>
  <version value="1.0.0.0"/>
  <name><name_xlate lang="en">Chatty Component</name_xlate></name>
  <installation><install><command>chatty.exe</command><command_params>$megabytes</command_params></install></installation>
</brx_package>
XML
"$brxpack" build --stub "$stub" -o chattypkg.exe payload 2>/dev/null

bench=$work/wine
trap '"$root/tests/wine/bench.sh" stop "$bench" >/dev/null 2>&1 || true' EXIT
"$root/tests/wine/bench.sh" start "$bench" >/dev/null

now() { date +%s%N; }
# best_of N command...: the fastest of N runs in milliseconds; any run that
# does not exit 0 stops the benchmark.
best_of() {
  local n=$1; shift
  local best=
  for ((i = 0; i < n; i++)); do
    local t0 t1 code=0
    t0=$(now)
    "$root/tests/wine/wine-run.sh" "$bench" "$@" >/dev/null 2>"$work/stderr.txt" || code=$?
    t1=$(now)
    if [ $code -ne 0 ]; then
      echo "bench: $* exited $code" >&2
      tail -5 "$work/stderr.txt" >&2
      exit 1
    fi
    local ms=$(( (t1 - t0) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}

# A warm-up: the first Wine process of a prefix pays for loading its DLLs.
"$root/tests/wine/wine-run.sh" "$bench" chatty.exe 0 >/dev/null 2>&1 || true
reader=$(best_of "$runs" "$work/plain_reader.exe" chatty.exe "$megabytes")
through=$(best_of "$runs" "$work/chattypkg.exe" /silent)
printf '%-40s %8s %8s %7s\n' "case" "stub" "reader" "ratio"
printf '%-40s %6sms %6sms %7s\n' "setup program writing $megabytes MB, under Wine" "$through" "$reader" \
  "$(awk -v a="$through" -v b="$reader" 'BEGIN { if (b == 0) b = 1; printf "%.2f", a / b }')"
