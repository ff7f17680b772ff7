#!/usr/bin/env bash
# brxlog on a 50 MB component log: whole sessions, sessions cut by a power
# loss, stubs that overlap and one that never ends, and long lines. Fails
# when brxlog's peak memory reaches 64 MiB or its output is not one JSON
# object per session; prints the time it took.
#   large_log.sh BRXLOG WORKDIR
set -euo pipefail
brxlog=$1
work=$2
mkdir -p "$work"
log=$work/brxsetup.log
python3 - "$log" <<'PY'
import sys
rule = "=" * 75
def header(n):
    return (f"{rule}\r\nSource:          pkg{n}.exe\r\nVersion:         1.2.3.4\r\n"
            f"Log Date:        12/8/2026 10:{n % 60:02d}:00\r\n\r\nLog Session Start...\r\n\r\n")
def footer(code):
    return f"\r\n\r\nLog Session End. [10:59:59]\r\nReturn Code ({code})\r\n{rule}\r\n\r\n"
body = ("Validating WMI service is available...\r\n\r\nWMI service is available.\r\n\r\n"
        "Checking for virtualized environment...\r\n\r\nVirtualized environment not detected.\r\n\r\n"
        "Setup program = [setup.exe]\r\n\r\nInstallation command line = [setup.exe /s]\r\n\r\n"
        + "Copying component file...\r\n\r\n" * 40)
target = 50 * 1000 * 1000
n = 0
with open(sys.argv[1], "w", newline="") as f:
    size = 0
    while size < target:
        kind = n % 50
        if kind == 7:      # cut by a power loss mid-line
            chunk = header(n) + body[:500] + "Extracting compo"
        elif kind == 13:   # two stubs at once
            chunk = header(n) + header(n + 1) + body + footer(1) + footer(0)
        elif kind == 29:   # a line of 60,000 characters
            chunk = header(n) + "x" * 60000 + "\r\n" + footer(1)
        else:
            chunk = header(n) + body + footer(n % 4)
        f.write(chunk)
        size += len(chunk)
        n += 1
    # A stub that started and never wrote again, then more whole sessions:
    # the overlap never ends and must not make the reader hold the rest.
    f.write(header(n) + body)
    for i in range(3000):
        f.write(header(n + 1 + i) + body + footer(1))
PY
bytes=$(stat -c%s "$log")
out=$work/out.jsonl
/usr/bin/time -f "%e %M %U %S" -o "$work/time.txt" "$brxlog" --text-log "$log" > "$out"
read -r seconds kib user system < "$work/time.txt"
sessions=$(wc -l < "$out")
python3 - "$out" <<'PY'
import json, sys
with open(sys.argv[1]) as f:
    for number, line in enumerate(f, 1):
        json.loads(line)
PY
echo "brxlog read $bytes bytes into $sessions sessions in $seconds s ($user s user, $system s system), peak memory $kib KiB"
if [ "$kib" -ge 65536 ]; then
  echo "FAIL: peak memory $kib KiB is not below 64 MiB" >&2
  exit 1
fi
rm -f "$log" "$out"
