#!/usr/bin/env bash
# Builds the benchmarks into build-bench/ (an optimised build) and runs them
# one after another; pass names to run only those.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
install_missing_packages
configure_and_build build-bench -DCMAKE_BUILD_TYPE=Release
export QT_QPA_PLATFORM=offscreen
for bench in build-bench/bin/bench_*; do
    name=$(basename "$bench")
    if [ $# -gt 0 ] && [[ ! " $* " =~ " $name " ]]; then continue; fi
    echo "== $name"
    "$bench"
done
