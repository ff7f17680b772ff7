#!/usr/bin/env bash
# What could make two builds of one commit differ, checked in seconds against
# the tree's own build instead of building the whole stub again
# (stub_twice.sh does that):
#   1. no path of the build machine (source, build folder, toolchain) is in
#      the stub, in either string encoding;
#   2. its PE header carries no time stamp;
#   3. linking the tree's own objects again, elsewhere, gives the same bytes;
#   4. the entry and the resource script, compiled from a copy of the source
#      at another path with the tree's own commands, give the same objects.
#   stub_quick.sh SOURCE_DIR BUILD_DIR STUB_EXE WORK_DIR
set -euo pipefail
src=$(cd "$1" && pwd) build=$(cd "$2" && pwd) stub=$(realpath "$3") work=$4
source "$src/scripts/fail_trap.sh"
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
status=0
fail() { echo "stub_quick: $*" >&2; status=1; }

# 1. Paths of the build machine.
texts=$( { strings -a -n 6 "$stub"; strings -a -n 6 -el "$stub"; } )
for p in "$src" "$build" /usr/lib/gcc /usr/share/mingw-w64 /usr/x86_64-w64-mingw32 /usr/include /opt/brx-deps; do
  if grep -qF -- "$p" <<<"$texts"; then fail "the stub holds the build path $p"; fi
done

# 2. The time stamp of the PE header (its checksum follows from the bytes).
python3 - "$stub" <<'PY' || status=1
import struct, sys
data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
stamp = struct.unpack_from("<I", data, pe + 8)[0]
if stamp:
    sys.exit(f"stub_quick: the PE header has the time stamp {stamp:#x}")
PY

# The tree's own commands, as ninja runs them; a copy of the source at
# another path for them to compile.
stub_rel=${stub#"$build"/}
commands=$(cd "$build" && ninja -t commands "$stub_rel")
copy=$work/copy-at-another-path
mkdir -p "$copy"
tar -C "$src" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$copy" -xf -
# Source paths move to the copy; the build folder (generated headers) stays.
moved() { sed -e "s|$build|@BUILD@|g" -e "s|$src|$copy|g" -e "s|@BUILD@|$build|g"; }
# No cache: an object served from it would not show what this path gives.
export CCACHE_DISABLE=1

# 3. The link again, into the work folder (its import library too, so
# nothing of the tree is written).
link=$(tail -n 1 <<<"$commands")
[[ "$link" == *" -o $stub_rel "* ]] || fail "cannot find the stub's link command"
link=${link/ -o $stub_rel / -o $work/relinked.exe }
link=$(sed -E "s|--out-implib,[^ ]+|--out-implib,$work/relinked.dll.a|" <<<"$link")
(cd "$build" && eval "$link") || fail "the link again failed"
cmp -s "$stub" "$work/relinked.exe" || fail "linking the same objects again gives other bytes"

# 4. The entry and the resource script from the copy: every mention of the
# object (output, dependency file) goes to the work folder.
for pattern in 'stub_win\.cc\.obj' 'brxstub\.rc\.res'; do
  compile=$(grep -E -- "[^ ]*/$pattern( |$)" <<<"$commands" | grep -vF -- " -o $stub_rel " | head -n 1) || true
  [ -n "$compile" ] || { fail "no compile command makes $pattern"; continue; }
  object=$(grep -oE -- "[^ ]*/$pattern( |$)" <<<"$compile" | head -n 1)
  object=${object% }
  again="$work/$(basename "$object")"
  line=$(moved <<<"$compile")
  line=${line//$object/$again}
  (cd "$build" && eval "$line") || { fail "compiling $object from the copy failed"; continue; }
  cmp -s "$build/$object" "$again" || fail "$object differs when compiled at another path"
done

[ $status = 0 ] && echo "stub_quick: no build path, no time stamp; the link and the compiles elsewhere are identical"
exit $status
