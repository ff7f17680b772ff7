#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine, as root.
# Idempotent: a second run finds everything in place and costs a few seconds.
set -euo pipefail
source "$(dirname "$0")/fail_trap.sh"

# Where the cross-built expat is cached; outside the repo so a fresh clone reuses it.
BRX_DEPS=${BRX_DEPS:-/opt/brx-deps}
export DEBIAN_FRONTEND=noninteractive

packages=(
  build-essential cmake ninja-build pkg-config
  zlib1g-dev libexpat1-dev googletest libgtest-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libz-mingw-w64-dev
  wine64 xvfb x11-utils imagemagick fonts-wqy-microhei
  clang libclang-rt-14-dev
  zip unzip osslsigncode openssl libssl-dev python3 dpkg-dev locales
  nlohmann-json3-dev ansible ansible-lint ccache
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
# The Windows expat is rebuilt when the recipe below changes.
expat_stamp="$BRX_DEPS/expat-mingw/brx-build"
expat_want="recipe 2"
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
if [ ! -f "$expat_lib" ] || [ "$(cat "$expat_stamp" 2>/dev/null)" != "$expat_want" ]; then
  echo "setup: cross-building expat for Windows into $BRX_DEPS/expat-mingw"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (
    cd "$work"
    if ! apt-get source --download-only expat/bookworm >/dev/null 2>&1; then
      apt-get update -q
      apt-get source --download-only expat/bookworm
    fi
    dsc=$(ls expat_*.dsc | head -n 1)
    dpkg-source -x "$dsc" src >/dev/null
    cfg=src/expat/expat_config.h.cmake
    [ -f "$cfg" ] || cfg=$(find src -name expat_config.h.cmake | head -n 1)
    # Debian's patches test XML_DTD == 1, so the two switches need a value.
    sed -i -e 's/^#cmakedefine XML_DTD$/#define XML_DTD 1/' \
           -e 's/^#cmakedefine XML_NS$/#define XML_NS 1/' "$cfg"
    srcdir=$(dirname "$cfg")
    cmake -S "$srcdir" -B build -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$OLDPWD/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_C_FLAGS=-D__USE_MINGW_ANSI_STDIO=0 \
      -DCMAKE_INSTALL_PREFIX="$BRX_DEPS/expat-mingw" \
      -DEXPAT_CHAR_TYPE=wchar_t -DEXPAT_SHARED_LIBS=OFF \
      -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
      -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_FUZZERS=OFF -DEXPAT_BUILD_PKGCONFIG=OFF \
      -DEXPAT_WITH_LIBBSD=OFF >/dev/null
    cmake --build build >/dev/null
    # Moved into place file by file with renames: a build linking meanwhile
    # sees the old library or the new one, never half of one.
    rm -rf "$BRX_DEPS/expat-mingw.new"
    cmake --install build --prefix "$BRX_DEPS/expat-mingw.new" >/dev/null
    (cd "$BRX_DEPS/expat-mingw.new" && find . -type f) | while read -r f; do
      mkdir -p "$(dirname "$BRX_DEPS/expat-mingw/$f")"
      mv -f "$BRX_DEPS/expat-mingw.new/$f" "$BRX_DEPS/expat-mingw/$f"
    done
    rm -rf "$BRX_DEPS/expat-mingw.new"
  )
  rm -rf "$work"
  trap - EXIT
  test -f "$expat_lib"
  echo "$expat_want" > "$expat_stamp"
fi
echo "setup: ok"
