#!/usr/bin/env bash
# Remakes docs/screenshot.png, docs/screenshot-dark.png and docs/screenshot-history.png: the real
# main window after a loopback peer sent one block that it received and echoed, drawn by Qt's X11
# platform under a virtual X server (Xvfb) with the fonts a fresh machine gets from
# scripts/setup.sh; the dark one as on a GNOME dark desktop (Qt's GTK 3 theme with Adwaita:dark);
# the history window beside it.
# Usage: scripts/screenshot.sh [main.png [dialog.png]]
#   PARVEL_SCALE=2 draws at twice the density, to check the layout on high-DPI screens.
#   PARVEL_LOOK=dark draws one picture on the dark desktop.
#   PARVEL_HISTORY_SHOT=file also draws the 通信履歴 window (docs/screenshot-history.png).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PARVEL_SCREENSHOT_BUILD:-$root/build}
if (($# == 0)); then
    PARVEL_LOOK=light PARVEL_HISTORY_SHOT="$root/docs/screenshot-history.png" "$0" \
        "$root/docs/screenshot.png"
    PARVEL_LOOK=dark "$0" "$root/docs/screenshot-dark.png"
    exit
fi
out=$1
shift
look=()
[[ ${PARVEL_LOOK:-light} == dark ]] && look=(env QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark)

# setup.sh installs Xvfb and the fonts with everything else.
if ! command -v xvfb-run >/dev/null || [[ ! -f $build/CMakeCache.txt ]]; then
    "$root/scripts/setup.sh" "$build"
fi
cmake --build "$build" --target parvel_screenshot

mkdir -p "$(dirname "$out")"
# Most users run Parvel in Japanese; the status bar's date follows the locale.
LANG=${PARVEL_SCREENSHOT_LANG:-ja_JP.UTF-8} QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=${PARVEL_SCALE:-1} \
    "${look[@]}" xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24 -dpi 96 -nolisten tcp" \
    "$build/bin/parvel_screenshot" "$out" "$@"
echo "Wrote $out $*"
