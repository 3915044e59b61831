#!/usr/bin/env bash
# Peak resident size of a 48-hour run (--ticks 1728000) whose sound goes to a stream: --wav
# /dev/null and --wav /dev/stdout into a pipe. A stream is written tick by tick after a header
# of the largest length, so the size must not grow with the run (goal: under 50 MB). With
# --baseline RUNNER the same runs are made with another runner, side by side.
#
# Usage: bench/wav_stream_memory.sh [BUILD_DIR] [--baseline RUNNER]
#        (BUILD_DIR: default build/release)
# Exits 1 when the goal is missed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/release baseline=""
while [ $# -gt 0 ]; do
  case $1 in
    --baseline) baseline=$2; shift 2 ;;
    -*) echo "usage: $0 [BUILD_DIR] [--baseline RUNNER]" >&2; exit 2 ;;
    *) build=$1; shift ;;
  esac
done
runner=$build/platform/headless/drk20vt5p-headless
[ -x "$runner" ] || { echo "no runner at $runner" >&2; exit 2; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
ticks=1728000
goal_kb=$((50 * 1000))

# Prints "PEAK_KB WALL_SECONDS" of one run of RUNNER with its sound on TARGET.
measure() {
  local runner=$1 target=$2 t0 t1
  t0=$(date +%s%N)
  if [ "$target" = pipe ]; then
    /usr/bin/time -f "%M" -o "$tmp/time" "$runner" --ticks $ticks --wav /dev/stdout | wc -c >"$tmp/bytes"
  else
    /usr/bin/time -f "%M" -o "$tmp/time" "$runner" --ticks $ticks --wav "$target" >/dev/null
  fi
  t1=$(date +%s%N)
  echo "$(cat "$tmp/time") $(python3 -c "print(round(($t1 - $t0) / 1e9, 1))")"
}

echo "uptime at the start: $(uptime)"
fail=0
for target in /dev/null pipe; do
  read -r kb wall < <(measure "$runner" $target)
  line="48-hour run, --wav $target: peak $((kb / 1024)) MiB ($kb KiB), $wall s"
  if [ -n "$baseline" ]; then
    read -r bkb bwall < <(measure "$baseline" $target)
    line="$line; baseline $((bkb / 1024)) MiB, $bwall s"
  fi
  if [ "$kb" -ge "$goal_kb" ]; then line="$line  MISSED (goal under 50 MB)"; fail=1; fi
  echo "$line"
done
echo "uptime at the end: $(uptime)"
exit $fail
