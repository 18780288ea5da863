#!/usr/bin/env bash
# Builds Parvel with AddressSanitizer and UndefinedBehaviorSanitizer and runs the whole test
# suite once under them. Any report fails the run.
# Usage: scripts/test-sanitized.sh [extra ctest options...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PARVEL_SANITIZE_BUILD:-$root/build-asan}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPARVEL_SANITIZE=ON >/dev/null
cmake --build "$build" -j "$(nproc)"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 900 "$@"
