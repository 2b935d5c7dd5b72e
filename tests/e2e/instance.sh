#!/bin/bash
# One running copy whatever the temporary folder: with /tmp/vellaro-<uid> planted by someone else
# and no XDG_RUNTIME_DIR, a second start still ends at once without a window, the lock lies in
# the learner's cache folder (never in the current folder), and no temporary folder of the
# program's stays behind once it has ended. A lock file left behind by a crash or an earlier
# version (garbage, a month old) does not keep the first copy from starting.
#
# Usage: bash instance.sh <vellaro binary> <build folder>
#
# The test runs in a private mount namespace with fresh tmpfs over /var/lib and /tmp, so neither
# the machine's settings nor its /tmp are touched.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$HERE/support.bash"
BIN=$(readlink -f "$1")
private_var_lib "$@"
mkdir -p /var/lib/vellaro
# The fresh /tmp would hide a checkout, a build or a program that lies under /tmp (a clone there is
# a normal thing to make): the old /tmp stays reachable, and each of those is bound back in place.
KEPT=()
mkdir /var/lib/old-tmp
mount --bind /tmp /var/lib/old-tmp
mount -t tmpfs tmpfs /tmp
chmod 1777 /tmp
for path in "$HERE" "$BIN" "$(readlink -f "${2:-$HERE}")"; do
    case "$path" in
    /tmp/?*)
        top=${path#/tmp/}
        top="/tmp/${top%%/*}"
        [[ -e "$top" ]] && continue
        if [[ -d "/var/lib/old-tmp/${top#/tmp/}" ]]; then mkdir "$top"; else touch "$top"; fi
        mount --bind "/var/lib/old-tmp/${top#/tmp/}" "$top"
        KEPT+=("$top")
        ;;
    esac
done

WORK=$(mktemp -d)
trap cleanup EXIT
build_wm_delete
start_x
unset XDG_RUNTIME_DIR
export HOME="$WORK/home"
mkdir -p "$HOME"

# Someone else's folder where the temporary folder of the learner would be.
PLANTED="/tmp/vellaro-$(id -u)"
mkdir "$PLANTED"
if ! chown 12345:12345 "$PLANTED" 2>/dev/null; then
    chmod 0777 "$PLANTED" # not ours alone either
fi

LOCK="$HOME/.cache/vellaro/EX_Mutex-$(hostname)"
mkdir -p -m 0700 "$HOME/.cache" "$HOME/.cache/vellaro"
printf '\001garbage\n' >"$LOCK"
touch -d '30 days ago' "$LOCK"

# Both copies start from a folder of their own, where no lock may appear.
mkdir "$WORK/cwd"
cd "$WORK/cwd"
"$BIN" >"$WORK/first.log" 2>&1 &
APP=$!
PIDS+=($APP)
WIN=$(find_window) || true
[[ -n "$WIN" ]] || fail "no window titled Vellaro (log: $(cat "$WORK/first.log"))"

rc=0
timeout 20 "$BIN" >"$WORK/second.log" 2>&1 || rc=$?
[[ $rc == 0 ]] || fail "the second copy ended with $rc"
sleep 1
[[ $(count_windows) == 1 ]] || fail "a second window appeared"
kill -0 "$APP" || fail "the first copy ended"
[[ -f "$LOCK" ]] || fail "no lock at $LOCK: $(find "$HOME" -name 'EX_Mutex*')"
[[ $(stat -c %a "$HOME/.cache/vellaro") == 700 ]] || fail "the lock's folder is open to others"
[[ -z "$(ls -A "$WORK/cwd")" ]] || fail "something was left in the current folder: $(ls -A "$WORK/cwd")"

close_window "$WIN" "$APP" "$WORK/first.log"
not_kept=()
for top in "${KEPT[@]}"; do not_kept+=(! -path "$top"); done
left=$(find /tmp -maxdepth 1 -name 'vellaro-*' ! -path "$PLANTED" "${not_kept[@]}")
[[ -z "$left" ]] || fail "temporary folders left behind: $left"
[[ -d "$PLANTED" ]] || fail "the planted folder was touched"

echo "PASS: one running copy with a planted temporary folder"
