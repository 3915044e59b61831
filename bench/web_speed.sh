#!/usr/bin/env bash
# The WebAssembly build's speed against the native runner, side by side in one run: one
# instrument hour (--ticks 36000) in the native runner and in the runner under node (processor
# time of the whole process, best of three, and the process's start alone, --ticks 1), then the
# page's seek in headless Chromium (bench/page_seek.js: an hour re-run from the start; goal
# 100 ms). With --baseline DIR the same runs are made with another web build
# (DIR/drk20vt5p-headless-node.js and DIR/site), e.g. one linked with plain -sASYNCIFY.
#
# Usage: bench/web_speed.sh NATIVE_BUILD_DIR WEB_BUILD_DIR [--baseline DIR]
#        (WEB_BUILD_DIR: scripts/build-web's tree, default build/web-build)
set -euo pipefail
cd "$(dirname "$0")/.."
native=${1:?usage: $0 NATIVE_BUILD_DIR WEB_BUILD_DIR [--baseline DIR]}/platform/headless/drk20vt5p-headless
web=${2:-build/web-build}/platform/web
baseline=""
[ "${3:-}" = --baseline ] && baseline=${4:?--baseline needs a folder}
export NODE_PATH=/usr/share/nodejs

cpu() {  # processor seconds of one run of "$@"
  local TIMEFORMAT='%U %S'
  { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{printf "%.3f\n", $1 + $2}'
}
best3() { local a b c; a=$(cpu "$@"); b=$(cpu "$@"); c=$(cpu "$@"); printf '%s\n' "$a" "$b" "$c" | sort -n | head -1; }

echo "machine: $(uptime)"
n=$(best3 "$native" --ticks 36000)
echo "native runner, one hour: $n s"
report_web() {  # NAME NODE_RUNNER_JS SITE
  local hour start
  hour=$(best3 node --no-experimental-fetch "$2" --ticks 36000)
  start=$(best3 node --no-experimental-fetch "$2" --ticks 1)
  awk -v name="$1" -v h="$hour" -v s="$start" -v n="$n" 'BEGIN{
    printf "%s: node runner, one hour %.3f s (start alone %.3f s; the hour itself %.3f s, %.1fx native)\n",
           name, h, s, h - s, (n > 0 ? (h - s) / n : 0) }'
  node bench/page_seek.js --site "$3" | sed "s/^/$1: /"
}
report_web "this build" "$web/drk20vt5p-headless-node.js" "$web/site"
[ -n "$baseline" ] && report_web "baseline" "$baseline/drk20vt5p-headless-node.js" "$baseline/site"
echo "machine: $(uptime)"
