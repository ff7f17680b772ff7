#!/usr/bin/env bash
# The stub must run on a bare Windows server: a GUI-subsystem PE32+ whose only
# imports are DLLs that ship with Windows (crypt32 and bcrypt check the
# package's signature; ntdll, loaded into every process, opens
# files relative to a held folder; netapi32 asks whether a folder's owner is
# an administrator).
# Usage: stub_imports.sh STUB.exe
set -u
stub=$1
dump=$(x86_64-w64-mingw32-objdump -p "$stub") || exit 1
status=0
grep -q 'Magic.*020b' <<<"$dump" || { echo "not PE32+"; status=1; }
grep -q 'Subsystem.*Windows GUI' <<<"$dump" || { echo "not a GUI program"; status=1; }
allowed='^(kernel32|user32|gdi32|advapi32|netapi32|shell32|ole32|oleaut32|comctl32|comdlg32|msvcrt|version|shlwapi|uxtheme|rpcrt4|bcrypt|crypt32|ntdll|ucrtbase)\.dll$'
while read -r dll; do
  lower=$(tr 'A-Z' 'a-z' <<<"$dll")
  if [[ ! $lower =~ $allowed ]]; then
    echo "imports $dll, which Windows does not ship"
    status=1
  fi
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$dump")
[ $status = 0 ] && echo "GUI PE32+ importing only Windows DLLs: $(sed -n 's/^\s*DLL Name: //p' <<<"$dump" | tr '\n' ' ')"
exit $status
