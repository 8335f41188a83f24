#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is
# missing. Sourced by run.sh and test.sh.
set -euo pipefail

TOVALUMEN_PACKAGES=(
    clang clang-14 libclang-rt-14-dev
    cmake g++ make pkg-config clang-format
    qtbase5-dev qttools5-dev qttools5-dev-tools libqt5svg5-dev libqt5webkit5-dev
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev ffmpeg
    libcrypto++-dev
    xvfb xauth python3-pyftpdlib chromium haxe
)

missing_packages() {
    local package
    for package in "${TOVALUMEN_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            echo "$package"
        fi
    done
}

install_missing_packages() {
    local missing
    mapfile -t missing < <(missing_packages)
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; return 1; }
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
}

# configure_and_build BUILD_DIR [cmake options...]
configure_and_build() {
    local build_dir=$1
    shift
    if [ ! -f "$build_dir/Makefile" ]; then
        cmake -S . -B "$build_dir" "$@"
    fi
    cmake --build "$build_dir" --parallel "$(nproc)"
}
