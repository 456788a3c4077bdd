#!/usr/bin/env bash
# Builds a release of the program, packs it as a .deb in build-release/ and checks the
# package as a distribution would (tests/packages/deb-package.sh: lintian with no error
# or warning, the menu entry and the AppStream metadata).
#   bash scripts/package.sh                    # for the release of this machine
#   bash scripts/package.sh --release trixie   # in a Debian root of that release, made
#                                              # with debootstrap; into build-release-trixie/
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

if [ "${1:-}" = --release ]; then
    codename=${2:?which release: bookworm, trixie, ...}
    root=${IVL_RELEASE_ROOT:-/var/cache/ivl-build-$codename}
    ivl_release_root "$codename" "$root" "${IVL_BUILD_PACKAGES[@]}" dpkg-dev file lintian \
        desktop-file-utils appstream
    ivl_source_date_epoch # from this checkout's history, which the copy has not
    # The tree at its own path under /build inside: the root's /tmp is a fresh one.
    inside=/build$IVL_ROOT
    rm -rf "${root:?}$inside" && mkdir -p "$root$inside"
    if git -C "$IVL_ROOT" rev-parse --git-dir >/dev/null 2>&1; then
        (cd "$IVL_ROOT" && git ls-files -co --exclude-standard -z |
            while IFS= read -r -d '' f; do [ -e "$f" ] && cp --parents -P "$f" "$root$inside/"; done)
    else # a copy without its history: all but the builds
        find "$IVL_ROOT" -mindepth 1 -maxdepth 1 ! -name 'build*' -exec cp -a {} "$root$inside/" \;
    fi
    ivl_in_root "$root" bash "$inside/scripts/package.sh"
    out=$IVL_ROOT/build-release-$codename
    rm -rf "$out" && mkdir -p "$out"
    cp "$root$inside"/build-release/*.deb "$root$inside/build-release/SHA256SUMS" "$out/"
    rm -rf "${root:?}$inside"
    ls "$out"/*.deb
    exit 0
fi

# dpkg-shlibdeps and the file tool compute Depends; the rest check the package.
ivl_ensure_packages "${IVL_BUILD_PACKAGES[@]}" dpkg-dev file lintian desktop-file-utils appstream
ivl_source_date_epoch
ivl_build release
rm -f "$IVL_ROOT"/build-release/*.deb
(cd "$IVL_ROOT/build-release" && cpack -G DEB >/dev/null)
deb=$(ls "$IVL_ROOT"/build-release/*.deb)
# For players to check what they downloaded: sha256sum -c SHA256SUMS beside the package.
(cd "$IVL_ROOT/build-release" && sha256sum -- "$(basename "$deb")" >SHA256SUMS)
echo "$deb"

bash "$IVL_ROOT/tests/packages/deb-package.sh" "$deb"
