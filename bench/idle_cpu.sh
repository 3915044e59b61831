#!/usr/bin/env bash
# Processor use of the simulator ticking in real time (100 ms apart), instrument measuring.
# Usage: bench/idle_cpu.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
build=${1:-build/release}
seconds=${2:-30}
runner=$build/platform/headless/drk20vt5p-headless
ticks=$((seconds * 10))
out=$(mktemp)
/usr/bin/time -f "%e %U %S" -o "$out" "$runner" --realtime --ticks "$ticks" >/dev/null
read -r wall user sys <"$out"
rm -f "$out"
python3 - "$wall" "$user" "$sys" <<'PY'
import sys
wall, user, sys_ = map(float, sys.argv[1:])
cpu = user + sys_
print(f"wall {wall:.2f} s, cpu {cpu:.3f} s (user {user:.3f}, sys {sys_:.3f}), "
      f"{100 * cpu / wall:.3f} % of one core")
PY
