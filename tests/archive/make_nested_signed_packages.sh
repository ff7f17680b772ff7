#!/usr/bin/env bash
# Packages with nested Authenticode signatures, from throw-away self-signed
# certificates:
#   dual.exe    signed with SHA-1, a SHA-256 signature nested in it
#               (osslsigncode -nest, as signtool /as): both intact
#   forged.exe  the package changed after the first signer signed it, then
#               signed by a second signer, the first signature kept nested:
#               the outer signature is intact, the nested one's digest is not
#               the file's
# The change is one byte of the archive comment, so both still open.
# Usage: make_nested_signed_packages.sh STUB.exe OUTPUT-DIR [PAYLOAD_DIR]
set -euo pipefail
stub=$1
out=$2
payload=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
rm -f "$out/dual.exe" "$out/forged.exe"
if [ -n "$payload" ]; then
  (cd "$payload" && zip -q -r -0 "$work/payload.zip" .)
else
  mkdir -p "$work/payload"
  echo '<brx_package/>' > "$work/payload/package.xml"
  seq 1 3000 > "$work/payload/data.txt"
  (cd "$work/payload" && zip -q ../payload.zip package.xml data.txt)
fi
echo 'as signed' | zip -q -z "$work/payload.zip"
cat "$stub" "$work/payload.zip" > "$work/unsigned.exe"
zip -q -A "$work/unsigned.exe"
for signer in first second; do
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=brx $signer signer" \
    -keyout "$work/$signer.key" -out "$work/$signer.pem" 2>/dev/null
done
sign() {  # signer, digest, input, output, extra options...
  local signer=$1 digest=$2 input=$3 output=$4
  shift 4
  osslsigncode sign "$@" -certs "$work/$signer.pem" -key "$work/$signer.key" -h "$digest" \
    -n 'brx test package' -in "$input" -out "$output" >/dev/null
}
sign first sha1 "$work/unsigned.exe" "$work/first.exe"
sign second sha256 "$work/first.exe" "$out/dual.exe" -nest

# The forger's package: changed, signed anew, the first signature grafted
# into the new signer's unsigned attributes (which no signature covers).
python3 - "$work/unsigned.exe" "$work/changed.exe" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
data[-2] ^= 0x20  # the comment's last letter
open(sys.argv[2], 'wb').write(data)
PY
sign second sha256 "$work/changed.exe" "$work/second.exe"
osslsigncode extract-signature -in "$work/first.exe" -out "$work/first.der" >/dev/null
osslsigncode extract-signature -in "$work/second.exe" -out "$work/second.der" >/dev/null
python3 - "$work/second.der" "$work/first.der" "$work/forged.der" <<'PY'
import sys

def read(b, i):
    tag, length, i = b[i], b[i + 1], i + 2
    if length & 0x80:
        n = length & 0x7F
        length, i = int.from_bytes(b[i:i + n], 'big'), i + n
    return tag, b[i:i + length], i + length

def children(content):
    out, i = [], 0
    while i < len(content):
        tag, value, i = read(content, i)
        out.append((tag, value))
    return out

def encode(tag, value):
    n = len(value)
    length = bytes([n]) if n < 0x80 else bytes([0x80 | ((n.bit_length() + 7) // 8)]) + n.to_bytes((n.bit_length() + 7) // 8, 'big')
    return bytes([tag]) + length + value

def join(items):
    return b''.join(encode(t, v) for t, v in items)

outer = open(sys.argv[1], 'rb').read()
nested = open(sys.argv[2], 'rb').read()
_, info, _ = read(outer, 0)                       # ContentInfo
info = children(info)                             # [oid, [0]]
signed = children(children(info[1][1])[0][1])     # SignedData
signer_infos = children(signed[-1][1])
signer = children(signer_infos[0][1])
oid = bytes.fromhex('060a2b060104018237020401')   # 1.3.6.1.4.1.311.2.4.1
attribute = encode(0x30, oid + encode(0x31, nested))
signer.append((0xA1, attribute))
signer_infos[0] = (0x30, join(signer))
signed[-1] = (0x31, join(signer_infos))
info[1] = (0xA0, encode(0x30, join(signed)))
open(sys.argv[3], 'wb').write(encode(0x30, join(info)))
PY
# osslsigncode attaches it, and then fails its own check of the result.
osslsigncode attach-signature -sigin "$work/forged.der" -in "$work/changed.exe" -out "$out/forged.exe" \
  >/dev/null 2>&1 || true
# osslsigncode itself must see the nested signature's digest mismatch.
osslsigncode verify -in "$out/forged.exe" > "$work/verify.txt" 2>&1 || true
if ! grep -q 'MISMATCH' "$work/verify.txt"; then
  echo "make_nested_signed_packages: osslsigncode does not see the forged nested signature" >&2
  cat "$work/verify.txt" >&2
  exit 1
fi
