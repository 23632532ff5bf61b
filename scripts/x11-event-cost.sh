#!/usr/bin/env bash
# CPU per raw pointer event of the X11 label, beside the smallest raw-event
# listener of the same display, in the same run; the events the label
# handles at 1,000 relative moves per second; its resident memory over many
# events.
#
# Usage: scripts/x11-event-cost.sh [--build DIR] [--events N] [--rate R]
#                                  [--rss-events N] [--rss-rate R] [--rss-tolerance KIB]
#   --events N         moves per measured phase (default 10000: 10 s at the rate)
#   --rate R           moves per second (default 1000)
#   --rss-events N     moves of the memory run (default 100000)
#   --rss-rate R       their rate (default 2000)
#   --rss-tolerance K  fail when the label's resident memory grows by more than
#                      K KiB over the memory run (default: report only)
# Needs the native build (tintora, x11_raw_listener, x11_move_driver) and
# runs on a private Xvfb + openbox display of its own (scripts/x11-desktop.sh).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
repo=$(pwd)

build=$repo/build/native
events=10000
rate=1000
rss_events=100000
rss_rate=2000
rss_tolerance=''
while [[ $# -gt 0 ]]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --events) events=$2; shift 2 ;;
    --rate) rate=$2; shift 2 ;;
    --rss-events) rss_events=$2; shift 2 ;;
    --rss-rate) rss_rate=$2; shift 2 ;;
    --rss-tolerance) rss_tolerance=$2; shift 2 ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "x11-event-cost: unknown argument $1" >&2; exit 2 ;;
  esac
done

label=$build/x11/tintora
listener=$build/bench/x11/x11_raw_listener
driver=$build/bench/x11/x11_move_driver
for program in "$label" "$listener" "$driver"; do
  [[ -x $program ]] || { echo "x11-event-cost: $program is not built (cmake --build --preset native)" >&2; exit 1; }
done

work=$build/x11-event-cost
mkdir -p "$work"
state=$work/session/state
label_pid=''
listener_pid=''
cleanup() {
  [[ -z $label_pid ]] || kill "$label_pid" 2>/dev/null || true
  [[ -z $listener_pid ]] || kill "$listener_pid" 2>/dev/null || true
  bash scripts/x11-desktop.sh stop "$state" >/dev/null 2>&1 || true
}
trap cleanup EXIT
bash scripts/x11-desktop.sh start "$state" >/dev/null
DISPLAY=$(sed -n 's/^DISPLAY=//p' "$state")
server_pid=$(sed -n 's/^XVFB_PID=//p' "$state")
export DISPLAY
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config NO_AT_BRIDGE=1
rm -rf "$HOME"
mkdir -p "$XDG_CONFIG_HOME/tintora"
# The label out of the way in the top-left corner.
printf '[Label]\nX=0\nY=0\n' >"$XDG_CONFIG_HOME/tintora/tintora.conf"

# The desktop: one-pixel stripes of two colours on the left (every move
# there samples a new colour), one grey on the right (every move samples
# the same colour).
convert -size 512x768 pattern:vertical2 -fill '#ff8000' -opaque black -fill '#3050c0' -opaque white \
  \( -size 512x768 xc:'#808080' \) +append "$work/desktop.ppm"
display -window root "$work/desktop.ppm" || true

# Time on the CPU of a process, in nanoseconds (scheduler statistics).
cpu_ns() { cut -d' ' -f1 "/proc/$1/schedstat"; }
rss_kib() { sed -n 's/^VmRSS:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$1/status"; }

start_label() {
  local tree
  "$label" "$@" </dev/null 2>"$work/label.stderr" &
  label_pid=$!
  for _ in $(seq 100); do
    # The tree is read whole: grep -q would close the pipe early, which
    # pipefail counts as a failure of the listing.
    tree=$(xwininfo -root -tree 2>/dev/null) || tree=''
    [[ $tree == *'"Tintora": ("tintora" "Tintora")'* ]] && return 0
    sleep 0.05
  done
  echo "x11-event-cost: the label did not appear" >&2
  exit 1
}
stop_label() { kill "$label_pid"; wait "$label_pid" || true; label_pid=''; }

"$listener" >"$work/listener.out" &
listener_pid=$!
for _ in $(seq 100); do grep -q ready "$work/listener.out" 2>/dev/null && break; sleep 0.05; done
start_label

# Waits until the label's CPU time stops growing (its queue is drained);
# prints the milliseconds that took after the last move.
drain_ms() {
  local before after waited=0
  after=$(cpu_ns "$label_pid")
  while :; do
    sleep 0.02
    waited=$((waited + 20))
    before=$after
    after=$(cpu_ns "$label_pid")
    [[ $after == "$before" ]] && break
  done
  echo $((waited - 20))
}

phase() { # name x y count rate
  local name=$1 x=$2 y=$3 count=$4 phase_rate=$5
  xdotool mousemove "$x" "$y"
  "$driver" 200 2000 >/dev/null # warm-up and the first colour
  sleep 0.3
  local l0 s0 x0 l1 s1 x1 drained sent
  l0=$(cpu_ns "$label_pid"); s0=$(cpu_ns "$listener_pid"); x0=$(cpu_ns "$server_pid")
  sent=$("$driver" "$count" "$phase_rate")
  drained=$(drain_ms)
  sleep 0.2
  l1=$(cpu_ns "$label_pid"); s1=$(cpu_ns "$listener_pid"); x1=$(cpu_ns "$server_pid")
  awk -v n="$name" -v c="$count" -v l=$((l1 - l0)) -v s=$((s1 - s0)) -v x=$((x1 - x0)) -v d="$drained" \
      -v sent="$sent" 'BEGIN {
    split(sent, f, " ")
    printf "%-12s %6d moves in %6.2f s: label %7.2f us/event, listener %5.2f us/event, ratio %4.1f" \
           " (X server %6.2f us/event); label idle %d ms after the last move\n",
      n, c, f[2], l / c / 1000, s / c / 1000, (s > 0 ? l / s : 0), x / c / 1000, d }'
}

echo "x11-event-cost: display $DISPLAY, $events moves per phase at $rate/s (load $(cut -d' ' -f1-3 /proc/loadavg))"
phase "new colour" 256 400 "$events" "$rate"
phase "same colour" 768 400 "$events" "$rate"

# Events handled: with the debug lines on, each handled event that finds a
# new colour under the pointer prints its lines. The pointer is read afresh
# for every event, so an event handled after the next move has already
# happened finds the same place as that next one: the count is at most the
# number of moves, and below it by the events that were late.
stop_label
start_label --debug
xdotool mousemove 256 400
"$driver" 200 2000 >/dev/null
sleep 0.3
before=$(grep -c '^R: ' "$work/label.stderr" || true)
sent=$("$driver" "$events" "$rate")
drained=$(drain_ms)
after=$(grep -c '^R: ' "$work/label.stderr" || true)
echo "handled      ${sent%% *} moves at $rate/s, the label idle $drained ms after the last one;" \
  "$((after - before)) of them found a new colour and were painted"

# Memory over many events (the debug lines off again).
stop_label
start_label
xdotool mousemove 256 400
"$driver" 2000 "$rss_rate" >/dev/null
sleep 0.3
rss0=$(rss_kib "$label_pid")
"$driver" "$rss_events" "$rss_rate" >/dev/null
drain_ms >/dev/null
rss1=$(rss_kib "$label_pid")
echo "memory       VmRSS $rss0 KiB after 2000 moves, $rss1 KiB after $rss_events more ($((rss1 - rss0)) KiB)"

kill "$listener_pid"
wait "$listener_pid" || true
listener_pid=''
echo "listener     $(tail -n 1 "$work/listener.out") raw events received in all"
if [[ -n $rss_tolerance ]] && (( rss1 - rss0 > rss_tolerance )); then
  echo "x11-event-cost: resident memory grew by $((rss1 - rss0)) KiB, more than $rss_tolerance KiB" >&2
  exit 1
fi
