#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test. Fails when any fails.
#   test.sh             the plain suite, then the same suite under the
#                       address and undefined-behaviour sanitizers
#   test.sh --plain     every test, in build/ (or $RANQUIL_BUILD_DIR)
#   test.sh --sanitize  every test under AddressSanitizer and
#                       UndefinedBehaviorSanitizer, in build-asan/ (or
#                       $RANQUIL_ASAN_DIR); the first report ends the program
#   test.sh --tsan      the tests that share state between threads under
#                       ThreadSanitizer, in build-tsan/ (see tsan-run.sh)
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
  # Threads lending sockets and FTP components, blocking calls on workers,
  # aborts from another thread, the shell's update-index address, the
  # scripted server's own thread, the listing parsers beside a session, the
  # transfer worker and download, the transfer windows that watch a worker,
  # the session lending its connection, the actions list's store writer, and
  # the remote list's preparing and sorting threads.
  exec bash "$root/scripts/tsan-run.sh" ftp_threads socket_connections http_client_tests index_client_tests \
    shell_tests listing_tests ftp_scripted worker_rules worker_servers download_rules download_servers \
    load_frame_tests load_form_tests handover_tests common_tests operations_tests remote_list_tests sorted_rows_tests -- \
    -R 'FtpThreads|SocketThreads|SocketEventWait|HttpClient\.(AbortFromAnotherThread|WorksInAWorkerThread)|IndexClient\.OtherSourcesFromALoaderThread|ShellTest\.UpdateIndexUrl|PlatformTypeText\.ThreadsAsking|ParallelListing|FtpScripted|WorkerServers|WorkerCache|Worker/|Worker[A-Z]|Download|LoaderManager|LoadFrameCore|LoadFormRuns|HandOver|BackgroundWriter|ActionsList|RemoteListModel|SortedRows' \
    -E 'Sparse'
  ;;
*)
  echo "usage: $0 [--plain | --sanitize | --tsan]" >&2
  exit 2
  ;;
esac
