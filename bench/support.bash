# Shared by the benchmark scripts; sourced. An X server of the script's own and the helpers of the
# end-to-end tests (tests/e2e/support.bash), and a learner's HOME as a returning learner has it.
# A script sets WORK (its scratch folder) first.

source "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e/support.bash"

# A learner who has used Vellaro before: settings stored, guidance dismissed; prints the HOME.
# Every start gets it fresh, with a fresh runtime folder ($HOME/.run) for XDG_RUNTIME_DIR, so
# that nothing one start leaves behind (a lock of a killed copy) weighs on the next.
returning_learner_home() {
    local home="$WORK/home"
    rm -rf "$home"
    mkdir -p -m 0700 "$home/.config/vellaro" "$home/Vellaro/java source" "$home/.run"
    printf '[Bas]\r\nPathSrc=%s\r\nYokoPos=100\r\nTatePos=100\r\n' "$home/Vellaro/java source" \
        >"$home/.config/vellaro/noprg.ini"
    printf '[Vellaro]\r\nGuidanceDismissed=sz:Dismissed\r\n' \
        >"$home/.config/vellaro/machine-values.ini"
    echo "$home"
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
