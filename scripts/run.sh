#!/usr/bin/env bash
# Builds the program and starts it in the current directory (Mods and Info are created there).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ivl_ensure_packages "${IVL_BUILD_PACKAGES[@]}"
ivl_build dev
exec "$IVL_ROOT/build/app/ironvale-mod-installer"
