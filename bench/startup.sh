#!/usr/bin/env bash
# Start-up of Vellaro against a bare Qt window (bench/startup/minimal_window.cpp), both built in
# Release and started in turn under one Xvfb: the median time from exec to the first mapped
# window of each, their ratio (goal: <= 1.3), and Vellaro's peak resident memory (goal: <= 60 MiB).
# Vellaro starts with a settings file present and the start-up guidance dismissed, with a fresh
# HOME of its own for every start.
#
#   bench/startup.sh [RUNS] [EARLIER]   (default 15 of each; builds into build/rel)
#
# EARLIER, another build of Vellaro (an earlier version, say), is started in the same turns, so
# that a change is measured before and after in one run.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}
earlier=${2:+$(readlink -f "$2")}
root=$PWD

cmake -S . -B build/rel -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLARO_TESTS=OFF >/dev/null
cmake --build build/rel >/dev/null

WORK=$(mktemp -d)
source bench/support.bash
trap cleanup EXIT
cc -O2 -o "$WORK/mapwait" bench/startup/mapwait.c -lX11
start_x

# Each start in turn: Vellaro, the bare window, and the earlier Vellaro when one is given.
names=(Vellaro "bare Qt")
programs=("$root/build/rel/vellaro" "$root/build/rel/startup_minimal_window")
if [[ -n "$earlier" ]]; then
    names+=(earlier)
    programs+=("$earlier")
fi
for i in "${!programs[@]}"; do : >"$WORK/times-$i.txt"; done
for _ in $(seq "$runs"); do
    for i in "${!programs[@]}"; do
        home=$(returning_learner_home)
        (cd "$home" && HOME="$home" XDG_RUNTIME_DIR="$home/.run" "$WORK/mapwait" "${programs[$i]}") >>"$WORK/times-$i.txt"
    done
done

printf 'runs                 %d of each, alternating\n' "$runs"
for i in "${!programs[@]}"; do
    m=$(cut -d' ' -f1 "$WORK/times-$i.txt" | median)
    rss=$(cut -d' ' -f2 "$WORK/times-$i.txt" | sort -n | tail -n1)
    awk -v n="${names[$i]}" -v m="$m" -v rss="$rss" \
        'BEGIN { printf "%-10s median    %.1f ms   peak resident %.1f MiB\n", n, m, rss / 1024 }'
    medians[i]=$m
done
awk -v v="${medians[0]}" -v f="${medians[1]}" 'BEGIN { printf "ratio                %.2f\n", v / f }'
if [[ -n "$earlier" ]]; then
    awk -v e="${medians[2]}" -v f="${medians[1]}" \
        'BEGIN { printf "earlier ratio        %.2f\n", e / f }'
fi
