"""Writes 1-bit BMP files: the benchmarks' pictures, the fuzzer's seeds, font sheets.

As a program:
    bmp.py FILE WIDTH HEIGHT             rows of a fixed pattern
    bmp.py FILE WIDTH HEIGHT --seed N    random rows
    bmp.py FILE WIDTH HEIGHT --sparse    rows that are a hole in the file:
                                         any size, no disk
"""
import argparse
import random
import struct


def stride(width):
    """Bytes per stored row: rows are padded to 32-bit words."""
    return (width + 31) // 32 * 4


def pattern(width, height):
    return bytes((x * 37 + y * 11) & 0xFF for y in range(height) for x in range(stride(width)))


def randomrows(width, height, seed):
    random.seed(seed)
    return random.randbytes(stride(width) * height)


def headers(width, height, headersize=40, bitcount=1, compression=0, topdown=False):
    """The file header, the picture's header and a black-first colour table.

    headersize 12 is the OS/2 header; 40 the Windows header, 108 and 124
    its V4 and V5 forms."""
    core = headersize == 12
    table = b"\0\0\0\xff\xff\xff" if core else b"\0\0\0\0\xff\xff\xff\0"
    offset = 14 + headersize + len(table)
    rowsize = stride(width) * height
    if core:
        info = struct.pack("<IHHHH", 12, width, height, 1, bitcount)
    else:
        info = struct.pack("<IiiHHIIiiII", headersize, width, -height if topdown else height, 1,
                           bitcount, compression, rowsize, 2835, 2835, 2, 0)
        info += bytes(headersize - 40)
    return b"BM" + struct.pack("<IHHI", offset + rowsize, 0, 0, offset) + info + table


def bmp(width, height, rows=None, cut=0, **layout):
    """A whole bitmap; rows default to a fixed pattern; cut drops its last bytes."""
    whole = headers(width, height, **layout) + (pattern(width, height) if rows is None else rows)
    return whole[: len(whole) - cut]


def write_ink(path, ink):
    """A 1-bit BMP of rows of pixels (top row first, True for ink), black
    first: ink is colour index 0, a 0-bit, the pixels a display lights."""
    height, width = len(ink), len(ink[0])
    rows = bytearray()
    for line in reversed(ink):  # stored bottom-up
        row = bytearray(stride(width))
        for x, pixel in enumerate(line):
            if not pixel:
                row[x // 8] |= 0x80 >> (x % 8)
        rows += row
    with open(path, "wb") as out:
        out.write(headers(width, height) + bytes(rows))


def write_sheet(path, glyphs, per_row=16):
    """A sheet of glyphs of one size (each a list of row strings, '#' for
    ink), per_row to a row, top left first, as the display library's tiles
    and fonts are numbered; a cell left over at the end is blank."""
    height, width = len(glyphs[0]), len(glyphs[0][0])
    rows = (len(glyphs) + per_row - 1) // per_row
    ink = [[False] * (width * per_row) for _ in range(height * rows)]
    for index, glyph in enumerate(glyphs):
        top, left = index // per_row * height, index % per_row * width
        for y, line in enumerate(glyph):
            for x, pixel in enumerate(line):
                ink[top + y][left + x] = pixel == "#"
    write_ink(path, ink)


def main():
    parser = argparse.ArgumentParser(description="Writes a 1-bit BMP.")
    parser.add_argument("file")
    parser.add_argument("width", type=int)
    parser.add_argument("height", type=int)
    rows = parser.add_mutually_exclusive_group()
    rows.add_argument("--seed", type=int, help="random rows from this seed")
    rows.add_argument("--sparse", action="store_true", help="rows that are a hole in the file")
    args = parser.parse_args()
    with open(args.file, "wb") as out:
        if args.sparse:
            out.write(headers(args.width, args.height))
            out.truncate(out.tell() + stride(args.width) * args.height)
        elif args.seed is not None:
            out.write(bmp(args.width, args.height, randomrows(args.width, args.height, args.seed)))
        else:
            out.write(bmp(args.width, args.height))


if __name__ == "__main__":
    main()
