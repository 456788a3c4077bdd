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
apps_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\IronvaleModInstaller'

fail() {
    echo "FAIL: $*"
    exit 1
}
# The licence and the notices of what is shipped lie beside the program.
check_notices() {
    local dir=$1 notices=$1/THIRD-PARTY-NOTICES.txt
    grep -q "GNU GENERAL PUBLIC LICENSE" "$dir/LICENSE.txt" 2>/dev/null || fail "no LICENSE.txt in $dir"
    [ -f "$notices" ] || fail "no THIRD-PARTY-NOTICES.txt in $dir"
    for text in "Qt6Core.dll" "GNU LESSER GENERAL PUBLIC LICENSE" "qtbase-everywhere-src" \
        "libstdc++-6.dll" "GCC RUNTIME LIBRARY EXCEPTION" "libwinpthread-1.dll" \
        "mingw-w64-libraries/winpthreads/" "License: expat"; do
        grep -q -F "$text" "$notices" || fail "THIRD-PARTY-NOTICES.txt in $dir does not mention $text"
    done
    echo "LICENSE.txt and THIRD-PARTY-NOTICES.txt ($(stat -c %s "$notices") bytes) are in $dir"
}
zip=$(ls "$build"/ironvale-mod-installer-*-win64.zip 2>/dev/null) || fail "no zip in $build"
setup=$(ls "$build"/ironvale-mod-installer-*-win64-setup.exe 2>/dev/null) || fail "no setup program in $build"
version=$(basename "$setup" | sed -E 's/^ironvale-mod-installer-(.*)-win64-setup\.exe$/\1/')

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
# One value of the Apps entry, or nothing.
apps_value() { wine reg query "$apps_key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v v="$1" '$1 == v { print $3 }'; }

echo "== Sizes"
for f in "$zip" "$setup"; do printf '  %s: %s bytes\n' "$(basename "$f")" "$(stat -c %s "$f")"; done

echo "== The portable zip, unpacked into an empty folder"
mkdir "$work/unpacked"
unzip -q "$zip" -d "$work/unpacked" || fail "cannot unpack $zip"
folder=$(find "$work/unpacked" -mindepth 1 -maxdepth 1)
[ -f "$folder/$program" ] || fail "no $program at the top of the zip's folder: $(ls -A "$folder")"
echo "files in the zip:"
(cd "$folder" && find . -type f | sort | sed 's|^\./|  |')
check_notices "$folder"

echo "== The resources of the packed program and of the setup"
exe=$folder/$program
wrestool -x --type=14 --name=IDI_ICON1 "$exe" >"$work/icon.ico" 2>/dev/null || fail "no icon IDI_ICON1 in $program"
sizes=$(icotool -l "$work/icon.ico" | sed -E 's/.*--width=([0-9]+).*/\1/' | sort -n | tr '\n' ' ')
[ "$sizes" = "16 20 24 32 40 48 64 256 " ] || fail "the icon holds the sizes $sizes"
echo "icon IDI_ICON1: $sizes"
strings_of() { wrestool -x --raw --type=16 "$1" 2>/dev/null | tr -d '\0'; }
for pair in "ProductName:Ironvale Mod Installer" "FileDescription:Ironvale Mod Installer" \
    "CompanyName:IVL Mod Tools" "FileVersion:$version" "ProductVersion:$version" \
    "OriginalFilename:$program" "LegalCopyright:Copyright (C)"; do
    strings_of "$exe" | grep -q -a -F "${pair%%:*}${pair#*:}" || fail "$program has no version string $pair"
done
echo "version resource: ProductName, FileDescription, CompanyName, FileVersion $version, ProductVersion, OriginalFilename, LegalCopyright"
manifest=$(wrestool -x --raw --type=24 "$exe" 2>/dev/null)
for text in 'level="asInvoker"' '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}' '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}' \
    '>PerMonitorV2<' '<longPathAware xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">true<'; do
    grep -q -F "$text" <<<"$manifest" || fail "the manifest of $program lacks $text"
done
echo "manifest: asInvoker, Windows 7 to 11, PerMonitorV2, longPathAware"
for pair in "ProductName:Ironvale Mod Installer" "CompanyName:IVL Mod Tools" "ProductVersion:$version"; do
    strings_of "$setup" | grep -q -a -F "${pair%%:*}${pair#*:}" || fail "the setup has no version string $pair"
done
wrestool -x --raw --type=24 "$setup" 2>/dev/null | grep -q -i 'dpiAware' || fail "the setup is not DPI-aware"
echo "setup: version resource and a DPI-aware manifest"

# Started from Explorer, the program's folder is its working folder.
bash "$realwindow" --workdir "$folder" windows "$folder/$program" wine \
    || fail "the program from the zip did not run as it should"

echo "== An older version that shipped one more file, then this one over it"
# The same tree packed as version 0.9, with a file that this version no longer ships.
mkdir -p "$work/older-extra" "$work/older"
printf 'only in 0.9\n' >"$work/older-extra/old-only.txt"
(cd "$build" && cpack -G NSIS -B "$work/older" -D CPACK_PACKAGE_VERSION=0.9 \
    -D CPACK_IVL_VERSION_QUAD=0.9.0.0 -D "CPACK_NSIS_DISPLAY_NAME=Ironvale Mod Installer 0.9" \
    -D CPACK_PACKAGE_FILE_NAME=ironvale-mod-installer-0.9-win64 \
    -D "CPACK_INSTALLED_DIRECTORIES=$work/older-extra;." >/dev/null) || fail "cannot pack version 0.9"
wine "$work/older/ironvale-mod-installer-0.9-win64-setup.exe" /S || fail "version 0.9 did not install"
appdata=$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
startmenu=$(unixpath "$appdata\\Microsoft\\Windows\\Start Menu\\Programs")
shortcut=$startmenu/Ironvale\ Mod\ Installer.lnk
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
[ -f "$installed/old-only.txt" ] && [ "$(apps_value DisplayVersion)" = 0.9 ] \
    || fail "version 0.9 is not installed as expected"
# The player's files, in both places a player keeps them, must survive the upgrade.
mkdir -p "$installed/Mods" "$startin/Mods" "$startin/Info"
printf 'mod\n' >"$installed/Mods/${mods[0]}"
printf 'mod\n' >"$startin/Mods/${mods[1]}"

for run in "upgrade from 0.9" "repair (the same version again)"; do
    wine "$setup" /S || fail "$run: the setup ended with code $?"
    [ ! -e "$installed/old-only.txt" ] || fail "$run: old-only.txt that only 0.9 shipped is still there"
    [ "$(apps_value DisplayVersion)" = "$version" ] || fail "$run: the Apps entry shows $(apps_value DisplayVersion)"
    size=$(apps_value EstimatedSize)
    [ $((size)) -gt 1000 ] || fail "$run: the Apps entry's EstimatedSize is '$size'"
    entries=$(wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall' 2>/dev/null \
        | tr -d '\r' | grep -c 'IronvaleModInstaller')
    [ "$entries" -eq 1 ] || fail "$run: $entries Apps entries"
    shortcuts=$(find "$startmenu" -iname '*ironvale*' | wc -l)
    [ "$shortcuts" -eq 1 ] || fail "$run: $shortcuts Start-menu entries"
    [ -f "$installed/Mods/${mods[0]}" ] && [ -f "$startin/Mods/${mods[1]}" ] && [ -d "$startin/Info" ] \
        || fail "$run: the player's Mods or Info lost something"
    [ -f "$installed/Uninstall.exe" ] && [ -f "$target" ] || fail "$run: the program is not complete"
    echo "$run: exit code 0, version $version in one Apps entry ($((size)) KiB), one shortcut, player's files kept"
done
check_notices "$installed"
if [ -n "${IVL_SIGN_PFX:-}" ]; then
    bash "$here/sign/sign.sh" --verify "$installed/Uninstall.exe" || fail "the uninstaller is not signed"
    bash "$here/sign/sign.sh" --verify "$target" || fail "the installed program is not signed"
fi
bash "$realwindow" --workdir "$startin" windows "$target" wine \
    || fail "the installed program did not run as it should"

echo "== A player's mods, listed at the next start"
for mod in "${mods[@]}"; do printf 'mod\n' >"$startin/Mods/$mod"; done
bash "$realwindow" --workdir "$startin" --screenshot "$build/screenshot-windows.png" \
    windows "$target" wine || fail "the installed program did not run with mods in Mods"

echo "== The setup and the uninstaller while the program is open"
# What the setup or the uninstaller would touch: the files, the shortcut, the Apps entry.
state() {
    (cd "$installed" && find . -type f -exec md5sum {} + | sort)
    ls -l --time-style=+%s "$shortcut"
    wine reg query "$apps_key" 2>/dev/null | tr -d '\r'
}
export -f state
export installed shortcut apps_key setup
state >"$work/before"
# Silent mode cannot ask the player to close the program: both must give up at once,
# with a code other than 0 and nothing changed. The uninstaller runs in place (_?=)
# so its own exit code comes back rather than that of the copy it starts.
uninstall_in_place="\"\$installed/Uninstall.exe\" /S _?=\$(winepath -s \"\$(winepath -w \"\$installed\")\")"
while_open="
    for run in 'wine \"\$setup\" /S' 'wine $uninstall_in_place'; do
        timeout 120 bash -c \"\$run\"; rc=\$?
        [ \$rc -ne 124 ] || { echo \"FAIL: \$run did not end within 120 s\"; exit 1; }
        [ \$rc -ne 0 ] || { echo \"FAIL: \$run ended with code 0 while the program was open\"; exit 1; }
        state | diff -u '$work/before' - || { echo \"FAIL: \$run changed something\"; exit 1; }
        echo \"\$run: exit code \$rc, nothing changed\"
    done"
bash "$realwindow" --workdir "$startin" --while "$while_open" windows "$target" wine \
    || fail "the setup or the uninstaller did not leave the running program alone"

echo "== Uninstalling, silently"
wine "$installed/Uninstall.exe" /S
wineserver -w # the uninstaller goes on from a copy of itself
left=$(cd "$installed" && find . -type f | sort)
[ "$left" = "./Mods/${mods[0]}" ] || fail "the program's folder holds, besides the player's Mods: $left"
[ ! -e "$shortcut" ] || fail "the Start-menu shortcut is still there"
[ -z "$(apps_value DisplayName)" ] || fail "the Apps entry is still there"
for mod in "${mods[@]}"; do
    [ -f "$startin/Mods/$mod" ] || fail "the player's Mods/$mod is gone; Mods holds: $(ls -A "$startin/Mods")"
done
[ -d "$startin/Info" ] || fail "the player's Info folder is gone"
echo "the program is gone; the player's Mods and Info in ${link[1]} and the Mods beside the program are still there"
