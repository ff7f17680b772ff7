"""Writes the seed packages of the archive fuzzer into the given directory."""
import io
import os
import struct
import sys
import zipfile
import zlib

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


class Stream(io.RawIOBase):
    """An unseekable file: zipfile then writes data descriptors (flag bit 3)."""

    def __init__(self, buf):
        self.buf = buf

    def writable(self):
        return True

    def write(self, b):
        return self.buf.write(b)


def streamed(names):
    buf = io.BytesIO()
    with zipfile.ZipFile(Stream(buf), "w", zipfile.ZIP_DEFLATED) as z:
        for name in names:
            z.writestr(name, (name * 40).encode())
    return buf.getvalue()


def unicode_path(stored, name):
    """An entry whose Info-ZIP Unicode Path field names `name`."""
    field = b"\x01" + struct.pack("<I", zlib.crc32(stored.encode())) + name.encode()
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w") as z:
        info = zipfile.ZipInfo(stored)
        info.extra = struct.pack("<HH", 0x7075, len(field)) + field
        z.writestr(info, b"renamed")
        z.writestr("setup.exe", b"MZ")
    return buf.getvalue()


def overlapping(count):
    """`count` central records for one local header and its data: the shape
    of a decompression bomb of shared data."""
    data = archive(zipfile.ZIP_STORED, ["a"])
    end = data.rfind(b"PK\x05\x06")
    directory = struct.unpack_from("<I", data, end + 16)[0]
    records = data[directory:end] * count
    tail = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, len(records), directory, 0)
    return data[:directory] + records + tail


def forged_comment():
    """The archive comment holds a second end record, for an empty archive."""
    data = archive(zipfile.ZIP_DEFLATED, ["setup.exe"])
    position = len(data)
    forged = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0, 0, 0, position, 0)
    return data[:-2] + struct.pack("<H", len(forged)) + forged


def zip64(names, stream=False):
    """ZIP64 fields as force_zip64 writes them (8-byte data descriptors when
    streamed), and a ZIP64 end record and locator as Info-ZIP's -fz adds."""
    buf = io.BytesIO()
    if not stream:
        buf.write(b"MZ" + bytes(range(64)))
    with zipfile.ZipFile(Stream(buf) if stream else buf, "w" if stream else "a", zipfile.ZIP_DEFLATED) as z:
        for name in names:
            with z.open(name, "w", force_zip64=True) as f:
                f.write((name * 40).encode())
    data = buf.getvalue()
    end = data.rfind(b"PK\x05\x06")
    _, _, _, here, total, size, directory, _ = struct.unpack_from("<IHHHHIIH", data, end)
    record = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, here, total, size, directory)
    locator = struct.pack("<IIQI", 0x07064B50, 0, end, 1)
    tail = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0)
    return data[:end] + record + locator + tail


seeds = {
    "zip64.bin": zip64(["zt_data.xml", "setup.exe"]),
    "zip64-streamed.bin": zip64(["a.txt", "sub/b.txt"], stream=True),
    "streamed.bin": streamed(["zt_data.xml", "sub/setup.exe"]),
    "utf8-name.bin": archive(zipfile.ZIP_DEFLATED, ["r\u00e9sum\u00e9.txt", "\u8868/\u8868.xml"]),
    "unicode-path.bin": unicode_path("other.exe", "setup.exe"),
    "overlapping.bin": overlapping(30),
    "forged-comment.bin": forged_comment(),
    "signed.bin": signed(["pkg.xml", "setup.exe"]),
    "stored.bin": archive(zipfile.ZIP_STORED, ["a.txt", "sub/", "sub/b.txt"]),
    "deflated.bin": archive(zipfile.ZIP_DEFLATED, ["zt_data.xml", "setup.exe"], b"comment"),
    "signed-tail.bin": archive(zipfile.ZIP_DEFLATED, ["x"]) + b"\x30\x82" + bytes(300),
    "empty.bin": archive(zipfile.ZIP_STORED, []),
}
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
