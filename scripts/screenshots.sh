#!/usr/bin/env bash
# Renders every dialog of the stub in English, Japanese and Chinese under Xvfb
# into docs/screenshots/<dialog>-<language>.png.
#   scripts/screenshots.sh [WINDOWS_BUILD_DIR]   (default: build/win, built by scripts/build.sh win)
# Uses its own Wine bench (prefix, display, CJK font links) and stops it again.
set -euo pipefail
source "$(dirname "$0")/fail_trap.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/win}" && pwd)
shots=$build/bin/uishots.exe
out=$root/docs/screenshots
[ -f "$shots" ] || { echo "screenshots: $shots missing (build the Windows tree first)" >&2; exit 1; }
command -v convert >/dev/null || { echo "screenshots: imagemagick's convert is missing" >&2; exit 1; }

state=$(mktemp -d /tmp/brx-shots.XXXXXX)
cleanup() { "$root/tests/wine/bench.sh" stop "$state" >/dev/null 2>&1 || true; rm -rf "$state"; }
trap cleanup EXIT
"$root/tests/wine/bench.sh" start "$state" "$root/build/win/bin/deskhold.exe"
source "$root/tests/wine/wine-env.sh" "$state"

mkdir -p "$out"
# Wine takes the user interface language (and the rich edit's code page) from the locale.
declare -A locales=([en]=C.UTF-8 [ja]=ja_JP.UTF-8 [zh]=zh_CN.UTF-8)
failed=0
for lang in en ja zh; do
  for dialog in main main-large contents usage progress license message; do
    bmp=$state/$dialog-$lang.bmp
    if LC_ALL=${locales[$lang]} LANG=${locales[$lang]} timeout 60 \
         /usr/lib/wine/wine64 "$shots" "$dialog" "Z:${bmp//\//\\}" && [ -s "$bmp" ]; then
      convert "$bmp" -strip "$out/$dialog-$lang.png"
      echo "screenshots: $out/$dialog-$lang.png"
    else
      echo "screenshots: $dialog ($lang) failed" >&2
      failed=1
    fi
  done
done
exit $failed
