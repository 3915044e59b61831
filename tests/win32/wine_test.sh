#!/usr/bin/env bash
# The Windows build under Wine: cross-builds it (scripts/build-windows), then runs the whole
# core test suite (CTest, every program under Wine) and the program's window on an Xvfb
# display (tests/win32/wine_window_test.py). One Wine prefix, made for the run and
# removed after it. Never skipped: when Wine, Xvfb or xdotool cannot be installed or run it
# says so and fails.
#
#   tests/win32/wine_test.sh [--runner HEADLESS] [--screenshot PNG] [--no-build]
#
# --runner: the headless runner that draws the reference pictures (default: the Windows one,
# under Wine); --screenshot: also write a picture of the window; --no-build: use the build
# in build/windows (or $DRK_WINDOWS_BUILD) as it is.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
build=${DRK_WINDOWS_BUILD:-build/windows}
case $build in /*) ;; *) build=$root/$build ;; esac

runner="" screenshot="" do_build=1
while [ $# -gt 0 ]; do
  case $1 in
    --runner) runner=$(realpath "$2"); shift 2 ;;
    --screenshot) screenshot=$(realpath -m "$2"); shift 2 ;;
    --no-build) do_build=0; shift ;;
    *) echo "usage: $0 [--runner HEADLESS] [--screenshot PNG] [--no-build]" >&2; exit 2 ;;
  esac
done

fail() {
  echo "FAILED: the Windows tests under Wine could not run: $*" >&2
  exit 1
}

scripts/setup wine || fail "could not install what the Wine tests need"
command -v wine >/dev/null || fail "no wine command after installing"

[ $do_build -eq 1 ] && scripts/build-windows
app=$build/platform/win32/drk20vt5p.exe
probe=$build/tests/win32/drk_window_probe.exe
suite=$build/tests/drk_tests.exe
headless=$build/platform/headless/drk20vt5p-headless.exe
for f in "$app" "$probe" "$suite" "$headless"; do
  [ -f "$f" ] || { echo "missing $f: run scripts/build-windows" >&2; exit 1; }
done
[ -n "$runner" ] || runner=$headless

tmp=$(mktemp -d /tmp/drk-wine.XXXXXX)
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid=""
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

# A display of our own, then the prefix: first start, frames drawn by Wine itself (there is
# no window manager), no sound driver (there is no sound device).
display=$((100 + $$ % 100))
while [ -e /tmp/.X11-unix/X$display ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 100); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
echo "=== Wine prefix ==="
start=$SECONDS
wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d "" /f >/dev/null 2>&1
wineserver -w
# The server is kept running until the clean-up, so each of the many test programs starts
# fast; the first program starts Wine's own background processes, which must not inherit
# the output of a test (CTest would wait for them).
wineserver -p
wine cmd /c exit >/dev/null 2>&1 </dev/null
echo "ready in $((SECONDS - start)) s"

passed=0 failed=0
result() {  # name, exit code
  if [ "$2" -eq 0 ]; then passed=$((passed + 1)); echo "ok   $1"; else failed=$((failed + 1)); echo "FAIL $1"; fi
}

# Everything CTest knows for the build (the GoogleTest cases, the scenario scripts, the soak
# runs; not the day-long soak), each program started through Wine.
echo "=== Core test suite under Wine ==="
set +e
(cd "$build" && timeout 2400 ctest -LE long -j"$(nproc)" --timeout 900 --output-on-failure)
code=$?
set -e
result "core test suite, scenario scripts and soak runs" "$code"

echo "=== The window under Wine ==="
args=(--app "$app" --probe "$probe" --runner "$runner")
[ -n "$screenshot" ] && args+=(--screenshot "$screenshot")
set +e
timeout 600 python3 tests/win32/wine_window_test.py "${args[@]}"
code=$?
set -e
result "window" "$code"

echo "wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
