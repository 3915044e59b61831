#!/usr/bin/env bash
# Whole-process figures of the headless runner, measured side by side in one run so that
# their ratios hold on a shared, noisy machine:
#   fast-forward: instrument time per wall time of a 1-hour run (--ticks 36000) and a 24-hour
#                 run (--ticks 864000), first as the machine is, then with every processor kept
#                 busy by a load generator this script starts and stops itself (goals for this
#                 engine: >= 100,000x as the machine is, >= 30,000x with the processors busy);
#                 with --trace FILE (goal >= 2,000x);
#   memory:       peak resident size of a 1-hour and a 24-hour run (must not grow with the
#                 length of the run: the 24-hour figure at most 1 MiB above the 1-hour one);
#   threads:      the runner's threads while it runs (read from /proc: one).
# Each 1-hour figure is the best of three runs, each 24-hour figure the best of two.
#
# With --baseline REV the same runs are made, interleaved, with the runner of an earlier
# revision (built once into build/baseline-REV from a temporary git worktree), and the ratio
# of the two is printed. For the earlier engine's 24-hour run under load, which takes minutes,
# pass --baseline-busy-24h.
#
# Usage: bench/fast_forward.sh [BUILD_DIR] [--baseline REV] [--baseline-busy-24h]
#        (BUILD_DIR: a Release build; default build/release)
# Exits 1 when a goal is missed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/release baseline="" baseline_busy_24h=0
while [ $# -gt 0 ]; do
  case $1 in
    --baseline) baseline=$2; shift 2 ;;
    --baseline-busy-24h) baseline_busy_24h=1; shift ;;
    -*) echo "usage: $0 [BUILD_DIR] [--baseline REV] [--baseline-busy-24h]" >&2; exit 2 ;;
    *) build=$1; shift ;;
  esac
done
runner=$build/platform/headless/drk20vt5p-headless
[ -x "$runner" ] || { echo "no runner at $runner (build it with -DCMAKE_BUILD_TYPE=Release)" >&2; exit 2; }

tmp=$(mktemp -d)
load_pids=()
stop_load() {
  for p in "${load_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  load_pids=()
}
trap 'stop_load; rm -rf "$tmp"' EXIT

base_runner=""
if [ -n "$baseline" ]; then
  rev=$(git rev-parse --short "$baseline")
  base_dir=build/baseline-$rev
  base_runner=$base_dir/platform/headless/drk20vt5p-headless
  if [ ! -x "$base_runner" ]; then
    echo "Building the runner of $rev into $base_dir ..."
    git worktree add --detach "$tmp/baseline" "$rev" >/dev/null
    cmake -S "$tmp/baseline" -B "$base_dir" -DCMAKE_BUILD_TYPE=Release -DDRK_BUILD_TESTS=OFF \
      -DDRK_BUILD_BENCH=OFF >/dev/null
    cmake --build "$base_dir" -j"$(nproc)" --target drk20vt5p-headless >/dev/null
    git worktree remove --force "$tmp/baseline"
  fi
fi

# Keeps every processor busy with a plain spinning shell until stop_load.
start_load() {
  for _ in $(seq "$(nproc)"); do
    sh -c 'while :; do :; done' &
    load_pids+=($!)
  done
  sleep 1
}

# Runs RUNNER with the given arguments N times; prints "WALL_SECONDS PEAK_KB", the shortest
# wall time (the run least disturbed by the machine's other work) and the largest resident
# size.
measure() {
  local runner=$1 n=$2; shift 2
  local best="" peak=0 wall rss t0 t1
  for _ in $(seq "$n"); do
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

# The runner's thread count in the middle of a long run.
threads_of() {
  "$1" --ticks 100000000 >/dev/null &
  local pid=$! count=""
  for _ in $(seq 50); do
    count=$(awk '/^Threads:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
    [ -n "$count" ] && break
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "${count:-?}"
}

echo "$(date -u +%F) $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"

results=$tmp/results
: >"$results"
record() { echo "$*" >>"$results"; }  # engine condition hours wall peak

for condition in quiet busy; do
  [ "$condition" = busy ] && start_load
  for engine in new base; do
    r=$runner
    if [ "$engine" = base ]; then
      [ -n "$base_runner" ] || continue
      r=$base_runner
    fi
    read -r w p < <(measure "$r" 3 --ticks 36000)
    record "$engine $condition 1 $w $p"
    if [ "$engine" = new ] || [ "$condition" = quiet ] || [ $baseline_busy_24h -eq 1 ]; then
      read -r w p < <(measure "$r" 2 --ticks 864000)
      record "$engine $condition 24 $w $p"
    fi
  done
  [ "$condition" = busy ] && stop_load
done
read -r wt pt < <(measure "$runner" 3 --ticks 36000 --trace "$tmp/trace.jsonl")
record "new trace 1 $wt $pt"
rm -f "$tmp/trace.jsonl"
threads=$(threads_of "$runner")

python3 - "$results" "$threads" <<'PY'
import sys
rows = [l.split() for l in open(sys.argv[1])]
threads = sys.argv[2]
fig = {(e, c, int(h)): (max(float(w), 1e-6), int(p)) for e, c, h, w, p in rows}
missed = 0
def goal(name, ok, text):
    global missed
    missed += not ok
    print(f"{name:<40} {text:<52} {'goal met' if ok else 'GOAL MISSED'}")
def show(name, text):
    print(f"{name:<40} {text}")
hour = 3600.0
for cond, want in (("quiet", 100000), ("busy", 30000)):
    label = "as the machine is" if cond == "quiet" else "every processor busy"
    for h in (1, 24):
        if ("new", cond, h) not in fig:
            continue
        w, _ = fig[("new", cond, h)]
        goal(f"fast-forward {h} h, {label}", h * hour / w >= want,
             f"{h * hour / w:,.0f}x ({w:.3f} s wall; goal >= {want:,}x)")
        if ("base", cond, h) in fig:
            bw, _ = fig[("base", cond, h)]
            show(f"  earlier engine, same runs", f"{h * hour / bw:,.0f}x ({bw:.3f} s wall): "
                 f"this engine {bw / w:.1f}x as fast")
w, _ = fig[("new", "trace", 1)]
goal("fast-forward 1 h, --trace FILE", hour / w >= 2000, f"{hour / w:,.0f}x ({w:.3f} s; goal >= 2,000x)")
p1, p24 = fig[("new", "quiet", 1)][1], fig[("new", "quiet", 24)][1]
goal("peak RSS, 1 h and 24 h", p24 <= p1 + 1024, f"{p1} KB and {p24} KB (goal: no growth)")
goal("threads of the running runner", threads == "1", f"{threads} (goal: 1)")
sys.exit(1 if missed else 0)
PY
