#!/usr/bin/env bash
# Small archives with ZIP64 structures, as producers write them:
#   infozip-fz.zip       Info-ZIP zip -fz: ZIP64 end record, locator and fields
#   infozip-fz-pipe.zip  the same written to a pipe: its end record points at a
#                        ZIP64 record it never wrote (unzip reports it damaged)
#   python-force.zip     Python zipfile, force_zip64: ZIP64 fields in the local headers
#   python-stream.zip    the same to a stream that cannot seek: data descriptors
#                        with 8-byte sizes
# next to a.txt and b.txt, the entries' contents.
# Usage: make_zip64_samples.sh OUTPUT-DIR
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
rm -f ./*.zip
printf 'hello world\n' >a.txt
seq 1 2000 >b.txt
zip -q -fz infozip-fz.zip a.txt b.txt
zip -q -fz - a.txt b.txt | cat >infozip-fz-pipe.zip
python3 - <<'PY'
import io, zipfile

class Stream(io.RawIOBase):
    def __init__(self, path):
        self.f = open(path, 'wb')
    def writable(self):
        return True
    def write(self, b):
        return self.f.write(b)
    def close(self):
        self.f.close()
        super().close()

for name, target in (('python-force.zip', 'python-force.zip'), ('python-stream.zip', Stream('python-stream.zip'))):
    with zipfile.ZipFile(target, 'w', zipfile.ZIP_DEFLATED) as z:
        for entry in ('a.txt', 'b.txt'):
            with z.open(entry, 'w', force_zip64=True) as f:
                f.write(open(entry, 'rb').read())
    if not isinstance(target, str):
        target.close()
PY
for z in infozip-fz python-force python-stream; do
  unzip -tqq "$z.zip" >/dev/null || { echo "make_zip64_samples: unzip rejects $z.zip" >&2; exit 1; }
done
