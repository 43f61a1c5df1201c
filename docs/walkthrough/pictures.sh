#!/usr/bin/env bash
# Makes the pictures of docs/walkthrough.md the way the walkthrough does
# each step: a drawing by ImageMagick, the guide's recipe, tesselon, the
# Picture sketch built with arduino-builder, and its preview.
#   docs/walkthrough/pictures.sh [tesselon]
# Needs: imagemagick netpbm gcc-avr avr-libc libsimavr-dev libelf-dev
# pkg-config arduino-core-avr arduino-builder, and a C compiler.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
tesselon=${1:-tesselon}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
magick=$(command -v convert-im6.q16 || command -v convert)

# 1. The drawing: an antialiased 16-bit grey PNG, as drawing programs export them.
"$magick" -size 64x32 xc:white -fill none -stroke black -strokewidth 3 \
  -draw "circle 32,16 32,4" -draw "line 4,28 60,28" "$work/logo.png"
# 2. The recipe: on white, thresholded at 50 %, black first.
"$magick" "$work/logo.png" -background white -alpha remove -threshold 50% -type bilevel \
  BMP3:"$work/logo.bmp"
# 3. tesselon, and the text view.
"$tesselon" "$work/logo.bmp" >"$work/logo.h"
python3 "$root/tools/showpixels.py" "$work/logo.h" >"$here/logo.txt"
# Builds a sketch for the Uno and previews it: sketch NAME FILE... writes
# the sketch's folder from the files given, then $work/NAME/display.png.
mkdir -p "$work/libraries"
ln -s "$root/TesselonDisplay" "$work/libraries/TesselonDisplay"
preview() {
  local name=$1
  mkdir -p "$work/build-$name"
  arduino-builder -compile -hardware /usr/share/arduino/hardware -hardware /usr/share/arduino-builder \
    -tools /usr/share/arduino-builder -libraries "$work/libraries" -fqbn arduino:avr:uno \
    -build-path "$work/build-$name" -prefs=compiler.cpp.extra_flags=-DDECIMAL_DIG=__DECIMAL_DIG__ \
    "$work/$name/$name.ino" >/dev/null
  make -s -C "$root/examples/display" preview FIRMWARE="$work/build-$name/$name.ino.hex" \
    OUT="$work/shown-$name" >/dev/null 2>&1
}
# 4. The sketch: Picture with the new picture.h. 5. Its preview.
mkdir -p "$work/Picture"
cp "$root/TesselonDisplay/examples/Picture/Picture.ino" "$work/Picture/"
cp "$work/logo.h" "$work/Picture/picture.h"
preview Picture
# The page rule: a 16 x 16 icon drawn at (56, 2) after the ring at (32, 16)
# darkens the top of the ring within its columns; at (56, 0) it keeps clear.
"$tesselon" "$root/examples/smiley.bmp" >"$work/icon.h"
for place in Darkening:2 KeptClear:0; do
  name=${place%:*}
  mkdir -p "$work/$name"
  cp "$work/logo.h" "$work/$name/logo.h"
  cp "$work/icon.h" "$work/$name/icon.h"
  cat >"$work/$name/$name.ino" <<SKETCH
#include <TesselonDisplay.h>
#define bmppic logo
#include "logo.h"
#undef bmppic
#define bmppic icon
#include "icon.h"
#undef bmppic
TesselonDisplay display;
void setup()
{
    display.beginI2C(TesselonDisplay::SSD1306_128x64, 0x3C);
    display.draw(logo, 32, 16);
    display.draw(icon, 56, ${place#*:});
}
void loop() {}
SKETCH
  preview "$name"
done
# The pictures, each pixel 4 x 4 so that it can be seen.
"$magick" "$work/logo.png" -scale 400% "$here/drawing.png"
"$magick" "$work/logo.bmp" -scale 400% "$here/bitmap.png"
cp "$work/shown-Picture/display.png" "$here/glass.png"
cp "$work/shown-Darkening/display.png" "$here/darkening.png"
cp "$work/shown-KeptClear/display.png" "$here/kept-clear.png"
