#!/usr/bin/env bash
# Makes the animation examples' bitmaps the way docs/sheets.md tells: an
# animated GIF drawn by ImageMagick (8 frames of a spinner, 32 x 32; 4
# full-screen frames of a ball, 128 x 64), then the guide's commands.
#   examples/sheets.sh [DIR]
# writes spinner.bmp (a sheet of 4 x 2 frames) and ball0.bmp to ball3.bmp
# into DIR, examples/ unless given. Needs: imagemagick, python3.
set -euo pipefail
here=${1:-$(cd "$(dirname "$0")" && pwd)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
magick=$(command -v convert-im6.q16 || command -v convert)
montage=$(command -v montage-im6.q16 || command -v montage)

# The spinner: a ring with a spoke that turns 45 degrees a frame.
for frame in 0 1 2 3 4 5 6 7; do
  tip=$(python3 -c "import math; a = math.radians($frame * 45 - 90); \
print('%d,%d' % (round(16 + 11 * math.cos(a)), round(16 + 11 * math.sin(a))))")
  "$magick" -size 32x32 xc:white -fill none -stroke black -strokewidth 2 \
    -draw "circle 16,16 16,2" -draw "line 16,16 $tip" "$work/spinner$frame.png"
done
"$magick" -delay 10 "$work"/spinner?.png -loop 0 "$work/spinner.gif"
# The guide's grid: frames coalesced, 4 to a row, on white, thresholded, black first.
"$magick" "$work/spinner.gif" -coalesce miff:- | "$montage" - -tile 4x -geometry +0+0 \
  -background white miff:- | "$magick" - -alpha remove -threshold 50% -type bilevel \
  BMP3:"$here/spinner.bmp"

# The ball: a filled disc that crosses the screen, a full screen a frame.
for frame in 0 1 2 3; do
  "$magick" -size 128x64 xc:white -fill black \
    -draw "circle $((16 + frame * 32)),32 $((16 + frame * 32)),20" "$work/ball$frame.png"
done
"$magick" -delay 25 "$work"/ball?.png -loop 0 "$work/ball.gif"
# The guide's frames one by one: %d numbers them from 0.
"$magick" "$work/ball.gif" -coalesce -background white -alpha remove -threshold 50% \
  -type bilevel BMP3:"$here/ball%d.bmp"
