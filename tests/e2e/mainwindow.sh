#!/bin/bash
# The real program in a real X server: its window "Vellaro", the single running copy, closing as a
# window manager closes a window, the settings file written at closing, and the window restored
# at the next start. Screenshots of every page go to /tmp/vellaro-shots (outside the repository).
#
# Usage: bash mainwindow.sh <vellaro binary> [<build folder>]
#
# The program keeps its settings in the learner's configuration folder and its work folder in the
# learner's documents folder: the test gives it a fresh HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR,
# and starts it through a link, as /usr/bin/vellaro does. It runs in a private mount namespace with
# a fresh tmpfs over /var/lib, so the machine's own earlier-layout folder is never seen.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$HERE/support.bash"
BIN=$(absolute "$1")
SHOTS=/tmp/vellaro-shots
private_var_lib "$@"

WORK=$(mktemp -d)
trap cleanup EXIT
mkdir -p "$SHOTS"
# The learner's own folders. A private temporary folder too, so that a copy of the program that
# the developer runs at the same time does not count as "another instance".
export HOME="$WORK/home"
export XDG_CONFIG_HOME="$WORK/config"
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -p "$HOME/ドキュメント" "$XDG_CONFIG_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# A Japanese desktop names its documents folder in user-dirs.dirs.
echo 'XDG_DOCUMENTS_DIR="$HOME/ドキュメント"' >"$XDG_CONFIG_HOME/user-dirs.dirs"
INI="$XDG_CONFIG_HOME/vellaro/noprg.ini"
WORKFOLDER="$HOME/ドキュメント/Vellaro/java source"
mkdir "$WORK/bin"
ln -s "$BIN" "$WORK/bin/vellaro"
PROGRAM="$WORK/bin/vellaro"

build_wm_delete
start_x

shot() { # window id, file name
    sleep 0.5 # let the page paint; only for the picture, nothing is asserted on timing
    import -window "$1" "$SHOTS/$2.png"
}

start_program() {
    "$PROGRAM" >"$WORK/vellaro.log" 2>&1 &
    APP=$!
    PIDS+=($APP)
    WIN=$(find_window) || true
    [[ -n "$WIN" ]] || fail "no window titled Vellaro (log: $(cat "$WORK/vellaro.log"))"
}

close_program() {
    close_window "$WIN" "$APP" "$WORK/vellaro.log"
}

val() { # key: its value in the settings file
    ini_value "$INI" "$1"
}

# ---- first start: no settings file, no marker ----
start_program
[[ -d "$WORKFOLDER" ]] || fail "the work folder is not in the documents folder"
[[ ! -e "$XDG_CONFIG_HOME/vellaro" ]] || fail "start-up made the settings folder"
read -r X Y W H < <(geometry "$WIN")
[[ "$W $H" == "595 520" ]] || fail "first window is ${W}x${H}, expected 595x520"
shot "$WIN" 0-guidance

# ---- a second copy ends at once, without a window ----
start=$(date +%s)
rc=0
timeout 20 "$PROGRAM" >"$WORK/second.log" 2>&1 || rc=$?
[[ $rc == 0 ]] || fail "the second copy ended with $rc"
(($(date +%s) - start < 10)) || fail "the second copy did not end at once"
[[ ! -s "$WORK/second.log" ]] || fail "the second copy said something: $(cat "$WORK/second.log")"
[[ $(count_windows) == 1 ]] || fail "a second window appeared"
kill -0 "$APP" || fail "the first copy ended"

# ---- "表示しない" ----
dismiss_guidance "$WIN"
eventually test -f "$XDG_CONFIG_HOME/vellaro/machine-values.ini" ||
    fail "表示しない did not store the guidance marker"
[[ $(stat -c %a "$XDG_CONFIG_HOME/vellaro") == 700 ]] || fail "the settings folder is not private"
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
[[ $(val PathSrc) == "$WORKFOLDER" ]] || fail "PathSrc is $(val PathSrc)"
[[ $(val SpeedDisp) == 0 ]] || fail "SpeedDisp is $(val SpeedDisp) after 表示しない"
[[ $(val YokoSize) == "$W" && $(val TateSize) == "$H" ]] ||
    fail "stored size $(val YokoSize)x$(val TateSize), window was ${W}x${H}"
[[ $(val YokoPos) == "$X" && $(val TatePos) == "$Y" ]] ||
    fail "stored place $(val YokoPos),$(val TatePos), window was at $X,$Y"

# ---- the next start puts the window back where it was ----
start_program
read -r X2 Y2 W2 H2 < <(geometry "$WIN")
[[ "$X2 $Y2 $W2 $H2" == "$X $Y $W $H" ]] || fail "restored at $X2,$Y2 ${W2}x${H2}, expected $X,$Y ${W}x${H}"
shot "$WIN" 5-restarted
close_program

echo "PASS: main window end to end (screenshots in $SHOTS)"
