#!/usr/bin/env bash
# Builds a release of the program and packs it as a .deb in build-release/.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ivl_ensure_packages "${IVL_BUILD_PACKAGES[@]}" dpkg-dev file # dpkg-shlibdeps and the file tool compute Depends
IVL_BUILD_TYPE=Release ivl_build "$IVL_ROOT/build-release" -DBUILD_TESTING=OFF
(cd "$IVL_ROOT/build-release" && cpack -G DEB >/dev/null)
ls "$IVL_ROOT"/build-release/*.deb
