#!/usr/bin/env bash
# Archive benchmark: the stub's reader (through brxpack) against Info-ZIP on
# the same archives, built here with Info-ZIP zip, and against zlib itself.
#   1. open + list a 20,000-entry archive      vs  unzip -l
#   2. extract 200 MB (one large deflated file
#      + 5,000 small files) into a fresh dir   vs  unzip -o -q
#   3. extract one 64 MiB deflated file,
#      writes included                          vs  zlib's raw inflate + CRC-32 of the
#                                                   same entry in memory (inflate_reference.c,
#                                                   built here)
# Prints best-of-N wall times, all measured in this run, and the ratios:
# ours/unzip (below 1 is faster) and reference/ours (the share of zlib's own
# speed reached; 1 is the limit).
# Usage: bench/archive/run.sh [path/to/brxpack] [work dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
brxpack=${1:-$root/build/native/bin/brxpack}
work=${2:-$(mktemp -d /tmp/brx-archive-bench.XXXXXX)}
runs=${BRX_BENCH_RUNS:-5}
[ -x "$brxpack" ] || { echo "bench: $brxpack not built" >&2; exit 2; }
brxpack=$(realpath "$brxpack")
mkdir -p "$work"
cd "$work"

now() { date +%s%N; }
# best_of N command...: the fastest of N runs, in milliseconds. $PREPARE (if
# set) runs untimed before each run.
best_of() {
  local n=$1; shift
  local best=
  for ((i = 0; i < n; i++)); do
    local t0 t1
    [ -z "${PREPARE:-}" ] || eval "$PREPARE"
    sync
    t0=$(now); "$@" >/dev/null; t1=$(now)
    local ms=$(( (t1 - t0) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == 0) b = 1; printf "%.2f", a / b }'; }

if [ ! -f many.zip ]; then
  echo "bench: making 20,000 small files"
  rm -rf many && mkdir many
  python3 - <<'PY'
import os
for d in range(200):
    os.makedirs(f"many/d{d:03}", exist_ok=True)
    for f in range(100):
        with open(f"many/d{d:03}/file{f:03}.txt", "w") as out:
            out.write(f"entry {d} {f}\n" * (1 + (d * f) % 40))
PY
  (cd many && find . -type f | sed 's|^\./||' | sort | zip -q -D ../many.zip -@)
fi

if [ ! -f mixed.zip ]; then
  echo "bench: making 200 MB of mixed content"
  rm -rf mixed && mkdir -p mixed/small
  python3 - <<'PY'
import os, random
random.seed(7)
words = [("w%d" % i).encode() for i in range(5000)]
with open("mixed/large.bin", "wb") as out:
    written = 0
    while written < 150 * 1024 * 1024:
        if random.random() < 0.3:
            block = os.urandom(64 * 1024)
        else:
            block = b" ".join(random.choice(words) for _ in range(16000))[: 64 * 1024]
        out.write(block)
        written += len(block)
for i in range(5000):
    d = f"mixed/small/s{i // 100:02}"
    os.makedirs(d, exist_ok=True)
    size = 2048 + (i * 7919) % 16384
    with open(f"{d}/f{i:04}.dat", "wb") as out:
        text = b"".join(random.choice(words) + b"\n" for _ in range(size // 4))[:size]
        out.write(text if i % 3 else os.urandom(size))
PY
  (cd mixed && find . -type f | sed 's|^\./||' | sort | zip -q -D ../mixed.zip -@)
fi

if [ ! -f one.zip ]; then
  echo "bench: making one 64 MiB file"
  rm -rf one && mkdir one
  python3 - <<'PY'
import os, random
random.seed(11)
words = [("w%d" % i).encode() for i in range(5000)]
with open("one/large.bin", "wb") as out:
    written = 0
    while written < 64 * 1024 * 1024:
        if random.random() < 0.3:
            block = random.randbytes(64 * 1024)
        else:
            block = b" ".join(random.choice(words) for _ in range(16000))[: 64 * 1024]
        out.write(block)
        written += len(block)
PY
  (cd one && zip -q -D ../one.zip large.bin)
fi
# The entry's raw deflate data, size and CRC, for the in-memory reference.
read -r one_size one_crc < <(python3 - <<'PY'
import struct, zipfile
z = zipfile.ZipFile("one.zip")
info = z.getinfo("large.bin")
with open("one.zip", "rb") as f:
    f.seek(info.header_offset)
    local = f.read(30)
    name_length, extra_length = struct.unpack("<HH", local[26:30])
    f.seek(info.header_offset + 30 + name_length + extra_length)
    open("large.deflate", "wb").write(f.read(info.compress_size))
print(info.file_size, info.CRC)
PY
)
# Kept for bench/archive/wine.sh, which measures the same entry under Wine.
echo "$one_size $one_crc" >one.entry
cc -O2 -o inflate_reference "$root/bench/archive/inflate_reference.c" -lz

echo "archives: many.zip $(stat -c %s many.zip) bytes, $(unzip -Z1 many.zip | wc -l) entries;" \
     "mixed.zip $(stat -c %s mixed.zip) bytes, $(unzip -Z1 mixed.zip | wc -l) entries," \
     "$(unzip -l mixed.zip | tail -1 | awk '{print $1}') bytes uncompressed"

list_ours=$(best_of "$runs" "$brxpack" list many.zip)
list_unzip=$(best_of "$runs" unzip -l many.zip)

# Each run extracts into a fresh directory.
ext_ours=$(PREPARE='rm -rf out-ours' best_of 3 "$brxpack" extract mixed.zip out-ours)
ext_unzip=$(PREPARE='rm -rf out-unzip' best_of 3 unzip -o -q mixed.zip -d out-unzip)
if ! diff -rq out-ours out-unzip >/dev/null; then
  echo "bench: extracted trees differ" >&2
  exit 1
fi

one_ours=$(PREPARE='rm -rf out-one' best_of "$runs" "$brxpack" extract one.zip out-one)
cmp -s one/large.bin out-one/large.bin || { echo "bench: large.bin extracted wrong" >&2; exit 1; }
one_reference=$(./inflate_reference large.deflate "$one_size" "$one_crc" "$runs")
# What a process pays to start and end (extracting one file of a few bytes),
# which the in-process reference does not: the share is printed without it too.
[ -f tiny.zip ] || { echo tiny >tiny.txt && zip -q -D tiny.zip tiny.txt; }
one_fixed=$(PREPARE='rm -rf out-tiny' best_of "$runs" "$brxpack" extract tiny.zip out-tiny)
share() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == 0) b = 1; printf "%.2f", a / b }'; }

printf '%-34s %8s %8s %7s\n' "case" "brxpack" "unzip" "ratio"
printf '%-34s %6sms %6sms %7s\n' "open+list 20,000 entries" "$list_ours" "$list_unzip" "$(ratio "$list_ours" "$list_unzip")"
printf '%-34s %6sms %6sms %7s\n' "extract 200 MB mixed (fresh dir)" "$ext_ours" "$ext_unzip" "$(ratio "$ext_ours" "$ext_unzip")"
printf '%-34s %8s %8s %7s\n' "" "brxpack" "zlib" "share"
printf '%-34s %6sms %6sms %7s\n' "extract 64 MiB deflated file" "$one_ours" "$one_reference" \
  "$(share "$one_reference" "$one_ours")"
printf '%-34s %6sms %6sms %7s\n' "  the same less process start-up" "$((one_ours - one_fixed))" "$one_reference" \
  "$(share "$one_reference" "$((one_ours - one_fixed))")"
