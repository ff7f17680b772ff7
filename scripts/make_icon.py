#!/usr/bin/env python3
"""Draws the stub's icon (a parcel with a down arrow) as a .ico with 16x16 and 32x32 images."""
import struct
import sys


def image(size):
    s = size / 32.0
    px = []
    for y in range(size - 1, -1, -1):  # bottom-up rows
        for x in range(size):
            fx, fy = x / s, y / s
            color = (0, 0, 0, 0)
            if 4 <= fx < 28 and 10 <= fy < 29:          # box
                color = (40, 110, 200, 255)
                if 4 <= fx < 28 and 10 <= fy < 13:      # lid
                    color = (25, 80, 160, 255)
            if 13 <= fx < 19 and 2 <= fy < 16:          # arrow shaft
                color = (245, 245, 245, 255)
            if 16 <= fy < 24 and abs(fx - 16) < (24 - fy):  # arrow head
                color = (245, 245, 245, 255)
            r, g, b, a = color
            px.append(struct.pack('<BBBB', b, g, r, a))
    xor = b''.join(px)
    mask_row = ((size + 31) // 32) * 4
    and_mask = b'\0' * (mask_row * size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def main(path):
    sizes = [16, 32]
    images = [image(n) for n in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1])
