"""Writes the seed packages of the archive fuzzer into the given directory."""
import io
import os
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


seeds = {
    "stored.bin": archive(zipfile.ZIP_STORED, ["a.txt", "sub/", "sub/b.txt"]),
    "deflated.bin": archive(zipfile.ZIP_DEFLATED, ["zt_data.xml", "setup.exe"], b"comment"),
    "signed-tail.bin": archive(zipfile.ZIP_DEFLATED, ["x"]) + b"\x30\x82" + bytes(300),
    "empty.bin": archive(zipfile.ZIP_STORED, []),
}
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
