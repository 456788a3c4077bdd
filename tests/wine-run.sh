#!/usr/bin/env bash
# Runs one Qt Test program of the Windows build under Wine for CTest, and prints
# its log: under Wine, what Qt Test writes to standard output reaches no pipe, so
# the log goes to a file first.
#   wine-run.sh [--drive-d] EMULATOR PROGRAM [TEST FUNCTIONS...]
# --drive-d makes an empty scratch folder drive D: for this run and tells the tests
# so (IVL_TEST_DRIVE_D=1). A running wineserver keeps its old list of drives, so it
# is stopped before and after; CTest must run such a test on its own (RUN_SERIAL).
set -uo pipefail
drive=0
if [ "${1:-}" = --drive-d ]; then
    drive=1
    shift
fi
emulator=$1 program=$2
shift 2

work=$(mktemp -d)
link=${WINEPREFIX:-$HOME/.wine}/dosdevices/d:
restart_wineserver() {
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
}
cleanup() {
    if [ "$drive" = 1 ] && [ -L "$link" ] && [ "$(readlink "$link")" = "$work/d" ]; then
        rm -f "$link"
        restart_wineserver
    fi
    rm -rf "$work"
}
trap cleanup EXIT

if [ "$drive" = 1 ]; then
    if [ -e "$link" ] || [ -L "$link" ]; then
        echo "SKIP: this Wine prefix has a drive D: of its own ($link)"
        exit 77
    fi
    command -v wineserver >/dev/null || { echo "wineserver is not on PATH"; exit 1; }
    mkdir "$work/d"
    ln -s "$work/d" "$link"
    restart_wineserver
    export IVL_TEST_DRIVE_D=1
fi

"$emulator" "$program" -o "$work/log.txt,txt" "$@"
rc=$?
if [ -f "$work/log.txt" ]; then
    cat "$work/log.txt"
else
    echo "no test log: the program did not start (exit code $rc)"
fi
exit "$rc"
