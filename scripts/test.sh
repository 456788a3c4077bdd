#!/usr/bin/env bash
# Builds the program and runs the whole test suite: once in a normal build, once
# built with AddressSanitizer and UndefinedBehaviorSanitizer.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ivl_ensure_packages "${IVL_BUILD_PACKAGES[@]}" "${IVL_TEST_PACKAGES[@]}"

echo "== Build (warnings are errors)"
ivl_build dev -DIVL_WARNINGS_AS_ERRORS=ON
echo "== Tests"
ctest --test-dir "$IVL_ROOT/build" --output-on-failure -j"$IVL_JOBS"

echo "== Build with AddressSanitizer and UndefinedBehaviorSanitizer"
ivl_build sanitize
echo "== Tests under the sanitizers"
ctest --test-dir "$IVL_ROOT/build-sanitize" --output-on-failure -j"$IVL_JOBS"
