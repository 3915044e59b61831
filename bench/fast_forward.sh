#!/usr/bin/env bash
# Whole-process figures of the headless runner, measured in one run each so that their
# ratios hold on a shared, noisy machine:
#   fast-forward: instrument time per wall time of a 1-hour run (--ticks 36000), without a
#                 trace (goal >= 10,000x) and with --trace FILE (goal >= 2,000x);
#   memory:       peak resident size of a 1-hour and a 4-hour run (must not grow with the
#                 length of the run: the 4-hour figure at most 1 MiB above the 1-hour one).
# Each figure is the best of three runs.
# Usage: bench/fast_forward.sh [BUILD_DIR]   (a Release build; default build/release)
# Exits 1 when a goal is missed.
set -euo pipefail
build=${1:-build/release}
runner=$build/platform/headless/drk20vt5p-headless
[ -x "$runner" ] || { echo "no runner at $runner (build it with -DCMAKE_BUILD_TYPE=Release)" >&2; exit 2; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Runs the runner with the given arguments three times; prints "WALL_SECONDS PEAK_KB", the
# shortest wall time (the run least disturbed by the machine's other work) and the largest
# resident size.
measure() {
  local best="" peak=0 wall rss
  for _ in 1 2 3; do
    local t0 t1
    t0=$(date +%s%N)
    /usr/bin/time -f "%M" -o "$tmp/time" "$runner" "$@" >/dev/null
    t1=$(date +%s%N)
    wall=$(python3 -c "print(($t1 - $t0) / 1e9)")
    read -r rss <"$tmp/time"
    if [ -z "$best" ] || python3 -c "import sys; sys.exit(not $wall < $best)"; then best=$wall; fi
    [ "$rss" -gt "$peak" ] && peak=$rss
  done
  echo "$best $peak"
}

echo "$(date -u +%F) $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"

read -r wall_plain rss_1h < <(measure --ticks 36000)
read -r wall_trace rss_1h_trace < <(measure --ticks 36000 --trace "$tmp/trace.jsonl")
trace_lines=$(wc -l <"$tmp/trace.jsonl")
trace_bytes=$(wc -c <"$tmp/trace.jsonl")
rm -f "$tmp/trace.jsonl"
read -r wall_4h rss_4h < <(measure --ticks 144000)
read -r _ rss_4h_trace < <(measure --ticks 144000 --trace "$tmp/trace.jsonl")

python3 - "$wall_plain" "$wall_trace" "$wall_4h" "$rss_1h" "$rss_1h_trace" "$rss_4h" \
  "$rss_4h_trace" "$trace_lines" "$trace_bytes" <<'PY'
import sys
wp, wt, w4 = (max(float(v), 1e-6) for v in sys.argv[1:4])
r1, r1t, r4, r4t, lines, size = (int(v) for v in sys.argv[4:10])
missed = 0
def goal(name, ok, text):
    global missed
    missed += not ok
    print(f"{name:<34} {text:<44} {'goal met' if ok else 'GOAL MISSED'}")
hour = 3600.0
goal("fast-forward, no trace", hour / wp >= 10000,
     f"{hour / wp:,.0f}x ({wp:.3f} s wall per hour; goal >= 10,000x)")
goal("fast-forward, --trace FILE", hour / wt >= 2000,
     f"{hour / wt:,.0f}x ({wt:.3f} s, {lines} lines, {size / 1e6:.1f} MB; goal >= 2,000x)")
print(f"{'fast-forward, 4 hours, no trace':<34} {4 * hour / w4:,.0f}x ({w4:.3f} s wall)")
goal("peak RSS, no trace", r4 <= r1 + 1024, f"1 h {r1} KB, 4 h {r4} KB (goal: no growth)")
goal("peak RSS, --trace FILE", r4t <= r1t + 1024, f"1 h {r1t} KB, 4 h {r4t} KB (goal: no growth)")
sys.exit(1 if missed else 0)
PY
