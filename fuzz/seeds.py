"""Writes the fuzzer's seed corpus: small bitmaps of every header kind."""
import os
import struct
import sys


def bmp(width, height, headersize=40, bitcount=1, compression=0, topdown=False, cut=0):
    core = headersize == 12
    entry = 3 if core else 4
    offset = 14 + headersize + 2 * entry
    stride = (width + 31) // 32 * 4
    pixels = bytes((x * 37 + y * 11) & 0xFF for y in range(height) for x in range(stride))
    if core:
        info = struct.pack("<IHHHH", 12, width, height, 1, bitcount)
    else:
        info = struct.pack("<IiiHHIIiiII", headersize, width, -height if topdown else height, 1,
                           bitcount, compression, len(pixels), 2835, 2835, 2, 0)
        info += bytes(headersize - 40)
    table = (b"\0\0\0" + b"\xff\xff\xff") if core else (b"\0\0\0\0" + b"\xff\xff\xff\0")
    data = info + table + pixels
    head = b"BM" + struct.pack("<IHHI", 14 + len(data), 0, 0, offset)
    whole = head + data
    return whole[: len(whole) - cut] if cut else whole


SEEDS = {
    "tenbytwo.bmp": bmp(10, 2),
    "onepixel.bmp": bmp(1, 1),
    "width33.bmp": bmp(33, 3),
    "os2.bmp": bmp(17, 4, headersize=12),
    "v4-topdown.bmp": bmp(40, 3, headersize=108, topdown=True),
    "v5.bmp": bmp(9, 5, headersize=124),
    "truecolour.bmp": bmp(4, 2, bitcount=24),
    "compressed.bmp": bmp(8, 2, compression=1),
    "cut.bmp": bmp(20, 6, cut=7),
}

if __name__ == "__main__":
    os.makedirs(sys.argv[1], exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(sys.argv[1], name), "wb") as out:
            out.write(data)
