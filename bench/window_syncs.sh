#!/usr/bin/env bash
# What a page switch and closing cost in flushes to disk, in the real program: each build given is
# started under strace (fsync and fdatasync traced) in an Xvfb of its own, with a returning
# learner's settings; the learner switches to the second page by clicking its tab, then closes the
# window. For each, the number of flushes and the time spent in them, the median over the runs.
# Goal: 2 flushes each (the settings file's and its folder's).
#
#   bench/window_syncs.sh [RUNS] [BUILD...]   (default 5 runs of build/rel/vellaro, built here)
#
# Giving an earlier build too measures a change before and after in one run.
set -euo pipefail
source "$(dirname "$0")/support.bash"
# Builds from before the per-learner settings folder keep their settings in /var/lib/vellaro: a
# private one is put there (on the same disk as the learner's HOME), so that the machine's is
# never touched and every build finds the same settings.
private_var_lib "$@"
runs=${1:-5}
shift || true
builds=()
for b in "$@"; do builds+=("$(readlink -f "$b")"); done
cd "$(dirname "$0")/.."
if [[ ${#builds[@]} == 0 ]]; then
    cmake -S . -B build/rel -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLARO_TESTS=OFF >/dev/null
    cmake --build build/rel >/dev/null
    builds=("$PWD/build/rel/vellaro")
fi
command -v strace >/dev/null || { echo "strace is needed (apt-get install strace)" >&2; exit 1; }

WORK=$(mktemp -d)
trap cleanup EXIT
mkdir -p /var/lib/vellaro "$WORK/system"
mount --bind "$WORK/system" /var/lib/vellaro
build_wm_delete
start_x

# The number of flushes in a trace and the milliseconds spent in them (strace -T).
flushes() {
    awk '/(fsync|fdatasync)\(/ && /<[0-9.]+>$/ {
        n++; t = $NF; gsub(/[<>]/, "", t); s += t
    } END { printf "%d %.2f\n", n, s * 1000 }' "$1"
}

# Waits until the trace has stopped growing: the program is idle again.
settle() {
    local size=-1
    while [[ $(stat -c %s "$1") != "$size" ]]; do
        size=$(stat -c %s "$1")
        sleep 0.5
    done
}

measure() {
    local build=$1 trace=$WORK/trace home win app
    home=$(returning_learner_home)
    rm -rf "$WORK/system"/*
    cp "$home/.config/vellaro"/*.ini /var/lib/vellaro/
    (cd "$home" && HOME="$home" XDG_RUNTIME_DIR="$home/.run" exec strace -f -qq -T -e trace=fsync,fdatasync -o "$trace" \
        "$build") >/dev/null 2>&1 &
    app=$!
    win=$(find_window) || true
    [[ -n "$win" ]] || fail "no window of $build"
    settle "$trace"
    cp "$trace" "$WORK/started"
    # The second page's tab: the tabs sit below the menu bar, the second one about 140 pixels in.
    xdotool mousemove --window "$win" 140 44 click 1
    settle "$trace"
    cp "$trace" "$WORK/switched"
    "$WORK/wm_delete" "$win" || fail "cannot close the window"
    timeout 30 tail --pid="$app" -f /dev/null || fail "$build did not end"
    wait "$app" || true
    local s w c
    s=$(flushes "$WORK/started")
    w=$(flushes "$WORK/switched")
    c=$(flushes "$trace")
    # Per action: the flushes and milliseconds it added.
    echo "$(( ${w% *} - ${s% *} )) $(awk -v a="${w#* }" -v b="${s#* }" 'BEGIN{print a-b}')" \
        >>"$WORK/switch.txt"
    echo "$(( ${c% *} - ${w% *} )) $(awk -v a="${c#* }" -v b="${w#* }" 'BEGIN{print a-b}')" \
        >>"$WORK/close.txt"
}

printf '%-40s %-22s %s\n' build "page switch" closing
for build in "${builds[@]}"; do
    : >"$WORK/switch.txt"
    : >"$WORK/close.txt"
    for _ in $(seq "$runs"); do measure "$build"; done
    sw=$(printf '%s flushes, %s ms' "$(cut -d' ' -f1 "$WORK/switch.txt" | median)" \
        "$(cut -d' ' -f2 "$WORK/switch.txt" | median)")
    cl=$(printf '%s flushes, %s ms' "$(cut -d' ' -f1 "$WORK/close.txt" | median)" \
        "$(cut -d' ' -f2 "$WORK/close.txt" | median)")
    printf '%-40s %-22s %s\n' "$build" "$sw" "$cl"
done
