#!/bin/bash
# Two learners on one machine: the real program run by two accounts (two UIDs, each with its own
# HOME and XDG_RUNTIME_DIR), one after the other and then at the same time. Each gets their own
# settings file, guidance marker and work folder, neither sees a message box, and both windows
# run at once. The first learner is the one the earlier layout's /var/lib/vellaro was given to:
# their settings and work folder come along, and that folder is left as it was; the second
# learner starts fresh.
#
# Usage: bash two_learners.sh <vellaro binary> [<build folder>]
#
# Running the program as other accounts needs root; without it the test is skipped (77). It runs in
# a private mount namespace with fresh tmpfs over /var/lib and /opt, where it lays out the earlier
# layout itself.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$HERE/support.bash"
if [[ $(id -u) != 0 ]]; then
    echo "SKIP: running the program as two other accounts needs root"
    exit 77
fi
BIN=$(absolute "$1")
private_var_lib "$@"
mount -t tmpfs tmpfs /opt

WORK=$(mktemp -d)
chmod 755 "$WORK"
trap cleanup EXIT
build_wm_delete
start_x

# Two accounts known nowhere else: the first two unused ids from 61000 on.
ids=()
for id in $(seq 61000 61999); do
    getent passwd "$id" >/dev/null || getent group "$id" >/dev/null || ids+=("$id")
    ((${#ids[@]} < 2)) || break
done
UID_A=${ids[0]}
UID_B=${ids[1]}

# The program as the accounts can reach it: from a build folder below a private home, the program
# and what stands beside it (its files, its helper programs vellaro-*) are copied out.
PROGRAM="$BIN"
if ! setpriv --reuid="$UID_A" --regid="$UID_A" --clear-groups test -x "$BIN"; then
    real=$(dirname "$(readlink -f "$BIN")")
    mkdir -m 755 "$WORK/program"
    cp "$real/vellaro" "$real/Java.txt" "$real/Vellaro.chm" "$WORK/program/"
    find "$real" -maxdepth 1 -type f -name 'vellaro-*' -perm -u+x -exec cp {} "$WORK/program/" \;
    PROGRAM="$WORK/program/vellaro"
fi

# A sanitizer build's settings go along to the accounts, with their suppressions file copied
# where the accounts can read it.
SANITIZER_ENV=()
for v in ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS; do
    [[ -n "${!v:-}" ]] || continue
    value=${!v}
    if [[ $value =~ suppressions=([^:]+) ]]; then
        cp "${BASH_REMATCH[1]}" "$WORK/$v.supp"
        value=${value/"${BASH_REMATCH[1]}"/"$WORK/$v.supp"}
    fi
    SANITIZER_ENV+=("$v=$value")
done

HOME_A="$WORK/a"
HOME_B="$WORK/b"
for learner in "$UID_A:$HOME_A" "$UID_B:$HOME_B"; do
    mkdir -m 700 "${learner#*:}" "${learner#*:}/run"
    chown -R "${learner%%:*}:${learner%%:*}" "${learner#*:}"
done
INI_A="$HOME_A/.config/vellaro/noprg.ini"
INI_B="$HOME_B/.config/vellaro/noprg.ini"
WORK_B="$HOME_B/Vellaro/java source"

# The earlier layout, set up for learner A: the machine-wide folder with their settings (guidance
# dismissed) and the work folder with an exercise in it.
EARLIER_WORK="/opt/vellaro/java source"
mkdir -p /var/lib/vellaro "$EARLIER_WORK"
printf '[Bas]\r\nLevel=4\r\nPathSrc=%s\r\n' "$EARLIER_WORK" >/var/lib/vellaro/noprg.ini
printf '[Vellaro]\r\nGuidanceDismissed=sz:Dismissed\r\n' >/var/lib/vellaro/machine-values.ini
printf 'System.out.println("Hello");\r\n' >"$EARLIER_WORK/Hello.sja"
chown -R "$UID_A:$UID_A" /var/lib/vellaro "$EARLIER_WORK"
cp -a /var/lib/vellaro "$WORK/earlier"

# Starts the program as a learner in the background; sets APP to its pid, WIN to its window.
start_as() { # uid home name
    setpriv --reuid="$1" --regid="$1" --clear-groups \
        env -i HOME="$2" XDG_RUNTIME_DIR="$2/run" DISPLAY="$DISPLAY" PATH="$PATH" LANG=C.UTF-8 \
        QT_QPA_PLATFORM=xcb "${SANITIZER_ENV[@]}" "$PROGRAM" >"$WORK/$3.log" 2>&1 &
    APP=$!
    PIDS+=($APP)
    WIN=$(find_window "$APP") || true
    [[ -n "$WIN" ]] || fail "no window of learner $3 (log: $(cat "$WORK/$3.log"))"
}

# No message box: the learner's program shows its main window alone.
no_message_box() { # pid name
    sleep 1
    [[ $(windows_of "$1") == 1 ]] || fail "learner $2 sees a message box (log: $(cat "$WORK/$2.log"))"
}

modified() { # file: its modification time, or "none"
    stat -c %y "$1" 2>/dev/null || echo none
}

changed_since() { # file time
    [[ $(modified "$1") != "$2" ]]
}

# A page switch, chosen from the keyboard; it stores the counters, writing the file anew.
switch_page() { # window settings-file
    local before
    before=$(modified "$2")
    xdotool mousemove --window "$1" 180 70 click 1 # the focus goes into the class-name field
    xdotool key --window "$1" ctrl+Tab
    eventually changed_since "$2" "$before" || fail "the page switch did not store $2"
}

owned_by() { # path uid
    [[ $(stat -c %u "$1") == "$2" ]] || fail "$1 belongs to $(stat -c %u "$1"), not $2"
}

# ---- learner A alone: the earlier settings are taken over ----
start_as "$UID_A" "$HOME_A" a
A_APP=$APP A_WIN=$WIN
[[ -f "$INI_A" ]] || fail "learner A's earlier settings were not taken over"
[[ $(ini_value "$INI_A" Level) == 4 ]] || fail "learner A's level is $(ini_value "$INI_A" Level)"
[[ $(ini_value "$INI_A" PathSrc) == "$EARLIER_WORK" ]] || fail "learner A's work folder moved"
owned_by "$INI_A" "$UID_A"
[[ $(stat -c %a "$HOME_A/.config/vellaro") == 700 ]] || fail "learner A's settings folder is open"
no_message_box "$A_APP" a
switch_page "$A_WIN" "$INI_A"
no_message_box "$A_APP" a
close_window "$A_WIN" "$A_APP" "$WORK/a.log"
[[ $(tr -d '\r' <"$INI_A" | wc -l) == 19 ]] || fail "closing did not store learner A's settings"
[[ $(ini_value "$INI_A" PathSrc) == "$EARLIER_WORK" ]] || fail "learner A's work folder moved"
[[ ! -e "$HOME_A/Vellaro" ]] || fail "learner A got a new work folder beside the earlier one"

# ---- learner B alone: a fresh start, although the earlier folder is there ----
start_as "$UID_B" "$HOME_B" b
B_APP=$APP B_WIN=$WIN
[[ ! -e "$INI_B" ]] || fail "learner B was given learner A's settings"
[[ -d "$WORK_B" ]] || fail "learner B has no work folder of their own"
owned_by "$WORK_B" "$UID_B"
dismiss_guidance "$B_WIN"
eventually test -f "$HOME_B/.config/vellaro/machine-values.ini" ||
    fail "learner B's guidance marker was not stored"
no_message_box "$B_APP" b
switch_page "$B_WIN" "$INI_B"
no_message_box "$B_APP" b
close_window "$B_WIN" "$B_APP" "$WORK/b.log"
[[ $(ini_value "$INI_B" PathSrc) == "$WORK_B" ]] || fail "learner B's work folder is $(ini_value "$INI_B" PathSrc)"
[[ $(ini_value "$INI_B" SpeedDisp) == 0 ]] || fail "learner B's dismissal was not stored"
owned_by "$INI_B" "$UID_B"

diff -r "$WORK/earlier" /var/lib/vellaro || fail "the earlier folder was changed"
[[ -f "$EARLIER_WORK/Hello.sja" ]] || fail "learner A's exercise is gone"

# ---- both at the same time ----
start_as "$UID_A" "$HOME_A" a2
A_APP=$APP A_WIN=$WIN
start_as "$UID_B" "$HOME_B" b2
B_APP=$APP B_WIN=$WIN
[[ $(count_windows) == 2 ]] || fail "$(count_windows) windows run, expected both learners' two"
xdotool windowmove "$A_WIN" 0 0
xdotool windowmove "$B_WIN" 640 0
switch_page "$A_WIN" "$INI_A"
switch_page "$B_WIN" "$INI_B"
no_message_box "$A_APP" a2
no_message_box "$B_APP" b2
kill -0 "$A_APP" && kill -0 "$B_APP" || fail "a learner's program ended"
close_window "$A_WIN" "$A_APP" "$WORK/a2.log"
close_window "$B_WIN" "$B_APP" "$WORK/b2.log"
[[ $(ini_value "$INI_A" PathSrc) == "$EARLIER_WORK" ]] || fail "learner A's settings were mixed up"
[[ $(ini_value "$INI_B" PathSrc) == "$WORK_B" ]] || fail "learner B's settings were mixed up"

echo "PASS: two learners, one machine"
