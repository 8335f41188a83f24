#!/usr/bin/env bash
# Installs what is missing, builds into build/ and runs the whole test suite.
# With --sanitize the suite also runs in build-asan/, built with
# AddressSanitizer and UndefinedBehaviorSanitizer (with clang), together with
# the libFuzzer targets.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh

sanitize=0
for argument in "$@"; do
    case "$argument" in
        --sanitize) sanitize=1 ;;
        *) echo "usage: scripts/test.sh [--sanitize]" >&2; exit 2 ;;
    esac
done

install_missing_packages
export QT_QPA_PLATFORM=offscreen

run_suite() {
    local build_dir=$1
    shift
    configure_and_build "$build_dir" "$@"
    (cd "$build_dir" && ctest --output-on-failure --parallel "$(nproc)")
}

run_suite build
if [ $sanitize -eq 1 ]; then
    # clang, so that the libFuzzer targets build too and run briefly as tests.
    CC=clang CXX=clang++ run_suite build-asan -DTOVALUMEN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
        -DTOVALUMEN_BUILD_BENCHMARKS=OFF -DTOVALUMEN_BUILD_FUZZERS=ON
fi
