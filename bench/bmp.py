"""Writes a random 1-bit BMP: bmp.py FILE WIDTH HEIGHT [SEED]."""
import random
import struct
import sys


def bmp(width, height, seed=1):
    random.seed(seed)
    stride = (width + 31) // 32 * 4
    rows = random.randbytes(stride * height)
    offset = 14 + 40 + 8
    head = b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 1, 0, len(rows), 2835, 2835, 2, 0)
    return head + info + b"\0\0\0\0\xff\xff\xff\0" + rows


if __name__ == "__main__":
    path, width, height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    with open(path, "wb") as out:
        out.write(bmp(width, height, int(sys.argv[4]) if len(sys.argv) > 4 else 1))
