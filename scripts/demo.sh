#!/usr/bin/env bash
# Runs the program against local servers:  scripts/demo.sh <path-to-ranquil> [arguments]
# Prepares a sample tree, starts the family FTP server and the index server
# on free ports of 127.0.0.1, writes bookmarks and the network list into a
# demo program folder ($RANQUIL_DEMO_DIR, default ~/.cache/ranquil-demo),
# runs the program with RANQUIL_HOME pointing there (under xvfb-run when
# there is no display) and stops both servers when the program ends.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -lt 1 ]; then
  echo "usage: $0 <path-to-ranquil> [arguments]" >&2
  exit 2
fi
exec /usr/bin/python3 "$root/testservers/demo.py" "$@"
