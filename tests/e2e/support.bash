# Shared by the end-to-end tests; sourced, not a test of its own. An X server of the test's own, the
# WM_DELETE_WINDOW helper, the machine's earlier-layout folders hidden, and waiting for windows.
# A test sets WORK (its scratch folder) before start_x and build_wm_delete.

E2E_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
PIDS=()

# Stops the test with a message, and a picture of the screen in /tmp/vellaro-shots for the record.
fail() {
    echo "FAIL: $*" >&2
    if [[ -n "${DISPLAY:-}" ]] && mkdir -p /tmp/vellaro-shots 2>/dev/null; then
        import -window root "/tmp/vellaro-shots/failed-$(basename "$0" .sh).png" 2>/dev/null || true
    fi
    exit 1
}

# Kills what the test started and removes its scratch folder; the test's EXIT trap.
cleanup() {
    local p
    for p in "${PIDS[@]}"; do
        kill "$p" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    [[ -z "${WORK:-}" ]] || rm -rf "$WORK"
}

# An absolute path to the program as given (a link stays a link).
absolute() {
    echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
}

# Runs the calling script again in a private mount namespace with a fresh tmpfs over /var/lib, so
# that the machine's own /var/lib/vellaro (the earlier layout's settings) is never seen or touched.
# Call it with the script's arguments before anything else.
private_var_lib() {
    if [[ "${VELLARO_E2E_INSIDE:-}" != 1 ]]; then
        if [[ $(id -u) == 0 ]]; then
            exec env VELLARO_E2E_INSIDE=1 unshare -m --propagation private bash "$0" "$@"
        else
            exec env VELLARO_E2E_INSIDE=1 unshare -Urm bash "$0" "$@"
        fi
    fi
    mount -t tmpfs tmpfs /var/lib
}

# Xvfb on a free display; exports DISPLAY and makes Qt use it.
start_x() {
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$WORK/display" 2>"$WORK/xvfb.log" &
    PIDS+=($!)
    local _
    for _ in $(seq 100); do
        [[ -s "$WORK/display" ]] && break
        sleep 0.1
    done
    [[ -s "$WORK/display" ]] || fail "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$WORK/display")"
    unset WAYLAND_DISPLAY
    export QT_QPA_PLATFORM=xcb
}

build_wm_delete() {
    cc -O1 -o "$WORK/wm_delete" "$E2E_HERE/wm_delete.c" -lX11 ||
        fail "cannot build the WM_DELETE_WINDOW helper"
}

# Prints the id of the visible window titled exactly "Vellaro" (of the given process, when a pid
# is given), waiting up to 30 s.
find_window() {
    local criteria=(--onlyvisible --name '^Vellaro$')
    [[ -z "${1:-}" ]] || criteria=(--all --onlyvisible --pid "$1" --name '^Vellaro$')
    timeout 30 xdotool search --sync "${criteria[@]}" 2>/dev/null | head -n1
}

count_windows() {
    xdotool search --onlyvisible --name '^Vellaro$' 2>/dev/null | wc -l
}

# The number of visible windows of a process: 1 while the program shows only its main window;
# a message box would be a second one.
windows_of() {
    xdotool search --onlyvisible --pid "$1" 2>/dev/null | wc -l
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

# The value of a key in a settings file (CP932 with CR LF), as UTF-8.
ini_value() { # file key
    tr -d '\r' <"$1" | sed -n "s/^$2=//p" | head -n1 | iconv -f CP932 -t UTF-8
}

# Presses "表示しない" on the guidance panel: the button lies 474 px into the strip at the bottom
# of the panel, which sits right of a 27 px margin and above the 23 px status bar.
dismiss_guidance() { # window
    local X Y W H
    read -r X Y W H < <(geometry "$1")
    xdotool mousemove --window "$1" $((27 + 474 + 47)) $((H - 23 - 41 + 10 + 12)) click 1
}

# Sends WM_DELETE_WINDOW to the window and waits for its process to end with status 0.
close_window() { # window pid log
    "$WORK/wm_delete" "$1" || fail "cannot send WM_DELETE_WINDOW"
    local rc=0
    timeout 30 tail --pid="$2" -f /dev/null || fail "the program did not end after WM_DELETE_WINDOW"
    wait "$2" || rc=$?
    [[ $rc == 0 ]] || fail "the program ended with $rc (log: $(tail -n 60 "$3"))"
}
