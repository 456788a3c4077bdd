#!/usr/bin/env bash
# Cross-builds the Windows program and its test suite with MinGW-w64 against a
# MinGW build of Qt 6, and runs the suite under Wine:
#   IVL_QT_MINGW=/path/to/qt6-mingw bash scripts/windows.sh [--test-signing]
# Then it packs the portable zip and the setup program (CPack, with NSIS) and tries
# both as a player would (tests/packages/windows-packages.sh).
# --packages-only builds and packs without the test suite and the player checks (as
# scripts/reproducible.sh does). SHA256SUMS beside the packages lists their checksums.
# The packages carry SOURCE_DATE_EPOCH's date (the commit's unless given) and not the
# build's, so the same commit gives the same bytes (unsigned: a signature has a time).
# Signing: with IVL_SIGN_PFX (a PKCS#12 file) and IVL_SIGN_PASSWORD set, the program's
# .exe (before it is packed), the uninstaller and the setup program are signed with
# osslsigncode (SHA-256; time-stamped when IVL_SIGN_TIMESTAMP_URL is set) and each
# signature is checked. --test-signing makes a throw-away self-signed certificate
# for that when none is given, as CI does.
# Needs MinGW-w64 (posix threads), CMake, Ninja, Wine, NSIS and unzip; the
# real-window test and the package checks need Xvfb, openbox, xdotool, wmctrl, imagemagick
# and icoutils; signing needs osslsigncode and openssl.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build=$IVL_ROOT/build-windows

die() { echo "windows.sh: $*" >&2; exit 2; }
test_signing=false packages_only=false
for arg in "$@"; do
    case $arg in
    --test-signing) test_signing=true ;;
    --packages-only) packages_only=true ;;
    *) die "unknown option $arg (--test-signing, --packages-only)" ;;
    esac
done

[ -n "${IVL_QT_MINGW:-}" ] \
    || die "IVL_QT_MINGW is not set; point it at a MinGW build of Qt 6 (the folder with bin/ and lib/cmake/Qt6)"
toolchain=$IVL_QT_MINGW/lib/cmake/Qt6/qt.toolchain.cmake
[ -f "$toolchain" ] || die "IVL_QT_MINGW=$IVL_QT_MINGW holds no lib/cmake/Qt6/qt.toolchain.cmake"
[ -f "$IVL_QT_MINGW/bin/Qt6Core.dll" ] || die "IVL_QT_MINGW=$IVL_QT_MINGW holds no bin/Qt6Core.dll: not a Qt for Windows"
for tool in cmake ninja wine x86_64-w64-mingw32-g++-posix makensis unzip wrestool icotool; do
    command -v "$tool" >/dev/null \
        || die "$tool is missing (Debian: cmake ninja-build wine g++-mingw-w64-x86-64-posix nsis unzip icoutils)"
done

# A prefix of the build's own, so the drive letters the tests add never touch the user's.
mkdir -p "$build"
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}

# The MinGW runtime DLLs (libstdc++, libgcc_s, winpthread) for programs run under Wine.
if [ -z "${IVL_MINGW_RUNTIME:-}" ]; then
    gccdir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
    IVL_MINGW_RUNTIME=$gccdir:/usr/x86_64-w64-mingw32/lib
fi
export IVL_MINGW_RUNTIME
if [ -z "${WINEPATH:-}" ]; then
    WINEPATH=$(winepath -w "$IVL_QT_MINGW/bin" 2>/dev/null)
    IFS=: read -r -a dirs <<<"$IVL_MINGW_RUNTIME"
    for d in "${dirs[@]}"; do WINEPATH="$WINEPATH;$(winepath -w "$d" 2>/dev/null)"; done
    export WINEPATH
fi

if [ -z "${IVL_SIGN_PFX:-}" ] && $test_signing; then
    # A certificate that lives for this run only, so the signing path runs as a
    # release's would.
    certs=$build/test-signing
    rm -rf "$certs" && mkdir -p "$certs"
    export IVL_SIGN_PASSWORD=$(openssl rand -hex 16)
    openssl req -x509 -newkey rsa:3072 -sha256 -days 2 -nodes -subj "/CN=Ironvale Mod Installer test signing" \
        -addext extendedKeyUsage=codeSigning -keyout "$certs/key.pem" -out "$certs/cert.pem" 2>/dev/null
    openssl pkcs12 -export -inkey "$certs/key.pem" -in "$certs/cert.pem" -out "$certs/test.pfx" \
        -passout env:IVL_SIGN_PASSWORD
    export IVL_SIGN_PFX=$certs/test.pfx
fi
if [ -n "${IVL_SIGN_PFX:-}" ]; then
    for tool in osslsigncode openssl; do
        command -v "$tool" >/dev/null || die "$tool is missing, and signing needs it (Debian: $tool)"
    done
    echo "== Signing with $IVL_SIGN_PFX${IVL_SIGN_TIMESTAMP_URL:+, time-stamped by $IVL_SIGN_TIMESTAMP_URL}"
else
    echo "== Not signing: no certificate given (IVL_SIGN_PFX, IVL_SIGN_PASSWORD)"
fi

ivl_source_date_epoch
echo "== Configure and build for Windows (warnings are errors; dated $(date -u -d "@$SOURCE_DATE_EPOCH" '+%F %T') UTC)"
ivl_build windows -DBUILD_TESTING="$($packages_only && echo OFF || echo ON)"

# The zip and the setup program, and SHA256SUMS of them as released (signed, where a
# certificate was given: the setup signs itself while CPack makes it).
pack() {
    rm -f "$build"/ironvale-mod-installer-*-win64*
    (cd "$build" && cpack && sha256sum -- ironvale-mod-installer-*-win64.zip \
        ironvale-mod-installer-*-win64-setup.exe >SHA256SUMS)
}

if $packages_only; then
    pack >/dev/null
    echo "== Packages: $(cd "$build" && echo ironvale-mod-installer-*-win64*)"
    exit 0
fi

echo "== Tests under Wine"
# The long install's case puts drive D: behind a FUSE share of the tests' own (Python).
if [ -d /dev/fuse ] || [ -c /dev/fuse ]; then
    (ivl_ensure_packages python3-fusepy) || echo "python3-fusepy could not be installed: the slow drive's case is skipped"
fi
rc=0
ctest --test-dir "$build" --output-on-failure -j"$IVL_JOBS" || rc=$?
# CTest counts a suite as passed when some of its cases skip: say which, and why.
echo "== Cases skipped under Wine"
grep -h -E '^SKIP +:' "$build/Testing/Temporary/LastTest.log" | sed -E 's/^SKIP +: /  /' || true
[ "$rc" -eq 0 ] || exit "$rc"

echo "== Packages"
cmake --build "$build" --target ivl-shortcut ivl-install-check
pack
if [ -n "${IVL_SIGN_PFX:-}" ]; then
    echo "== Signatures"
    sign=$IVL_ROOT/packaging/sign.sh
    bash "$sign" --verify "$(ls "$build"/ironvale-mod-installer-*-win64-setup.exe)"
    unpacked=$(mktemp -d)
    unzip -q -j "$(ls "$build"/ironvale-mod-installer-*-win64.zip)" '*/ironvale-mod-installer.exe' -d "$unpacked"
    bash "$sign" --verify "$unpacked/ironvale-mod-installer.exe"
    rm -rf "$unpacked"
    # The uninstaller is checked where the setup writes it (windows-packages.sh).
fi
echo "== The packages, tried as a player would"
bash "$IVL_ROOT/tests/packages/windows-packages.sh" "$build"
