# shellcheck shell=bash
# Shared functions of the Wine test desktop; sourced by wine-desktop.sh and
# wine-run.sh (see wine-desktop.sh for the user-facing description).
#
# A session is one Xvfb display plus one persistent wineserver for a private
# prefix in the build tree. Its state lives in <prefix>-session/:
#   session.env    the state file: shell assignments of the session environment
#   lock           held while a session is started, joined or stopped
#   users          every runner holds a shared lock on it while its program
#                  runs, so a session is never stopped under a running test
#   x-servers      the X servers started, for the check after a test run
#                  (scripts/lib/xvfb.sh; $TINTORA_X_SERVER_RECORD if set)
#   *.log          Xvfb, wineserver, prefix creation and warm-up output
#
# Only processes recorded in session.env (by id and start time) are stopped,
# plus the Wine processes of this prefix, which nothing else uses.

TINTORA_SCRIPTS_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TINTORA_REPO_DIR=$(cd "$TINTORA_SCRIPTS_DIR/.." && pwd)
# shellcheck source=processes.sh
source "$TINTORA_SCRIPTS_DIR/lib/processes.sh"
# shellcheck source=xvfb.sh
source "$TINTORA_SCRIPTS_DIR/lib/xvfb.sh"

# Bump when the prefix configuration below changes: older prefixes are rebuilt.
TINTORA_PREFIX_VERSION=1
TINTORA_SCREEN_SIZE=1024x768

ws_die() { echo "wine-desktop: $*" >&2; exit 1; }
ws_note() { echo "wine-desktop: $*" >&2; }

ws_resolve_paths() {
  local build_dir=${TINTORA_BUILD_DIR:-$TINTORA_REPO_DIR/build/windows}
  # A prefix of our own, whatever WINEPREFIX the caller had: tests must never
  # write into a real user's registry.
  WS_PREFIX=${TINTORA_WINEPREFIX:-$build_dir/wineprefix}
  if [[ -n ${TINTORA_WINE_SESSION:-} ]]; then
    WS_STATE=$TINTORA_WINE_SESSION
    WS_DIR=$(dirname "$WS_STATE")
  else
    WS_DIR=$WS_PREFIX-session
    WS_STATE=$WS_DIR/session.env
  fi
}

ws_find_wine() {
  WS_WINE=${TINTORA_WINE:-}
  if [[ -z $WS_WINE ]]; then
    if [[ -x /usr/lib/wine/wine64 ]]; then WS_WINE=/usr/lib/wine/wine64
    elif command -v wine64 >/dev/null; then WS_WINE=$(command -v wine64)
    elif command -v wine >/dev/null; then WS_WINE=$(command -v wine)
    else ws_die "wine is not installed (run scripts/setup.sh)"; fi
  fi
  WS_WINESERVER=${TINTORA_WINESERVER:-}
  if [[ -z $WS_WINESERVER ]]; then
    # The real binary: Debian's wrapper script forces an immediate exit (-p0).
    if [[ -x /usr/lib/wine/wineserver64 ]]; then WS_WINESERVER=/usr/lib/wine/wineserver64
    elif command -v wineserver >/dev/null; then WS_WINESERVER=$(command -v wineserver)
    else ws_die "wineserver is not installed (run scripts/setup.sh)"; fi
  fi
  command -v Xvfb >/dev/null || ws_die "Xvfb is not installed (run scripts/setup.sh)"
  command -v flock >/dev/null || ws_die "flock (util-linux) is missing"
}

# The environment every Wine call of the session uses.
ws_wine_env() {
  export WINEPREFIX=$WS_PREFIX WINEARCH=win64
  export WINELOADER=$WS_WINE WINESERVER=$WS_WINESERVER
  # No Mono/Gecko download prompts, no menu entries written into $HOME.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export WINEDEBUG=${WINEDEBUG:--all}
}

# The directory of a running wineserver's socket: the server works in it.
# (Debian's Wine puts it under a random /tmp/wine-XXXXXX, so it is found
# through the process rather than computed.)
ws_server_socket() {
  local dir
  dir=$(readlink "/proc/$1/cwd" 2>/dev/null) || return 1
  echo "$dir/socket"
}

ws_session_alive() {
  [[ -f $WS_STATE ]] || return 1
  local XVFB_PID='' XVFB_START='' WS_PID='' WS_START=''
  # shellcheck disable=SC1090
  XVFB_PID=$(sed -n 's/^TINTORA_XVFB_PID=//p' "$WS_STATE")
  XVFB_START=$(sed -n 's/^TINTORA_XVFB_START=//p' "$WS_STATE")
  WS_PID=$(sed -n 's/^TINTORA_WINESERVER_PID=//p' "$WS_STATE")
  WS_START=$(sed -n 's/^TINTORA_WINESERVER_START=//p' "$WS_STATE")
  proc_alive "$XVFB_PID" "$XVFB_START" && proc_alive "$WS_PID" "$WS_START"
}

ws_lock() { # fd 8 = session lock
  mkdir -p "$WS_DIR"
  exec 8>>"$WS_DIR/lock"
  flock -w 600 8 || ws_die "timed out waiting for the session lock $WS_DIR/lock"
}
ws_unlock() { exec 8>&-; }

ws_start_xvfb() {
  xvfb_start "$WS_DIR/xvfb.log" "${TINTORA_X_SERVER_RECORD:-$WS_DIR/x-servers}" \
    -screen 0 "${TINTORA_SCREEN_SIZE}x24" -dpi 96 ||
    ws_die "no X display came up (see $WS_DIR/xvfb.log)"
  WS_DISPLAY=$XVFB_DISPLAY WS_XVFB_PID=$XVFB_PID WS_XVFB_START=$XVFB_START WS_XVFB_SOCKET=$XVFB_SOCKET
}

# Ends the session's Xvfb and removes what it left behind.
ws_stop_xvfb() {
  xvfb_stop "$1" "$2" "$3" "$4" ws_note || true
}

ws_reg_add() {
  "$WS_WINE" reg add "$@" /f >>"$WS_DIR/prefix.log" 2>&1 7>&- 8>&- 9>&-
}

# Creates the prefix once per build tree (about 20 s) and keeps a pristine copy
# of its registry, which every new session starts from.
ws_ensure_prefix() {
  local marker=$WS_PREFIX/.tintora-prefix
  if [[ -f $marker && $(cat "$marker") == "$TINTORA_PREFIX_VERSION" && -f $WS_PREFIX/.tintora-pristine/user.reg ]]; then
    return 0
  fi
  ws_note "creating the Wine prefix $WS_PREFIX (once per build tree)"
  rm -rf "$WS_PREFIX"
  mkdir -p "$(dirname "$WS_PREFIX")"
  : >"$WS_DIR/prefix.log"
  DISPLAY=$WS_DISPLAY timeout 300 "$WS_WINE" wineboot -i >>"$WS_DIR/prefix.log" 2>&1 7>&- 8>&- 9>&- ||
    ws_die "wineboot -i failed (see $WS_DIR/prefix.log)"
  (
    export DISPLAY=$WS_DISPLAY
    # Every program runs inside one virtual desktop of the screen's size: raw
    # input then reaches background windows, and stdout and exit codes stay.
    ws_reg_add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default &&
    ws_reg_add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$TINTORA_SCREEN_SIZE" &&
    # A crashing test prints its backtrace and ends instead of opening a dialog.
    ws_reg_add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 &&
    ws_reg_add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96
  ) || ws_die "configuring the prefix failed (see $WS_DIR/prefix.log)"
  # The wineserver writes the registry files when it ends.
  timeout 60 "$WS_WINESERVER" -w || ws_die "the prefix's wineserver did not end"
  mkdir -p "$WS_PREFIX/.tintora-pristine"
  cp "$WS_PREFIX"/*.reg "$WS_PREFIX/.tintora-pristine/"
  grep -q '"Desktop"="Default"' "$WS_PREFIX/user.reg" ||
    ws_die "the virtual desktop setting did not reach $WS_PREFIX/user.reg"
  echo "$TINTORA_PREFIX_VERSION" >"$marker"
}

# Wine processes of this prefix that outlived their wineserver (it was killed,
# e.g. by a Ctrl+C): they hang on, so they are ended by id. The prefix is the
# build tree's own, so they can only be ours.
ws_kill_prefix_orphans() {
  local env pid i starts=() pids=() left
  for env in /proc/[0-9]*/environ; do
    pid=${env#/proc/}
    pid=${pid%/environ}
    [[ $pid != "$$" && $pid != "$BASHPID" ]] || continue
    { tr '\0' '\n' <"$env" | grep -qxF "WINEPREFIX=$WS_PREFIX"; } 2>/dev/null || continue
    # Only Wine programs: their command line is a Windows path or an .exe.
    { tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qiE '^[a-z]:\\|\.exe( |$)|wineserver'; } 2>/dev/null || continue
    pids+=("$pid")
    starts+=("$(proc_start_time "$pid" || true)")
  done
  [[ ${#pids[@]} -gt 0 ]] || return 0
  ws_note "ending ${#pids[@]} leftover Wine process(es) of $WS_PREFIX"
  for i in "${!pids[@]}"; do kill -TERM "${pids[$i]}" 2>/dev/null || true; done
  for ((left = 30; left > 0; left--)); do
    local alive=0
    for i in "${!pids[@]}"; do
      proc_alive "${pids[$i]}" "${starts[$i]}" && alive=1
    done
    [[ $alive == 1 ]] || return 0
    sleep 0.1
  done
  for i in "${!pids[@]}"; do
    proc_alive "${pids[$i]}" "${starts[$i]}" && kill -KILL "${pids[$i]}" 2>/dev/null
  done
  return 0
}

# Ends whatever an earlier, interrupted session of this prefix left behind.
ws_cleanup_stale() {
  if [[ -f $WS_STATE ]]; then
    local xp xs xd xsock wp wsst
    xp=$(sed -n 's/^TINTORA_XVFB_PID=//p' "$WS_STATE")
    xs=$(sed -n 's/^TINTORA_XVFB_START=//p' "$WS_STATE")
    xd=$(sed -n 's/^DISPLAY=//p' "$WS_STATE")
    xsock=$(sed -n 's/^TINTORA_XVFB_SOCKET=//p' "$WS_STATE")
    wp=$(sed -n 's/^TINTORA_WINESERVER_PID=//p' "$WS_STATE")
    wsst=$(sed -n 's/^TINTORA_WINESERVER_START=//p' "$WS_STATE")
    if [[ -d $WS_PREFIX ]]; then timeout 30 "$WS_WINESERVER" -k 2>/dev/null || true; fi
    proc_stop "$wp" "$wsst" wineserver ws_note
    ws_kill_prefix_orphans
    ws_stop_xvfb "$xp" "$xs" "$xd" "$xsock"
    rm -f "$WS_STATE"
  elif [[ -d $WS_PREFIX ]]; then
    # No record, but a server of this prefix may still run (killed runner).
    timeout 30 "$WS_WINESERVER" -k 2>/dev/null || true
    timeout 30 "$WS_WINESERVER" -w 2>/dev/null || true
    ws_kill_prefix_orphans
  fi
}

ws_write_state() {
  local tmp=$WS_STATE.tmp
  {
    echo "# Tintora Wine test session; written by scripts/wine-desktop.sh"
    printf 'DISPLAY=%q\n' "$WS_DISPLAY"
    printf 'WINEPREFIX=%q\n' "$WS_PREFIX"
    printf 'WINEARCH=win64\n'
    printf 'WINE=%q\n' "$WS_WINE"
    printf 'WINELOADER=%q\n' "$WS_WINE"
    printf 'WINESERVER=%q\n' "$WS_WINESERVER"
    printf 'WINEDLLOVERRIDES=%q\n' "mscoree,mshtml=;winemenubuilder.exe=d"
    printf 'TINTORA_WINE_SESSION=%q\n' "$WS_STATE"
    printf 'TINTORA_SCREENSHOT=%q\n' "$TINTORA_SCRIPTS_DIR/wine-screenshot.sh"
    printf 'TINTORA_SOURCE_DIR=%q\n' "$TINTORA_REPO_DIR"
    printf 'TINTORA_SCREEN_SIZE=%q\n' "$TINTORA_SCREEN_SIZE"
    printf 'TINTORA_XVFB_PID=%s\n' "$WS_XVFB_PID"
    printf 'TINTORA_XVFB_START=%s\n' "$WS_XVFB_START"
    printf 'TINTORA_XVFB_SOCKET=%s\n' "$WS_XVFB_SOCKET"
    printf 'TINTORA_WINESERVER_PID=%s\n' "$WS_WS_PID"
    printf 'TINTORA_WINESERVER_START=%s\n' "$WS_WS_START"
  } >"$tmp"
  mv -f "$tmp" "$WS_STATE"
}

# The foreground keeper (see foreground-keeper.c), built on first use.
ws_start_foreground_keeper() {
  local src=$TINTORA_SCRIPTS_DIR/lib/foreground-keeper.c exe=$WS_DIR/foreground-keeper.exe cc
  WS_KEEPER_PID=''
  if [[ ! -f $exe || $src -nt $exe ]]; then
    cc=$(command -v x86_64-w64-mingw32-gcc-posix || command -v x86_64-w64-mingw32-gcc || true)
    if [[ -z $cc ]] || ! "$cc" -O2 -municode -mwindows -static -o "$exe.tmp" "$src" >>"$WS_DIR/warmup.log" 2>&1; then
      ws_note "cannot build the foreground keeper (see $WS_DIR/warmup.log); raw input may stop reaching background windows"
      return 0
    fi
    mv -f "$exe.tmp" "$exe"
  fi
  DISPLAY=$WS_DISPLAY setsid "$WS_WINE" "$exe" </dev/null >>"$WS_DIR/warmup.log" 2>&1 7>&- 8>&- 9>&- &
  # Read by the callers (scripts/run.sh stops the keeper with it).
  # shellcheck disable=SC2034
  WS_KEEPER_PID=$!
}

# Starts a session; the caller holds the session lock.
ws_start_locked() {
  ws_cleanup_stale
  ws_start_xvfb
  ws_ensure_prefix
  # Each session starts from the registry as it was when the prefix was made,
  # so settings left by an earlier run cannot change the next one
  # (TINTORA_KEEP_REGISTRY=1 keeps them: scripts/run.sh uses that).
  if [[ ${TINTORA_KEEP_REGISTRY:-0} != 1 ]]; then
    cp "$WS_PREFIX"/.tintora-pristine/*.reg "$WS_PREFIX/"
  fi
  setsid "$WS_WINESERVER" -f -p </dev/null >"$WS_DIR/wineserver.log" 2>&1 7>&- 8>&- 9>&- &
  WS_WS_PID=$!
  WS_WS_START=$(proc_start_time "$WS_WS_PID" || true)
  local sock='' i
  for ((i = 0; i < 100; i++)); do
    sock=$(ws_server_socket "$WS_WS_PID") && [[ -S $sock ]] && break
    proc_alive "$WS_WS_PID" || break
    sleep 0.1
  done
  if [[ ! -S $sock ]]; then
    proc_stop "$WS_WS_PID" "$WS_WS_START" wineserver ws_note
    ws_stop_xvfb "$WS_XVFB_PID" "$WS_XVFB_START" "$WS_DISPLAY" "$WS_XVFB_SOCKET"
    ws_die "wineserver did not start (see $WS_DIR/wineserver.log)"
  fi
  ws_write_state
  # Warm up: start Wine's services and the virtual desktop now, once, with
  # their output in a log rather than in the first test's. Console programs
  # do not start the desktop themselves, so it is started here the way the
  # first window would start it.
  DISPLAY=$WS_DISPLAY timeout 120 "$WS_WINE" wineboot </dev/null >"$WS_DIR/warmup.log" 2>&1 7>&- 8>&- 9>&- || true
  DISPLAY=$WS_DISPLAY setsid "$WS_WINE" explorer.exe /desktop </dev/null >>"$WS_DIR/warmup.log" 2>&1 7>&- 8>&- 9>&- &
  ws_start_foreground_keeper
  for ((i = 0; i < 300; i++)); do
    xwininfo -display "$WS_DISPLAY" -root -children 2>/dev/null | grep -q 'Wine desktop' && break
    sleep 0.1
  done
  if ! xwininfo -display "$WS_DISPLAY" -root -children 2>/dev/null | grep -q 'Wine desktop'; then
    ws_stop_locked
    ws_die "the Wine virtual desktop did not appear on $WS_DISPLAY (see $WS_DIR/warmup.log)"
  fi
  if [[ -f $WS_DIR/foreground-keeper.exe ]]; then
    for ((i = 0; i < 100; i++)); do
      xwininfo -display "$WS_DISPLAY" -root -tree 2>/dev/null | grep -q '"Tintora test desktop"' && break
      sleep 0.1
    done
  fi
  ws_note "session running: DISPLAY=$WS_DISPLAY WINEPREFIX=$WS_PREFIX"
}

# Stops the session; the caller holds the session lock.
ws_stop_locked() {
  [[ -f $WS_STATE ]] || return 0
  # Wait until no runner uses the session any more.
  exec 7>>"$WS_DIR/users"
  flock -x -w 600 7 || ws_note "runners still active after 600 s; stopping anyway"
  ws_cleanup_stale
  exec 7>&-
}

# Makes sure a session runs and takes a shared 'users' lock on fd 7 for the
# caller's lifetime. Sets WS_OWNER=1 when this call started it.
# WS_OWNER is read by the caller (scripts/wine-run.sh).
# shellcheck disable=SC2034
ws_join() {
  WS_OWNER=0
  ws_lock
  if ! ws_session_alive; then
    ws_start_locked
    WS_OWNER=1
  fi
  exec 7>>"$WS_DIR/users"
  flock -s 7
  ws_unlock
}

ws_export_state() {
  local line key
  while IFS= read -r line; do
    [[ $line =~ ^([A-Z_][A-Z0-9_]*)= ]] || continue
    key=${BASH_REMATCH[1]}
    eval "export $line"
    : "$key"
  done <"$WS_STATE"
  # Quiet Wine unless the caller asked for channels (e.g. -all,warn+seh).
  export WINEDEBUG=${WINEDEBUG:--all}
}
