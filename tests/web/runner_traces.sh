#!/usr/bin/env bash
# The headless runner built with Emscripten, under node, against the native runner: on every
# committed scenario and golden session both write a trace, a WAV, a PNG and the review (JSON
# and HTML), which must be the same byte for byte.
#
#   tests/web/runner_traces.sh --native HEADLESS --node HEADLESS.js
set -euo pipefail
cd "$(dirname "$0")/../.."

native="" node_runner=""
while [ $# -gt 0 ]; do
  case $1 in
    --native) native=$(realpath "$2"); shift 2 ;;
    --node) node_runner=$(realpath "$2"); shift 2 ;;
    *) echo "usage: $0 --native HEADLESS --node HEADLESS.js" >&2; exit 2 ;;
  esac
done
[ -x "$native" ] && [ -f "$node_runner" ] || {
  echo "usage: $0 --native HEADLESS --node HEADLESS.js" >&2
  exit 2
}

# Emscripten's loader takes node's fetch for a browser's; without it, it reads the file.
run_node() { node --no-experimental-fetch "$node_runner" "$@"; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

passed=0 failed=0
for script in tests/golden/*.scn tests/scenarios/*.scn tests/drills/*.scn; do
  name=$(basename "$(dirname "$script")")-$(basename "$script" .scn)
  ok=1
  for side in native node; do
    if [ $side = native ]; then runner=("$native"); else runner=(run_node); fi
    set +e
    "${runner[@]}" --script "$script" --trace "$out/$name.$side.trace" --wav "$out/$name.$side.wav" \
      --screenshot "$out/$name.$side.png" --review "$out/$name.$side.review" \
      --report "$out/$name.$side.report" >"$out/$name.$side.out" 2>&1
    echo $? >"$out/$name.$side.rc"
    set -e
  done
  for kind in rc out trace wav png review report; do
    if ! cmp -s "$out/$name.native.$kind" "$out/$name.node.$kind"; then
      echo "FAIL $script: the $kind differs between the native runner and the runner under node"
      cmp "$out/$name.native.$kind" "$out/$name.node.$kind" | head -1 || true
      ok=0
    fi
  done
  if [ "$(cat "$out/$name.native.rc")" != 0 ]; then
    echo "FAIL $script: the native runner exited $(cat "$out/$name.native.rc")"
    ok=0
  fi
  if [ $ok = 1 ]; then
    passed=$((passed + 1))
    echo "ok   $script ($(wc -l <"$out/$name.node.trace") ticks)"
  else
    failed=$((failed + 1))
  fi
done

echo "web-runner: $passed passed, $failed failed"
[ "$failed" = 0 ]
