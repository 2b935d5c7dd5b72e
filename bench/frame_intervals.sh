#!/usr/bin/env bash
# Measures the real frame intervals of the visual field exercise at level 10 (nominal 50 ms):
# the real main window on an X server (Xvfb), 200 frames, each timed when the paint surface
# has painted it to the window. Prints min, p5, median, p95 and max.
#
#   bash bench/frame_intervals.sh [build-dir]
#
# The measurement lives in the widget test program (tst_trainer frameIntervals), which skips it
# in ordinary test runs.
set -euo pipefail

build=${1:-$(dirname "$0")/../build}
program="$build/tst_trainer"
if [[ ! -x $program ]]; then
    echo "frame_intervals: $program not found (build the tst_trainer target)" >&2
    exit 2
fi

xvfb-run -a -s "-screen 0 1280x1024x24" \
    env QT_QPA_PLATFORM=xcb "$program" frameIntervals 2>&1 |
    grep -E 'frame intervals|min .* median|PASS|FAIL|SKIP'
