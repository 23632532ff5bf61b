# shellcheck shell=bash
# Shared shell functions of scripts/soak.sh and scripts/event-cost.sh.
# Sourced, not run. The process helpers (proc_start, proc_alive,
# proc_cpu_ticks, proc_status_kib, proc_stop_recorded) are those of the Wine
# test desktop, scripts/lib/processes.sh: every process started is recorded
# and stopped by id.
#
# The scripts need a Wine desktop session: DISPLAY, WINEPREFIX and WINE in
# the environment (the test desktop's runner exports them, with
# TINTORA_WINESERVER_PID and TINTORA_XVFB_PID). Run stand-alone, a script
# re-runs itself through scripts/wine-run.sh --host, which starts a session
# for it and stops it afterwards.

# shellcheck source=../../scripts/lib/processes.sh
source "$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/lib/processes.sh"

PERF_HZ=$(getconf CLK_TCK)  # clock ticks per second of /proc/*/stat
export PERF_HZ

perf_die() { echo "error: $*" >&2; exit 2; }
perf_note() { echo "# $*" >&2; }

# perf_need_session SCRIPT ARGS...: join or start a Wine desktop session.
perf_need_session() {
  local script=$1
  shift
  if [[ -n ${DISPLAY:-} && -n ${WINEPREFIX:-} && -n ${TINTORA_WINE_SESSION:-${PERF_MANUAL_SESSION:-}} ]]; then
    WINE=${WINE:-wine}
    return 0
  fi
  local runner
  runner="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/wine-run.sh"
  [[ -x $runner || -f $runner ]] || perf_die "no Wine desktop session and no $runner to start one"
  exec bash "$runner" --host -- bash "$script" "$@"
}

# perf_resolve_tools TINTORA DRIVERS: sets TINTORA_EXE and DRIVER_DIR, building
# them in the Windows build tree when they are missing and it exists.
perf_resolve_tools() {
  local repo build
  repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
  build=${TINTORA_BUILD_DIR:-$repo/build/windows}
  TINTORA_EXE=${1:-$build/windows/tintora.exe}
  DRIVER_DIR=${2:-$build/bench-wine}
  if [[ ! -f $TINTORA_EXE || ! -f $DRIVER_DIR/tintora-inject.exe || ! -f $DRIVER_DIR/tintora-floor.exe ]] &&
     [[ -f $build/build.ninja ]]; then
    perf_note "building tintora and the drivers in $build"
    cmake --build "$build" --target tintora tintora_drivers -j2 >&2 || perf_die "build failed"
  fi
  [[ -f $TINTORA_EXE ]] || perf_die "no tintora.exe at $TINTORA_EXE (build the windows preset)"
  [[ -f $DRIVER_DIR/tintora-inject.exe ]] || perf_die "no drivers in $DRIVER_DIR (build target tintora_drivers)"
}

# perf_start VAR LOG_BASE ENV... -- EXE ARGS...: runs a Windows program in the
# background (proc_start); VAR receives the id of the (Unix) process that hosts it.
perf_start() {
  local var=$1 log=$2
  shift 2
  local envs=()
  while [[ $# -gt 0 && $1 != -- ]]; do envs+=("$1"); shift; done
  shift
  proc_start "$var" "$log" "${envs[@]}" -- "$WINE" "$@"
}

# perf_wait_ready PID LOG_BASE: until the driver printed "ready" (at most 30 s).
# The patch window must be on the screen before the label and the sink
# start: in a Wine virtual desktop a window shown before a later full-screen
# one is not drawn over it, though it stays above it in the Z order.
perf_wait_ready() {
  local i
  for ((i = 0; i < 300; i++)); do
    grep -q '^ready' "$2.out" 2>/dev/null && return 0
    proc_alive "$1" || perf_die "$(basename "$2") ended early: $(tail -n 3 "$2.err" 2>/dev/null)"
    sleep 0.1
  done
  perf_die "$(basename "$2") did not get ready in 30 s"
}

# The wineserver of $WINEPREFIX: from the session, else the server process
# whose working directory is the prefix's server-<dev>-<inode> directory.
perf_find_wineserver() {
  if [[ -n ${TINTORA_WINESERVER_PID:-} ]] && proc_alive "$TINTORA_WINESERVER_PID"; then
    echo "$TINTORA_WINESERVER_PID"
    return
  fi
  local dev ino want p
  read -r dev ino < <(stat -c '%d %i' "$WINEPREFIX")
  want=$(printf 'server-%x-%x' "$dev" "$ino")
  for p in /proc/[0-9]*; do
    [[ $(cat "$p/comm" 2>/dev/null) == wineserver* ]] || continue
    [[ $(readlink "$p/cwd" 2>/dev/null) == */"$want" ]] && { echo "${p#/proc/}"; return; }
  done
  echo ""
}

# The Xvfb of $DISPLAY: from the session, else the Xvfb whose command line names it.
perf_find_xvfb() {
  if [[ -n ${TINTORA_XVFB_PID:-} ]] && proc_alive "$TINTORA_XVFB_PID"; then
    echo "$TINTORA_XVFB_PID"
    return
  fi
  local p
  for p in /proc/[0-9]*; do
    [[ $(cat "$p/comm" 2>/dev/null) == Xvfb ]] || continue
    tr '\0' ' ' <"$p/cmdline" 2>/dev/null | grep -q -- " ${DISPLAY} " && { echo "${p#/proc/}"; return; }
  done
  echo ""
}

# perf_wait_quiet PID...: until none of them uses CPU for 0.3 s (at most 10 s),
# so that work still queued counts in the measurement.
perf_wait_quiet() {
  local previous="" now still=0 i p
  for ((i = 0; i < 100; i++)); do
    now=""
    for p in "$@"; do now+="$(proc_cpu_ticks "$p") "; done
    if [[ $now == "$previous" ]]; then
      still=$((still + 1))
      [[ $still -ge 3 ]] && return 0
    else
      still=0
    fi
    previous=$now
    sleep 0.1
  done
}
