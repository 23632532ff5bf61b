#!/usr/bin/env bash
# Fails when an X server that a test run started left something behind: the
# server itself, its socket in /tmp/.X11-unix or a lock file naming it. Only
# the servers listed in the RECORD files count (scripts/lib/xvfb.sh writes
# them), so the servers of other runs on the same machine are never judged.
#
# Usage: scripts/check-x-leftovers.sh RECORD...
set -euo pipefail
# shellcheck source=lib/xvfb.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/xvfb.sh"

[[ $# -ge 1 ]] || { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2; }
status=0
servers=0
for record in "$@"; do
  [[ -f $record ]] || continue
  servers=$((servers + $(wc -l <"$record")))
  xvfb_leftovers "$record" || status=1
done
if [[ $status == 0 ]]; then
  echo "check-x-leftovers: nothing left of the $servers X server(s) recorded"
else
  echo "check-x-leftovers: the X servers above left something behind" >&2
fi
exit "$status"
