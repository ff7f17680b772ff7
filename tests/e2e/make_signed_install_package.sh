#!/usr/bin/env bash
# Makes a signed package that installs (the test setup program, exiting 1)
# and its twin changed after signing: one byte of a stored entry swapped and
# that entry's CRC fixed up in both headers, so every ZIP tool still reads it
# and only the signature tells. osslsigncode must refuse the twin. With
# NESTED-DIR, also the same payload signed twice (dual.exe) and changed then
# re-signed with the first signature nested (forged.exe), as
# make_nested_signed_packages.sh makes them.
# Usage: make_signed_install_package.sh STUB.exe SETUP.exe SIGNED.exe CHANGED.exe [NESTED-DIR]
set -euo pipefail
stub=$1 setup=$2 signed=$3 changed=$4 nested=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/payload"
cat > "$work/payload/signedpkg.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<brx_package version="2.0.2.0">
  <filename>signedpkg.exe</filename>
  <version value="1.0.0.0"/>
  <name><name_xlate lang="en">Signed Component</name_xlate></name>
  <installation><install><command>setup.exe</command></install></installation>
</brx_package>
XML
cp "$setup" "$work/payload/setup.exe"
echo 1 > "$work/payload/exitcode.txt"
echo 'the component as signed' > "$work/payload/readme.txt"
"$here/../archive/make_signed_package.sh" "$stub" "$signed" "$work/payload"
if [ -n "$nested" ]; then
  "$here/../archive/make_nested_signed_packages.sh" "$stub" "$nested" "$work/payload"
fi
python3 - "$signed" "$changed" <<'PY'
import struct, sys, zipfile, zlib
signed, changed = sys.argv[1:3]
data = bytearray(open(signed, 'rb').read())
info = zipfile.ZipFile(signed).getinfo('readme.txt')
local = info.header_offset
name_length, extra_length = struct.unpack_from('<HH', data, local + 26)
start = local + 30 + name_length + extra_length
data[start + 4] ^= 0x20  # "the Component as signed"
crc = zlib.crc32(bytes(data[start:start + info.file_size]))
struct.pack_into('<I', data, local + 14, crc)
end = data.rfind(b'PK\x05\x06')
count, _, central = struct.unpack_from('<HII', data, end + 10)
for _ in range(count):
    n, e, c = struct.unpack_from('<HHH', data, central + 28)
    if struct.unpack_from('<I', data, central + 42)[0] == local:
        struct.pack_into('<I', data, central + 16, crc)
    central += 46 + n + e + c
open(changed, 'wb').write(data)
PY
python3 -c "import sys, zipfile; sys.exit(zipfile.ZipFile('$changed').testzip() is not None)"
if osslsigncode verify -in "$changed" > "$work/verify.txt" 2>&1; then
  echo "make_signed_install_package: osslsigncode still accepts the changed package" >&2
  exit 1
fi
