#!/bin/sh
# Renders resources/panel.svg into resources/panel.bmp: 251 x 444 pixels, 24 bits per pixel,
# uncompressed Windows BMP without alpha.
#   tools/panel/make_panel.sh [PREVIEW.png]
# Needs rsvg-convert (librsvg2-bin), ImageMagick and the DejaVu fonts.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

need=""
command -v rsvg-convert >/dev/null 2>&1 || need="$need librsvg2-bin"
command -v convert >/dev/null 2>&1 || need="$need imagemagick"
[ -f /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf ] || need="$need fonts-dejavu-core"
if [ -n "$need" ]; then
    if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo=sudo; fi
    $sudo apt-get install -y $need
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rsvg-convert --width 251 --height 444 "$root/resources/panel.svg" -o "$work/panel.png"
convert "$work/panel.png" -background '#3b3e42' -alpha remove -alpha off -type TrueColor \
    -define bmp:format=bmp3 -compress None "BMP3:$root/resources/panel.bmp"
if [ $# -ge 1 ]; then
    convert "$root/resources/panel.bmp" "$1"
fi
identify "$root/resources/panel.bmp"
