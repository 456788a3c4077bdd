#!/usr/bin/env bash
# Runs a Qt Test program on a real X11 display (a fresh Xvfb) as on one desktop:
#   desktop.sh DESKTOP STATE_DIR PROGRAM [LAUNCHER...]
#   plain   Linux, xcb, no desktop theme
#   kde     Linux, xcb, a dark KDE colour scheme (kdeglobals) in a scratch config folder
#   win10   Windows under Wine (LAUNCHER wine): a prefix of its own told to be Windows 10
#   win11   the same, Windows 11 with dark apps (AppsUseLightTheme = 0)
# Wine prefixes are made once in STATE_DIR and kept there; the shared prefix of the
# other suites is never touched. The program learns the desktop from IVL_DESKTOP.
set -uo pipefail
desktop=$1 state=$2 program=$3
shift 3
launcher=("$@")

command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed"; exit 77; }
source "$(dirname "${BASH_SOURCE[0]}")/support/display.sh"
start_xvfb
export IVL_DESKTOP=$desktop

case $desktop in
plain | kde)
    export QT_QPA_PLATFORM=xcb IVL_EXPECT_PLATFORM=xcb XDG_CONFIG_HOME=$work/config
    unset QT_QPA_PLATFORMTHEME KDE_SESSION_VERSION XDG_CURRENT_DESKTOP
    mkdir -p "$XDG_CONFIG_HOME"
    if [ "$desktop" = kde ]; then
        export QT_QPA_PLATFORMTHEME=kde KDE_SESSION_VERSION=5
        cat >"$XDG_CONFIG_HOME/kdeglobals" <<'COLOURS'
[Colors:Window]
BackgroundNormal=32,35,38
ForegroundNormal=252,252,252

[Colors:View]
BackgroundNormal=20,22,24
ForegroundNormal=252,252,252

[Colors:Button]
BackgroundNormal=41,44,48
ForegroundNormal=252,252,252
COLOURS
    fi
    "${launcher[@]}" "$program"
    exit $?
    ;;
win10 | win11) ;;
*) fail "unknown desktop $desktop" ;;
esac

# Wine hands no QT_* variable to the program: it runs on the windows platform.
export IVL_EXPECT_PLATFORM=windows WINEPREFIX=$state/prefix-$desktop WINEDEBUG=${WINEDEBUG:--all}
mkdir -p "$state"
if [ ! -f "$WINEPREFIX/.ivl-ready" ]; then
    rm -rf "$WINEPREFIX"
    wineboot -i >"$work/wineboot.log" 2>&1 || fail "no Wine prefix: $(tail -5 "$work/wineboot.log")"
    winecfg -v "$desktop" || fail "winecfg -v $desktop"
    if [ "$desktop" = win11 ]; then
        wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize' \
            /v AppsUseLightTheme /t REG_DWORD /d 0 /f >/dev/null || fail "reg add AppsUseLightTheme"
    fi
    wineserver -w # the registry is on disk before the program starts
    touch "$WINEPREFIX/.ivl-ready"
fi
"${launcher[@]}" "$program" -o "$work/log.txt,txt"
rc=$?
[ -f "$work/log.txt" ] && cat "$work/log.txt" || echo "no test log: the program did not start (exit code $rc)"
wineserver -k 2>/dev/null
exit "$rc"
