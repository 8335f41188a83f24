#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each one
# for the given number of seconds (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
seconds=${1:-60}
install_missing_packages
CC=clang CXX=clang++ configure_and_build build-fuzz -DTOVALUMEN_BUILD_FUZZERS=ON -DTOVALUMEN_SANITIZE=ON \
    -DTOVALUMEN_BUILD_TESTS=OFF -DTOVALUMEN_BUILD_BENCHMARKS=OFF
for fuzzer in build-fuzz/bin/fuzz_*; do
    echo "== $fuzzer"
    "$fuzzer" -max_total_time="$seconds" -print_final_stats=1
done
