#!/usr/bin/env bash
# Sets up, builds and starts Parvel from its program folder (build/bin). Builds only the program and
# its default settings: the test command builds everything else.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PARVEL_TARGETS="parvel default_settings" "$root/scripts/setup.sh" "$root/build"
exec "$root/build/bin/parvel"
