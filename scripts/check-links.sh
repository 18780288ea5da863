#!/usr/bin/env bash
# Builds every library as a shared library that must resolve all its symbols from what its
# CMake target links: a library that uses another without declaring it fails here.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PARVEL_LINKS_BUILD:-$root/build-links}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBUILD_SHARED_LIBS=ON \
    -DCMAKE_SHARED_LINKER_FLAGS=-Wl,--no-undefined -DBUILD_TESTING=OFF -DPARVEL_BUILD_BENCH=OFF \
    >/dev/null
libraries=(parvel_platform parvel_lib parvel_record parvel_commandline parvel_headless parvel_forms parvel_app)
cmake --build "$build" -j "$(nproc)" --target "${libraries[@]}"
echo "Each library links on its own: ${libraries[*]}."
