# Shared by the peer comparison scripts (sourced, not run): a temporary
# work folder removed at exit, the family FTP server or vsftpd, and the race
# that runs every client in turn, each going first in turn, after one
# warm-up run.
# The caller sets $root and $rounds first.

work=$(mktemp -d)
out_parent=
server_pid=
cleanup() {
  stop_server
  rm -rf "$work" ${out_parent:+"$out_parent"}
}
stop_server() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  server_pid=
}
trap cleanup EXIT
export RANQUIL_HOME=$work/home
mkdir -p "$RANQUIL_HOME"

free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# start_server ROOT [switches...]: the family server, user bench:bench; sets $port
start_server() {
  local served=$1; shift
  stop_server
  timeout 3600 /usr/bin/python3 "$root/testservers/familyftpd.py" --root "$served" \
    --user bench:bench --lifetime 3600 "$@" > "$work/server.out" 2>&1 &
  server_pid=$!
  for _ in $(seq 100); do grep -q READY "$work/server.out" && break; sleep 0.1; done
  port=$(sed -n 's/^READY port=\([0-9]*\).*/\1/p' "$work/server.out")
  server_started
}

# start_vsftpd ROOT [config lines...]: anonymous vsftpd serving ROOT; sets $port
start_vsftpd() {
  local served=$1; shift
  stop_server
  port=$(free_port)
  mkdir -p "$work/empty"
  chmod 0755 "$work"
  {
    echo "listen=YES"; echo "listen_ipv6=NO"; echo "listen_address=127.0.0.1"; echo "listen_port=$port"
    echo "background=NO"; echo "anonymous_enable=YES"; echo "no_anon_password=YES"; echo "local_enable=NO"
    echo "anon_root=$served"; echo "secure_chroot_dir=$work/empty"
    echo "seccomp_sandbox=NO"; echo "xferlog_enable=NO"; echo "syslog_enable=NO"
    echo "vsftpd_log_file=/dev/null"; echo "pasv_min_port=21000"; echo "pasv_max_port=21099"
    [ "$(id -u)" -eq 0 ] || echo "run_as_launching_user=YES"
    printf '%s\n' "$@"
  } > "$work/vsftpd.conf"
  timeout 3600 vsftpd "$work/vsftpd.conf" > "$work/server.out" 2>&1 &
  server_pid=$!
  for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
  server_started
}

server_started() {
  [ -n "${port:-}" ] && kill -0 "$server_pid" 2>/dev/null && return
  echo "the FTP server did not start:" >&2
  cat "$work/server.out" >&2
  exit 1
}

# seconds COMMAND...: runs it in a fresh output folder $out (below
# $out_parent, the work folder unless a case chooses another), prints seconds
seconds() {
  out=${out_parent:-$work}/out
  rm -rf "$out"; mkdir -p "$out"
  local start end
  start=$(date +%s.%N)
  "$@" > "$work/client.log" 2>&1 || { echo "failed: $*" >&2; tail -3 "$work/client.log" >&2; }
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

median() { sort -g | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

# race NAME... : each round runs the clients (functions run_NAME) rotated so
# each goes first in turn; prints every client's median
race() {
  local names=("$@") n=$# r i
  for name in "${names[@]}"; do # warm-up
    : > "$work/times.$name"
    if declare -F prepare_run > /dev/null; then prepare_run; fi
    seconds "run_$name" > /dev/null
  done
  for r in $(seq 0 $((rounds - 1))); do
    for i in $(seq 0 $((n - 1))); do
      local name=${names[$(((r + i) % n))]}
      # Untimed set-up before every run (a tree to delete again, say).
      if declare -F prepare_run > /dev/null; then prepare_run; fi
      seconds "run_$name" >> "$work/times.$name"
    done
  done
  for name in "${names[@]}"; do
    printf '%-10s median %8.3f s  (%s)\n' "$name" "$(median < "$work/times.$name")" \
      "$(tr '\n' ' ' < "$work/times.$name")"
  done
}
ratio() { echo "scale=3; $(median < "$work/times.$1") / $(median < "$work/times.$2")" | bc -l; }
best_of() {
  local a b
  a=$(median < "$work/times.$1"); b=$(median < "$work/times.$2")
  if (( $(echo "$a < $b" | bc -l) )); then echo "$1"; else echo "$2"; fi
}

