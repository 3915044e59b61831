#!/bin/sh
# Renders resources/panel.svg into the panel pictures the programs carry:
#   resources/panel.bmp     251 x 444, 24 bits per pixel, uncompressed Windows BMP without
#                           alpha (the core's panel, also the Windows resource)
#   resources/panel@2x.png  502 x 888, drawn from the vector source at twice the size
#   resources/panel@3x.png  753 x 1332, three times (the desktop app at scale 2 and 3)
#   tools/panel/make_panel.sh [PREVIEW.png]
# Needs rsvg-convert (librsvg2-bin), ImageMagick and the DejaVu fonts (scripts/setup artwork
# installs them when missing).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

"$root/scripts/setup" artwork

desk='#35383c'  # the desk behind the rounded case
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for scale in 1 2 3; do
    rsvg-convert --width $((251 * scale)) --height $((444 * scale)) \
        "$root/resources/panel.svg" -o "$work/panel$scale.png"
done
convert "$work/panel1.png" -background "$desk" -alpha remove -alpha off -type TrueColor \
    -define bmp:format=bmp3 -compress None "BMP3:$root/resources/panel.bmp"
# No time stamps or other chunks: the same source gives the same bytes.
for scale in 2 3; do
    convert "$work/panel$scale.png" -background "$desk" -alpha remove -alpha off \
        -type TrueColor -strip -define png:exclude-chunks=date,time \
        "PNG24:$root/resources/panel@${scale}x.png"
done
if [ $# -ge 1 ]; then
    convert "$root/resources/panel.bmp" "$1"
fi
identify "$root/resources/panel.bmp" "$root/resources/panel@2x.png" "$root/resources/panel@3x.png"
