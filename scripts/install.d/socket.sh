#!/usr/bin/env bash
# danted checks SOCKS 5 user names and passwords against the system's
# accounts, so the socket tests need one account with a known password.
# It is a system account without home or shell: it can log in nowhere, it
# only exists so that a test-started danted can authenticate it.
# Idempotent: the account and its password are set again on every run.
set -euo pipefail
user=ranquil-socks
password=ranquil-socks-pw

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

if ! id "$user" >/dev/null 2>&1; then
  "${sudo_cmd[@]}" useradd --system --no-create-home --home-dir /nonexistent \
    --shell /usr/sbin/nologin "$user"
fi
echo "$user:$password" | "${sudo_cmd[@]}" chpasswd
