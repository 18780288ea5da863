#!/usr/bin/env bash
# Sets up, builds (warnings are errors) and runs the whole test suite headless.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PARVEL_TEST_BUILD:-$root/build-test}
"$root/scripts/setup.sh" "$build" -DPARVEL_WERROR=ON
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600
