#!/usr/bin/env bash
# Installs what is missing, builds into build/ and starts TovaLumen.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh

install_missing_packages
configure_and_build build
exec build/bin/tovalumen "$@"
