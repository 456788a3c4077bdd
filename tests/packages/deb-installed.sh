#!/usr/bin/env bash
# Installs a built .deb in a pristine root of the release it was built for, as a player
# would (apt-get, which brings its dependencies), and tries it there: the menu entry
# (tests/packages/menu-entry.sh) and the screen-reader check (tests/screenreader.sh)
# against the installed program.
#   bash tests/packages/deb-installed.sh PACKAGE.deb CODENAME [--announcement]
# The root is made once (/var/cache/ivl-try-CODENAME) and left untouched: each run
# installs into a throw-away layer over it.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/common.sh"
deb=$(realpath "$1") codename=$2
shift 2
here=$IVL_ROOT/tests
base=${IVL_TRY_ROOT:-/var/cache/ivl-try-$codename}
# Only what a desktop has and what the checks use: a display, a window manager, the
# accessibility bus with a client, GLib's launcher, fonts.
ivl_release_root "$codename" "$base" xvfb xauth openbox xdotool wmctrl procps fonts-dejavu-core \
    dbus at-spi2-core python3-pyatspi libglib2.0-bin

layer=$(mktemp -d)
trap 'rm -rf "$layer"' EXIT
mkdir -p "$layer/upper" "$layer/work" "$layer/root"
cp /etc/resolv.conf "$layer/resolv.conf" 2>/dev/null || true
unshare -m --propagation private bash -c '
    set -e
    base=$1 layer=$2 deb=$3 here=$4
    shift 4
    mount -t overlay overlay -o "lowerdir=$base,upperdir=$layer/upper,workdir=$layer/work" "$layer/root"
    root=$layer/root
    mkdir -p "$root/check" && cp -r "$here"/. "$root/check/" && cp "$deb" "$root/check/"
    cp "$layer/resolv.conf" "$root/etc/resolv.conf" 2>/dev/null || true
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    run() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
    echo "== apt-get install ./$(basename "$deb")"
    run sh -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /check/$(basename "$deb") >/dev/null"
    run dpkg-query -W -f="installed: \${Package} \${Version}\n  Depends: \${Depends}\n" ironvale-mod-installer
    run dpkg-query -W -f="  with Qt \${Version}\n" libqt6core6t64 2>/dev/null || run dpkg-query -W -f="  with Qt \${Version}\n" libqt6core6
    echo "== The menu entry"
    run bash /check/packages/menu-entry.sh
    echo "== The screen-reader check, against the installed program"
    run bash /check/screenreader.sh /usr/bin/ironvale-mod-installer "$@"
' ivl "$base" "$layer" "$deb" "$here" "$@"
