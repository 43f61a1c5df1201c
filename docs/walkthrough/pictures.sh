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
# 4. The sketch: Picture with the new picture.h, built for the Uno.
mkdir -p "$work/Picture" "$work/libraries" "$work/build"
cp "$root/TesselonDisplay/examples/Picture/Picture.ino" "$work/Picture/"
cp "$work/logo.h" "$work/Picture/picture.h"
ln -s "$root/TesselonDisplay" "$work/libraries/TesselonDisplay"
arduino-builder -compile -hardware /usr/share/arduino/hardware -hardware /usr/share/arduino-builder \
  -tools /usr/share/arduino-builder -libraries "$work/libraries" -fqbn arduino:avr:uno \
  -build-path "$work/build" -prefs=compiler.cpp.extra_flags=-DDECIMAL_DIG=__DECIMAL_DIG__ \
  "$work/Picture/Picture.ino" >/dev/null
# 5. The preview of the sketch's hex file.
make -s -C "$root/examples/display" preview FIRMWARE="$work/build/Picture.ino.hex" \
  OUT="$work/shown" >/dev/null
# The pictures, each pixel 4 x 4 so that it can be seen.
"$magick" "$work/logo.png" -scale 400% "$here/drawing.png"
"$magick" "$work/logo.bmp" -scale 400% "$here/bitmap.png"
cp "$work/shown/display.png" "$here/glass.png"
