#!/usr/bin/env bash
# Builds test programs with ThreadSanitizer into build-tsan/ (or
# $RANQUIL_TSAN_DIR), runs their cases and fails when a report has an access
# in our own code (scripts/tsan_reports.py sorts them after the run).
#
# Usage: tsan-run.sh <target>... -- <ctest arguments selecting the cases>
# (the whole threads run: tsan-run.sh threads_tests -- -L threads)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RANQUIL_TSAN_DIR:-$root/build-tsan}
targets=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  targets+=("$1")
  shift
done
[ $# -gt 0 ] && shift
launcher=()
if command -v ccache >/dev/null; then
  # As in build.sh: worktrees side by side share one cache.
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$root")} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DRANQUIL_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -O1 -g" -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread \
  -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread >/dev/null
cmake --build "$build" --target "${targets[@]}"

logs=$build/tsan-logs
rm -rf "$logs"
mkdir -p "$logs"
cd "$build"
status=0
# die_after_fork=0: tests start servers from a process that has threads.
# QT_NO_GLIB=1: Qt's own event dispatcher instead of glib's. glib locks its
# main contexts with mutexes built on raw futexes, which ThreadSanitizer
# cannot see, so every test with an event loop per thread would report races
# inside glib; our code sees the same Qt dispatcher interface either way.
QT_NO_GLIB=1 TSAN_OPTIONS="halt_on_error=0 exitcode=0 die_after_fork=0 second_deadlock_stack=1 log_path=$logs/report" \
  ctest --output-on-failure "$@" || status=$?
/usr/bin/python3 "$root/scripts/tsan_reports.py" "$logs" "$root" || status=1
exit $status
