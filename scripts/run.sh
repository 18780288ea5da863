#!/usr/bin/env bash
# Sets up, builds and starts Parvel from its program folder (build/bin).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh" "$root/build"
exec "$root/build/bin/parvel"
