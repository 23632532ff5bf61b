# shellcheck shell=bash
# Private Xvfb servers of the test desktops (x11-desktop.sh, wine-session.sh).
# Sourced, not run.
#
# The server picks a free display number itself (-displayfd) and names it only
# once it listens there, so no other server can take the number between a
# check and the start, and files that killed servers left behind use up no
# numbers. A display counts as ours only while our server listens on its
# socket. Stopping a server removes what it left behind, and only that: its
# socket file is known by its inode and change time and only removed when no
# live socket is bound to it any more, a lock file by the process id it names.
#
# A record file, when given, lists every server started, one line each:
#   DISPLAY PID STARTTIME SOCKET-ID
# so that a check after a test run can tell its own leftovers from those of
# the other servers on the machine (xvfb_leftovers).

# shellcheck source=processes.sh
source "$(dirname "${BASH_SOURCE[0]}")/processes.sh"

XVFB_SOCKET_DIR=/tmp/.X11-unix

# xvfb_socket_id N: the identity of display :N's socket file (inode and change
# time: a file made anew may get the inode of one removed a moment earlier).
xvfb_socket_id() { stat -c '%i:%.9Z' "$XVFB_SOCKET_DIR/X$1" 2>/dev/null || true; }

# xvfb_socket_served N: true while a live socket is bound to display :N's path.
xvfb_socket_served() {
  awk -v path="$XVFB_SOCKET_DIR/X$1" '$8 == path { found = 1 } END { exit !found }' /proc/net/unix 2>/dev/null
}

# xvfb_left_socket N SOCKET-ID: true when display :N's socket file is the one
# recorded as SOCKET-ID and no server serves it any more.
xvfb_left_socket() {
  [[ -n $2 && -S $XVFB_SOCKET_DIR/X$1 && $(xvfb_socket_id "$1") == "$2" ]] && ! xvfb_socket_served "$1"
}

# xvfb_left_lock N PID: true when display :N's lock file names process PID.
xvfb_left_lock() { [[ -f /tmp/.X$1-lock && $(tr -d ' \n' <"/tmp/.X$1-lock" 2>/dev/null) == "$2" ]]; }

# xvfb_listens PID N: true when process PID listens on the socket of display :N.
xvfb_listens() {
  local pid=$1 n=$2 inode link
  while read -r inode; do
    for link in /proc/"$pid"/fd/*; do
      [[ $(readlink "$link" 2>/dev/null) == "socket:[$inode]" ]] && return 0
    done
  done < <(awk -v path="$XVFB_SOCKET_DIR/X$n" '$8 == path { print $7 }' /proc/net/unix 2>/dev/null)
  return 1
}

# xvfb_start LOG RECORD [XVFB-OPTION...]: starts Xvfb on a display of its own
# choosing and waits until that display answers. Sets XVFB_DISPLAY (":N"),
# XVFB_PID, XVFB_START (the process's start time) and XVFB_SOCKET (its socket
# file's xvfb_socket_id) and appends them to RECORD unless RECORD is empty.
# Returns 1 when no display came up; the server's output is in LOG.
xvfb_start() {
  local log=$1 record=$2 number_file=$1.display pid n='' line i
  shift 2
  rm -f "$number_file"
  # Descriptors 7 to 9 are the callers' locks: the server must not hold them.
  setsid Xvfb -displayfd 3 -nolisten tcp -noreset "$@" 3>"$number_file" </dev/null >"$log" 2>&1 7>&- 8>&- 9>&- &
  pid=$!
  for ((i = 0; i < 200; i++)); do
    proc_alive "$pid" || break
    # The server writes the number and a newline once it accepts clients
    # (read fails until the whole line is there).
    if [[ -z $n ]] && IFS= read -r line <"$number_file" 2>/dev/null; then
      n=${line//[^0-9]/}
    fi
    if [[ -n $n ]] && xvfb_listens "$pid" "$n" && xdpyinfo -display ":$n" >/dev/null 2>&1; then
      rm -f "$number_file"
      XVFB_DISPLAY=:$n XVFB_PID=$pid XVFB_START=$(proc_start_time "$pid")
      XVFB_SOCKET=$(xvfb_socket_id "$n")
      [[ -z $record ]] || echo "$XVFB_DISPLAY $XVFB_PID $XVFB_START $XVFB_SOCKET" >>"$record"
      return 0
    fi
    sleep 0.05
  done
  rm -f "$number_file"
  echo "xvfb: no display came up (server $pid, display '${n:-none}')" >>"$log"
  xvfb_stop "$pid" "$(proc_start_time "$pid" || true)" "$n" ""
  return 1
}

# xvfb_remove_leftovers N PID SOCKET-ID: once server PID has ended, removes the
# socket file of display :N if it is still the one the server made, and a lock
# file of :N that names the server.
xvfb_remove_leftovers() {
  local n=$1 pid=$2 id=$3
  [[ -n $n ]] || return 0
  if xvfb_left_socket "$n" "$id"; then rm -f "$XVFB_SOCKET_DIR/X$n"; fi
  if xvfb_left_lock "$n" "$pid"; then rm -f "/tmp/.X$n-lock"; fi
  return 0
}

# xvfb_stop PID STARTTIME N SOCKET-ID [NOTE_FUNCTION]: ends the server
# (TERM, then KILL) and removes what it left behind on display :N.
xvfb_stop() {
  local pid=$1 start=$2 n=${3#:} id=$4 note=${5:-proc_note} i
  proc_stop "$pid" "$start" Xvfb "$note"
  for ((i = 0; i < 50; i++)); do
    proc_alive "$pid" "$start" || break
    sleep 0.1
  done
  if proc_alive "$pid" "$start"; then
    "$note" "Xvfb ($pid) outlived KILL; its display :$n is left as it is"
    return 1
  fi
  xvfb_remove_leftovers "$n" "$pid" "$id"
}

# xvfb_leftovers RECORD: prints, for each server of RECORD, what of it is still
# there: the process, its socket file, a lock file naming it. Returns 1 when
# anything is.
xvfb_leftovers() {
  local record=$1 display pid start id n found=0
  [[ -f $record ]] || return 0
  while read -r display pid start id; do
    n=${display#:}
    if proc_alive "$pid" "$start"; then
      echo "$display: its Xvfb ($pid) still runs"
      found=1
    fi
    if xvfb_left_socket "$n" "$id"; then
      echo "$display: its socket $XVFB_SOCKET_DIR/X$n is left"
      found=1
    fi
    if xvfb_left_lock "$n" "$pid"; then
      echo "$display: its lock file /tmp/.X$n-lock is left"
      found=1
    fi
  done <"$record"
  return "$found"
}
