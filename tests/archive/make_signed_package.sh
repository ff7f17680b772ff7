#!/usr/bin/env bash
# Makes a package the way a release is made, then signs it: an executable, an
# Info-ZIP payload appended and adjusted (zip -A), an Authenticode signature
# from a throw-away self-signed certificate appended by osslsigncode.
# Without PAYLOAD_DIR the payload is a definition stand-in and a text file;
# with it, that folder's files, stored.
# Usage: make_signed_package.sh STUB.exe OUTPUT.exe [PAYLOAD_DIR]
set -euo pipefail
stub=$1
output=$2
payload=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -n "$payload" ]; then
  (cd "$payload" && zip -q -r -0 "$work/payload.zip" .)
else
  mkdir -p "$work/payload/bin"
  echo '<brx_package/>' > "$work/payload/package.xml"
  seq 1 30000 > "$work/payload/bin/data.txt"
  (cd "$work/payload" && zip -q -r ../payload.zip package.xml bin)
fi
cat "$stub" "$work/payload.zip" > "$work/unsigned.exe"
zip -q -A "$work/unsigned.exe"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=brx test signer' \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n 'brx test package' \
  -in "$work/unsigned.exe" -out "$work/signed.exe" >/dev/null
cp "$work/signed.exe" "$output"
