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

# ivl_build PRESET [extra cmake arguments...]: configures and builds with one of
# CMakePresets.json's presets (dev, sanitize, release, windows).
ivl_build() {
    local preset=$1
    shift
    (cd "$IVL_ROOT" && cmake --preset "$preset" "$@" >/dev/null && cmake --build --preset "$preset" -j"$IVL_JOBS")
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

# ivl_release_root CODENAME DIR PACKAGE...: a Debian root folder of release CODENAME
# (bookworm, trixie) in DIR, made with debootstrap once and given the packages that it
# lacks. The packages go in with apt-get: debootstrap cannot configure some of them.
ivl_release_root() {
    local codename=$1 root=$2
    shift 2
    ivl_ensure_packages debootstrap
    if [ ! -x "$root/usr/bin/apt-get" ] || ! grep -q "^VERSION_CODENAME=$codename$" "$root/etc/os-release" 2>/dev/null; then
        ! grep -q " $root/" /proc/mounts || { echo "something is mounted under $root" >&2; exit 2; }
        echo "Making a Debian $codename root in $root (once; a few minutes)"
        rm -rf --one-file-system "$root"
        debootstrap --variant=minbase "$codename" "$root" >"$root.log" 2>&1 ||
            { echo "debootstrap failed, see $root.log" >&2; exit 2; }
    fi
    local missing=() p
    for p in "$@"; do
        chroot "$root" dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing in the $codename root: ${missing[*]}"
    cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
    unshare -m --propagation private sh -c 'mount -t proc proc "$1/proc" && chroot "$@"' \
        ivl "$root" sh -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $*" >/dev/null
}

# ivl_in_root ROOT COMMAND...: runs COMMAND in ROOT (as from its /), in a mount namespace
# of its own with /proc, /dev and a fresh /tmp, as root with a plain environment.
ivl_in_root() {
    local root=$1
    shift
    unshare -m --propagation private sh -c '
        root=$1; shift
        mount --bind "$root" "$root"
        mount -t proc proc "$root/proc"
        mount --rbind /dev "$root/dev"
        mount -t tmpfs tmpfs "$root/tmp"
        exec chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
            ${SOURCE_DATE_EPOCH:+SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH} ${CI:+CI=$CI} "$@"
    ' ivl "$root" "$@"
}
