#!/usr/bin/env bash
# Times one download and one upload of the same large file through
# TFtpClient (ftp_transfer_bench) and through curl, against the same local
# server on 127.0.0.1, single connection, passive mode, and prints the median
# times and the ratios (ours / curl; at most 1.0 means no slower than curl).
#
#   bench/ftp_vs_curl.sh [--server family|vsftpd] [--size MIB] [--rounds N] [--build DIR]
#
# family: testservers/familyftpd.py (pyftpdlib); vsftpd: Debian's vsftpd,
# anonymous with an upload folder. Each side runs once unmeasured first (the
# first write of a large file into cold memory is much slower), then the
# rounds alternate between the two clients, each going first in turn.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
server=family
size_mib=512
rounds=7
build=$root/build
while [ $# -gt 0 ]; do
  case $1 in
    --server) server=$2; shift 2 ;;
    --size) size_mib=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
ours=$build/bench/ftp_transfer_bench
[ -x "$ours" ] || { echo "missing $ours: build the target ftp_transfer_bench" >&2; exit 1; }
command -v curl >/dev/null || { echo "curl is missing: run scripts/install.sh" >&2; exit 1; }

# shellcheck source=bench/peer_race.sh
source "$root/bench/peer_race.sh"

served=$work/served
mkdir -p "$served"
head -c $((size_mib * 1024 * 1024)) /dev/urandom > "$served/big.bin"

case $server in
  family)
    user=bench password=bench upload_folder=
    start_server "$served"
    ;;
  vsftpd)
    user=anonymous password=bench@example.com upload_folder=incoming/
    mkdir -p "$served/incoming"
    chmod 0755 "$served"
    chmod 0777 "$served/incoming"
    chmod 0644 "$served/big.bin"
    start_vsftpd "$served" "write_enable=YES" "anon_upload_enable=YES" "anon_other_write_enable=YES" "anon_umask=022"
    ;;
  *) echo "unknown server: $server" >&2; exit 2 ;;
esac

url=ftp://127.0.0.1:$port
get_ours() { "$ours" get "$port" "$user" "$password" big.bin "$work/ours.bin"; }
get_curl() { curl -sS --user "$user:$password" -o "$work/curl.bin" -w '%{time_total}\n' "$url/big.bin"; }
put_ours() { "$ours" put "$port" "$user" "$password" "${upload_folder}up-ours.bin" "$served/big.bin"; }
put_curl() { curl -sS --user "$user:$password" -T "$served/big.bin" -w '%{time_total}\n' "$url/${upload_folder}up-curl.bin"; }

measure() { # direction: prints "ours curl"
  local direction=$1 ours_times=() curl_times=()
  "${direction}_ours" > /dev/null
  "${direction}_curl" > /dev/null
  for round in $(seq "$rounds"); do
    # Alternating who goes first evens out what the other one left behind
    # (dirty pages being written back, a warmer cache).
    if [ $((round % 2)) -eq 1 ]; then
      ours_times+=("$("${direction}_ours")")
      curl_times+=("$("${direction}_curl")")
    else
      curl_times+=("$("${direction}_curl")")
      ours_times+=("$("${direction}_ours")")
    fi
  done
  echo "$(printf '%s\n' "${ours_times[@]}" | median) $(printf '%s\n' "${curl_times[@]}" | median)"
}

read -r get_ours_s get_curl_s < <(measure get)
cmp -s "$served/big.bin" "$work/ours.bin" || { echo "TFtpClient download differs from the file" >&2; exit 1; }
cmp -s "$served/big.bin" "$work/curl.bin" || { echo "curl download differs from the file" >&2; exit 1; }
read -r put_ours_s put_curl_s < <(measure put)
cmp -s "$served/big.bin" "$served/${upload_folder}up-ours.bin" || { echo "TFtpClient upload differs" >&2; exit 1; }

quotient() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "server: $server, file: $size_mib MiB, median of $rounds rounds (seconds)"
printf '%-9s %10s %10s %7s\n' transfer TFtpClient curl ratio
printf '%-9s %10s %10s %7s\n' download "$get_ours_s" "$get_curl_s" "$(quotient "$get_ours_s" "$get_curl_s")"
printf '%-9s %10s %10s %7s\n' upload "$put_ours_s" "$put_curl_s" "$(quotient "$put_ours_s" "$put_curl_s")"
