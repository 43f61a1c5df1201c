"""Draws the library's font sheets: examples/font6x7.bmp and examples/font6x7latin1.bmp.

The printable ASCII characters from the blank (U+0020) to the tilde
(U+007E), each 5 x 7 pixels in a cell of 6 x 7 (a blank column on the
right), 16 cells to a row: a sheet of 96 x 42 pixels, 506 bytes as an
array. The Latin-1 sheet goes on with U+00A0 to U+00FF (the German
letters, the degree sign, micro, section and the rest of Latin-1's
letters and signs; a few signs are blank), 96 x 84 pixels, 1,010 bytes;
its first six rows are the ASCII sheet. A line of text at a page boundary
(a row that is a multiple of 8) fills 7 rows of its page and leaves the
eighth dark, the space between lines.
Every glyph is drawn here, row by row, '#' for ink, or built from a base
letter and an accent; the ink is colour index 0 (black) of a black-first
1-bit BMP, the pixels a display lights.

    python3 examples/font.py [ASCII.bmp [LATIN1.bmp]]

The glyphs are the project's own, under its MIT licence (LICENSE).
"""
import os
import sys

GLYPHS = """
..... ..#.. .#.#. .#.#. ..#.. ##... .##.. ..#.. ...#. .#... ..... ..... ..... ..... ..... .....
..... ..#.. .#.#. ##### .#### ##..# #..#. ..#.. ..#.. ..#.. .#.#. ..#.. ..... ..... ..... ....#
..... ..#.. ..... .#.#. #.#.. ...#. #.#.. ..... .#... ...#. ..#.. ..#.. ..... ..... ..... ...#.
..... ..#.. ..... .#.#. .###. ..#.. .#... ..... .#... ...#. ##### ##### ..... ##### ..... ..#..
..... ..... ..... ##### ..#.# .#... #.#.# ..... .#... ...#. ..#.. ..#.. ..##. ..... ..... .#...
..... ..... ..... .#.#. ####. #..## #..#. ..... ..#.. ..#.. .#.#. ..#.. ...#. ..... .##.. #....
..... ..#.. ..... .#.#. ..#.. ...## .##.# ..... ...#. .#... ..... ..... ..#.. ..... .##.. .....

.###. ..#.. .###. ##### ...#. ##### ..##. ##### .###. .###. ..... ..... ...#. ..... .#... .###.
#...# .##.. #...# ...#. ..##. #.... .#... ....# #...# #...# .##.. .##.. ..#.. ..... ..#.. #...#
#..## ..#.. ....# ..#.. .#.#. ####. #.... ...#. #...# #...# .##.. .##.. .#... ##### ...#. ....#
#.#.# ..#.. ...#. ...#. #..#. ....# ####. ..#.. .###. .#### ..... ..... #.... ..... ....# ...#.
##..# ..#.. ..#.. ....# ##### ....# #...# .#... #...# ....# .##.. .##.. .#... ##### ...#. ..#..
#...# ..#.. .#... #...# ...#. #...# #...# .#... #...# ...#. .##.. ..#.. ..#.. ..... ..#.. .....
.###. .###. ##### .###. ...#. .###. .###. .#... .###. .##.. ..... .#... ...#. ..... .#... ..#..

.###. .###. ####. .###. ###.. ##### ##### .###. #...# .###. ..### #...# #.... #...# #...# .###.
#...# #...# #...# #...# #..#. #.... #.... #...# #...# ..#.. ...#. #..#. #.... ##.## #...# #...#
#.### #...# #...# #.... #...# #.... #.... #.... #...# ..#.. ...#. #.#.. #.... #.#.# ##..# #...#
#.#.# ##### ####. #.... #...# ####. ####. #.### ##### ..#.. ...#. ##... #.... #.#.# #.#.# #...#
#.### #...# #...# #.... #...# #.... #.... #...# #...# ..#.. ...#. #.#.. #.... #...# #..## #...#
#.... #...# #...# #...# #..#. #.... #.... #...# #...# ..#.. #..#. #..#. #.... #...# #...# #...#
.###. #...# ####. .###. ###.. ##### #.... .#### #...# .###. .##.. #...# ##### #...# #...# .###.

####. .###. ####. .###. ##### #...# #...# #...# #...# #...# ##### .###. ..... .###. ..#.. .....
#...# #...# #...# #...# ..#.. #...# #...# #...# #...# #...# ....# .#... #.... ...#. .#.#. .....
#...# #...# #...# #.... ..#.. #...# #...# #...# .#.#. #...# ...#. .#... .#... ...#. #...# .....
####. #...# ####. .###. ..#.. #...# #...# #.#.# ..#.. .#.#. ..#.. .#... ..#.. ...#. ..... .....
#.... #.#.# #.#.. ....# ..#.. #...# #...# #.#.# .#.#. ..#.. .#... .#... ...#. ...#. ..... .....
#.... #..#. #..#. #...# ..#.. #...# .#.#. ##.## #...# ..#.. #.... .#... ....# ...#. ..... .....
#.... .##.# #...# .###. ..#.. .###. ..#.. #...# #...# ..#.. ##### .###. ..... .###. ..... #####

.#... ..... #.... ..... ....# ..... ..##. ..... #.... ..#.. ...#. #.... .##.. ..... ..... .....
..#.. ..... #.... ..... ....# ..... .#..# ..... #.... ..... ..... #.... ..#.. ..... ..... .....
...#. .###. #.##. .###. .##.# .###. .#... .###. #.##. .##.. ..##. #..#. ..#.. ##.#. #.##. .###.
..... ....# ##..# #.... #..## #...# ###.. #...# ##..# ..#.. ...#. #.#.. ..#.. #.#.# ##..# #...#
..... .#### #...# #.... #...# ##### .#... .#### #...# ..#.. ...#. ##... ..#.. #.#.# #...# #...#
..... #...# #...# #...# #...# #.... .#... ....# #...# ..#.. #..#. #.#.. ..#.. #...# #...# #...#
..... .#### ####. .###. .#### .###. .#... .###. #...# .###. .##.. #..#. .###. #...# #...# .###.

..... ..... ..... ..... .#... ..... ..... ..... ..... ..... ..... ...#. ..#.. .#... ..... .....
..... ..... ..... ..... .#... ..... ..... ..... ..... ..... ..... ..#.. ..#.. ..#.. ..... .....
####. .#### #.##. .###. ###.. #...# #...# #...# #...# #...# ##### ..#.. ..#.. ..#.. .#... .....
#...# #...# ##..# #.... .#... #...# #...# #...# .#.#. #...# ...#. .#... ..#.. ...#. #.#.# .....
####. .#### #.... .###. .#... #...# #...# #.#.# ..#.. .#### ..#.. ..#.. ..#.. ..#.. ...#. .....
#.... ....# #.... ....# .#..# #..## .#.#. #.#.# .#.#. ....# .#... ..#.. ..#.. ..#.. ..... .....
#.... ....# #.... ####. ..##. .##.# ..#.. .#.#. #...# .###. ##### ...#. ..#.. .#... ..... .....
"""

CELL_HEIGHT, PER_ROW = 7, 16

# U+00A0 to U+00FF drawn whole; the accented letters are built below.
# A sign left out here is a blank.
LATIN1_DRAWN = {
    0xA1: "..#.. ..... ..#.. ..#.. ..#.. ..#.. ..#..",
    0xA2: "..#.. .###. #.#.. #.#.. #.#.# .###. ..#..",
    0xA3: "..##. .#..# .#... ###.. .#... .#..# #####",
    0xA5: "#...# .#.#. ..#.. ##### ..#.. ##### ..#..",
    0xA6: "..#.. ..#.. ..#.. ..... ..#.. ..#.. ..#..",
    0xA7: ".#### #.... .###. #...# .###. ....# ####.",
    0xA8: ".#.#. ..... ..... ..... ..... ..... .....",
    0xAB: "..... ..#.# .#.#. #.#.. .#.#. ..#.# .....",
    0xAC: "..... ..... ##### ....# ..... ..... .....",
    0xAD: "..... ..... ..... ##### ..... ..... .....",
    0xAF: "##### ..... ..... ..... ..... ..... .....",
    0xB0: ".##.. #..#. #..#. .##.. ..... ..... .....",
    0xB1: "..#.. ..#.. ##### ..#.. ..#.. ..... #####",
    0xB2: ".##.. #..#. ..#.. .#... ####. ..... .....",
    0xB3: "###.. ...#. .##.. ...#. ###.. ..... .....",
    0xB4: "...#. ..#.. ..... ..... ..... ..... .....",
    0xB5: "..... #...# #...# #...# ##.## #.#.# #....",
    0xB6: ".#### ###.# ###.# .##.# ..#.# ..#.# ..#.#",
    0xB7: "..... ..... ..... ..#.. ..... ..... .....",
    0xB8: "..... ..... ..... ..... ..... ..#.. .##..",
    0xB9: ".#... ##... .#... .#... ###.. ..... .....",
    0xBB: "..... #.#.. .#.#. ..#.# .#.#. #.#.. .....",
    0xBF: "..#.. ..... ..#.. .#... #.... #...# .###.",
    0xC6: ".#### #.#.. #.#.. ##### #.#.. #.#.. #.###",
    0xD0: "###.. #..#. #...# ###.# #...# #..#. ###..",
    0xD7: "..... #...# .#.#. ..#.. .#.#. #...# .....",
    0xD8: ".###. #..## #.#.# #.#.# #.#.# ##..# .###.",
    0xDE: "#.... ####. #...# #...# ####. #.... #....",
    0xDF: ".##.. #..#. #..#. #.##. #...# #...# #.##.",
    0xE6: "..... ..... ##.#. ..#.# .#### #.#.. .####",
    0xE7: "..... .###. #.... #.... #...# .###. ..#..",
    0xF0: ".#.#. ..#.. .#.#. ....# .#### #...# .###.",
    0xF7: "..... ..#.. ..... ##### ..... ..#.. .....",
    0xF8: "..... ..... .###. #..## #.#.# ##..# .###.",
    0xFE: "..... #.... #.##. ##..# ####. #.... #....",
}

# Accents: two rows above a small letter (rows 2 to 6 of its cell), one row
# above a capital pressed into six rows.
ACCENTS = {
    "grave": (".#... ..#..", ".#..."),
    "acute": ("...#. ..#..", "...#."),
    "circumflex": ("..#.. .#.#.", "..#.."),
    "tilde": (".##.# #.##.", ".##.#"),
    "diaeresis": (".#.#. .....", ".#.#."),
    "ring": (".###. .#.#.", ".###."),
}

# The accented letters of U+00C0 to U+00FF: base letter and accent.
LATIN1_ACCENTED = {}
for first, base, accents in (
    (0xC0, "A", ("grave", "acute", "circumflex", "tilde", "diaeresis", "ring")),
    (0xC8, "E", ("grave", "acute", "circumflex", "diaeresis")),
    (0xCC, "I", ("grave", "acute", "circumflex", "diaeresis")),
    (0xD2, "O", ("grave", "acute", "circumflex", "tilde", "diaeresis")),
    (0xD9, "U", ("grave", "acute", "circumflex", "diaeresis")),
):
    for i, accent in enumerate(accents):
        LATIN1_ACCENTED[first + i] = (base, accent)
        LATIN1_ACCENTED[first + 0x20 + i] = (base.lower(), accent)
LATIN1_ACCENTED.update({0xD1: ("N", "tilde"), 0xF1: ("n", "tilde"), 0xDD: ("Y", "acute"),
                        0xFD: ("y", "acute"), 0xFF: ("y", "diaeresis")})
# A C with a cedilla: the C pressed into rows 0 to 5, the cedilla below.
LATIN1_DRAWN[0xC7] = ".###. #...# #.... #.... #...# .###. ..#.."


def glyph_rows():
    """The ASCII sheet's rows of cells, each a list of 16 glyphs of 7 row strings."""
    blocks = [block.split("\n") for block in GLYPHS.strip("\n").split("\n\n")]
    return [[[line.split()[i] for line in block] for i in range(PER_ROW)] for block in blocks]


def ascii_glyphs():
    """U+0020 to U+007E, each 7 row strings."""
    return [glyph for row in glyph_rows() for glyph in row][:95]


def pressed(rows):
    """A capital in six rows: the first row that repeats the one below it left out."""
    for i in range(len(rows) - 1):
        if rows[i] == rows[i + 1]:
            return rows[:i] + rows[i + 1 :]
    return rows[:1] + rows[2:]


def accented(base, accent):
    """A letter of the ASCII sheet under an accent."""
    rows = ascii_glyphs()[ord(base) - 0x20]
    small, capital = ACCENTS[accent]
    if base.islower():
        return small.split() + rows[2:]
    return [capital] + pressed(rows)


def latin1_glyphs():
    """U+00A0 to U+00FF, each 7 row strings; a blank where none is drawn."""
    glyphs = []
    for code in range(0xA0, 0x100):
        if code in LATIN1_DRAWN:
            glyphs.append(LATIN1_DRAWN[code].split())
        elif code in LATIN1_ACCENTED:
            glyphs.append(accented(*LATIN1_ACCENTED[code]))
        else:
            glyphs.append(["....."] * CELL_HEIGHT)
    return glyphs


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    sys.path.insert(0, os.path.join(here, "..", "tools"))
    import bmp

    defaults = [os.path.join(here, "font6x7.bmp"), os.path.join(here, "font6x7latin1.bmp")]
    paths = sys.argv[1:3] + defaults[len(sys.argv[1:3]) :]
    glyphs = [[line + "." for line in glyph] for glyph in ascii_glyphs() + latin1_glyphs()]
    bmp.write_sheet(paths[0], glyphs[:95], PER_ROW)  # each 5 x 7 in a 6 x 7 cell
    bmp.write_sheet(paths[1], glyphs, PER_ROW)
