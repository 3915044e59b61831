#!/usr/bin/env bash
# The review of a class: 30 one-hour sessions of one drill (the same seed and goals; each
# session its own presses: the modes walked, the menu opened and left, at times of its own)
# reviewed by the headless runner in one run, with --review and --report, against the same
# 30 sessions run without a review, side by side and interleaved. Processor time (user + system) of the whole process, best of three. Goal: the
# reviewed class under 0.5 s of one core.
#
# Usage: bench/class_review.sh [BUILD_DIR]   (default build/release)
# Exits 1 when the goal is missed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runner=$build/platform/headless/drk20vt5p-headless
[ -x "$runner" ] || { echo "no runner at $runner" >&2; exit 2; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

args=()
for k in $(seq 1 30); do
  f=$tmp/trainee-$k.scn
  {
    echo "seed 2026"
    echo "pass 20"
    echo 'goal 10 "Beta flux" within 5 min: lcd "БЕТА????????" "????????????"'
    echo 'goal 10 "The menu" within 10 min: lcd "УСТАНОВКИ???" "ВЫХОД???????"'
    echo 'goal 10 "The alarm" within 60 min: tone'
    echo "tick 28"
    echo "wait $((k * 7))s"
    for m in 1 2 3 4 5; do echo "press mode 3"; echo "tick $((10 + k))"; done
    echo "wait $((k + 30))s"
    echo "press mode 20"
    echo "tick 30"
    for m in 1 2 3 4 5 6 7; do echo "press mode 3"; echo "tick 3"; done
    echo "press mode 20"
    echo "tick 3600"
  } > "$f"
  # Each session one hour: what the steps above do not take, waited out.
  used=$(awk '/^tick/{t+=$2} /^press mode/{t+=$3} /^wait/{t+=substr($2,1,length($2)-1)*10} END{print t}' "$f")
  echo "tick $((36000 - used))" >> "$f"
  args+=(--script "$f")
done

cpu() {  # processor seconds of one run of the runner with "$@"
  local TIMEFORMAT='%U %S'
  { time "$runner" "$@" >/dev/null 2>&1; } 2>&1 | awk '{printf "%.3f\n", $1 + $2}'
}
best() { sort -n | head -1; }

plain=() reviewed=()
for round in 1 2 3; do
  plain+=("$(cpu "${args[@]}")")
  reviewed+=("$(cpu "${args[@]}" --review "$tmp/class.json" --report "$tmp/class.html")")
done
p=$(printf '%s\n' "${plain[@]}" | best)
r=$(printf '%s\n' "${reviewed[@]}" | best)
"$runner" "${args[@]:0:2}" --review "$tmp/one.json" >/dev/null
ticks=$(grep -o '"ticks":[0-9]*' "$tmp/one.json" | head -1 | cut -d: -f2)
echo "machine: $(uptime)"
echo "sessions: 30 x $ticks ticks; outputs: JSON $(stat -c %s "$tmp/class.json") bytes, HTML $(stat -c %s "$tmp/class.html") bytes"
echo "30 sessions without a review: $p s of processor time (runs: ${plain[*]})"
echo "30 sessions with --review and --report: $r s (runs: ${reviewed[*]})"
awk -v p="$p" -v r="$r" 'BEGIN{printf "the review adds %.3f s (%.0f%%)\n", r - p, (p > 0 ? (r - p) * 100 / p : 0)}'
awk -v r="$r" 'BEGIN{ if (r < 0.5) { print "goal met: under 0.5 s"; exit 0 } print "goal missed: 0.5 s"; exit 1 }'
