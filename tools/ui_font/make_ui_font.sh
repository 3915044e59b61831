#!/bin/sh
# Builds the interface font generator and regenerates platform/sdl/ui_font.cpp from DejaVu
# Sans at 11 pixels (the help overlay's and the captions' text, drawn whole-pixel enlarged at
# the larger scales).
#   tools/ui_font/make_ui_font.sh
# Needs g++, libfreetype-dev, fonts-dejavu-core and clang-format (scripts/setup installs them
# when missing).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

"$root/scripts/setup" glyphs

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -O2 -Wall -Wextra -Werror "$here/ui_font_gen.cpp" -o "$work/ui_font_gen" \
    $(pkg-config --cflags --libs freetype2)
"$work/ui_font_gen" /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf 11 "$root/platform/sdl/ui_font.cpp"
clang-format -i "$root/platform/sdl/ui_font.cpp"
