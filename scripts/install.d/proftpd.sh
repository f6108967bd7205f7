#!/usr/bin/env bash
# Unpacks Debian's proftpd-core into /opt/ranquil-tools/proftpd without
# installing the package: it conflicts with vsftpd (both provide
# "ftp-server"), and the tests only need the binary, started by themselves
# with their own configuration. Its libraries come from packages/listing.txt.
# Idempotent: does nothing when the binary is already there.
set -euo pipefail
target=/opt/ranquil-tools/proftpd
binary=$target/usr/sbin/proftpd
[ -x "$binary" ] && exit 0

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# apt fetches as its own "_apt" user when it can write to the folder.
chmod 0755 "$work"
if [ "$(id -u)" -eq 0 ] && id _apt >/dev/null 2>&1; then chown _apt "$work"; fi
(cd "$work" && apt-get download -q proftpd-core)
deb=$(ls "$work"/proftpd-core_*.deb)
"${sudo_cmd[@]}" mkdir -p "$target"
"${sudo_cmd[@]}" dpkg -x "$deb" "$target"
"$binary" -v
