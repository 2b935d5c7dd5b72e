#!/usr/bin/env bash
# Runs every end-to-end test against the installed program, as CI does after installing the
# package. Usage: scripts/e2e_installed.sh [PROGRAM] (default /usr/bin/vellaro)
set -euo pipefail
cd "$(dirname "$0")/.."
program="${1:-/usr/bin/vellaro}"
[[ -x "$program" ]] || { echo "e2e: $program is not installed" >&2; exit 1; }

passed=0
failed=0
skipped=0
for t in tests/e2e/*.sh; do
  echo "== $(basename "$t" .sh) against $program"
  rc=0
  timeout 300 bash "$t" "$program" "$PWD/build/test" || rc=$?
  case $rc in
    0) passed=$((passed + 1)) ;;
    77) skipped=$((skipped + 1)) ;;
    *) failed=$((failed + 1)); echo "-- $(basename "$t" .sh) failed ($rc)" ;;
  esac
done
echo "e2e: $passed passed, $failed failed, $skipped skipped"
[[ $failed == 0 ]]
