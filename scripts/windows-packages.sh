#!/usr/bin/env bash
# Tries the Windows packages in BUILD_DIR as a player would, under Wine and Xvfb, in
# a fresh Wine prefix that has nothing else installed (no Qt, no MinGW runtime):
#   bash scripts/windows-packages.sh BUILD_DIR
# scripts/windows.sh runs it after cpack. Every check that fails says what it saw.
set -uo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
realwindow=$here/../tests/realwindow.sh
program=ironvale-mod-installer.exe
mods=("Приціл_Снайпер_2.1.zip" "HD-текстури_броні.zip" "minimap-plus.zip" "Звуки_бою_v3.ivlmod")

fail() {
    echo "FAIL: $*"
    exit 1
}
zip=$(ls "$build"/ironvale-mod-installer-*-win64.zip 2>/dev/null) || fail "no zip in $build"
setup=$(ls "$build"/ironvale-mod-installer-*-win64-setup.exe 2>/dev/null) || fail "no setup program in $build"

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
unset WINEPATH # only what the packages bring
cleanup() {
    wineserver -k 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
wineboot -i >/dev/null 2>&1
# Windows paths of this prefix as Linux paths.
unixpath() { winepath -u "$1" 2>/dev/null; }

echo "== Sizes"
for f in "$zip" "$setup"; do printf '  %s: %s bytes\n' "$(basename "$f")" "$(stat -c %s "$f")"; done

echo "== The portable zip, unpacked into an empty folder"
mkdir "$work/unpacked"
unzip -q "$zip" -d "$work/unpacked" || fail "cannot unpack $zip"
folder=$(find "$work/unpacked" -mindepth 1 -maxdepth 1)
[ -f "$folder/$program" ] || fail "no $program at the top of the zip's folder: $(ls -A "$folder")"
echo "files in the zip:"
(cd "$folder" && find . -type f | sort | sed 's|^\./|  |')
# Started from Explorer, the program's folder is its working folder.
bash "$realwindow" --workdir "$folder" windows "$folder/$program" wine \
    || fail "the program from the zip did not run as it should"

echo "== The setup program, silently"
wine "$setup" /S
wineserver -w
appdata=$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
shortcut=$(unixpath "$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\Ironvale Mod Installer.lnk")
[ -f "$shortcut" ] || fail "no Start-menu shortcut at $shortcut"
mapfile -t link < <(wine "$build/ivl-shortcut.exe" "$(winepath -w "$shortcut")" | tr -d '\r')
[ ${#link[@]} -eq 2 ] || fail "cannot read the shortcut $shortcut"
echo "the shortcut starts ${link[0]} in ${link[1]}"
target=$(unixpath "${link[0]}")
startin=$(unixpath "${link[1]}")
installed=$(dirname "$target")
case ${link[0]} in
*'\AppData\Local\Programs\'*) ;;
*) fail "installed outside the player's own programs folder: ${link[0]}" ;;
esac
[ "$startin" != "$installed" ] || fail "the shortcut starts the program in its own folder"
bash "$realwindow" --workdir "$startin" windows "$target" wine \
    || fail "the installed program did not run as it should"

echo "== A player's mods, listed at the next start"
for mod in "${mods[@]}"; do printf 'mod\n' >"$startin/Mods/$mod"; done
bash "$realwindow" --workdir "$startin" --screenshot "$build/screenshot-windows.png" \
    windows "$target" wine || fail "the installed program did not run with mods in Mods"

echo "== Uninstalling, silently"
# A player who started the .exe from its own folder keeps a Mods folder there too.
mkdir -p "$installed/Mods"
printf 'mod\n' >"$installed/Mods/${mods[0]}"
wine "$installed/Uninstall.exe" /S
wineserver -w # the uninstaller goes on from a copy of itself
left=$(cd "$installed" && find . -type f | sort)
[ "$left" = "./Mods/${mods[0]}" ] || fail "the program's folder holds, besides the player's Mods: $left"
[ ! -e "$shortcut" ] || fail "the Start-menu shortcut is still there"
for mod in "${mods[@]}"; do
    [ -f "$startin/Mods/$mod" ] || fail "the player's Mods/$mod is gone; Mods holds: $(ls -A "$startin/Mods")"
done
[ -d "$startin/Info" ] || fail "the player's Info folder is gone"
echo "the program is gone; the player's Mods and Info in ${link[1]} and the Mods beside the program are still there"
