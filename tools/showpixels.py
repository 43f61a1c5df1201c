#!/usr/bin/env python3
"""Shows a picture as the display will: '#' for each pixel it lights, '.' for the others.

    showpixels.py PICTURE [--tesselon PROGRAM]

PICTURE is a header tesselon wrote or a 1-bit BMP, which tesselon converts
first (any other file gets tesselon's message). A display lights the array's 1-bits: the pixels of the bitmap's first
colour-table entry (colour index 0), black for most programs. The first line
gives the width and height; a message of tesselon's is shown as it is, with
exit status 1.
"""
import argparse
import re
import shutil
import signal
import subprocess
import sys


def header_text(path, tesselon):
    """The declaration in PICTURE when it is a header; else tesselon's output
    for it, and tesselon's own message when that is no header."""
    try:
        with open(path, encoding="latin-1") as picture:
            text = picture.read()
        match = re.search(r"PROGMEM\s*=\s*\{([^}]*)\}", text)
        if match:
            return match.group(1)
    except OSError:
        pass
    run = subprocess.run([tesselon, path], capture_output=True, text=True, check=False)
    if run.returncode != 0:
        sys.stdout.write(run.stdout)
        sys.exit(1)
    return run.stdout


def rows_of(text):
    """Width, height and the rows of 0/1 pixels of a bmppic declaration."""
    values = [int(value, 16) for value in re.findall(r"0x([0-9A-Fa-f]+)", text)]
    if len(values) < 2:
        sys.exit("showpixels: no picture in this header")
    width, height = values[0], values[1]
    stride = (width + 7) // 8
    data = values[2:]
    if len(data) < stride * height:
        sys.exit("showpixels: the header holds fewer rows than its height")
    return width, height, [
        [data[y * stride + x // 8] >> (7 - x % 8) & 1 for x in range(width)] for y in range(height)
    ]


def main():
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)  # quietly, into head or less
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("picture", help="a 1-bit BMP or a header tesselon wrote")
    parser.add_argument("--tesselon", default=shutil.which("tesselon") or "tesselon",
                        help="the converter, for a BMP (default: tesselon on the PATH)")
    arguments = parser.parse_args()
    width, height, rows = rows_of(header_text(arguments.picture, arguments.tesselon))
    print(f"{width} x {height}")
    for row in rows:
        print("".join("#" if lit else "." for lit in row))


if __name__ == "__main__":
    main()
