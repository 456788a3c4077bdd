#!/usr/bin/env bash
# Checks a built .deb as a distribution would, and fails on any finding: lintian (no
# error and no warning), desktop-file-validate on the menu entry and appstreamcli on
# the AppStream metadata, both as the package installs them:
#   bash tests/packages/deb-package.sh PACKAGE.deb
# scripts/package.sh runs it after cpack (and installs lintian, desktop-file-utils and
# appstream for it).
set -euo pipefail
deb=$1

echo "== lintian"
lintian --fail-on error,warning --tag-display-limit 0 "$deb"

echo "== The menu entry and the AppStream metadata, as installed"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop=$(find "$unpacked/usr/share/applications" -name '*.desktop')
out=$(desktop-file-validate "$desktop" 2>&1) || { echo "$out"; exit 1; }
[ -z "$out" ] || { echo "desktop-file-validate: $out"; exit 1; }
out=$(appstreamcli validate --no-net --pedantic "$unpacked"/usr/share/metainfo/*.metainfo.xml 2>&1) ||
    { echo "$out"; exit 1; }
# Pedantic notes and infos are findings too.
! grep -E '^[EWIP]: ' <<<"$out" || { echo "appstreamcli: findings above"; exit 1; }
echo "the package passes lintian, desktop-file-validate and appstreamcli"
