#!/usr/bin/env bash
# Builds the packages twice, from two fresh copies of the tree in different folders, at
# least a second apart, and compares them byte for byte; on a difference it names the
# file and, where diffoscope is installed, shows where they differ:
#   bash scripts/reproducible.sh deb       # the .deb (Debian or Ubuntu), checked and then
#                                          # left in build-release/ as package.sh leaves it
#   bash scripts/reproducible.sh deb --release trixie   # the .deb built in a Debian 13 root
#   bash scripts/reproducible.sh windows   # the zip and the setup program, unsigned
#                                          # (IVL_QT_MINGW as for scripts/windows.sh)
# No build folder of the working tree is used, so no cache can hide a difference.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

kind=${1:-}
release=()
[ "${2:-}" != --release ] || release=(--release "${3:?which release}")
out=build-release${release[1]:+-${release[1]}}
case $kind in
deb) packages=("$out/SHA256SUMS" "$out/ironvale-mod-installer_*.deb") ;;
windows) packages=(build-windows/SHA256SUMS build-windows/ironvale-mod-installer-*-win64.zip
                   build-windows/ironvale-mod-installer-*-win64-setup.exe) ;;
*) echo "usage: bash scripts/reproducible.sh deb|windows" >&2; exit 2 ;;
esac
ivl_source_date_epoch # the commit's date, the same for both builds
# A signature carries its own time: these are the unsigned packages.
unset IVL_SIGN_PFX IVL_SIGN_PASSWORD

work=$(mktemp -d)
# IVL_KEEP_BUILDS=1 keeps both builds for a closer look.
[ -n "${IVL_KEEP_BUILDS:-}" ] || trap 'rm -rf "$work"' EXIT
copies=()
for name in first second-build; do
    copy=$work/$name/ironvale-mod-installer
    mkdir -p "$copy"
    if git -C "$IVL_ROOT" rev-parse --git-dir >/dev/null 2>&1; then
        (cd "$IVL_ROOT" && git ls-files -co --exclude-standard -z |
            while IFS= read -r -d '' f; do [ -e "$f" ] && cp --parents -P "$f" "$copy/"; done)
    else # a copy of the tree without its history (as win-check makes): all but the builds
        find "$IVL_ROOT" -mindepth 1 -maxdepth 1 ! -name 'build*' -exec cp -a {} "$copy/" \;
    fi
    echo "== Build $((${#copies[@]} + 1)) of 2, in $copy"
    start=$SECONDS
    if [ "$kind" = deb ]; then
        bash "$copy/scripts/package.sh" "${release[@]}" >"$work/$name.log" 2>&1
    else
        bash "$copy/scripts/windows.sh" --packages-only >"$work/$name.log" 2>&1
    fi || { tail -n 30 "$work/$name.log"; echo "the build in $copy failed"; exit 1; }
    echo "   $((SECONDS - start)) s"
    sums=$copy/${packages[0]}
    (cd "$(dirname "$sums")" && sha256sum -c --quiet SHA256SUMS) || { echo "SHA256SUMS does not match"; exit 1; }
    copies+=("$copy")
    sleep 1
done

echo "== The two builds, byte for byte (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
differ=0
for pattern in "${packages[@]}"; do
    first=$(cd "${copies[0]}" && ls $pattern 2>/dev/null | head -n 1)
    [ -n "$first" ] || { echo "no $pattern in the first build"; exit 1; }
    if cmp -s "${copies[0]}/$first" "${copies[1]}/$first"; then
        echo "  same: $first ($(sha256sum <"${copies[0]}/$first" | cut -c1-16)…)"
    else
        differ=1
        echo "  DIFFERENT: $first"
        if command -v diffoscope >/dev/null; then
            diffoscope --text - "${copies[0]}/$first" "${copies[1]}/$first" | head -n 80 || true
        else
            echo "  $(cmp -l "${copies[0]}/$first" "${copies[1]}/$first" | wc -l) bytes differ, the first at offset $(cmp "${copies[0]}/$first" "${copies[1]}/$first" | awk '{ print $5 }' | tr -d ,)"
            echo "  (install diffoscope to see where they differ)"
        fi
    fi
done
[ "$differ" -eq 0 ] || { echo "the two builds differ"; exit 1; }
echo "the two builds are the same, byte for byte"
if [ "$kind" = deb ]; then
    # Each build was checked as package.sh checks it: the first one's packages are the
    # release's, where package.sh leaves them, so nothing needs building a third time.
    mkdir -p "$IVL_ROOT/$out"
    rm -f "$IVL_ROOT/$out"/*.deb
    cp "${copies[0]}/$out"/*.deb "${copies[0]}/$out/SHA256SUMS" "$IVL_ROOT/$out/"
    echo "the packages are in $out/"
fi
