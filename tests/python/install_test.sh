#!/usr/bin/env bash
# The Python package as installed: `cmake --install` into a prefix of its own, then imported
# from there (PYTHONPATH) and the examples run against it with the plugin found by its entry
# point; and the .deb made by CPack, unpacked, carries the same package where Debian's
# python3 looks (/usr/lib/python3/dist-packages).
#   install_test.sh BUILD_DIR PYTHON SOURCE_DIR
set -euo pipefail
build=$1 python=$2 source=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
site=$("$python" "$source/platform/python/site_dir.py" "$work/prefix")
test -f "$work/prefix/$site/drk20vt5p/__init__.py"
cd "$work"
PYTHONPATH="$work/prefix/$site" "$python" -c \
  'import drk20vt5p, sys; assert drk20vt5p.__file__.startswith(sys.argv[1]), drk20vt5p.__file__' \
  "$work/prefix/$site"
PYTHONPATH="$work/prefix/$site" "$python" -m pytest -q -p no:cacheprovider \
  "$source/examples/python"

(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
deb=$(ls "$work"/deb/*.deb)
dpkg-deb -c "$deb" >"$work/contents"
grep -q './usr/lib/python3/dist-packages/drk20vt5p/_native' "$work/contents"
grep -q './usr/lib/python3/dist-packages/drk20vt5p-.*dist-info/entry_points.txt' "$work/contents"
dpkg-deb -x "$deb" "$work/root"
PYTHONPATH="$work/root/usr/lib/python3/dist-packages" "$python" -m pytest -q -p no:cacheprovider \
  "$source/examples/python"
echo "installed package: prefix and .deb both import and pass the examples"
