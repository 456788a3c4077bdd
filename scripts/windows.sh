#!/usr/bin/env bash
# Cross-builds the Windows program and its test suite with MinGW-w64 against a
# MinGW build of Qt 6, and runs the suite under Wine:
#   IVL_QT_MINGW=/path/to/qt6-mingw bash scripts/windows.sh
# Then it packs the portable zip and the setup program (CPack, with NSIS) and tries
# both as a player would (scripts/windows-packages.sh).
# Needs MinGW-w64 (posix threads), CMake, Ninja, Wine, NSIS and unzip; the
# real-window test and the package checks need Xvfb, openbox, xdotool, wmctrl and python3.
set -euo pipefail

IVL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
IVL_JOBS=$(nproc 2>/dev/null || echo 2)
build=$IVL_ROOT/build-windows

die() { echo "windows.sh: $*" >&2; exit 2; }

[ -n "${IVL_QT_MINGW:-}" ] \
    || die "IVL_QT_MINGW is not set; point it at a MinGW build of Qt 6 (the folder with bin/ and lib/cmake/Qt6)"
toolchain=$IVL_QT_MINGW/lib/cmake/Qt6/qt.toolchain.cmake
[ -f "$toolchain" ] || die "IVL_QT_MINGW=$IVL_QT_MINGW holds no lib/cmake/Qt6/qt.toolchain.cmake"
[ -f "$IVL_QT_MINGW/bin/Qt6Core.dll" ] || die "IVL_QT_MINGW=$IVL_QT_MINGW holds no bin/Qt6Core.dll: not a Qt for Windows"
for tool in cmake ninja wine x86_64-w64-mingw32-g++-posix makensis unzip; do
    command -v "$tool" >/dev/null \
        || die "$tool is missing (Debian: cmake ninja-build wine g++-mingw-w64-x86-64-posix nsis unzip)"
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

echo "== Configure and build for Windows (warnings are errors)"
cmake -S "$IVL_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_CROSSCOMPILING_EMULATOR=wine \
    -DIVL_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$build" -j"$IVL_JOBS"

echo "== Tests under Wine"
rc=0
ctest --test-dir "$build" --output-on-failure -j"$IVL_JOBS" || rc=$?
# CTest counts a suite as passed when some of its cases skip: say which, and why.
echo "== Cases skipped under Wine"
grep -h -E '^SKIP +:' "$build/Testing/Temporary/LastTest.log" | sed -E 's/^SKIP +: /  /' || true
[ "$rc" -eq 0 ] || exit "$rc"

echo "== Packages"
cmake --build "$build" --target ivl-shortcut
(cd "$build" && cpack)
echo "== The packages, tried as a player would"
bash "$IVL_ROOT/scripts/windows-packages.sh" "$build"
