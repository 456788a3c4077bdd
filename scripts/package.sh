#!/usr/bin/env bash
# Builds a release of the program, packs it as a .deb in build-release/ and checks the
# package as a distribution would (tests/packages/deb-package.sh: lintian with no error
# or warning, the menu entry and the AppStream metadata).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# dpkg-shlibdeps and the file tool compute Depends; the rest check the package.
ivl_ensure_packages "${IVL_BUILD_PACKAGES[@]}" dpkg-dev file lintian desktop-file-utils appstream
ivl_source_date_epoch
IVL_BUILD_TYPE=Release ivl_build "$IVL_ROOT/build-release" -DBUILD_TESTING=OFF
rm -f "$IVL_ROOT"/build-release/*.deb
(cd "$IVL_ROOT/build-release" && cpack -G DEB >/dev/null)
deb=$(ls "$IVL_ROOT"/build-release/*.deb)
# For players to check what they downloaded: sha256sum -c SHA256SUMS beside the package.
(cd "$IVL_ROOT/build-release" && sha256sum -- "$(basename "$deb")" >SHA256SUMS)
echo "$deb"

bash "$IVL_ROOT/tests/packages/deb-package.sh" "$deb"
