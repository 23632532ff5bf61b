#!/usr/bin/env bash
# The Wine test desktop: an Xvfb display showing one Wine virtual desktop
# (1024x768) and a persistent wineserver on a private prefix in the build tree.
# One session serves a whole test run; CTest starts it as a fixture (see
# cmake/WineTests.cmake) and every Windows test runs through wine-run.sh.
#
# Usage: wine-desktop.sh start|stop|status|env|screenshot FILE|reset-prefix
#   start         start a session, or join the one already running; prints the state file
#   stop          stop it: the Wine processes of the prefix, its wineserver, its Xvfb (by id)
#   status        exit status 0 when a session is running
#   env           print the session's environment (shell assignments)
#   screenshot F  save the whole display as a PNG image
#   reset-prefix  delete the prefix; the next start creates it again (about 20 s)
#
# Locations:
#   prefix      $TINTORA_WINEPREFIX, else $TINTORA_BUILD_DIR/wineprefix,
#               else <repo>/build/windows/wineprefix
#   state file  $TINTORA_WINE_SESSION, else <prefix>-session/session.env
#               (logs of Xvfb, wineserver, prefix creation next to it)
#
# Environment a test gets (the state file's assignments, exported by wine-run.sh):
#   DISPLAY               the Xvfb display; the virtual desktop fills it (0,0 = desktop 0,0)
#   WINEPREFIX            the private prefix: HKCU of every test lives there, never in ~/.wine
#   WINE, WINELOADER      the 64-bit Wine loader: "$WINE" prog.exe args (stdout, stderr and
#                         exit code are the program's)
#   WINESERVER            the wineserver binary of the session
#   WINEDLLOVERRIDES      mscoree,mshtml= (no Mono/Gecko prompts); winemenubuilder off
#   WINEDEBUG             the caller's value, else -all; use -all,warn+seh to see
#                         OutputDebugStringW lines on stderr
#   TINTORA_WINE_SESSION  the state file
#   TINTORA_SCREENSHOT    a command taking one argument, the PNG file to write
#   TINTORA_SOURCE_DIR    the repository root
#   TINTORA_BUILD_DIR     the build tree (set by CTest; else the prefix's parent)
#
# Each new session starts from the registry as it was right after the prefix
# was created (a pristine copy is kept), so nothing leaks from one run into the
# next. Within a session the registry is shared by all tests.
set -euo pipefail
# shellcheck source=lib/wine-session.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/wine-session.sh"

ws_resolve_paths
ws_find_wine
ws_wine_env

cmd=${1:-}
case $cmd in
  start)
    ws_lock
    if ws_session_alive; then
      ws_note "joining the running session ($WS_STATE)"
    else
      ws_start_locked
    fi
    ws_unlock
    echo "$WS_STATE"
    ;;
  stop)
    ws_lock
    if [[ -f $WS_STATE ]]; then
      ws_stop_locked
      ws_note "session stopped"
    else
      ws_note "no session to stop"
    fi
    ws_unlock
    ;;
  status)
    if ws_session_alive; then
      sed -n 's/^DISPLAY=/running on display /p' "$WS_STATE"
    else
      echo "not running"
      exit 1
    fi
    ;;
  env)
    ws_session_alive || ws_die "no session is running"
    grep -E '^[A-Z_]+=' "$WS_STATE"
    ;;
  screenshot)
    [[ $# -eq 2 ]] || ws_die "usage: wine-desktop.sh screenshot FILE.png"
    ws_session_alive || ws_die "no session is running"
    DISPLAY=$(sed -n 's/^DISPLAY=//p' "$WS_STATE") exec "$TINTORA_SCRIPTS_DIR/wine-screenshot.sh" "$2"
    ;;
  reset-prefix)
    ws_lock
    if ws_session_alive; then ws_die "a session is running; stop it first"; fi
    rm -rf "$WS_PREFIX"
    ws_note "removed $WS_PREFIX"
    ;;
  *)
    sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
    exit 2
    ;;
esac
