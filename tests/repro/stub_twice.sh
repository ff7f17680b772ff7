#!/usr/bin/env bash
# Builds brxstub.exe twice from copies of the source tree at two different
# paths (different lengths, too) and fails unless both are byte-identical:
# anyone can check that a signed stub came from the source they reviewed.
#   stub_twice.sh SOURCE_DIR WORK_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
work=$2
source "$src/scripts/fail_trap.sh"
# ccache may serve repeated runs, but must not rewrite paths to relative ones:
# that would hide a build path that leaks into the stub.
unset CCACHE_BASEDIR
for copy in "$work/a" "$work/copy-at-a-longer-path"; do
  mkdir -p "$copy/src"
  tar -C "$src" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$copy/src" -xf -
  if [ ! -f "$copy/build/build.ninja" ]; then
    cmake -S "$copy/src" -B "$copy/build" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DBRX_BUILD_TESTS=OFF \
      -DCMAKE_TOOLCHAIN_FILE="$copy/src/cmake/mingw-w64-x86_64.cmake" >/dev/null
  fi
  cmake --build "$copy/build" --target brxstub -j "${BRX_JOBS:-2}" >/dev/null
done
a=$(sha256sum < "$work/a/build/bin/brxstub.exe")
b=$(sha256sum < "$work/copy-at-a-longer-path/build/bin/brxstub.exe")
echo "a: $a"
echo "b: $b"
if [ "$a" != "$b" ]; then
  cmp -l "$work/a/build/bin/brxstub.exe" "$work/copy-at-a-longer-path/build/bin/brxstub.exe" | head -20 >&2 || true
  echo "stub_twice: the two builds differ" >&2
  exit 1
fi
