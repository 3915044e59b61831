#!/usr/bin/env bash
# Processor use of the desktop app over 30 s of measuring in a real window under Xvfb.
# Usage: bench/desktop_cpu.sh [BUILD_DIR] [SECONDS]   (goal: under 2 % of one core)
set -euo pipefail
build=${1:-build/release}
seconds=${2:-30}
app=$build/platform/sdl/drk20vt5p
display=":$((150 + $$ % 50))"
# -noreset: a server that resets when its last client leaves refuses connections meanwhile.
Xvfb "$display" -noreset -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
DISPLAY=$display SDL_AUDIODRIVER=dummy "$app" 2>/dev/null &
pid=$!
sleep 8  # past the power-on and the greeting: measuring from here
hz=$(getconf CLK_TCK)
read -r u0 s0 < <(awk '{print $14, $15}' /proc/$pid/stat)
t0=$(date +%s.%N)
sleep "$seconds"
read -r u1 s1 < <(awk '{print $14, $15}' /proc/$pid/stat)
t1=$(date +%s.%N)
kill $pid
python3 - "$u0" "$s0" "$u1" "$s1" "$t0" "$t1" "$hz" <<'PY'
import sys
u0, s0, u1, s1 = map(int, sys.argv[1:5]); t0, t1 = map(float, sys.argv[5:7]); hz = int(sys.argv[7])
cpu = (u1 - u0 + s1 - s0) / hz
print(f"desktop app, {t1 - t0:.1f} s of measuring under Xvfb: cpu {cpu:.3f} s, "
      f"{100 * cpu / (t1 - t0):.2f} % of one core")
PY
