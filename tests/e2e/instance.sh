#!/bin/bash
# One running copy whatever the temporary folder: with /tmp/vellaro-<uid> planted by someone else
# and no XDG_RUNTIME_DIR, a second start still ends at once without a window, the lock lies in
# the learner's cache folder (never in the current folder), and no temporary folder of the
# program's stays behind once it has ended.
#
# Usage: bash instance.sh <vellaro binary> <build folder>
#
# The test runs in a private mount namespace with fresh tmpfs over /var/lib and /tmp, so neither
# the machine's settings nor its /tmp are touched.
set -euo pipefail

BIN=$(readlink -f "$1")
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

if [[ "${VELLARO_E2E_INSIDE:-}" != 1 ]]; then
    if [[ $(id -u) == 0 ]]; then
        exec env VELLARO_E2E_INSIDE=1 unshare -m --propagation private bash "$0" "$@"
    else
        exec env VELLARO_E2E_INSIDE=1 unshare -Urm bash "$0" "$@"
    fi
fi
mount -t tmpfs tmpfs /var/lib
mkdir -p /var/lib/vellaro
mount -t tmpfs tmpfs /tmp
chmod 1777 /tmp

WORK=$(mktemp -d)
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

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" 2>"$WORK/xvfb.log" &
PIDS+=($!)
for _ in $(seq 100); do
    [[ -s "$WORK/display" ]] && break
    sleep 0.1
done
[[ -s "$WORK/display" ]] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$WORK/display")"
unset WAYLAND_DISPLAY XDG_RUNTIME_DIR
export QT_QPA_PLATFORM=xcb
export HOME="$WORK/home"
mkdir -p "$HOME"

# Someone else's folder where the temporary folder of the learner would be.
PLANTED="/tmp/vellaro-$(id -u)"
mkdir "$PLANTED"
if ! chown 12345:12345 "$PLANTED" 2>/dev/null; then
    chmod 0777 "$PLANTED" # not ours alone either
fi

count_windows() {
    xdotool search --onlyvisible --name '^Vellaro$' 2>/dev/null | wc -l
}

# Both copies start from a folder of their own, where no lock may appear.
mkdir "$WORK/cwd"
cd "$WORK/cwd"
"$BIN" >"$WORK/first.log" 2>&1 &
APP=$!
PIDS+=($APP)
WIN=$(timeout 30 xdotool search --sync --onlyvisible --name '^Vellaro$' 2>/dev/null | head -n1) || true
[[ -n "$WIN" ]] || fail "no window titled Vellaro (log: $(cat "$WORK/first.log"))"

rc=0
timeout 20 "$BIN" >"$WORK/second.log" 2>&1 || rc=$?
[[ $rc == 0 ]] || fail "the second copy ended with $rc"
sleep 1
[[ $(count_windows) == 1 ]] || fail "a second window appeared"
kill -0 "$APP" || fail "the first copy ended"
LOCK="$HOME/.cache/vellaro/EX_Mutex-$(hostname)"
[[ -f "$LOCK" ]] || fail "no lock at $LOCK: $(find "$HOME" -name 'EX_Mutex*')"
[[ $(stat -c %a "$HOME/.cache/vellaro") == 700 ]] || fail "the lock's folder is open to others"
[[ -z "$(ls -A "$WORK/cwd")" ]] || fail "something was left in the current folder: $(ls -A "$WORK/cwd")"

"$WORK/wm_delete" "$WIN" || fail "cannot send WM_DELETE_WINDOW"
timeout 30 tail --pid="$APP" -f /dev/null || fail "the program did not end after WM_DELETE_WINDOW"
rc=0
wait "$APP" || rc=$?
[[ $rc == 0 ]] || fail "the program ended with $rc (log: $(tail -n 30 "$WORK/first.log"))"
left=$(find /tmp -maxdepth 1 -name 'vellaro-*' ! -path "$PLANTED")
[[ -z "$left" ]] || fail "temporary folders left behind: $left"
[[ -d "$PLANTED" ]] || fail "the planted folder was touched"

echo "PASS: one running copy with a planted temporary folder"
