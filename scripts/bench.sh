#!/usr/bin/env bash
# Sets up, builds (Release) and runs the echo benchmark: Parvel's real window (offscreen) and
# parvel --headless, against a minimal echo server and socat on loopback. Prints one table; the
# same figures go to <build>/bench-results.json; then the round trips again pinned to one CPU
# (bench-results-pinned.json).
# The benchmark is built only here (PARVEL_BUILD_BENCH). The run ends by itself within seven
# minutes.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PARVEL_BENCH_BUILD:-$root/build-bench}
PARVEL_BUILD_TYPE=Release "$root/scripts/setup.sh" "$build" -DBUILD_TESTING=OFF -DPARVEL_BUILD_BENCH=ON
QT_QPA_PLATFORM=offscreen timeout --kill-after=10 270 \
    "$build/bin/parvel_bench" --json "$build/bench-results.json"
# The round trips again with every process on one CPU: no wake-up of an idle CPU in between.
echo
echo "Round trips with every process pinned to CPU 0 (taskset -c 0):"
QT_QPA_PLATFORM=offscreen timeout --kill-after=10 120 taskset -c 0 \
    "$build/bin/parvel_bench" --round-trips-only --json "$build/bench-results-pinned.json"
