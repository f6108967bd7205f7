#!/usr/bin/env bash
# Configures and builds into build/ (or $RANQUIL_BUILD_DIR); extra arguments go to cmake.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RANQUIL_BUILD_DIR:-$root/build}
launcher=()
if command -v ccache >/dev/null; then
  # Paths are hashed relative to the build folder (and not the folder itself),
  # so several checkouts side by side share one cache.
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$root")} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
