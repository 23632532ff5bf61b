#!/usr/bin/env bash
# A private X11 desktop for the native label's tests: one Xvfb display (the
# first free number from :150 up, away from the Wine sessions' :90 range)
# with the openbox window manager.
#
#   scripts/x11-desktop.sh start STATE   start a session, write STATE (shell assignments)
#   scripts/x11-desktop.sh stop STATE    end exactly the processes STATE names
#   scripts/x11-desktop.sh env STATE     print STATE's assignments
#
# STATE holds DISPLAY, XVFB_PID and OPENBOX_PID. Only those two processes
# are ever stopped.
set -euo pipefail

usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2; }
[[ $# -eq 2 ]] || usage
command=$1
state=$2

display_free() {
  local n=$1
  [[ ! -e /tmp/.X$n-lock && ! -e /tmp/.X11-unix/X$n ]]
}

alive() { [[ -n ${1:-} ]] && kill -0 "$1" 2>/dev/null; }

stop_session() {
  [[ -f $state ]] || return 0
  local DISPLAY='' XVFB_PID='' OPENBOX_PID=''
  # shellcheck disable=SC1090
  source "$state"
  local pid
  for pid in "$OPENBOX_PID" "$XVFB_PID"; do
    alive "$pid" || continue
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do alive "$pid" || break; sleep 0.1; done
    if alive "$pid"; then kill -9 "$pid" 2>/dev/null || true; fi
  done
  rm -f "$state"
}

case $command in
  start)
    command -v Xvfb >/dev/null || { echo "x11-desktop: Xvfb is missing (scripts/setup.sh)" >&2; exit 1; }
    command -v openbox >/dev/null || { echo "x11-desktop: openbox is missing (scripts/setup.sh)" >&2; exit 1; }
    stop_session
    mkdir -p "$(dirname "$state")"
    logs=$(dirname "$state")
    for n in $(seq 150 199); do
      display_free "$n" || continue
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$logs/xvfb.log" 2>&1 &
      xvfb=$!
      for _ in $(seq 100); do
        DISPLAY=:$n xdpyinfo >/dev/null 2>&1 && break
        alive "$xvfb" || break
        sleep 0.05
      done
      if ! DISPLAY=:$n xdpyinfo >/dev/null 2>&1; then
        kill "$xvfb" 2>/dev/null || true
        continue # another server took the number first
      fi
      # openbox with its stock configuration, away from the user's own.
      HOME=$logs DISPLAY=:$n XDG_CONFIG_HOME=$logs/config openbox --sm-disable >"$logs/openbox.log" 2>&1 &
      openbox=$!
      for _ in $(seq 100); do
        DISPLAY=:$n xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.05
      done
      printf 'DISPLAY=:%s\nXVFB_PID=%s\nOPENBOX_PID=%s\n' "$n" "$xvfb" "$openbox" >"$state"
      echo "x11-desktop: display :$n (Xvfb $xvfb, openbox $openbox)"
      exit 0
    done
    echo "x11-desktop: no free display between :150 and :199" >&2
    exit 1
    ;;
  stop) stop_session ;;
  env) cat "$state" ;;
  *) usage ;;
esac
