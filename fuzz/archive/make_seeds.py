"""Writes the seed packages of the archive fuzzer into the given directory."""
import io
import os
import struct
import sys
import zipfile

out = sys.argv[1]
os.makedirs(out, exist_ok=True)


def archive(method, names, comment=b""):
    buf = io.BytesIO()
    buf.write(b"MZ" + bytes(range(64)))  # a stub before the archive
    with zipfile.ZipFile(buf, "a", method) as z:
        for name in names:
            z.writestr(name, (name * 40).encode())
        z.comment = comment
    return buf.getvalue()


def signed(names):
    """A PE32+ image whose certificate table follows the archive; the end of
    the table holds a second archive, as a forger would grow it."""
    image = bytearray(512)
    image[0:2] = b"MZ"
    struct.pack_into("<I", image, 0x3C, 0x40)
    image[0x40:0x44] = b"PE\0\0"
    struct.pack_into("<H", image, 0x40 + 20, 240)
    struct.pack_into("<H", image, 0x58, 0x20B)
    struct.pack_into("<I", image, 0x58 + 108, 16)
    buf = io.BytesIO()
    buf.write(bytes(image))
    with zipfile.ZipFile(buf, "a", zipfile.ZIP_DEFLATED) as z:
        for name in names:
            z.writestr(name, (name * 40).encode())
    data = bytearray(buf.getvalue())
    data += bytes(-len(data) % 8)
    table = len(data)
    data += struct.pack("<IHH", 0, 0x200, 2) + bytes(64)
    # Built after placeholder bytes, so its offsets count from the file's start.
    buf = io.BytesIO(bytes(len(data)))
    with zipfile.ZipFile(buf, "a", zipfile.ZIP_STORED) as z:
        z.writestr("swapped.txt", b"unsigned")
    data += buf.getvalue()[len(data):]
    data += bytes(-len(data) % 8)
    struct.pack_into("<I", data, table, len(data) - table)
    struct.pack_into("<II", data, 0x58 + 112 + 4 * 8, table, len(data) - table)
    return bytes(data)


seeds = {
    "signed.bin": signed(["pkg.xml", "setup.exe"]),
    "stored.bin": archive(zipfile.ZIP_STORED, ["a.txt", "sub/", "sub/b.txt"]),
    "deflated.bin": archive(zipfile.ZIP_DEFLATED, ["zt_data.xml", "setup.exe"], b"comment"),
    "signed-tail.bin": archive(zipfile.ZIP_DEFLATED, ["x"]) + b"\x30\x82" + bytes(300),
    "empty.bin": archive(zipfile.ZIP_STORED, []),
}
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
