#!/usr/bin/env bash
# Builds Vellaro with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test
# under them. What is suppressed belongs to system libraries: tests/sanitizers/*.supp.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELLARO_SANITIZE=ON \
  -DVELLARO_WERROR=ON -DVELLARO_BENCH=OFF >/dev/null
cmake --build build/sanitize
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build/sanitize --output-on-failure -j2
