#!/usr/bin/env bash
# A private X11 desktop for the native label's tests: one Xvfb display (a
# free number, chosen by the server itself) with the openbox window manager.
#
#   scripts/x11-desktop.sh start STATE [--no-wm] [XVFB-OPTION...]
#                                       start a session, write STATE (shell assignments);
#                                       --no-wm starts the server alone, the options go to Xvfb
#   scripts/x11-desktop.sh stop STATE   end exactly the processes STATE names and remove
#                                       what its server left behind (its socket, a lock)
#   scripts/x11-desktop.sh env STATE    print STATE's assignments
#
# STATE holds DISPLAY, XVFB_PID, XVFB_START, XVFB_SOCKET and OPENBOX_PID. Only
# those two processes are ever stopped. With TINTORA_X_SERVER_RECORD naming a
# file, each server started is listed there too (see scripts/lib/xvfb.sh).
set -euo pipefail
# shellcheck source=lib/xvfb.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/xvfb.sh"

usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2; }
[[ $# -ge 2 ]] || usage
command=$1
state=$2
shift 2
[[ $command == start || $# -eq 0 ]] || usage

note() { echo "x11-desktop: $*" >&2; }

stop_session() {
  [[ -f $state ]] || return 0
  local DISPLAY='' XVFB_PID='' XVFB_START='' XVFB_SOCKET='' OPENBOX_PID=''
  # shellcheck disable=SC1090
  source "$state"
  proc_stop "$OPENBOX_PID" "" openbox note
  xvfb_stop "$XVFB_PID" "$XVFB_START" "$DISPLAY" "$XVFB_SOCKET" note
  rm -f "$state"
}

case $command in
  start)
    command -v Xvfb >/dev/null || { note "Xvfb is missing (scripts/setup.sh)"; exit 1; }
    window_manager=1
    if [[ ${1:-} == --no-wm ]]; then
      window_manager=0
      shift
    fi
    [[ $window_manager == 0 ]] || command -v openbox >/dev/null || { note "openbox is missing (scripts/setup.sh)"; exit 1; }
    stop_session
    logs=$(dirname "$state")
    mkdir -p "$logs"
    xvfb_start "$logs/xvfb.log" "${TINTORA_X_SERVER_RECORD:-}" -screen 0 1024x768x24 "$@" ||
      { note "no X display came up (see $logs/xvfb.log)"; exit 1; }
    openbox=''
    if [[ $window_manager == 1 ]]; then
      # openbox with its stock configuration, away from the user's own.
      HOME=$logs DISPLAY=$XVFB_DISPLAY XDG_CONFIG_HOME=$logs/config openbox --sm-disable >"$logs/openbox.log" 2>&1 &
      openbox=$!
      for _ in $(seq 100); do
        DISPLAY=$XVFB_DISPLAY xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.05
      done
    fi
    printf 'DISPLAY=%s\nXVFB_PID=%s\nXVFB_START=%s\nXVFB_SOCKET=%s\nOPENBOX_PID=%s\n' \
      "$XVFB_DISPLAY" "$XVFB_PID" "$XVFB_START" "$XVFB_SOCKET" "$openbox" >"$state"
    echo "x11-desktop: display $XVFB_DISPLAY (Xvfb $XVFB_PID, openbox ${openbox:-not started})"
    ;;
  stop) stop_session ;;
  env) cat "$state" ;;
  *) usage ;;
esac
