#!/usr/bin/env bash
# Installs what Parvel needs on a fresh Debian 12 machine (only the missing packages), then
# configures and builds it. Usage: scripts/setup.sh [build-folder] [extra cmake options...]
# PARVEL_TARGETS names the targets to build (default: everything).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
shift || true

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    qt6-wayland            # native windows on a Wayland desktop
    fonts-ipafont-gothic   # the Japanese texts
    qt6-translations-l10n  # Qt's own menus and buttons in Japanese
    xvfb xauth             # screenshots of the real windows
    qt6-gtk-platformtheme  # GNOME's look, light or dark, on a GNOME desktop
    socat                  # reference echo server for the benchmark
    clang libclang-rt-14-dev # fuzzing and sanitizers
    clang-format           # the house format, checked in CI
)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
        || missing+=("$package")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends \
        "${missing[@]}"
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${PARVEL_BUILD_TYPE:-RelWithDebInfo}" "$@"
read -r -a targets <<<"${PARVEL_TARGETS:-all}"
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
