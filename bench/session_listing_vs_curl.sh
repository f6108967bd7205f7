#!/usr/bin/env bash
# Times listing one folder of many entries from vsftpd into a browsing
# session (session_listing_bench: login, LIST into the cache file, parsing,
# tree and list data) beside curl fetching the raw listing of the same
# folder (login and LIST), then showing the folder again from its cache.
# Prints the medians and the ratios to curl (at most 1.0: no slower). vsftpd
# takes most of the time before its first byte, and its wait varies with the
# machine's load: the last two lines set the part after it apart (curl from
# its first byte, the session from its first entries shown), and the
# processor time the session spent on the listing, on all its threads.
#
#   bench/session_listing_vs_curl.sh [--entries N] [--rounds N] [--build DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
entries=100000
rounds=7
build=$root/build
while [ $# -gt 0 ]; do
  case $1 in
    --entries) entries=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
ours=$build/bench/session_listing_bench
[ -x "$ours" ] || { echo "missing $ours: build the target session_listing_bench" >&2; exit 1; }
command -v curl >/dev/null || { echo "curl is missing: run scripts/install.sh" >&2; exit 1; }

# shellcheck source=bench/peer_race.sh
source "$root/bench/peer_race.sh"

served=$work/served
mkdir -p "$served/big" "$work/empty" "$work/home"
/usr/bin/python3 - "$served/big" "$entries" <<'PY'
import os, sys
folder, count = sys.argv[1], int(sys.argv[2])
kinds = [".txt", ".jpg", ".pdf", ".zip", ".tar.gz", ".mp3", ".html", ".c", ".wkt", ""]
for i in range(count):
    path = os.path.join(folder, "file number %d%s" % (i, kinds[i % len(kinds)]))
    if i % 10 == 0:
        os.mkdir(path)
    else:
        open(path, "w").close()
PY
chmod 0755 "$served"
start_vsftpd "$served"

list_ours() { # prints "fetch cached after-first-entries processor"
  local home
  home=$(mktemp -d "$work/home/XXXXXX")
  RANQUIL_HOME=$home XDG_RUNTIME_DIR=$home "$ours" "$port" /big | awk '{ print $1, $2, $4, $5 }'
  rm -rf "$home"
}
list_curl() { # prints "total after-first-byte processor"
  local times
  times=$(curl -sS --user anonymous:bench@example.com -o "$work/curl.txt" \
    -w '%{time_total} %{time_starttransfer}' "ftp://127.0.0.1:$port/big/")
  # The user and system time of this shell's finished children, curl's
  # whole run; written to a file, as a subshell would count its own.
  times > "$work/times"
  tail -1 "$work/times" | tr 'ms' '  ' | awk -v times="$times" \
    '{ split(times, t, " "); print t[1], t[1] - t[2], $1 * 60 + $2 + $3 * 60 + $4 }'
}

list_ours > /dev/null
list_curl > /dev/null
fetch_times=() cached_times=() after_times=() processor_times=()
curl_times=() curl_after_times=() curl_processor_times=()
for round in $(seq "$rounds"); do
  if [ $((round % 2)) -eq 1 ]; then
    read -r f c a p < <(list_ours); read -r t ta tp < <(list_curl)
  else
    read -r t ta tp < <(list_curl); read -r f c a p < <(list_ours)
  fi
  fetch_times+=("$f") cached_times+=("$c") after_times+=("$a") processor_times+=("$p")
  curl_times+=("$t") curl_after_times+=("$ta") curl_processor_times+=("$tp")
done
[ "$(wc -l < "$work/curl.txt")" -eq "$entries" ] || { echo "curl's listing has not $entries lines" >&2; exit 1; }

fetch=$(printf '%s\n' "${fetch_times[@]}" | median)
cached=$(printf '%s\n' "${cached_times[@]}" | median)
curl_s=$(printf '%s\n' "${curl_times[@]}" | median)
after=$(printf '%s\n' "${after_times[@]}" | median)
curl_after=$(printf '%s\n' "${curl_after_times[@]}" | median)
processor=$(printf '%s\n' "${processor_times[@]}" | median)
curl_processor=$(printf '%s\n' "${curl_processor_times[@]}" | median)
quotient() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "vsftpd, one folder of $entries entries, median of $rounds rounds (seconds)"
printf '%-28s %8s %7s\n' step time ratio
printf '%-28s %8s %7s\n' "curl: login and LIST" "$curl_s" 1.00
printf '%-28s %8s %7s\n' "session: login and listing" "$fetch" "$(quotient "$fetch" "$curl_s")"
printf '%-28s %8s %7s\n' "session: from the cache" "$cached" "$(quotient "$cached" "$curl_s")"
printf '%-28s %8s %7s\n' "curl: after the first byte" "$curl_after" 1.00
printf '%-28s %8s %7s\n' "session: after 1st entries" "$after" "$(quotient "$after" "$curl_after")"
printf '%-28s %8s %7s\n' "curl: processor time" "$curl_processor" 1.00
printf '%-28s %8s %7s\n' "session: processor time" "$processor" "$(quotient "$processor" "$curl_processor")"
