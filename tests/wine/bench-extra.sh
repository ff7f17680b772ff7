#!/usr/bin/env bash
# Run by bench.sh once the prefix is up (argument: the state directory).
# Japanese and Chinese dialog texts render only with a CJK font: link
# WenQuanYi Micro Hei behind the dialog fonts, and stand it in for the face
# names the translated templates and the description box ask for.
set -eu
state=$(cd "$1" && pwd)
source "$(dirname "$0")/wine-env.sh" "$state"
reg_file="$state/cjk-fonts.reg"
python3 - "$reg_file" <<'PY'
import sys
link = "wqy-microhei.ttc,WenQuanYi Micro Hei"
def multi_sz(*items):
    data = ("\0".join(items) + "\0\0").encode("utf-16-le")
    return "hex(7):" + ",".join("%02x" % b for b in data)
lines = ["Windows Registry Editor Version 5.00", "",
         r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]"]
for face in ("Tahoma", "MS Shell Dlg", "MS Shell Dlg 2", "Microsoft Sans Serif", "MS Sans Serif"):
    lines.append('"%s"=%s' % (face, multi_sz(link)))
lines += ["", r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]"]
for face in ("ＭＳ Ｐゴシック", "MS PGothic", "–宋体", "宋体", "SimSun"):
    lines.append('"%s"="WenQuanYi Micro Hei"' % face)
with open(sys.argv[1], "w", encoding="utf-16") as f:
    f.write("\r\n".join(lines) + "\r\n")
PY
# regedit wants a Windows path; the prefix maps the Unix root to Z:.
/usr/lib/wine/wine64 regedit /S "Z:${reg_file//\//\\}"
