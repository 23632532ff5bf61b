#!/usr/bin/env bash
# A private headless Wayland desktop for the Wayland tests: a compositor with
# Xwayland, PipeWire and WirePlumber, and xdg-desktop-portal with the desktop's
# own back end, all inside one dbus-run-session of their own.
#
#   scripts/wayland-desktop.sh start STATE [--desktop gnome|kde|sway] [--size WxH] [--scale S]
#   scripts/wayland-desktop.sh stop STATE    end exactly the session STATE names, remove what it left
#   scripts/wayland-desktop.sh env STATE     print STATE's assignments
#   scripts/wayland-desktop.sh run STATE -- COMMAND [ARGS...]
#                                            COMMAND inside the desktop: its environment, as its user
#                                            (KDE's and sway's session bus and Xwayland admit only that user)
#
#   gnome  mutter --headless --virtual-monitor WxH --wayland (the default); a scale
#          other than 1 is applied through org.gnome.Mutter.DisplayConfig, a
#          fractional one with mutter's scale-monitor-framebuffer feature
#   kde    kwin_wayland --virtual --xwayland, as the unprivileged user tintora-desktop
#   sway   sway on wlroots' headless back end, as the same user
#
# STATE holds shell assignments: WAYLAND_DISPLAY, DISPLAY and XAUTHORITY of its
# Xwayland, DBUS_SESSION_BUS_ADDRESS, XDG_RUNTIME_DIR (a fresh directory, mode
# 700), XDG_CURRENT_DESKTOP, DESKTOP, SESSION_USER, SESSION_PID and
# SESSION_START (the session leader: the desktop's processes have it as their
# session id), CHILD_SID (the session of the programs the compositor starts,
# which KWin puts in one of their own), COMPOSITOR_PID, XWAYLAND_PID and WORK
# (logs, home and configuration). stop ends the processes of those two session
# ids started since SESSION_START, each by its pid, then removes the runtime
# directory, the work directory and any X lock or socket left by its Xwayland.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib/processes.sh
source "$here/lib/processes.sh"

usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2; }
[[ $# -ge 2 ]] || usage
command=$1
state=$2
shift 2
if [[ $command == run ]]; then
  [[ ${1:-} == -- && $# -ge 2 ]] || usage
  shift
  [[ -f $state ]] || { echo "wayland-desktop: no session in $state" >&2; exit 1; }
  # shellcheck disable=SC1090
  source "$state"
  inside=("WAYLAND_DISPLAY=$WAYLAND_DISPLAY" "DISPLAY=$DISPLAY" "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR"
    "DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS" "XDG_CURRENT_DESKTOP=$XDG_CURRENT_DESKTOP")
  [[ -n $XAUTHORITY ]] && inside+=("XAUTHORITY=$XAUTHORITY")
  if [[ $SESSION_USER == root || $(id -un) == "$SESSION_USER" ]]; then
    exec env "${inside[@]}" "$@"
  fi
  exec setpriv "--reuid=$SESSION_USER" "--regid=$SESSION_USER" --init-groups -- \
    env "${inside[@]}" "HOME=$WORK/home" "USER=$SESSION_USER" "$@"
fi

desktop=gnome
size=1280x720
scale=1
while [[ $# -gt 0 ]]; do
  case $1 in
    --desktop) desktop=${2:-}; shift 2 ;;
    --size) size=${2:-}; shift 2 ;;
    --scale) scale=${2:-}; shift 2 ;;
    *) usage ;;
  esac
done
[[ $desktop =~ ^(gnome|kde|sway)$ ]] || { echo "wayland-desktop: unknown desktop '$desktop'" >&2; exit 2; }
[[ $size =~ ^[1-9][0-9]{2,4}x[1-9][0-9]{2,4}$ ]] || { echo "wayland-desktop: bad size '$size'" >&2; exit 2; }
[[ $scale =~ ^[1-4](\.[0-9]{1,2})?$ ]] || { echo "wayland-desktop: bad scale '$scale'" >&2; exit 2; }

# The unprivileged user KWin and sway run as (sway refuses root; KWin's
# portal and input paths were tested that way).
desktop_user=tintora-desktop

note() { echo "wayland-desktop: $*" >&2; }

# session_pids SID SINCE: every live process whose session id is SID and that
# started at SINCE (clock ticks since boot) or later, so that a reused id
# never names another program's process.
session_pids() {
  local sid=$1 since=$2 stat pid
  [[ $sid =~ ^[0-9]+$ ]] || return 0
  for stat in /proc/[0-9]*/stat; do
    pid=${stat#/proc/}
    pid=${pid%/stat}
    stat=$(cat "$stat" 2>/dev/null) || continue
    stat=${stat##*) }
    # shellcheck disable=SC2086
    set -- $stat
    [[ $4 == "$sid" && $1 != Z && ${20} -ge $since ]] && echo "$pid"
  done
  return 0
}

stop_session() {
  [[ -f $state ]] || return 0
  local SESSION_PID='' SESSION_START='' XDG_RUNTIME_DIR='' WORK='' DISPLAY='' XWAYLAND_PID='' COMPOSITOR_PID=''
  local CHILD_SID=''
  # shellcheck disable=SC1090
  source "$state"
  # The desktop's processes: the session started here and the one KWin gives
  # the programs it starts. The compositor first (it ends its Xwayland and
  # removes its sockets, and hangs when the bus goes first), then the rest,
  # the leader last. They are looked for also when the leader has ended.
  if [[ $SESSION_PID =~ ^[0-9]+$ && $SESSION_START =~ ^[0-9]+$ ]]; then
    if [[ -n $COMPOSITOR_PID ]] && session_pids "$SESSION_PID" "$SESSION_START" | grep -qx "$COMPOSITOR_PID"; then
      proc_stop "$COMPOSITOR_PID" "$(proc_start_time "$COMPOSITOR_PID")" compositor note
    fi
    local pids pid i
    for ((i = 0; i < 50; i++)); do
      mapfile -t pids < <(session_pids "$SESSION_PID" "$SESSION_START" | grep -vx "$SESSION_PID"
        session_pids "${CHILD_SID:-}" "$SESSION_START")
      [[ ${#pids[@]} -eq 0 ]] && break
      # Once, and again for whatever a dying service started meanwhile.
      ((i % 10 == 0)) && { kill -TERM "${pids[@]}" 2>/dev/null || true; }
      sleep 0.1
    done
    for pid in "${pids[@]}"; do
      note "process $pid ($(cat "/proc/$pid/comm" 2>/dev/null)) ignores TERM; killing it"
      kill -KILL "$pid" 2>/dev/null || true
    done
    proc_stop "$SESSION_PID" "$SESSION_START" "dbus-run-session" note
  fi
  # What the processes may have left: the document portal's FUSE mount, the
  # runtime directory, the X lock and socket of Xwayland's display.
  if [[ -n $XDG_RUNTIME_DIR && -d $XDG_RUNTIME_DIR ]]; then
    if grep -q " $XDG_RUNTIME_DIR/doc " /proc/mounts; then
      fusermount -u -z "$XDG_RUNTIME_DIR/doc" 2>/dev/null || umount -l "$XDG_RUNTIME_DIR/doc" 2>/dev/null || true
    fi
    rm -rf "$XDG_RUNTIME_DIR"
  fi
  if [[ $DISPLAY =~ ^:([0-9]+)$ ]]; then
    local n=${BASH_REMATCH[1]} lock_pid
    for n in "$n" $((n + 1)); do # mutter holds a second display for its own services
      [[ -f /tmp/.X$n-lock ]] || continue
      lock_pid=$(tr -dc 0-9 <"/tmp/.X$n-lock")
      [[ -n $lock_pid && ($lock_pid == "$XWAYLAND_PID" || $lock_pid == "${COMPOSITOR_PID:-}") ]] || continue
      proc_alive "$lock_pid" && continue
      rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n"
    done
  fi
  [[ -n $WORK && -d $WORK ]] && rm -rf "$WORK"
  rm -f "$state"
}

need() {
  local program
  for program in "$@"; do
    command -v "$program" >/dev/null || { note "$program is missing (scripts/setup.sh)"; exit 1; }
  done
}

ensure_desktop_user() {
  id -u "$desktop_user" >/dev/null 2>&1 && return 0
  [[ $(id -u) -eq 0 ]] || { note "the user $desktop_user is missing and only root can add it"; exit 1; }
  useradd --system --user-group --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin \
    "$desktop_user"
}

start_session() {
  case $desktop in
    gnome) need mutter Xwayland pipewire wireplumber dbus-run-session /usr/libexec/xdg-desktop-portal-gnome ;;
    kde) need kwin_wayland Xwayland pipewire wireplumber dbus-run-session setpriv /usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde ;;
    sway) need sway Xwayland pipewire wireplumber dbus-run-session setpriv /usr/libexec/xdg-desktop-portal-wlr ;;
  esac
  stop_session
  mkdir -p "$(dirname "$state")"
  local work runtime user=root
  work=$(mktemp -d /tmp/tintora-wayland-XXXXXX)
  runtime=$work/runtime
  mkdir -m 700 "$runtime" "$work/home"
  mkdir -p "$work/home/.config" "$work/log"
  if [[ $desktop != gnome ]]; then
    ensure_desktop_user
    user=$desktop_user
    chmod 755 "$work"
    chown -R "$user:" "$runtime" "$work/home" "$work/log"
  fi
  local session_env=(
    "XDG_RUNTIME_DIR=$runtime" "HOME=$work/home" "XDG_CONFIG_HOME=$work/home/.config"
    "XDG_DATA_HOME=$work/home/.local/share" "XDG_CACHE_HOME=$work/home/.cache"
    "XDG_STATE_HOME=$work/home/.local/state" "USER=$user" "LOGNAME=$user"
    "PATH=$work/bin:/usr/local/bin:/usr/bin:/bin" "LANG=C.UTF-8"
    "WORK=$work" "DESKTOP=$desktop" "SIZE=$size" "SCALE=$scale" "LIB=$here/lib"
  )
  local run_as=()
  if [[ $user != root ]]; then
    run_as=(setpriv "--reuid=$user" "--regid=$user" --init-groups --)
    # The installed kwin_wayland carries a file capability (cap_sys_resource),
    # which exec refuses where capabilities are bounded; a copy without it,
    # still named kwin_wayland, runs.
    if [[ $desktop == kde ]]; then
      mkdir -p "$work/bin"
      cp /usr/bin/kwin_wayland "$work/bin/kwin_wayland"
      chmod 755 "$work/bin" "$work/bin/kwin_wayland"
    fi
  fi
  # A session of its own (setsid): its id names every process of the desktop.
  setsid env -i "${session_env[@]}" "${run_as[@]}" dbus-run-session -- bash "$here/lib/wayland-session.sh" \
    >"$work/session.log" 2>&1 </dev/null &
  local leader=$!
  local leader_start
  leader_start=$(proc_start_time "$leader" || true)
  local i
  for ((i = 0; i < 300; i++)); do
    [[ -s $work/log/ready ]] && break
    proc_alive "$leader" "$leader_start" || break
    sleep 0.1
  done
  if [[ ! -s $work/log/ready ]]; then
    note "the $desktop session did not come up; its log:"
    local log
    for log in "$work/session.log" "$work"/log/*.log; do
      [[ -s $log ]] || continue
      echo "  -- ${log##*/} (last lines)" >&2
      tail -n 15 "$log" | sed 's/^/  /' >&2
    done
    printf 'SESSION_PID=%s\nSESSION_START=%s\nXDG_RUNTIME_DIR=%s\nWORK=%s\n' \
      "$leader" "$leader_start" "$runtime" "$work" >"$state"
    stop_session
    exit 1
  fi
  {
    cat "$work/log/ready"
    printf 'DESKTOP=%s\nSESSION_USER=%s\nSESSION_PID=%s\nSESSION_START=%s\nWORK=%s\n' \
      "$desktop" "$user" "$leader" "$leader_start" "$work"
  } >"$state"
  # shellcheck disable=SC1090
  (source "$state" && note "$desktop on $WAYLAND_DISPLAY, Xwayland $DISPLAY, $size at scale $scale (session $leader)")
}

case $command in
  start) start_session ;;
  stop) stop_session ;;
  env) cat "$state" ;;
  *) usage ;;
esac
