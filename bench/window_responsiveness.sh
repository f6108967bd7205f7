#!/usr/bin/env bash
# Runs window_responsiveness_bench against the family server on 127.0.0.1:
# one download of a random file (default 1024 MiB) in eight parts, after one
# unmeasured warm-up run.
#
#   bench/window_responsiveness.sh [--size MIB] [--rounds N] [--build DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
size_mib=1024
rounds=3
build=$root/build
while [ $# -gt 0 ]; do
  case $1 in
    --size) size_mib=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
bench=$build/bench/window_responsiveness_bench
[ -x "$bench" ] || { echo "missing $bench: build the target window_responsiveness_bench" >&2; exit 1; }

# shellcheck source=bench/peer_race.sh
source "$root/bench/peer_race.sh"

mkdir -p "$work/served"
head -c $((size_mib * 1024 * 1024)) /dev/urandom > "$work/served/big.bin"
start_server "$work/served"

size=$((size_mib * 1024 * 1024))
"$bench" 127.0.0.1 "$port" bench bench /big.bin "$size" > /dev/null
for round in $(seq "$rounds"); do
  echo "round $round:"
  "$bench" 127.0.0.1 "$port" bench bench /big.bin "$size"
done
