#!/usr/bin/env bash
# Start-up of Vellaro against a bare Qt window (bench/startup/minimal_window.cpp), both built in
# Release and started in turn under one Xvfb: the median time from exec to the first mapped
# window of each, their ratio (goal: <= 1.3), and Vellaro's peak resident memory (goal: <= 60 MiB).
# Vellaro starts with a settings file present and the start-up guidance dismissed, with a fresh
# HOME of its own for every start.
#
#   bench/startup.sh [RUNS]     (default 15 of each; builds into build/rel)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}
root=$PWD

cmake -S . -B build/rel -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLARO_TESTS=OFF >/dev/null
cmake --build build/rel >/dev/null

work=$(mktemp -d)
cleanup() {
    [[ -n "${xvfb:-}" ]] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
cc -O2 -o "$work/mapwait" bench/startup/mapwait.c -lX11

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")"
unset WAYLAND_DISPLAY
mkdir -m 0700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"

# A learner who has used Vellaro before: settings stored, guidance dismissed.
fresh_home() {
    local home="$work/home"
    rm -rf "$home"
    mkdir -p -m 0700 "$home/.config/vellaro" "$home/Vellaro/java source"
    printf '[Bas]\r\nPathSrc=%s\r\nYokoPos=100\r\nTatePos=100\r\n' "$home/Vellaro/java source" \
        >"$home/.config/vellaro/noprg.ini"
    printf '[Vellaro]\r\nGuidanceDismissed=sz:Dismissed\r\n' \
        >"$home/.config/vellaro/machine-values.ini"
    echo "$home"
}

: >"$work/vellaro.txt"
: >"$work/floor.txt"
for _ in $(seq "$runs"); do
    home=$(fresh_home)
    (cd "$home" && HOME="$home" "$work/mapwait" "$root/build/rel/vellaro") >>"$work/vellaro.txt"
    HOME="$home" "$work/mapwait" build/rel/startup_minimal_window >>"$work/floor.txt"
done

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
v=$(cut -d' ' -f1 "$work/vellaro.txt" | median)
f=$(cut -d' ' -f1 "$work/floor.txt" | median)
rss=$(cut -d' ' -f2 "$work/vellaro.txt" | sort -n | tail -n1)
frss=$(cut -d' ' -f2 "$work/floor.txt" | sort -n | tail -n1)
awk -v runs="$runs" -v v="$v" -v f="$f" -v rss="$rss" -v frss="$frss" 'BEGIN {
    printf "runs                 %d of each, alternating\n", runs
    printf "Vellaro    median    %.1f ms   peak resident %.1f MiB\n", v, rss / 1024
    printf "bare Qt    median    %.1f ms   peak resident %.1f MiB\n", f, frss / 1024
    printf "ratio                %.2f\n", v / f
}'
