#!/usr/bin/env bash
# Builds the transfer worker's and the download's tests with ThreadSanitizer into build-tsan/ (or
# $RANQUIL_TSAN_DIR) and runs them. Qt is not instrumented: reports without a
# frame of ours are suppressed by Qt's library names.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RANQUIL_TSAN_DIR:-$root/build-tsan}
suppressions=$(mktemp)
trap 'rm -f "$suppressions"' EXIT
printf 'called_from_lib:libQt6Core.so.6\ncalled_from_lib:libQt6Network.so.6\n' >"$suppressions"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -O1 -g" -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread \
  -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread >/dev/null
cmake --build "$build" --target worker_rules worker_servers download_rules download_servers
cd "$build"
TSAN_OPTIONS="halt_on_error=0 die_after_fork=0 suppressions=$suppressions" \
  ctest -R 'WorkerServers|WorkerCache|Worker/|Download' -E 'Sparse' --output-on-failure
