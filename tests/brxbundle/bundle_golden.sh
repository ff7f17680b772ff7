#!/usr/bin/env bash
# brxpack bundle of three member packages, then inspect (text and JSON) and
# deploy-config for every tool on it, against the expected files in golden/.
# With --update the files are written instead.
#   bundle_golden.sh BRXPACK [--update]
set -euo pipefail
brxpack=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
echo 'a setup program' >setup.exe
echo 'MZ stand-in stub' >stub.exe
echo 'MZ stand-in runner' >runner.exe
for m in bios nic raid; do
  cat >cp_$m.xml <<XML
<?xml version="1.0" encoding="UTF-8"?>
<brx_package version="2.0.2.0">
  <filename>cp_$m.exe</filename>
  <version value="3.1.$((${#m} + 4))"/>
  <name><name_xlate lang="en">Server $m update</name_xlate></name>
  <sw_keys><sw_keys_and><sw_key name="SRV_${m^^}"><sw_key_expectedpath>firmware:$m</sw_key_expectedpath></sw_key></sw_keys_and></sw_keys>
  <installation><install><command>setup.exe</command></install></installation>
</brx_package>
XML
done
# Entries carry their files' times: fixed ones give the same bytes, and the
# same digests in the manifest, on every run.
touch -d '2026-01-01 00:00:00' ./*.xml setup.exe stub.exe runner.exe
for m in bios nic raid; do "$brxpack" build -o cp_$m.exe cp_$m.xml setup.exe >/dev/null; done
"$brxpack" bundle -o window.exe --name "Q1 maintenance window" --version 2026.1 --stub stub.exe \
  --runner runner.exe cp_bios.exe:restart-first cp_raid.exe cp_nic.exe:continue
"$brxpack" inspect window.exe >inspect.txt
"$brxpack" inspect --json window.exe >inspect.json
outputs=(inspect.txt inspect.json)
for tool in intune configmgr winget chocolatey dsc ansible; do
  "$brxpack" deploy-config --tool $tool window.exe >deploy-$tool.txt
  outputs+=(deploy-$tool.txt)
done
status=0
for f in "${outputs[@]}"; do
  if [ "${2:-}" = --update ]; then
    cp "$f" "$here/golden/$f"
  elif ! diff -u "$here/golden/$f" "$f"; then
    echo "$f differs from golden/$f" >&2
    status=1
  fi
done
exit $status
