#!/usr/bin/env bash
# Runs a Windows program (or, with --host, a host-side command) on the Wine test
# desktop. The CMake cross build uses this as CMAKE_CROSSCOMPILING_EMULATOR.
#
# Usage: wine-run.sh [--host] [--] PROGRAM [ARGS...]
#   PROGRAM       a .exe (Unix path) run with Wine; its stdout, stderr and exit code are passed on
#   --host        run PROGRAM itself (a script driving Windows programs) with the session's
#                 environment exported
#
# It joins the session named by $TINTORA_WINE_SESSION (the CTest fixture sets it), else the
# build tree's session if one runs; when none runs it starts one and stops it afterwards, so
# it also works stand-alone. The exported environment is described in wine-desktop.sh.
# Windows programs see Unix paths given as arguments as Z:-relative paths when the current
# directory is on Z: (it is whenever it is outside the prefix), so /work/x.exe works.
set -euo pipefail
# shellcheck source=lib/wine-session.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/wine-session.sh"

host=0
while [[ $# -gt 0 ]]; do
  case $1 in
    --host) host=1; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[[ $# -gt 0 ]] || ws_die "usage: wine-run.sh [--host] [--] PROGRAM [ARGS...]"

ws_resolve_paths
ws_find_wine
ws_wine_env
ws_join

# Called through the EXIT trap.
# shellcheck disable=SC2317
finish() {
  # Drop our share of the session; the owner then stops it once other runners are done.
  exec 7>&-
  if [[ $WS_OWNER == 1 ]]; then
    ws_lock
    ws_stop_locked
    ws_unlock
  fi
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

ws_export_state
export TINTORA_BUILD_DIR=${TINTORA_BUILD_DIR:-$(dirname "$WS_PREFIX")}

rc=0
if [[ $host == 1 ]]; then
  "$@" 7>&- 8>&- || rc=$?
else
  "$WINE" "$@" 7>&- 8>&- || rc=$?
fi
exit "$rc"
