#!/usr/bin/env bash
# Starts the built program on a real X11 display (Xvfb with the openbox window
# manager), waits for its window, checks the working folders, closes the window
# the way a user does (the window manager's close) and expects exit code 0.
#   realwindow.sh [--workdir DIR] [--screenshot PNG] [--while CMD] PLATFORM PROGRAM [LAUNCHER...]
# PLATFORM is Qt's platform plugin (xcb, or windows for the .exe under Wine, with
# LAUNCHER "wine"). The program starts in DIR, by default an empty scratch folder.
# --screenshot saves the window's picture (needs ImageMagick's import). --while runs the shell
# command CMD while the window is up, before it is closed; CMD must succeed.
# Exits 77, which CTest reports as skipped, where the X11 tools are missing.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
workdir= screenshot= while_up=
while [ $# -gt 0 ]; do
    case $1 in
    --workdir) workdir=$2 && shift 2 ;;
    --screenshot) screenshot=$2 && shift 2 ;;
    --while) while_up=$2 && shift 2 ;;
    *) break ;;
    esac
done
platform=$1 program=$2
shift 2
launcher=("$@")

for tool in Xvfb openbox xdotool wmctrl; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

source "$here/support/display.sh"
start_xvfb

openbox --sm-disable >"$work/wm.log" 2>&1 &
pids+=($!)
wm_up() { wmctrl -m >/dev/null 2>&1; }
wait_until 60 wm_up || fail "the window manager did not start within 60 s: $(cat "$work/wm.log")"

# A wineserver still running from an earlier Wine program keeps that program's X
# display, and windows of one display used on another end in X errors: start afresh.
[ "${launcher[0]:-}" != wine ] || wineserver -k 2>/dev/null

run=${workdir:-$work/run}
mkdir -p "$run"
(cd "$run" && exec env -u QT_QPA_PLATFORM QT_QPA_PLATFORM="$platform" "${launcher[@]}" "$program") \
    >"$work/app.log" 2>&1 &
app=$!
pids+=($app)

# Polled rather than --sync: a window that goes away while xdotool looks at it (Wine
# makes and drops a few at start-up) ends that search with an X error.
window=
find_window() {
    window=$(xdotool search --onlyvisible --name '^Ironvale Mod Installer$' 2>/dev/null | head -n 1)
    [ -n "$window" ]
}
wait_until 60 find_window || fail "no window 'Ironvale Mod Installer' within 60 s; program said: $(cat "$work/app.log")"
echo "window $window is up on $DISPLAY"

[ -d "$run/Mods" ] || fail "Mods was not created in $run"
[ -d "$run/Info" ] || fail "Info was not created in $run"
echo "Mods and Info are in $run"

if [ -n "$screenshot" ]; then
    xdotool mousemove 1279 799 # out of the picture: no hover highlight
    sleep 2                    # let it paint
    import -window "$window" "$screenshot" || fail "no picture of the window"
    echo "picture of the window: $screenshot"
fi

if [ -n "$while_up" ]; then
    bash -c "$while_up" || fail "while the window was up: $while_up failed"
    kill -0 "$app" 2>/dev/null || fail "the program ended while: $while_up"
fi

# The window manager's close, as the title-bar button does.
wmctrl -i -c "$(printf '0x%x' "$window")"

ended() { ! kill -0 "$app" 2>/dev/null; }
wait_until 60 ended || fail "the program is still running 60 s after its window was closed"
wait "$app"
rc=$?
[ "$rc" -eq 0 ] || fail "exit code $rc; program said: $(cat "$work/app.log")"
echo "closed by the window manager, exit code 0"
