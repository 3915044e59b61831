#!/usr/bin/env bash
# Renders the desktop icon from its vector source (rsvg-convert, Debian's librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/setup artwork
rsvg-convert -w 128 -h 128 resources/desktop/drk20vt5p.svg -o resources/desktop/drk20vt5p.png
echo "wrote resources/desktop/drk20vt5p.png"
