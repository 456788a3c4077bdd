#!/usr/bin/env bash
# Tries the Windows packages in BUILD_DIR as a player would, under Wine and Xvfb, in
# fresh Wine prefixes that have nothing else installed (no Qt, no MinGW runtime):
# once as the build's own user, and once more as a Ukrainian Windows (code page
# 1251) whose user is Олена, so every path of the player's is Cyrillic.
#   bash tests/packages/windows-packages.sh BUILD_DIR
# scripts/windows.sh runs it after cpack. Every check that fails says what it saw.
set -uo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
realwindow=$here/../realwindow.sh
sign=$here/../../packaging/sign.sh
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
    # The full licence texts of the code Qt carries in the shipped DLLs, and only those.
    for text in "MIT (for code that Qt includes)" "Zlib (for code that Qt includes)" \
        "Unicode-3.0 (for code that Qt includes)" "FTL (for code that Qt includes)" \
        "Apache-2.0 (for code that Qt includes)" "Imlib2 (for code that Qt includes)" \
        "copyright (C) 2024 The FreeType Project" "HarfBuzz-NG" "PCRE2"; do
        grep -q -F "$text" "$notices" || fail "THIRD-PARTY-NOTICES.txt in $dir does not carry $text"
    done
    for text in "Catch2" "libjpeg" "IJG (for code"; do
        ! grep -q -F "$text" "$notices" || fail "THIRD-PARTY-NOTICES.txt in $dir names $text, which is not shipped"
    done
    echo "LICENSE.txt and THIRD-PARTY-NOTICES.txt ($(stat -c %s "$notices") bytes) are in $dir"
}
zip=$(ls "$build"/ironvale-mod-installer-*-win64.zip 2>/dev/null) || fail "no zip in $build"
setup=$(ls "$build"/ironvale-mod-installer-*-win64-setup.exe 2>/dev/null) || fail "no setup program in $build"
version=$(basename "$setup" | sed -E 's/^ironvale-mod-installer-(.*)-win64-setup\.exe$/\1/')

work=$(mktemp -d)
export WINEDEBUG=-all
unset WINEPATH # only what the packages bring
cleanup() {
    for prefix in "$work"/prefix-*; do [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
# Windows paths of the current prefix as Linux paths.
unixpath() { winepath -u "$1" 2>/dev/null; }
# A variable of the Windows environment, read as UTF-16 (cmd /u) whatever the code page.
winenv() { wine cmd /u /c echo "%$1%" 2>/dev/null | iconv -f UTF-16LE -t UTF-8 | tr -d '\r\n'; }
# One value of the Apps entry, or nothing.
apps_value() { wine reg query "$apps_key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v v="$1" '$1 == v { print $3 }'; }

echo "== Sizes"
for f in "$zip" "$setup"; do printf '  %s: %s bytes\n' "$(basename "$f")" "$(stat -c %s "$f")"; done

echo "== The portable zip's content"
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
for text in 'level="asInvoker"' '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}' \
    '>PerMonitorV2<' '<longPathAware xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">true<'; do
    grep -q -F "$text" <<<"$manifest" || fail "the manifest of $program lacks $text"
done
[ "$(grep -c '<supportedOS ' <<<"$manifest")" -eq 1 ] || fail "the manifest of $program claims more than Windows 10 and 11"
echo "manifest: asInvoker, Windows 10 and 11 only, PerMonitorV2, longPathAware"
for pair in "ProductName:Ironvale Mod Installer" "CompanyName:IVL Mod Tools" "ProductVersion:$version"; do
    strings_of "$setup" | grep -q -a -F "${pair%%:*}${pair#*:}" || fail "the setup has no version string $pair"
done
wrestool -x --raw --type=24 "$setup" 2>/dev/null | grep -q -i 'dpiAware' || fail "the setup is not DPI-aware"
echo "setup: version resource and a DPI-aware manifest"

# The same tree packed as version 0.9, with a file that this version no longer ships.
mkdir -p "$work/older-extra" "$work/older"
printf 'only in 0.9\n' >"$work/older-extra/old-only.txt"
(cd "$build" && cpack -G NSIS -B "$work/older" -D CPACK_PACKAGE_VERSION=0.9 \
    -D CPACK_IVL_VERSION_QUAD=0.9.0.0 -D "CPACK_NSIS_DISPLAY_NAME=Ironvale Mod Installer 0.9" \
    -D CPACK_PACKAGE_FILE_NAME=ironvale-mod-installer-0.9-win64 \
    -D "CPACK_INSTALLED_DIRECTORIES=$work/older-extra;." >/dev/null) || fail "cannot pack version 0.9"
older=$work/older/ironvale-mod-installer-0.9-win64-setup.exe

# as_player NAME: everything a player does with the packages, in a fresh prefix made
# for the Windows user and code page of the environment (USER, LANG).
as_player() {
    local name=$1
    export WINEPREFIX=$work/prefix-$name
    wineboot -i >/dev/null 2>&1
    local profile
    profile=$(winenv USERPROFILE)
    local acp
    acp=$(wine reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP 2>/dev/null \
        | tr -d '\r' | awk '$1 == "ACP" { print $3 }')
    echo "== As ${USER:-$(id -un)} (Windows user profile $profile, ANSI code page $acp)"
    [ -z "${IVL_EXPECT_ACP:-}" ] || [ "$acp" = "$IVL_EXPECT_ACP" ] || fail "the ANSI code page is $acp, not $IVL_EXPECT_ACP"

    if [ "$name" = first ]; then
        echo "== The setup on Windows 7 and 8.1, which the program cannot run on"
        for old in win7 win81; do
            winecfg -v "$old"
            wine "$setup" /S
            rc=$?
            [ "$rc" -ne 0 ] || fail "on $old the setup ended with code 0"
            [ -z "$(apps_value DisplayName)" ] || fail "on $old the setup made an Apps entry"
            [ ! -e "$(unixpath "$profile\\AppData\\Local\\Programs\\Ironvale Mod Installer")" ] \
                || fail "on $old the setup installed files"
            echo "$old: exit code $rc, nothing installed, no Apps entry"
        done
        winecfg -v win10
    fi

    # Unpacked where a download lands, and started from its folder, as Explorer does.
    local downloads
    downloads=$(unixpath "$profile\\Downloads")
    mkdir -p "$downloads"
    unzip -q -o "$zip" -d "$downloads" || fail "cannot unpack $zip into $downloads"
    local portable=$downloads/$(basename "$folder")
    bash "$realwindow" --workdir "$portable" windows "$portable/$program" wine \
        || fail "the program from the zip did not run as it should"

    echo "== An older version that shipped one more file, then this one over it"
    wine "$older" /S || fail "version 0.9 did not install"
    local appdata startmenu
    appdata=$(winenv APPDATA)
    startmenu=$(unixpath "$appdata\\Microsoft\\Windows\\Start Menu\\Programs")
    shortcut=$startmenu/Ironvale\ Mod\ Installer.lnk
    [ -f "$shortcut" ] || fail "no Start-menu shortcut at $shortcut"
    mapfile -t link < <(wine "$build/ivl-shortcut.exe" "$(winepath -w "$shortcut")" | tr -d '\r')
    [ ${#link[@]} -eq 2 ] || fail "cannot read the shortcut $shortcut"
    echo "the shortcut starts ${link[0]} in ${link[1]}"
    local target startin
    target=$(unixpath "${link[0]}")
    startin=$(unixpath "${link[1]}")
    installed=$(dirname "$target")
    export installed shortcut # for state, which runs in the checks below
    case ${link[0]} in
    "$profile"'\AppData\Local\Programs\'*) ;;
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
        bash "$sign" --verify "$installed/Uninstall.exe" || fail "the uninstaller is not signed"
        bash "$sign" --verify "$target" || fail "the installed program is not signed"
    fi
    bash "$realwindow" --workdir "$startin" windows "$target" wine \
        || fail "the installed program did not run as it should"

    echo "== A player's mods, listed at the next start"
    for mod in "${mods[@]}"; do printf 'mod\n' >"$startin/Mods/$mod"; done
    local picture=()
    [ "$name" != first ] || picture=(--screenshot "$build/screenshot-windows.png")
    bash "$realwindow" --workdir "$startin" "${picture[@]}" windows "$target" wine \
        || fail "the installed program did not run with mods in Mods"

    echo "== A mod with a Cyrillic name, installed into D:\\Ігри\\Ironvale_EU"
    # The installer core with the DLLs the setup installed, in the player's Documents.
    local game='D:\Ігри\Ironvale_EU\res_mods\1.0' drive=$work/drive-d-$name checker=$work/check-$name
    mkdir -p "$drive/Ігри/Ironvale_EU/res_mods/1.0" "$checker"
    ln -sfn "$drive" "$WINEPREFIX/dosdevices/d:"
    wineserver -k 2>/dev/null # it keeps its old list of drives while it runs
    cp "$build/ivl-install-check.exe" "$installed"/*.dll "$checker/"
    printf 'the mod %s\n' "${mods[0]}" >"$startin/Mods/${mods[0]}"
    said=$(cd "$startin" && wine "$checker/ivl-install-check.exe" "${mods[0]}" "$game" | tr -d '\r') \
        || fail "installing ${mods[0]} into $game failed: $said"
    [ "$said" = "installed: ${mods[0]}" ] || fail "installing ${mods[0]} said: $said"
    cmp -s "$startin/Mods/${mods[0]}" "$drive/Ігри/Ironvale_EU/res_mods/1.0/${mods[0]}" \
        || fail "$game does not hold the mod's bytes: $(ls -A "$drive/Ігри/Ironvale_EU/res_mods/1.0")"
    echo "$said, into $game"

    echo "== The setup and the uninstaller while the program is open"
    state >"$work/before-$name"
    # Silent mode cannot ask the player to close the program: both must give up at once,
    # with a code other than 0 and nothing changed. The uninstaller runs in place (_?=)
    # so its own exit code comes back rather than that of the copy it starts.
    local uninstall_in_place="\"\$installed/Uninstall.exe\" /S _?=\$(winepath -s \"\$(winepath -w \"\$installed\")\")"
    local while_open="
        for run in 'wine \"\$setup\" /S' 'wine $uninstall_in_place'; do
            timeout 120 bash -c \"\$run\"; rc=\$?
            [ \$rc -ne 124 ] || { echo \"FAIL: \$run did not end within 120 s\"; exit 1; }
            [ \$rc -ne 0 ] || { echo \"FAIL: \$run ended with code 0 while the program was open\"; exit 1; }
            state | diff -u '$work/before-$name' - || { echo \"FAIL: \$run changed something\"; exit 1; }
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
}

# What the setup or the uninstaller would touch: the files, the shortcut, the Apps entry.
state() {
    (cd "$installed" && find . -type f -exec md5sum {} + | sort)
    ls -l --time-style=+%s "$shortcut"
    wine reg query "$apps_key" 2>/dev/null | tr -d '\r'
}
export -f state
export setup apps_key

as_player first
# A Ukrainian Windows (ANSI code page 1251) whose user, and so every folder of the
# player's, has a Cyrillic name.
(
    export LANG=uk_UA.UTF-8 USER=Олена IVL_EXPECT_ACP=1251
    locale -a 2>/dev/null | grep -q -i '^uk_UA\.utf-\?8$' || fail "the locale uk_UA.UTF-8 is missing"
    as_player cyrillic
) || exit 1
