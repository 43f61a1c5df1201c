"""Writes the fuzzer's seed corpus: small bitmaps of every header kind."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from bmp import bmp  # noqa: E402

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
