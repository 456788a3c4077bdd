#!/usr/bin/env bash
# The installed package's menu entry, started as a desktop starts it (GLib's launcher,
# `gio launch`), by a player whose desktop is Ukrainian (documents in ~/Документи, not
# made yet): once in a new home folder, once in a home that holds Mods and Info from
# version 1.0. Says where the program ran and what it left there.
#   bash tests/packages/menu-entry.sh        (needs the package installed, Xvfb and gio)
set -uo pipefail
desktop=/usr/share/applications/ironvale-mod-installer.desktop
source "$(dirname "${BASH_SOURCE[0]}")/../support/display.sh"
[ -f "$desktop" ] || fail "$desktop is not installed"

trap 'cleanup; pkill -f "^/usr/bin/ironvale-mod-installer" 2>/dev/null' EXIT
start_xvfb

program_pid() { pgrep -n -f "^/usr/bin/ironvale-mod-installer"; }
# launch HOME: starts the menu entry with that home folder and prints the folder the
# program runs in, once it has made its working folders there; then ends the program.
launch() {
    local home=$1 pid cwd
    HOME=$home XDG_CONFIG_HOME= gio launch "$desktop" >&2 || fail "gio launch failed"
    wait_until 60 program_pid >/dev/null || fail "the program did not start within 60 s"
    pid=$(program_pid)
    cwd=$(readlink "/proc/$pid/cwd")
    wait_until 60 test -d "$cwd/Mods" -a -d "$cwd/Info" || fail "no Mods and Info in $cwd"
    kill "$pid"
    wait_until 60 sh -c "! kill -0 $pid 2>/dev/null" || fail "the program did not end"
    echo "$cwd"
}
new_home() {
    mkdir -p "$1/.config"
    echo 'XDG_DOCUMENTS_DIR="$HOME/Документи"' >"$1/.config/user-dirs.dirs"
}

echo "== A new player"
home=$work/олена
new_home "$home"
ran=$(launch "$home") || { echo "$ran"; exit 1; }
echo "ran in: $ran"
[ "$ran" = "$home/Документи/Ironvale Mod Installer" ] || fail "expected $home/Документи/Ironvale Mod Installer"
[ ! -e "$home/Mods" ] && [ ! -e "$home/Info" ] || fail "Mods or Info in the home folder: $(ls -A "$home")"
echo "no Mods or Info in the home folder, which holds: $(ls -A "$home" | tr '\n' ' ')"

echo "== A player with Mods and Info in his home from version 1.0"
home=$work/тарас
new_home "$home"
mkdir -p "$home/Mods" "$home/Info"
echo "a mod" >"$home/Mods/Старий мод.ivlmod"
ran=$(launch "$home") || { echo "$ran"; exit 1; }
echo "ran in: $ran"
[ "$ran" = "$home" ] || fail "expected the home folder $home"
[ "$(cat "$home/Mods/Старий мод.ivlmod")" = "a mod" ] || fail "his mod is gone or changed"
[ ! -e "$home/Документи" ] || fail "a documents folder was made: $(ls -A "$home")"
echo "it went on starting in the home folder; his mod is where it was and nothing was made"
