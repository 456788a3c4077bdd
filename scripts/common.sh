# Shared by the README's commands. Sourced, not run.
set -euo pipefail

IVL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
IVL_JOBS=$(nproc 2>/dev/null || echo 2)

# What building the program needs on Debian or Ubuntu (Qt's Ukrainian texts are compiled in).
IVL_BUILD_PACKAGES=(cmake ninja-build g++ qt6-base-dev qt6-translations-l10n)
# What the tests need beyond that: a real X11 display with a window manager and
# tools to find and close the window, and fonts with Cyrillic letters; and the file
# systems players keep the game on, made and mounted by the tests (loop images,
# FUSE drives, and Python's FUSE bindings for a share of the tests' own); and an
# accessibility bus with a client that reads it as a screen reader does.
IVL_TEST_PACKAGES=(xvfb openbox xdotool wmctrl fonts-dejavu-core
    e2fsprogs btrfs-progs xfsprogs ntfs-3g exfat-fuse exfatprogs fusefat dosfstools bindfs
    python3-fusepy
    dbus at-spi2-core python3-pyatspi)

# Installs the Debian packages among "$@" that are missing, as root or through sudo.
ivl_ensure_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "Installing ${missing[*]} needs root or sudo." >&2; exit 1; }
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

# ivl_build DIR [extra cmake arguments...]: configures (once) and builds into DIR.
ivl_build() {
    local dir=$1
    shift
    cmake -S "$IVL_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="${IVL_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
    cmake --build "$dir" -j"$IVL_JOBS"
}

# Packages made from the same commit are the same bytes: file times, PE time stamps and
# archive entries take this date, the commit's unless SOURCE_DATE_EPOCH is given.
ivl_source_date_epoch() {
    if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
        SOURCE_DATE_EPOCH=$(git -C "$IVL_ROOT" log -1 --format=%ct 2>/dev/null) || SOURCE_DATE_EPOCH=
        if [ -z "$SOURCE_DATE_EPOCH" ]; then
            echo "Not a git checkout and no SOURCE_DATE_EPOCH given: the packages carry today's date." >&2
            SOURCE_DATE_EPOCH=$(date +%s)
        fi
    fi
    export SOURCE_DATE_EPOCH
}
