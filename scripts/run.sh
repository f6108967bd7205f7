#!/usr/bin/env bash
# Installs what is needed, builds, and starts the program (against the local
# demo servers when the demo script is present).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RANQUIL_BUILD_DIR:-$root/build}
bash "$root/scripts/install.sh"
bash "$root/scripts/build.sh"
if [ -x "$root/scripts/demo.sh" ]; then
  exec "$root/scripts/demo.sh" "$build/src/app/ranquil" "$@"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a "$build/src/app/ranquil" "$@"
fi
exec "$build/src/app/ranquil" "$@"
