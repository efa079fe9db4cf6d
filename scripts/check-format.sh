#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what .clang-format asks for.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h')
((${#files[@]})) || exit 0
clang-format --dry-run --Werror "${files[@]}"
