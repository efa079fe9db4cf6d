#!/usr/bin/env bash
# Fails when one of the project's C++ files differs from what .clang-format
# asks for. The project's files are those under the folders the top-level
# CMakeLists.txt builds, so the check is the same in a clone and in a release
# tarball, and never reaches into a build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t folders < <(sed -n 's/^[[:space:]]*add_subdirectory(\([^ )]*\))$/\1/p' CMakeLists.txt)
((${#folders[@]})) || { echo "check-format.sh: no folders found in CMakeLists.txt" >&2; exit 1; }
mapfile -t files < <(find "${folders[@]}" -type d -name 'build*' -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' \) -print | sort)
((${#files[@]})) || exit 0
clang-format --dry-run --Werror "${files[@]}"
