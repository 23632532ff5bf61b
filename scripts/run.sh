#!/usr/bin/env bash
# The one run command: installs what is missing, builds the label and starts it.
#
# By default the native X11 label (build/native/x11/tintora):
#   - with a reachable $DISPLAY it runs there, on your desktop, until you choose
#     Exit in its right-click menu; its settings are yours (~/.config/tintora);
#   - otherwise (or with --virtual) it runs the tour on a private Xvfb display
#     with the openbox window manager (scripts/tour.sh): the label over a few
#     colour patches, its menu and its About box, in one picture
#     (build/native/tour.png); then it stops what it started. Its settings then
#     live in the build tree (build/native/tour-parts/home), never in your home.
#
# With --windows, tintora.exe (windows preset) under Wine:
#   - with a reachable $DISPLAY it runs there, in a 1024x768 Wine virtual desktop
#     window (under Wine, raw mouse input reaches a background program only inside
#     a virtual desktop, and only while some window is in the foreground: a 1x1
#     off-screen helper window sees to that). It runs until you choose Exit in its
#     right-click menu.
#   - Otherwise (or with --virtual) it runs the tour on a private Xvfb display
#     (scripts/tour.sh): the label over a few colour patches, its menu and its
#     About box, in one picture (build/windows/tour.png); then it stops what it
#     started.
#   Settings (position, startup entry) persist in the private prefix
#   build/windows/wineprefix-run, never in ~/.wine.
#
# Usage: scripts/run.sh [--windows] [--virtual]
#   --windows     start tintora.exe under Wine instead of the native label
#   --virtual     use a private Xvfb display even when $DISPLAY is reachable
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
repo=$(pwd)

windows=0
virtual=0
while [[ $# -gt 0 ]]; do
  case $1 in
    --windows) windows=1; shift ;;
    --virtual) virtual=1; shift ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "run: unknown argument $1 (see --help)" >&2; exit 2 ;;
  esac
done

display_reachable() { [[ $virtual == 0 && -n ${DISPLAY:-} ]] && xdpyinfo >/dev/null 2>&1; }

# ---- The native X11 label -------------------------------------------------

build_native() {
  native=$repo/build/native
  if [[ -f $native/CMakeCache.txt ]] && ! grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=$repo" "$native/CMakeCache.txt"; then
    rm -rf "$native" # written for another checkout
  fi
  cmake --preset native >/dev/null
  cmake --build --preset native --target tintora -j 2
  label=$native/x11/tintora
  [[ -x $label ]] || { echo "run: the native label was not built (X11, GTK 3 and cairo are needed: scripts/setup.sh)" >&2; exit 1; }
}

run_native_on_display() {
  echo "run: starting $label on $DISPLAY (settings in ${XDG_CONFIG_HOME:-$HOME/.config}/tintora)"
  rc=0
  "$label" || rc=$?
  echo "run: tintora ended (exit status $rc)"
  exit "$rc"
}

run_native_virtual() {
  # The tour (scripts/tour.sh): colour patches on a private display, the
  # label dragged onto each and pointed beside, its menu and its About box,
  # all in one picture. Its settings live in the build tree, not in your home.
  exec bash scripts/tour.sh --kind x11
}

# ---- tintora.exe under Wine (--windows) -------------------------------------

build_windows() {
  build=$repo/build/windows
  if [[ -f $build/CMakeCache.txt ]] && ! grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=$repo" "$build/CMakeCache.txt"; then
    rm -rf "$build" # written for another checkout
  fi
  cmake --preset windows >/dev/null
  if ! ninja -C "$build" -t targets all 2>/dev/null | grep -q '^tintora:'; then
    echo "run: this checkout has no tintora.exe yet (the target 'tintora' in ui/ is not there);" >&2
    echo "run: nothing to start. The other Windows programs build with: cmake --build --preset windows" >&2
    exit 1
  fi
  cmake --build --preset windows --target tintora -j 2
  exe=$build/windows/tintora.exe
  [[ -f $exe ]] || exe=$(find "$build" -name tintora.exe -not -path '*/wineprefix*' | head -n 1)
  [[ -f $exe ]] || { echo "run: tintora.exe was built but not found under $build" >&2; exit 1; }

  export TINTORA_BUILD_DIR=$build
  export TINTORA_WINEPREFIX=$build/wineprefix-run
  export TINTORA_KEEP_REGISTRY=1 # the user's saved settings stay from run to run
}

run_windows_on_display() {
  # shellcheck source=lib/wine-session.sh
  source scripts/lib/wine-session.sh
  ws_resolve_paths
  ws_find_wine
  ws_wine_env
  mkdir -p "$WS_DIR"
  # The session functions read WS_DISPLAY.
  # shellcheck disable=SC2034
  WS_DISPLAY=$DISPLAY
  ws_ensure_prefix
  echo "run: starting $exe on $DISPLAY (WINEPREFIX=$WS_PREFIX)"
  # The same foreground keeper as on the test desktop, for as long as the program runs.
  ws_start_foreground_keeper
  rc=0
  "$WS_WINE" "$exe" || rc=$?
  [[ -z $WS_KEEPER_PID ]] || kill "$WS_KEEPER_PID" 2>/dev/null || true
  echo "run: tintora.exe ended (exit code $rc)"
  exit "$rc"
}

run_windows_virtual() {
  # The tour (scripts/tour.sh) shows colour patches, drags the label onto
  # each, points beside it, opens the menu and the About box, and saves one
  # picture of it all. It uses a prefix of its own, not the one above.
  exec bash scripts/tour.sh --kind windows
}

bash scripts/setup.sh
if [[ $windows == 1 ]]; then
  build_windows
  if display_reachable; then run_windows_on_display; else run_windows_virtual; fi
else
  build_native
  if display_reachable; then run_native_on_display; else run_native_virtual; fi
fi
