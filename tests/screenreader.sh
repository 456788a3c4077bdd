#!/usr/bin/env bash
# The built program on a real X11 display with an accessibility bus (AT-SPI, as
# Orca uses it), checked by tests/screenreader.py while its window is up:
#   screenreader.sh PROGRAM [--announcement]
# Exits 77, which CTest reports as skipped, where no bus can be started.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
program=$1
shift
command -v dbus-run-session >/dev/null || { echo "SKIP: dbus-run-session is not installed"; exit 77; }
[ -x /usr/libexec/at-spi-bus-launcher ] || { echo "SKIP: at-spi2-core is not installed"; exit 77; }
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is not installed"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A session bus of its own, on which the accessibility bus starts when asked for;
# Qt joins it only where a screen reader is running, or when told to.
dbus-run-session -- env QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    bash "$here/realwindow.sh" --workdir "$work" \
    --while "/usr/bin/python3 '$here/screenreader.py' '$work' $*" xcb "$program"
