#!/usr/bin/env bash
# The house style (.clang-format) with Debian 12's clang-format 14: `scripts/format.sh` reformats
# every tracked C and C++ source in place; `scripts/format.sh --check` changes nothing and fails,
# naming the places, when a source is not formatted.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files '*.c' '*.cpp' '*.h')
if [[ "${1:-}" == --check ]]; then
    clang-format --dry-run --Werror "${sources[@]}"
else
    clang-format -i "${sources[@]}"
fi
