#!/usr/bin/env bash
# Fails when any tracked C++ file differs from the house format (.clang-format, clang-format 14).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if ! clang-format --dry-run -Werror "${files[@]}"; then
    echo "Not clang-format clean: run clang-format -i on the files above." >&2
    exit 1
fi
echo "clang-format: ${#files[@]} files clean."
