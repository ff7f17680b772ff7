#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine, as root.
# Idempotent: a second run finds everything in place and costs a few seconds.
set -euo pipefail
source "$(dirname "$0")/fail_trap.sh"
# The repository this script belongs to, wherever it was started from.
root=$(cd "$(dirname "$0")/.." && pwd)

# Where the cross-built expat is cached; outside the repo so a fresh clone reuses it.
BRX_DEPS=${BRX_DEPS:-/opt/brx-deps}
export DEBIAN_FRONTEND=noninteractive

packages=(
  build-essential cmake ninja-build pkg-config
  zlib1g-dev libexpat1-dev googletest libgtest-dev
  g++-mingw-w64-x86-64-win32 gcc-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
  wine64 xvfb x11-utils imagemagick fonts-wqy-microhei
  clang libclang-rt-14-dev
  zip unzip osslsigncode openssl libssl-dev python3 dpkg-dev locales
  nlohmann-json3-dev libyaml-cpp-dev ansible ansible-lint ccache
  unicode-data
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# expat's source package needs deb-src lines; Debian 12 ships deb822 sources.
sources=/etc/apt/sources.list.d/debian.sources
need_update=0
if [ -f "$sources" ] && grep -q '^Types: deb$' "$sources"; then
  sed -i 's/^Types: deb$/Types: deb deb-src/' "$sources"
  need_update=1
fi

expat_lib="$BRX_DEPS/expat-mingw/lib/libexpatw.a"
# The Windows expat is rebuilt when the recipe below changes or the mirror
# serves a newer source; the stamp records what it was built from (the build
# puts that into the stub's version resource and its bill of materials).
expat_stamp="$BRX_DEPS/expat-mingw/brx-build"
expat_recipe="recipe=5"
if [ ${#missing[@]} -gt 0 ] || { [ ! -f "$expat_lib" ] && [ $need_update = 1 ]; }; then
  apt-get update -q
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  apt-get install -y -q "${missing[@]}"
fi

# The native expat (unit tests, fuzzers, brxpack) follows Debian's newest
# update, not only what was installed once: the tests and fuzzers must run a
# parser at least as patched as the one the stub ships. Cheap when current.
expat_behind=()
for p in libexpat1 libexpat1-dev; do
  installed=$(dpkg-query -W -f='${Version}' "$p" 2>/dev/null || true)
  candidate=$(apt-cache policy "$p" | awk '/Candidate:/ {print $2}')
  if [ -n "$candidate" ] && [ "$candidate" != "(none)" ] && [ "$installed" != "$candidate" ]; then
    expat_behind+=("$p=$candidate")
  fi
done
if [ ${#expat_behind[@]} -gt 0 ]; then
  echo "setup: updating ${expat_behind[*]}"
  apt-get install -y -q "${expat_behind[@]}"
fi

# A Japanese locale lets the rich edit control show Japanese text under Wine;
# the Chinese one does the same for the Chinese screenshots.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 || true
fi
if ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
  localedef -i zh_CN -f UTF-8 zh_CN.UTF-8 || true
fi

# expat for Windows: a static library that delivers UTF-16 (XML_Char = wchar_t),
# built from Debian's own source package so Debian's security patches apply.
# Its only printf is debug output: the C library's plain stdio for it keeps
# MinGW's float-capable printf (some 20 KB) out of the stub.
#
# The source is the newest one the mirror serves for this release, looked for
# in bookworm-security, then bookworm-updates, then bookworm (an equal version
# is taken from the suite named first). A suite whose index names a version
# the mirror cannot deliver is passed over for the next.
expat_suites=(bookworm-security bookworm-updates bookworm)
expat_candidates() {  # "suite version" lines, newest first
  local suite version listed=() sources
  sources=$(apt-cache madison expat | awk '$NF == "Sources" {print $6, $3}')
  for suite in "${expat_suites[@]}"; do
    version=$(awk -v s="$suite/" 'index($1, s) == 1 {print $2; exit}' <<<"$sources")
    [ -n "$version" ] && listed+=("$suite $version")
  done
  local i j
  for ((i = 1; i < ${#listed[@]}; i++)); do
    for ((j = i; j > 0; j--)); do
      dpkg --compare-versions "${listed[j]#* }" gt "${listed[j-1]#* }" || break
      local t=${listed[j]}; listed[j]=${listed[j-1]}; listed[j-1]=$t
    done
  done
  [ ${#listed[@]} -gt 0 ] && printf '%s\n' "${listed[@]}"
}

build_windows_expat() {  # work dir holding the unpacked source in src/
  local work=$1
  cfg=$work/src/expat/expat_config.h.cmake
  [ -f "$cfg" ] || cfg=$(find "$work/src" -name expat_config.h.cmake | head -n 1)
  # Debian's patches test XML_DTD == 1, so the switch needs a value; the DTD
  # code carries the amplification limits the reader sets. Namespace
  # processing is left out: the reader makes a plain parser, and the
  # namespace-aware tokenizer copies would only add to the stub.
  sed -i -e 's/^#cmakedefine XML_DTD$/#define XML_DTD 1/' \
         -e 's/^#cmakedefine XML_NS$//' "$cfg"
  # Optimised for size: the stub parses a few kilobytes of XML once, and
  # expat built for speed (-O3) is a third of the stub. Its small-size
  # option keeps one copy of the tokenizer instead of one per encoding
  # (19 KB less; slower per byte, which a few kilobytes never notice).
  cmake -S "$(dirname "$cfg")" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DEXPAT_NS=OFF -DEXPAT_MIN_SIZE=ON \
    -DCMAKE_C_FLAGS=-D__USE_MINGW_ANSI_STDIO=0 \
    -DCMAKE_INSTALL_PREFIX="$BRX_DEPS/expat-mingw" \
    -DEXPAT_CHAR_TYPE=wchar_t -DEXPAT_SHARED_LIBS=OFF \
    -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
    -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_FUZZERS=OFF -DEXPAT_BUILD_PKGCONFIG=OFF \
    -DEXPAT_WITH_LIBBSD=OFF >/dev/null
  cmake --build "$work/build" >/dev/null
  # Moved into place file by file with renames: a build linking meanwhile
  # sees the old library or the new one, never half of one.
  rm -rf "$BRX_DEPS/expat-mingw.new"
  cmake --install "$work/build" --prefix "$BRX_DEPS/expat-mingw.new" >/dev/null
  (cd "$BRX_DEPS/expat-mingw.new" && find . -type f) | while read -r f; do
    mkdir -p "$(dirname "$BRX_DEPS/expat-mingw/$f")"
    mv -f "$BRX_DEPS/expat-mingw.new/$f" "$BRX_DEPS/expat-mingw/$f"
  done
  rm -rf "$BRX_DEPS/expat-mingw.new"
  test -f "$expat_lib"
}

candidates=$(expat_candidates || true)
if [ -z "$candidates" ]; then
  apt-get update -q
  candidates=$(expat_candidates || true)
fi
[ -n "$candidates" ] || { echo "setup: the package mirror lists no expat source" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
expat_ready=0
while read -r suite version; do
  want=$(printf '%s\nsuite=%s\nversion=%s' "$expat_recipe" "$suite" "$version")
  if [ -f "$expat_lib" ] && [ "$(cat "$expat_stamp" 2>/dev/null)" = "$want" ]; then
    expat_ready=1
    break
  fi
  rm -rf "${work:?}"/*
  # The suite's own source, exactly the version its index names.
  if ! (cd "$work" && apt-get source --download-only "expat/$suite" >/dev/null 2>&1 &&
        grep -q "^Version: $version\$" expat_*.dsc); then
    echo "setup: the mirror does not deliver expat $version of $suite; trying the next suite"
    continue
  fi
  echo "setup: cross-building expat $version ($suite) for Windows into $BRX_DEPS/expat-mingw"
  dpkg-source -x "$(ls "$work"/expat_*.dsc | head -n 1)" "$work/src" >/dev/null
  build_windows_expat "$work"
  # Renamed into place: a configure reading the stamp sees the old or the new one.
  echo "$want" > "$expat_stamp.new"
  mv -f "$expat_stamp.new" "$expat_stamp"
  expat_ready=1
  break
done <<<"$candidates"
rm -rf "$work"
trap - EXIT
[ $expat_ready = 1 ] || { echo "setup: no expat source could be fetched" >&2; exit 1; }
# yaml-cpp for Windows (brxpack.exe writes YAML settings with its emitter): a
# static library from Debian's source package, as the native build links
# Debian's own. Rebuilt when the recipe or the source version changes.
yamlcpp_dir="$BRX_DEPS/yaml-cpp-mingw"
yamlcpp_stamp="$yamlcpp_dir/brx-build"
yamlcpp_recipe="recipe=2"  # 2: the Win32 thread model's compiler
yamlcpp_version=$(apt-cache showsrc yaml-cpp 2>/dev/null | awk '/^Version:/ {print $2}' | sort -V | tail -n 1)
[ -n "$yamlcpp_version" ] || { echo "setup: the package mirror lists no yaml-cpp source" >&2; exit 1; }
yamlcpp_want=$(printf '%s\nversion=%s' "$yamlcpp_recipe" "$yamlcpp_version")
if [ ! -f "$yamlcpp_dir/lib/libyaml-cpp.a" ] || [ "$(cat "$yamlcpp_stamp" 2>/dev/null)" != "$yamlcpp_want" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  echo "setup: cross-building yaml-cpp $yamlcpp_version for Windows into $yamlcpp_dir"
  (cd "$work" && apt-get source --download-only "yaml-cpp=$yamlcpp_version" >/dev/null 2>&1)
  dpkg-source -x "$(ls "$work"/yaml-cpp_*.dsc | head -n 1)" "$work/src" >/dev/null
  cmake -S "$work/src" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DYAML_BUILD_SHARED_LIBS=OFF -DYAML_CPP_BUILD_TESTS=OFF -DYAML_CPP_BUILD_TOOLS=OFF \
    -DYAML_CPP_BUILD_CONTRIB=OFF -DYAML_CPP_INSTALL=ON >/dev/null
  cmake --build "$work/build" >/dev/null
  # Installed beside and renamed into place, as expat above.
  rm -rf "$yamlcpp_dir.new"
  cmake --install "$work/build" --prefix "$yamlcpp_dir.new" >/dev/null
  printf '%s\n' "$yamlcpp_want" > "$yamlcpp_dir.new/brx-build"
  rm -rf "$yamlcpp_dir.old"
  [ ! -d "$yamlcpp_dir" ] || mv "$yamlcpp_dir" "$yamlcpp_dir.old"
  mv "$yamlcpp_dir.new" "$yamlcpp_dir"
  rm -rf "$yamlcpp_dir.old" "$work"
  trap - EXIT
fi
# zlib for Windows: a static library from Debian's newest zlib source, built
# for size (the Debian MinGW package is built for speed: 39 KB of the stub
# against 25 KB). Only the two loops every extracted byte passes through, the
# inflate fast path and CRC-32, stay optimised for speed. Each function in its
# own section, so a program keeps only what it calls (the stub inflates, the
# tools also deflate). The stamp records the version for the bill of materials.
zlib_dir="$BRX_DEPS/zlib-mingw"
zlib_stamp="$zlib_dir/brx-build"
zlib_recipe="recipe=1"
zlib_cc=$(sed -n 's/^set(CMAKE_C_COMPILER \(.*\))$/\1/p' "$root/cmake/mingw-w64-x86_64.cmake")
# Newest first; an index may name a security update whose files the mirror
# does not hold, so the first version the mirror delivers is built.
zlib_versions=$(apt-cache showsrc zlib 2>/dev/null | awk '/^Version:/ {print $2}' | sort -Vru)
[ -n "$zlib_versions" ] || { echo "setup: the package mirror lists no zlib source" >&2; exit 1; }
zlib_stamped=$(sed -n 's/^version=//p' "$zlib_stamp" 2>/dev/null || true)
zlib_built_with=$(printf '%s\nversion=%s\ncompiler=%s' "$zlib_recipe" "$zlib_stamped" "$zlib_cc")
# Looked at again when the stamp names another recipe or compiler or not the
# newest version listed; rebuilt when what the mirror delivers differs from it.
if [ ! -f "$zlib_dir/lib/libz.a" ] || [ "$(cat "$zlib_stamp" 2>/dev/null)" != "$zlib_built_with" ] ||
   [ "$(head -n 1 <<<"$zlib_versions")" != "$zlib_stamped" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  zlib_version=
  while read -r v; do
    if (cd "$work" && apt-get source --download-only "zlib=$v" >/dev/null 2>&1); then
      zlib_version=$v
      break
    fi
    echo "setup: the mirror does not deliver zlib $v; trying the next version"
    rm -rf "${work:?}"/*
  done <<<"$zlib_versions"
  [ -n "$zlib_version" ] || { echo "setup: no zlib source could be fetched" >&2; exit 1; }
  zlib_want=$(printf '%s\nversion=%s\ncompiler=%s' "$zlib_recipe" "$zlib_version" "$zlib_cc")
  if [ ! -f "$zlib_dir/lib/libz.a" ] || [ "$(cat "$zlib_stamp" 2>/dev/null)" != "$zlib_want" ]; then
    echo "setup: cross-building zlib $zlib_version for Windows into $zlib_dir"
    dpkg-source -x "$(ls "$work"/zlib_*.dsc | head -n 1)" "$work/src" >/dev/null
    rm -rf "$zlib_dir.new"
    mkdir -p "$work/obj" "$zlib_dir.new/lib" "$zlib_dir.new/include"
    for s in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate \
             inftrees trees uncompr zutil; do
      opt=-Os
      case $s in inffast|crc32) opt=-O2 ;; esac
      "$zlib_cc" $opt -DNDEBUG -ffunction-sections -fdata-sections -c "$work/src/$s.c" -o "$work/obj/$s.o"
    done
    # D: no dates or owners in the archive, so two builds give the same stub.
    x86_64-w64-mingw32-ar rcsD "$zlib_dir.new/lib/libz.a" "$work"/obj/*.o
    cp "$work/src/zlib.h" "$work/src/zconf.h" "$zlib_dir.new/include/"
    printf '%s\n' "$zlib_want" > "$zlib_dir.new/brx-build"
    # Swapped in whole, as yaml-cpp above.
    rm -rf "$zlib_dir.old"
    [ ! -d "$zlib_dir" ] || mv "$zlib_dir" "$zlib_dir.old"
    mv "$zlib_dir.new" "$zlib_dir"
    rm -rf "$zlib_dir.old"
  fi
  rm -rf "$work"
  trap - EXIT
fi
echo "setup: ok"
