#!/usr/bin/env bash
# Sets up, builds (Release) and runs the echo benchmark: Parvel's real window, headless, against
# a minimal echo server and socat on loopback. Prints one table; the same figures go to
# <build>/bench-results.json. The run ends by itself within three minutes.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PARVEL_BENCH_BUILD:-$root/build-bench}
PARVEL_BUILD_TYPE=Release "$root/scripts/setup.sh" "$build" -DBUILD_TESTING=OFF -DPARVEL_BUILD_BENCH=ON
QT_QPA_PLATFORM=offscreen timeout --kill-after=10 180 \
    "$build/bin/parvel_bench" --json "$build/bench-results.json"
