#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 30) on its seed
# corpus. A property failure or crash stops with the failing input under build/fuzz/findings.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
secs="${1:-30}"
shift || true

CXX=clang++ CC=clang cmake -S . -B build/fuzz -G Ninja -DVELLARO_FUZZ=ON -DVELLARO_TESTS=OFF \
  -DVELLARO_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
mkdir -p build/fuzz/findings
status=0
passed=0
failed=0
for t in "${targets[@]}"; do
  work="build/fuzz/corpus/$t"
  mkdir -p "$work"
  echo "== $t: ${secs}s"
  # The seed corpus stays read-only; what the fuzzer finds goes into the build folder.
  if ! "build/fuzz/fuzz/$t" -max_total_time="$secs" -print_final_stats=1 \
      -artifact_prefix="build/fuzz/findings/$t-" "$work" "fuzz/corpus/$t" 2>"build/fuzz/$t.log"; then
    status=1
    failed=$((failed + 1))
    tail -n 30 "build/fuzz/$t.log"
  else
    passed=$((passed + 1))
  fi
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "build/fuzz/$t.log" || true
done
echo "fuzz: $passed passed, $failed failed"
exit $status
