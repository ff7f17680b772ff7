#!/usr/bin/env bash
# Packages whose archives other ZIP tools read in a way of their own, made on
# the build machine with Python's zipfile and checked against Info-ZIP unzip:
#   overlapping.exe     300 entries nested inside each other's stored data
#                       (a 1 MB package that would unpack to some 300 MB)
#   short-directory.exe the end record's directory size one record short
#   utf8-names.exe      names flagged UTF-8 (general-purpose bit 11)
#   unicode-path.exe    ASCII names with Info-ZIP Unicode Path fields
#   zip64.exe           ZIP64 fields on every entry (force_zip64), installs
# Usage: make_archive_packages.sh STUB.exe SETUP.exe OUTPUT-DIR
set -euo pipefail
stub=$1
setup=$2
out=$3
mkdir -p "$out"
python3 - "$stub" "$setup" "$out" <<'PY'
import io, os, struct, sys, zipfile, zlib

stub_path, setup_path, out = sys.argv[1:4]
stub = open(stub_path, 'rb').read()
setup = open(setup_path, 'rb').read()
definition = ('<?xml version="1.0"?>\n<brx_package version="2.0.2.0">\n'
              '  <filename>{0}.exe</filename>\n'
              '  <installation><install><command>setup.exe</command></install></installation>\n'
              '</brx_package>\n')


def package(name, extra_entries):
    """The stub with an archive appended by zipfile, offsets absolute."""
    buf = io.BytesIO()
    buf.write(stub)
    with zipfile.ZipFile(buf, 'a', zipfile.ZIP_DEFLATED) as z:
        z.writestr(name + '.xml', definition.format(name))
        z.writestr('setup.exe', setup)
        for info, data in extra_entries:
            z.writestr(info, data)
    return bytearray(buf.getvalue())


def end_record(data):
    at = data.rfind(b'PK\x05\x06')
    return at, struct.unpack_from('<IHHHHIIH', data, at)


def write(name, data):
    with open(os.path.join(out, name + '.exe'), 'wb') as f:
        f.write(data)


# Nested stored entries, innermost first: each one's data is every later
# entry's local header and data, so the headers agree and the names differ.
def nested(count, payload):
    inner = payload
    headers = []
    for i in reversed(range(count)):
        name = ('layer%03d.bin' % i).encode()
        crc = zlib.crc32(inner)
        header = struct.pack('<IHHHHHIIIHH', 0x04034B50, 10, 0, 0, 0, 0x21, crc, len(inner), len(inner),
                             len(name), 0) + name
        headers.append((name, crc, len(inner), header))
        inner = header + inner
    return inner, list(reversed(headers))


base = package('overlapping', [])
at, fields = end_record(base)
directory = fields[6]
body, headers = nested(300, os.urandom(1 << 20))
start = directory
records = b''
offset = start
for name, crc, size, header in headers:
    records += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014B50, 20, 10, 0, 0, 0, 0x21, crc, size, size,
                           len(name), 0, 0, 0, 0, 0x20, offset) + name
    offset += len(header)
old_records = bytes(base[directory:at])
new_directory = start + len(body)
all_records = old_records + records
count = fields[4] + len(headers)
tail = struct.pack('<IHHHHIIH', 0x06054B50, 0, 0, count, count, len(all_records), new_directory, 0)
write('overlapping', bytes(base[:directory]) + body + all_records + tail)

# One record beyond the size: tools that trust the size hide it, tools that
# count records show it.
short = package('short-directory', [('hidden.txt', b'not in the directory size')])
at, fields = end_record(short)
last = short.rfind(b'PK\x01\x02', fields[6], at)
struct.pack_into('<I', short, at + 12, last - fields[6])
write('short-directory', short)

write('utf8-names', package('utf8-names', [('r\u00e9sum\u00e9.txt', b'flagged'),
                                           ('\u65e5\u672c/\u8aac\u660e.txt', b'flagged')]))


def unicode_path(stored, name):
    info = zipfile.ZipInfo(stored)
    field = b'\x01' + struct.pack('<I', zlib.crc32(stored.encode())) + name.encode()
    info.extra = struct.pack('<HH', 0x7075, len(field)) + field
    return info


def zip64(name):
    buf = io.BytesIO()
    buf.write(stub)
    with zipfile.ZipFile(buf, 'a', zipfile.ZIP_DEFLATED) as z:
        for entry, data in ((name + '.xml', definition.format(name).encode()), ('setup.exe', setup)):
            with z.open(entry, 'w', force_zip64=True) as f:
                f.write(data)
    return buf.getvalue()


write('zip64', zip64('zip64'))

write('unicode-path', package('unicode-path', [(unicode_path('resume.txt', 'r\u00e9sum\u00e9.txt'), b'field'),
                                               (unicode_path('nihon/setsumei.txt', '\u65e5\u672c/\u8aac\u660e.txt'),
                                                b'field')]))
PY
# The names other tools show: what the stub must write.
for p in utf8-names unicode-path; do
  names=$(LC_ALL=C.UTF-8 unzip -Z1 "$out/$p.exe" 2>/dev/null | LC_ALL=C sort | tr '\n' ' ')
  expected=$(printf '%s\n' "$p.xml" résumé.txt setup.exe 日本/説明.txt | LC_ALL=C sort | tr '\n' ' ')
  [ "$names" = "$expected" ] || { echo "make_archive_packages: unzip shows $p.exe as: $names" >&2; exit 1; }
done
