#!/usr/bin/env bash
# Draws the About window's picture (500 x 300 JPEG). Run it again after changing the drawing; the picture is
# kept in the repository, so a build needs neither ImageMagick nor this script, and the build compiles it
# into the program (resources/EmbedFile.cmake).
set -euo pipefail
cd "$(dirname "$0")/.."

font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
picture=resources/splash.jpg
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A pale sky gradient (the window writes its description and version in black over the lower half), a
# navy title band with the product name and a drum-and-arrow mark like the program's icon.
convert -size 500x300 gradient:'#f4f8fc'-'#b9cde6' \
  -fill '#1c3560' -draw 'rectangle 0,0 500,118' \
  -fill '#2f5d9e' -draw 'rectangle 0,118 500,124' \
  -fill '#78aaf0' -stroke '#0e1e40' -strokewidth 2 -draw 'ellipse 62,42 26,9 0,360' \
  -fill '#3c6ec8' -draw 'rectangle 36,42 88,86' -draw 'ellipse 62,86 26,9 0,180' \
  -fill '#78aaf0' -draw 'ellipse 62,42 26,9 0,360' \
  -stroke none -fill '#1eaa3c' -draw 'polygon 55,48 69,48 69,64 79,64 62,82 45,64 55,64' \
  -font "$font" -fill white -pointsize 40 -annotate +112+72 'Kelmora Backup' \
  -font "$font" -fill '#c8d8f0' -pointsize 15 -annotate +114+100 'Firebird' \
  -fill '#1c3560' -draw 'rectangle 0,292 500,300' \
  -quality 90 -sampling-factor 2x2 -strip "$work/splash.jpg"
mv "$work/splash.jpg" "$picture"

echo "make-splash: $(stat -c %s "$picture") bytes (the build compiles it into the program)"
