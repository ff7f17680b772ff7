#!/usr/bin/env bash
# Builds brxstub.exe once more from a copy of the source tree at another path
# and fails unless it is byte-identical to the stub of the tree under test:
# anyone can check that a signed stub came from the source they reviewed.
#   stub_twice.sh SOURCE_DIR STUB_EXE WORK_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
stub=$2
# Absolute: cmake reads a relative toolchain path from the build folder.
mkdir -p "$3"
copy=$(cd "$3" && pwd)/copy-at-another-path
source "$src/scripts/fail_trap.sh"
# ccache may serve repeated runs, but must not rewrite paths to relative ones:
# that would hide a build path that leaks into the stub.
unset CCACHE_BASEDIR
# A fresh copy each run, its files dated now (-m): kept dates could look older
# than the copy's objects from an earlier run and leave them stale.
rm -rf "$copy/src"
mkdir -p "$copy/src"
tar -C "$src" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$copy/src" -xmf -
if [ ! -f "$copy/build/build.ninja" ]; then
  cmake -S "$copy/src" -B "$copy/build" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DBRX_BUILD_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$copy/src/cmake/mingw-w64-x86_64.cmake" >/dev/null
fi
cmake --build "$copy/build" --target brxstub -j "${BRX_JOBS:-2}" >/dev/null
a=$(sha256sum < "$stub")
b=$(sha256sum < "$copy/build/bin/brxstub.exe")
echo "tree under test: $a"
echo "copy:            $b"
if [ "$a" != "$b" ]; then
  cmp -l "$stub" "$copy/build/bin/brxstub.exe" | head -20 >&2 || true
  echo "stub_twice: the two builds differ" >&2
  exit 1
fi
