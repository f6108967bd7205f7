#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test. Fails when any fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RANQUIL_BUILD_DIR:-$root/build}
bash "$root/scripts/install.sh"
bash "$root/scripts/check-format.sh"
bash "$root/scripts/build.sh"
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 600
