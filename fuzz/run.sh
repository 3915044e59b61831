#!/usr/bin/env bash
# Builds the libFuzzer target over the runner's scenario and command-line parsers with clang
# (AddressSanitizer + UndefinedBehaviorSanitizer) and runs it for a bounded time on a copy of
# the committed corpus. Any crash, hang, sanitizer report or broken property fails the run.
# Usage: fuzz/run.sh [SECONDS] [BUILD_DIR]       (default 60 s, build/fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
dir=${2:-build/fuzz}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -g -O1"

CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DDRK_BUILD_TESTS=OFF \
  -DDRK_BUILD_BENCH=OFF -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$dir" -j2 --target drk_headless_lib drk_io drk_scenario drk_core
clang++ -std=c++20 -Wall -Wextra -Werror -I. -fsanitize=fuzzer,address,undefined \
  -fno-sanitize-recover=all -g -O1 fuzz/runner_fuzz.cpp \
  "$dir"/platform/headless/libdrk_headless_lib.a "$dir"/platform/io/libdrk_io.a \
  "$dir"/platform/scenario/libdrk_scenario.a "$dir"/libdrk_core.a -lpthread \
  -o "$dir"/runner_fuzz

# New inputs go to a scratch directory; the committed corpus is only read.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS="detect_leaks=1 halt_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1"
"$dir"/runner_fuzz -max_total_time="$seconds" -timeout=5 -rss_limit_mb=1024 -max_len=4096 \
  -print_final_stats=1 -artifact_prefix="$dir"/ "$work" fuzz/corpus
