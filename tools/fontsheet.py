#!/usr/bin/python3
"""Makes a font sheet for TesselonDisplay from a TrueType or OpenType font.

    fontsheet.py FONTFILE HEIGHT OUT.bmp [--latin1] [--chars TEXT]

Renders the font at the largest size at which the ink of all the
characters asked for fits in HEIGHT rows, each character in a cell HEIGHT
pixels tall, on one baseline, and as wide as the
widest of them, black on white, rendered without grey (FreeType's
monochrome mode, then thresholded at half), and writes
the cells as a 1-bit BMP, black first, 16 to a row (fewer where that would
be wider than 255 pixels): the ink is what the display lights. The cells
are U+0020 (the blank, which drawText shows for a character the sheet
lacks) to U+007E, 95 glyphs; with --latin1 then U+00A0 to U+00FF, 191;
with --chars just the characters of TEXT in its order, tiles for drawTile
(big digits for a clock, say). Prints the cell size, WIDTHxHEIGHT, as its
last line: the glyph width and height drawText and drawTile take.

Then: tesselon OUT.bmp > font.h. Needs Pillow (Debian: python3-pil, for
/usr/bin/python3).
"""
import argparse
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bmp  # noqa: E402

try:
    from PIL import Image, ImageDraw, ImageFont
except ImportError:
    sys.exit("fontsheet.py: Pillow is missing (Debian: python3-pil, for /usr/bin/python3)")

ASCII = "".join(map(chr, range(0x20, 0x7F)))
LATIN1 = "".join(map(chr, range(0xA0, 0x100)))
WIDEST_SHEET = 255  # a bmppic's width and height are a byte each


def ink_rows(font, characters):
    """The rows the characters' ink takes, from the baseline: top, bottom."""
    boxes = [font.getbbox(character, anchor="ls") for character in characters]
    return min(box[1] for box in boxes), max(box[3] for box in boxes)


def fitted(path, height, characters):
    """The font at the largest size whose characters' ink fits in height
    rows, and the row of its baseline in the cell."""
    for size in range(2 * height, 1, -1):
        font = ImageFont.truetype(path, size)
        top, bottom = ink_rows(font, characters)
        if bottom - top <= height:
            return font, -top
    font = ImageFont.truetype(path, 1)
    return font, -ink_rows(font, characters)[0]


def cell_width(font, characters):
    """The width that holds every character's advance and ink, and how far
    left of its origin the leftmost ink reaches."""
    left, right = 0, 1
    for character in characters:
        box = font.getbbox(character, anchor="ls")
        left = min(left, box[0])
        right = max(right, box[2], math.ceil(font.getlength(character)))
    return right - left, -left


def rendered(font, character, width, height, origin, baseline):
    """A character's cell as row strings, '#' where its grey is dark enough."""
    cell = Image.new("L", (width, height), 0)
    draw = ImageDraw.Draw(cell)
    draw.fontmode = "1"  # FreeType's monochrome rendering: thin strokes stay whole
    draw.text((origin, baseline), character, font=font, fill=255, anchor="ls")
    pixels = cell.load()
    return ["".join("#" if pixels[x, y] >= 128 else "." for x in range(width))
            for y in range(height)]


def main():
    parser = argparse.ArgumentParser(description="Makes a font sheet for TesselonDisplay.")
    parser.add_argument("font", help="a TrueType or OpenType font file")
    parser.add_argument("height", type=int, help="the cell height in pixels")
    parser.add_argument("out", help="the BMP to write")
    parser.add_argument("--latin1", action="store_true", help="U+00A0 to U+00FF after ASCII")
    parser.add_argument("--chars", help="just these characters, in this order")
    args = parser.parse_args()
    if not 1 <= args.height <= WIDEST_SHEET:
        parser.error("the height must be 1 to 255 pixels")
    characters = args.chars if args.chars else ASCII + (LATIN1 if args.latin1 else "")
    if not characters:
        parser.error("--chars needs at least one character")
    try:
        font, baseline = fitted(args.font, args.height, characters)
    except OSError as error:
        sys.exit(f"fontsheet.py: {args.font}: {error}")
    width, origin = cell_width(font, characters)
    per_row = min(16, len(characters), WIDEST_SHEET // width) if width <= WIDEST_SHEET else 0
    rows = math.ceil(len(characters) / per_row) if per_row else 0
    if not per_row or rows * args.height > WIDEST_SHEET:
        sys.exit(f"fontsheet.py: {len(characters)} cells of {width}x{args.height} do not fit "
                 f"a sheet of {WIDEST_SHEET} x {WIDEST_SHEET} pixels: fewer characters or a "
                 "smaller height")
    bmp.write_sheet(args.out,
                    [rendered(font, c, width, args.height, origin, baseline) for c in characters], per_row)
    print(f"{args.out}: {len(characters)} glyphs, {per_row} to a row, "
          f"{per_row * width} x {rows * args.height} pixels")
    print(f"{width}x{args.height}")


if __name__ == "__main__":
    main()
