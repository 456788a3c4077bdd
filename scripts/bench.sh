#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs them: bash scripts/bench.sh [name...]
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# The install is measured on loop images of ext4 and btrfs.
ivl_ensure_packages "${IVL_BUILD_PACKAGES[@]}" e2fsprogs btrfs-progs bindfs
cmake -S "$IVL_ROOT" -B "$IVL_ROOT/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$IVL_ROOT/build-bench" -j"$IVL_JOBS" --target benchmarks
names=("$@")
[ ${#names[@]} -gt 0 ] || names=(bench_modcatalogue bench_volumescan bench_install bench_stall bench_startup)
for name in "${names[@]}"; do
    echo "== $name"
    "$IVL_ROOT/build-bench/bench/$name"
done
