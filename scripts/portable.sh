#!/usr/bin/env bash
# Checks that the core stays portable: every file of the core libraries (the files at the top of
# src/common, src/settings, src/exercise and src/trainer) except the platform_* files, which hold
# the system calls, compiles for Windows with mingw-w64's C++20 compiler, warnings as errors.
# Only the syntax is checked: nothing is linked or run.
set -euo pipefail
cd "$(dirname "$0")/.."

cxx=x86_64-w64-mingw32-g++-posix
command -v "$cxx" >/dev/null || { echo "portable: $cxx is missing (scripts/deps.sh)" >&2; exit 1; }

passed=0
failed=0
for f in src/common/*.cpp src/settings/*.cpp src/exercise/*.cpp src/trainer/*.cpp; do
  case "$(basename "$f")" in platform_*) continue ;; esac
  if "$cxx" -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror -Isrc "$f"; then
    passed=$((passed + 1))
  else
    echo "portable: $f does not compile for Windows" >&2
    failed=$((failed + 1))
  fi
done
echo "portable: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
