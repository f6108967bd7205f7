#!/usr/bin/env bash
# Runs the transfer worker's and the download's tests under ThreadSanitizer
# (see tsan-run.sh).
set -euo pipefail
exec bash "$(dirname "$0")/tsan-run.sh" worker_rules worker_servers download_rules download_servers -- \
  -R 'WorkerServers|WorkerCache|Worker/|Worker[A-Z]|Download' -E 'Sparse'
