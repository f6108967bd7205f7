#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the benchmarks and
# the demo need. Idempotent; run as root (or with sudo available).
# Each file in scripts/packages/ lists packages, one a line, "#" comments.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

mapfile -t wanted < <(cat "$here"/packages/*.txt | sed 's/#.*//' | tr -s ' \t' '\n' | sed '/^$/d' | sort -u)

missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "install: ${missing[*]}"
  # Servers installed for the tests must not start as system services.
  policy=/usr/sbin/policy-rc.d
  made_policy=0
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | "${sudo_cmd[@]}" tee "$policy" >/dev/null
    "${sudo_cmd[@]}" chmod 755 "$policy"
    made_policy=1
  fi
  remove_policy() { if [ "$made_policy" -eq 1 ]; then "${sudo_cmd[@]}" rm -f "$policy"; fi; }
  trap remove_policy EXIT
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Extra set-up steps that are more than a package (each idempotent).
for step in "$here"/install.d/*.sh; do
  [ -e "$step" ] || continue
  bash "$step"
done
