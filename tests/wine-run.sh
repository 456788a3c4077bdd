#!/usr/bin/env bash
# Runs one Qt Test program of the Windows build under Wine for CTest, and prints
# its log: under Wine, what Qt Test writes to standard output reaches no pipe, so
# the log goes to a file first.
#   wine-run.sh [--drive-d | --slow-drive-d] EMULATOR PROGRAM [TEST FUNCTIONS...]
# --drive-d makes an empty scratch folder drive D: for this run and tells the tests
# so (IVL_TEST_DRIVE_D=1); --slow-drive-d puts it behind the tests' share that writes
# 20 MiB/s (support/refusingshare.py; IVL_TEST_DRIVE_D=slow). A running wineserver keeps its old list of drives, so it
# is stopped before and after; CTest must run such a test on its own (RUN_SERIAL).
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
drive=0 slow=0
case "${1:-}" in
--drive-d) drive=1; shift ;;
--slow-drive-d) drive=1 slow=1; shift ;;
esac
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
    if [ "$slow" = 1 ] && grep -q " $work/d " /proc/mounts; then
        umount "$work/d" || umount -l "$work/d"
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
    export IVL_TEST_DRIVE_D=1
    if [ "$slow" = 1 ]; then
        /usr/bin/python3 -c 'import fusepy' 2>/dev/null || { echo "SKIP: python3-fusepy is not installed"; exit 77; }
        mkdir "$work/backing"
        /usr/bin/python3 "$here/support/refusingshare.py" slow "$work/backing" "$work/d" >/dev/null 2>&1 &
        for _ in $(seq 600); do grep -q " $work/d " /proc/mounts && break; sleep 0.1; done
        grep -q " $work/d " /proc/mounts || { echo "SKIP: the slow share did not mount (FUSE)"; exit 77; }
        export IVL_TEST_DRIVE_D=slow
    fi
    ln -s "$work/d" "$link"
    restart_wineserver
fi

"$emulator" "$program" -o "$work/log.txt,txt" "$@"
rc=$?
if [ -f "$work/log.txt" ]; then
    cat "$work/log.txt"
else
    echo "no test log: the program did not start (exit code $rc)"
fi
exit "$rc"
