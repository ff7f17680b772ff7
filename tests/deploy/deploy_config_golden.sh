#!/usr/bin/env bash
# brxpack deploy-config on the sample package, for every tool, against the
# expected files in golden/. With --update the files are written instead.
#   deploy_config_golden.sh BRXPACK [--update]
set -euo pipefail
brxpack=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
here=$(cd "$(dirname "$0")" && pwd)
comp="$here/../../sample/component"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
echo 'a setup program' >setup.exe
"$brxpack" build -o brxsample.exe "brxsample.xml=$comp/brxsample.xml" "zt_data.xml=$comp/zt_data.xml" \
  "sample.cfg=$comp/sample.cfg" setup.exe=setup.exe >/dev/null
status=0
for tool in intune configmgr winget chocolatey dsc ansible; do
  "$brxpack" deploy-config --tool $tool brxsample.exe >"$tool.txt"
  if [ "${2:-}" = --update ]; then
    cp "$tool.txt" "$here/golden/$tool.txt"
  elif ! diff -u "$here/golden/$tool.txt" "$tool.txt"; then
    echo "deploy-config --tool $tool differs from golden/$tool.txt" >&2
    status=1
  fi
done
# A package no detection rule can be made for is refused with a reason.
sed 's/<version value="1.2.3.4"\/>//' "$comp/brxsample.xml" >noversion.xml
"$brxpack" build -o noversion.exe brxsample.xml=noversion.xml setup.exe=setup.exe 2>/dev/null
if "$brxpack" deploy-config --tool intune noversion.exe >/dev/null 2>err.txt || ! grep -q 'names no version' err.txt; then
  echo "a package without a version was not refused:" >&2
  cat err.txt >&2
  status=1
fi
# A file name holding NEL (a line end to YAML 1.1) is refused with the field named.
cp brxsample.exe "$(printf 'brx\302\205sample.exe')"
if "$brxpack" deploy-config --tool ansible "$(printf 'brx\302\205sample.exe')" >/dev/null 2>err.txt ||
    ! grep -q 'the package file name .* holds U+0085' err.txt; then
  echo "a package file name holding NEL was not refused:" >&2
  cat err.txt >&2
  status=1
fi
exit $status
