#!/bin/bash
# The real program in a real X server: its window "Vellaro", the single running copy, closing as a
# window manager closes a window, the settings file written at closing, and the window restored
# at the next start. Screenshots of every page go to /tmp/vellaro-shots (outside the repository).
#
# Usage: bash mainwindow.sh <vellaro binary> <build folder>
#
# The program keeps its settings in /var/lib/vellaro. The test runs it in a private mount
# namespace with a fresh tmpfs over /var/lib, so the machine's own folder is never touched.
set -euo pipefail

BIN=$(readlink -f "$1")
BUILD=$(readlink -f "$2")
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
SHOTS=/tmp/vellaro-shots

if [[ "${VELLARO_E2E_INSIDE:-}" != 1 ]]; then
    if [[ $(id -u) == 0 ]]; then
        exec env VELLARO_E2E_INSIDE=1 unshare -m --propagation private bash "$0" "$@"
    else
        exec env VELLARO_E2E_INSIDE=1 unshare -Urm bash "$0" "$@"
    fi
fi
mount -t tmpfs tmpfs /var/lib
mkdir -p /var/lib/vellaro
INI=/var/lib/vellaro/noprg.ini

WORK=$(mktemp -d)
mkdir -p "$SHOTS"
# A private per-user temporary folder, so a copy of the program that the developer runs at the
# same time does not count as "another instance".
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"

PIDS=()
cleanup() {
    local p
    for p in "${PIDS[@]}"; do
        kill "$p" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cc -O1 -o "$WORK/wm_delete" "$HERE/wm_delete.c" -lX11 || fail "cannot build the WM_DELETE_WINDOW helper"

# ---- X server on a free display ----
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$WORK/display" 2>"$WORK/xvfb.log" &
PIDS+=($!)
for _ in $(seq 100); do
    [[ -s "$WORK/display" ]] && break
    sleep 0.1
done
[[ -s "$WORK/display" ]] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$WORK/display")"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

find_window() { # prints the id of the window titled exactly "Vellaro", waiting up to 30 s
    timeout 30 xdotool search --sync --onlyvisible --name '^Vellaro$' 2>/dev/null | head -n1
}

count_windows() {
    xdotool search --onlyvisible --name '^Vellaro$' 2>/dev/null | wc -l
}

shot() { # window id, file name
    sleep 0.5 # let the page paint; only for the picture, nothing is asserted on timing
    import -window "$1" "$SHOTS/$2.png"
}

eventually() { # command...: true once the command succeeds within 30 s (the program may be slow)
    local i
    for ((i = 0; i < 300; i++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

geometry() { # prints "X Y W H" of the window
    local X Y WIDTH HEIGHT WINDOW SCREEN
    eval "$(xdotool getwindowgeometry --shell "$1")"
    echo "$X $Y $WIDTH $HEIGHT"
}

ini_value() {
    tr -d '\r' <"$INI" | sed -n "s/^$1=//p" | head -n1
}

start_program() {
    "$BIN" >"$WORK/vellaro.log" 2>&1 &
    APP=$!
    PIDS+=($APP)
    WIN=$(find_window) || true
    [[ -n "$WIN" ]] || fail "no window titled Vellaro (log: $(cat "$WORK/vellaro.log"))"
}

close_program() {
    "$WORK/wm_delete" "$WIN" || fail "cannot send WM_DELETE_WINDOW"
    local rc=0
    timeout 30 tail --pid="$APP" -f /dev/null || fail "the program did not end after WM_DELETE_WINDOW"
    wait "$APP" || rc=$?
    [[ $rc == 0 ]] || fail "the program ended with $rc (log: $(tail -n 60 "$WORK/vellaro.log"))"
}

# ---- first start: no settings file, no marker ----
start_program
[[ -d "$BUILD/java source" ]] || fail "the work folder 'java source' is not next to the program"
[[ ! -e "$INI" ]] || fail "start-up wrote the settings file"
read -r X Y W H < <(geometry "$WIN")
[[ "$W $H" == "595 520" ]] || fail "first window is ${W}x${H}, expected 595x520"
shot "$WIN" 0-guidance

# ---- a second copy ends at once, without a window ----
start=$(date +%s)
rc=0
timeout 20 "$BIN" >"$WORK/second.log" 2>&1 || rc=$?
[[ $rc == 0 ]] || fail "the second copy ended with $rc"
(($(date +%s) - start < 10)) || fail "the second copy did not end at once"
[[ ! -s "$WORK/second.log" ]] || fail "the second copy said something: $(cat "$WORK/second.log")"
[[ $(count_windows) == 1 ]] || fail "a second window appeared"
kill -0 "$APP" || fail "the first copy ended"

# ---- "表示しない": the button lies 474 px into the strip at the bottom of the guidance panel,
# which sits right of a 27 px margin and above the 23 px status bar ----
xdotool mousemove --window "$WIN" $((27 + 474 + 47)) $((H - 23 - 41 + 10 + 12)) click 1
sleep 0.5
shot "$WIN" 1-input

# ---- the other pages, chosen from the keyboard (Ctrl+Tab on the page control) ----
xdotool mousemove --window "$WIN" 180 70 click 1 # the focus goes into the class-name field
for page in 2-compile 3-speed 4-settings; do
    xdotool key --window "$WIN" ctrl+Tab
    shot "$WIN" "$page"
done
eventually test -f "$INI" || fail "the page switch did not write the settings file"
xdotool key --window "$WIN" ctrl+Tab # back to the first page

# ---- closing as a window manager does: the settings are stored ----
xdotool windowmove "$WIN" 100 80
xdotool windowsize "$WIN" 640 560
sleep 0.5
read -r X Y W H < <(geometry "$WIN")
close_program
[[ -f "$INI" ]] || fail "closing did not store the settings"
lines=$(tr -d '\r' <"$INI" | wc -l)
[[ $lines == 19 ]] || fail "noprg.ini holds $lines lines, expected 19: $(cat "$INI")"
[[ $(head -n1 "$INI") == $'[Bas]\r' ]] || fail "noprg.ini does not start with [Bas]"
[[ $(grep -c $'\r$' "$INI") == 19 ]] || fail "noprg.ini has lines that do not end in CR LF"
[[ $(ini_value PathSrc) == "$BUILD/java source" ]] || fail "PathSrc is $(ini_value PathSrc)"
[[ $(ini_value SpeedDisp) == 0 ]] || fail "SpeedDisp is $(ini_value SpeedDisp) after 表示しない"
[[ $(ini_value YokoSize) == "$W" && $(ini_value TateSize) == "$H" ]] ||
    fail "stored size $(ini_value YokoSize)x$(ini_value TateSize), window was ${W}x${H}"
[[ $(ini_value YokoPos) == "$X" && $(ini_value TatePos) == "$Y" ]] ||
    fail "stored place $(ini_value YokoPos),$(ini_value TatePos), window was at $X,$Y"

# ---- the next start puts the window back where it was ----
start_program
read -r X2 Y2 W2 H2 < <(geometry "$WIN")
[[ "$X2 $Y2 $W2 $H2" == "$X $Y $W $H" ]] || fail "restored at $X2,$Y2 ${W2}x${H2}, expected $X,$Y ${W}x${H}"
shot "$WIN" 5-restarted
close_program

echo "PASS: main window end to end (screenshots in $SHOTS)"
