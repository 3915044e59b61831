#!/bin/sh
# Builds the glyph font generator and regenerates peripherals/glyph_font.cpp from DejaVu Serif.
#   tools/glyph_font/make_glyph_font.sh [PREVIEW.png]
# Needs g++, libfreetype-dev and fonts-dejavu-extra (scripts/setup installs them when missing).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
font=/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf

"$root/scripts/setup" glyphs

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -O2 -Wall -Wextra -Werror "$here/glyph_font_gen.cpp" -o "$work/glyph_font_gen" \
    $(pkg-config --cflags --libs freetype2)
if [ $# -ge 1 ]; then
    "$work/glyph_font_gen" "$font" "$root/peripherals/glyph_font.cpp" "$work/preview.pgm"
    convert "$work/preview.pgm" "$1"
else
    "$work/glyph_font_gen" "$font" "$root/peripherals/glyph_font.cpp"
fi
