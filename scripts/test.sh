#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test. Fails when any fails.
#   test.sh             the plain suite, then the same suite under the
#                       address and undefined-behaviour sanitizers
#   test.sh --plain     every test, in build/ (or $RANQUIL_BUILD_DIR)
#   test.sh --sanitize  every test under AddressSanitizer and
#                       UndefinedBehaviorSanitizer, in build-asan/ (or
#                       $RANQUIL_ASAN_DIR); the first report ends the program
#   test.sh --tsan      the suites labelled `threads` (their cases share
#                       state between threads) under ThreadSanitizer, in
#                       build-tsan/ (see tsan-run.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-}

plain_suite() {
  local build=${RANQUIL_BUILD_DIR:-$root/build}
  bash "$root/scripts/check-format.sh"
  bash "$root/scripts/build.sh"
  (cd "$build" && ctest --output-on-failure -j "$(nproc)" --timeout 600)
}

sanitized_suite() {
  local build=${RANQUIL_ASAN_DIR:-$root/build-asan}
  local flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all"
  RANQUIL_BUILD_DIR=$build bash "$root/scripts/build.sh" -DRANQUIL_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags"
  (cd "$build" && ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --output-on-failure -j "$(nproc)" --timeout 900)
}

bash "$root/scripts/install.sh"

case "$mode" in
"")
  plain_suite
  sanitized_suite
  ;;
--plain)
  plain_suite
  ;;
--sanitize)
  sanitized_suite
  ;;
--tsan)
  # The suites labelled `threads` (tests/CMakeLists.txt); the sparse 4 GiB
  # download would take too long under ThreadSanitizer.
  exec bash "$root/scripts/tsan-run.sh" threads_tests -- -L threads -E 'Sparse'
  ;;
*)
  echo "usage: $0 [--plain | --sanitize | --tsan]" >&2
  exit 2
  ;;
esac
