#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) and
# runs each for a bounded time from its seed corpus in fuzz/corpus/<target>.
# Usage: scripts/fuzz.sh [seconds-per-target] [target...]   (default 20 s each, all targets)
# A crash leaves its input in build-fuzz/artifacts/; turn it into a regression test.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PARVEL_FUZZ_BUILD:-$root/build-fuzz}
seconds=${1:-20}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(fuzz_ini fuzz_numeric fuzz_grid)

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPARVEL_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
mkdir -p "$build/artifacts"
failed=()
for target in "${targets[@]}"; do
    # New inputs go to the build folder; the committed seeds are only read.
    work="$build/corpus/$target"
    mkdir -p "$work"
    echo "== $target: ${seconds}s"
    if ! "$build/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
        "$work" "$root/fuzz/corpus/$target" 2>"$build/$target.log"; then
        tail -n 40 "$build/$target.log"
        failed+=("$target")
    else
        grep -E '^(stat::number_of_executed_units|stat::new_units_added)' "$build/$target.log" || true
    fi
done
if ((${#failed[@]})); then
    echo "Fuzzing found failures in: ${failed[*]} (inputs in $build/artifacts/)"
    exit 1
fi
echo "Fuzzing: ${#targets[@]} targets, ${seconds}s each, no failure."
