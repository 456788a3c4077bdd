#!/usr/bin/env bash
# Renders the main window in both themes to docs/screenshot-light.png and
# docs/screenshot-dark.png, and the confirmation question to
# docs/screenshot-question.png, with fonts that have Cyrillic letters.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ivl_ensure_packages "${IVL_BUILD_PACKAGES[@]}" fonts-dejavu-core
cmake -S "$IVL_ROOT" -B "$IVL_ROOT/build" -G Ninja >/dev/null
cmake --build "$IVL_ROOT/build" -j"$IVL_JOBS" --target ivl-screenshot
QT_QPA_PLATFORM=offscreen "$IVL_ROOT/build/docs/screenshot/ivl-screenshot" "$IVL_ROOT/docs"
