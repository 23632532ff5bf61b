# shellcheck shell=bash
# Process helpers shared by the Wine test desktop (wine-session.sh) and the
# load drivers (bench/wine/perf-lib.sh). Sourced, not run.
#
# A process is known by its id and its start time (field 22 of /proc/PID/stat),
# so a reused id is never taken for the process that was recorded. Everything
# started here is recorded and stopped by id; nothing is ended by name.

# proc_start_time PID: the process's start time in clock ticks since boot.
proc_start_time() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  # shellcheck disable=SC2086
  set -- $stat
  echo "${20}"
}

# proc_alive PID [STARTTIME]: true when that very process still runs. A zombie
# does not count (this machine's init does not always reap), and with a start
# time a reused id does not match.
proc_alive() {
  local pid=$1 start=${2:-} stat
  [[ $pid =~ ^[0-9]+$ ]] || return 1
  stat=$(cat "/proc/$pid/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  # shellcheck disable=SC2086
  set -- $stat
  [[ $1 != Z && $1 != X ]] || return 1
  [[ -z $start || ${20} == "$start" ]]
}

# proc_stop PID STARTTIME NAME [NOTE_FUNCTION]: TERM, then KILL after 5 s.
proc_stop() {
  local pid=$1 start=$2 name=$3 note=${4:-proc_note} i
  proc_alive "$pid" "$start" || return 0
  kill -TERM "$pid" 2>/dev/null || true
  for ((i = 0; i < 50; i++)); do
    proc_alive "$pid" "$start" || return 0
    sleep 0.1
  done
  "$note" "$name ($pid) ignores TERM; killing it"
  kill -KILL "$pid" 2>/dev/null || true
}
proc_note() { echo "# $*" >&2; }

# CPU time (user + system) of a process, in clock ticks; 0 when gone.
proc_cpu_ticks() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || { echo 0; return; }
  # Fields after the command name, which may hold spaces: utime is 14, stime 15.
  stat=${stat##*) }
  # shellcheck disable=SC2086
  set -- $stat
  echo $((${12} + ${13}))
}

# A /proc/PID/status field in KiB (VmRSS, VmData, RssAnon ...); -1 when absent.
proc_status_kib() {
  awk -v f="$2:" '$1 == f { print $2; found = 1 } END { if (!found) print -1 }' "/proc/$1/status" 2>/dev/null ||
    echo -1
}

# The processes started by proc_start, as "pid:starttime" (kept when this
# file is sourced again by another library).
[[ -v PROC_RECORDED ]] || PROC_RECORDED=()

# proc_start VAR LOG_BASE ENV... -- COMMAND ARGS...: runs a command in the
# background with the given environment assignments, stdout and stderr in
# LOG_BASE.out and LOG_BASE.err; VAR receives its id, which is recorded.
proc_start() {
  local var=$1 log=$2
  shift 2
  local envs=()
  while [[ $# -gt 0 && $1 != -- ]]; do envs+=("$1"); shift; done
  shift
  env "${envs[@]}" "$@" >"$log.out" 2>"$log.err" </dev/null &
  local pid=$!
  PROC_RECORDED+=("$pid:$(proc_start_time "$pid" || true)")
  printf -v "$var" '%s' "$pid"
}

# proc_stop_recorded: ends every recorded process that still runs (TERM, then
# KILL), and reaps those that are children of this shell.
proc_stop_recorded() {
  local entry pid
  for entry in "${PROC_RECORDED[@]}"; do
    pid=${entry%%:*}
    proc_alive "$pid" "${entry#*:}" && kill -TERM "$pid" 2>/dev/null
  done
  for entry in "${PROC_RECORDED[@]}"; do
    proc_stop "${entry%%:*}" "${entry#*:}" "process"
    wait "${entry%%:*}" 2>/dev/null || true
  done
  PROC_RECORDED=()
}
