#!/usr/bin/env bash
# Builds the program and runs the whole test suite.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ivl_ensure_packages "${IVL_BUILD_PACKAGES[@]}"

echo "== Build (warnings are errors)"
ivl_build "$IVL_ROOT/build" -DIVL_WARNINGS_AS_ERRORS=ON
echo "== Tests"
ctest --test-dir "$IVL_ROOT/build" --output-on-failure -j"$IVL_JOBS"
