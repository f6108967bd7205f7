#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with Clang into build-fuzz/ (or
# $RANQUIL_FUZZ_DIR) and runs each for a while, starting from its seeds in
# tests/fuzz-corpus/<target>/. New inputs go to build-fuzz/corpus/<target>/,
# crashes, leaks, broken promises and slow inputs to build-fuzz/findings/
# (reproduce one with build-fuzz/fuzz/<target> <file>).
#
# Usage: fuzz.sh [seconds per target (default 60)] [target...]
# Fails when a target found something; prints executions per second.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RANQUIL_FUZZ_DIR:-$root/build-fuzz}
seconds=${1:-60}
shift || true
# Every target has its source in fuzz/ under its own name.
mapfile -t all < <(cd "$root/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//')
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

launcher=()
if command -v ccache >/dev/null; then
  # As in build.sh: worktrees side by side share one cache.
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$root")} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
# Clang's own warnings differ from GCC's: they do not stop a fuzzing run.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DCMAKE_CXX_COMPILER=clang++ -DRANQUIL_FUZZ=ON -DRANQUIL_WERROR=OFF -DRANQUIL_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$build" --target "${targets[@]}"

export RANQUIL_HOME="$build/home" XDG_DATA_HOME="$build/home" XDG_RUNTIME_DIR="$build/home"
mkdir -p "$build/home" "$build/findings"
chmod 0700 "$build/home"
status=0
summary=()
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  seeds=$root/tests/fuzz-corpus/$target
  mkdir -p "$corpus" "$seeds"
  log=$build/findings/$target.log
  rm -f "$build/findings/$target-"*
  echo "== $target: $seconds s"
  # A child process fuzzes; a finding is kept and the run goes on, so one
  # known fault does not hide the next.
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 "$build/fuzz/$target" "$corpus" "$seeds" \
    -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -max_len=65536 -artifact_prefix="$build/findings/$target-" >"$log" 2>&1 || true
  found=$(find "$build/findings" -name "$target-*" | wc -l)
  if [ "$found" -gt 0 ]; then
    status=1
    echo "   $found finding(s): $build/findings/$target-*"
    # The children's output is gone: each finding is run again to say what it is.
    for finding in "$build/findings/$target-"*; do
      what=$("$build/fuzz/$target" -timeout=10 "$finding" 2>&1 | grep -m1 -E "broken promise|runtime error|ERROR: [A-Za-z]+Sanitizer|ERROR: libFuzzer|ALARM" || true)
      echo "   $(basename "$finding"): ${what:-slow or large (run it again to see)}"
    done
  fi
  last=$(grep -E "^#[0-9]+: .*exec/s" "$log" | tail -1)
  runs=$(sed -E 's/^#([0-9]+):.*/\1/' <<<"$last")
  rate=$(sed -E 's/.*exec\/s:? ?([0-9]+).*/\1/' <<<"$last")
  summary+=("$(printf '%-24s %10s runs %8s exec/s %3s findings' "$target" "${runs:-?}" "${rate:-?}" "$found")")
done
printf '%s\n' "${summary[@]}"
exit $status
