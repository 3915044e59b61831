#!/bin/sh
# Screenshots of the instrument for the documentation, made by the headless runner:
#   tools/panel/make_screenshots.sh [HEADLESS-RUNNER]
# writes docs/panel-*.png (the power-on screen, a gamma reading with its error field and the
# star, the same lit, the beta flux with its unit, menu items 9 and 11) and docs/panel-tour.png
# with all six side by side. The runner's detector is seeded, so the pictures repeat.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
runner=${1:-$root/build/platform/headless/drk20vt5p-headless}
docs=$root/docs
mkdir -p "$docs"

# A short press while the backlight is dark only lights it; the next one acts.
"$runner" --script - <<SCRIPT
tick 10
screenshot $docs/panel-splash.png
tick 90
screenshot $docs/panel-gamma.png
press mode 2
tick 6
screenshot $docs/panel-gamma-lit.png
press mode 2
tick 60
screenshot $docs/panel-beta.png
press mode 20
tick 3
press mode 2
tick 3
press mode 2
tick 3
screenshot $docs/panel-menu-9.png
press mode 2
tick 3
press mode 2
tick 3
screenshot $docs/panel-menu-11.png
SCRIPT

montage "$docs/panel-splash.png" "$docs/panel-gamma.png" "$docs/panel-gamma-lit.png" \
    "$docs/panel-beta.png" "$docs/panel-menu-9.png" "$docs/panel-menu-11.png" \
    -tile 6x1 -geometry +4+4 -background '#ffffff' "$docs/panel-tour.png"
ls -l "$docs"/panel-*.png
