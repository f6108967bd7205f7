#!/usr/bin/env bash
# Builds the Debian package ranquil_<version>_<arch>.deb into build/ (or
# $RANQUIL_BUILD_DIR): configures and builds like build.sh, then cpack
# packs the install rules. Install it with: sudo apt install ./build/ranquil_*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RANQUIL_BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh" "$@"
cd "$build"
cpack -G DEB
ls "$build"/ranquil_*.deb
