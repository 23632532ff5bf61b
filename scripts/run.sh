#!/usr/bin/env bash
# The one run command: installs what is missing, builds tintora.exe (windows
# preset) and starts it under Wine.
#   - With a reachable $DISPLAY it runs there, in a 1024x768 Wine virtual desktop
#     window (under Wine, raw mouse input reaches a background program only inside
#     a virtual desktop, and only while some window is in the foreground: a 1x1
#     off-screen helper window sees to that). It runs until you choose Exit in its
#     right-click menu.
#   - Otherwise it runs on a private Xvfb display, saves a screenshot after a few
#     seconds (build/windows/run-screenshot.png), and stops what it started.
# Settings (position, startup entry) persist in the private prefix
# build/windows/wineprefix-run, never in ~/.wine.
#
# Usage: scripts/run.sh [--virtual] [--seconds N]
#   --virtual     use the private Xvfb display even when $DISPLAY is reachable
#   --seconds N   wait N seconds before the screenshot (default 5)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
repo=$(pwd)

virtual=0
seconds=5
while [[ $# -gt 0 ]]; do
  case $1 in
    --virtual) virtual=1; shift ;;
    --seconds) seconds=${2:?--seconds needs a number}; shift 2 ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "run: unknown argument $1 (see --help)" >&2; exit 2 ;;
  esac
done
[[ $seconds =~ ^[0-9]+$ ]] || { echo "run: --seconds needs a whole number" >&2; exit 2; }

bash scripts/setup.sh
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
exe=$build/ui/tintora.exe
[[ -f $exe ]] || exe=$(find "$build" -name tintora.exe -not -path '*/wineprefix*' | head -n 1)
[[ -f $exe ]] || { echo "run: tintora.exe was built but not found under $build" >&2; exit 1; }

export TINTORA_BUILD_DIR=$build
export TINTORA_WINEPREFIX=$build/wineprefix-run
export TINTORA_KEEP_REGISTRY=1 # the user's saved settings stay from run to run

if [[ $virtual == 0 && -n ${DISPLAY:-} ]] && xdpyinfo >/dev/null 2>&1; then
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
fi

# A private display: start a session, start the program, take a picture, stop.
# The program is started directly rather than through wine-run.sh: stopping the
# session ends it, where a runner would make the stop wait for it to finish.
bash scripts/wine-desktop.sh start >/dev/null
trap 'bash scripts/wine-desktop.sh stop >/dev/null 2>&1 || true' EXIT
# shellcheck source=lib/wine-session.sh
source scripts/lib/wine-session.sh
ws_resolve_paths
ws_export_state
display=$DISPLAY
echo "run: starting $exe on the private display $display"
"$WINE" "$exe" </dev/null >"$build/run-output.log" 2>&1 &
for ((i = 0; i < 150; i++)); do
  xwininfo -display "$display" -root -tree 2>/dev/null | grep -q '"Tintora"' && break
  sleep 0.1
done
if ! xwininfo -display "$display" -root -tree 2>/dev/null | grep -q '"Tintora"'; then
  echo "run: no Tintora window appeared within 15 s (output: $build/run-output.log)" >&2
fi
# A few pointer moves over the desktop, so the label shows a sampled colour.
for xy in "600 400" "610 405" "620 410"; do
  # shellcheck disable=SC2086
  DISPLAY=$display xdotool mousemove $xy 2>/dev/null || true
  sleep 0.2
done
sleep "$seconds"
shot=$build/run-screenshot.png
DISPLAY=$display bash scripts/wine-screenshot.sh "$shot"
echo "run: screenshot saved to $shot"
echo "run: stopping the program and the private display"
