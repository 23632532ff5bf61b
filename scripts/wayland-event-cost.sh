#!/usr/bin/env bash
# CPU and memory of the minimal Wayland pointer reader (bench/wayland) on a
# private headless GNOME desktop (scripts/wayland-desktop.sh): the ScreenCast
# portal's dialog accepted by injected clicks, pointer moves through mutter's
# remote desktop input, a Wayland window of colour patches under the pointer.
#
#   scripts/wayland-event-cost.sh [--reader PROGRAM] [--moves N] [--rate R] [--rss-moves N]
#                                 [--size WxH] [--scale S]
#
# Prints, from /proc/PID/schedstat (nanoseconds on the CPU) and the reader's
# own counts: its CPU over 5 s with nothing moving, per pointer move, per
# changed frame (a 64 x 64 corner of the window blinking 10 times a second,
# pointer still), the buffers and frames each phase brought, and its VmRSS
# after the first moves and after --rss-moves more. Figures, never judged.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
# shellcheck source=lib/processes.sh
source "$here/lib/processes.sh"

reader=$root/build/native/bench/wayland/wayland_meta_reader
moves=2000
rate=100
rss_moves=20000
size=1280x720
scale=1
while [[ $# -gt 0 ]]; do
  case $1 in
    --reader) reader=$2; shift 2 ;;
    --moves) moves=$2; shift 2 ;;
    --rate) rate=$2; shift 2 ;;
    --rss-moves) rss_moves=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    --scale) scale=$2; shift 2 ;;
    *) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
  esac
done
[[ -x $reader ]] || { echo "wayland-event-cost: no reader at $reader (build the native preset)" >&2; exit 1; }

python=/usr/bin/python3 # Debian's, with its gi bindings
tools=$root/tests/wayland
work=$(mktemp -d /tmp/tintora-wayland-cost-XXXXXX)
state=$work/desktop.state
remote_pid='' reader_pid='' blinker=''
cleanup() {
  local status=$?
  set +e # every step, whatever the one before did
  [[ -n $remote_pid ]] && { echo quit >&3; } 2>/dev/null
  proc_stop_recorded
  bash "$here/wayland-desktop.sh" stop "$state"
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

bash "$here/wayland-desktop.sh" start "$state" --size "$size" --scale "$scale"
# shellcheck disable=SC1090
source "$state"
session_env=("WAYLAND_DISPLAY=$WAYLAND_DISPLAY" "DISPLAY=$DISPLAY" "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR"
  "DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS" "XDG_CURRENT_DESKTOP=$XDG_CURRENT_DESKTOP")

width=${size%x*}
height=${size#*x}
/usr/bin/convert -size "$size" xc:'#404040' -fill '#ff8000' -draw "rectangle 0,0 $((width / 2)),$height" \
  "$work/patches.ppm"
proc_start _ "$work/painter" "${session_env[@]}" -- "$python" "$tools/wl_painter.py" "$work/patches.ppm" \
  --ready "$work/painter.ready"
# Drawn before the dialog comes: a fullscreen window mapped after it covers it.
for _ in $(seq 300); do [[ -s $work/painter.ready ]] && break; sleep 0.1; done

# The input driver, fed through a pipe.
mkfifo "$work/remote.in"
proc_start remote_pid "$work/remote" "${session_env[@]}" -- \
  bash -c "exec '$python' '$tools/mutter_remote.py' --no-pictures <'$work/remote.in'"
exec 3>"$work/remote.in"
remote() {
  local before
  before=$(wc -l <"$work/remote.out")
  echo "$*" >&3
  for _ in $(seq 600); do
    [[ $(wc -l <"$work/remote.out") -gt $before ]] && { tail -n 1 "$work/remote.out"; return; }
    sleep 0.05
  done
  echo "wayland-event-cost: the input driver did not answer '$*'" >&2
  exit 1
}
for _ in $(seq 200); do grep -q ready "$work/remote.out" 2>/dev/null && break; sleep 0.1; done

proc_start reader_pid "$work/reader" "${session_env[@]}" -- "$reader" --quiet
env "${session_env[@]}" "$python" "$tools/portal_consent.py" accept --timeout 60 --picture "${TINTORA_WAYLAND_CONSENT_PICTURE:-$work/consent.ppm}"
for _ in $(seq 100); do grep -q '^format' "$work/reader.out" && break; sleep 0.1; done
grep '^\(cursor-modes\|stream\|format\)' "$work/reader.out"

cpu_ns() { awk '{print $1}' "/proc/$1/schedstat"; }
counts() {
  kill -USR1 "$reader_pid"
  sleep 0.3
  grep '^summary' "$work/reader.out" | tail -n 1
}
field() { awk -v f="$2" '{ for (i = 1; i < NF; i++) if ($i == f) print $(i + 1) }' <<<"$1"; }
per() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.1f", a / b / 1000; else print "-" }'; }

x=$((width / 4))
y=$((height / 2))
remote move "$x" "$y" >/dev/null
sleep 2

c0=$(cpu_ns "$reader_pid")
s0=$(counts)
sleep 5
c1=$(cpu_ns "$reader_pid")
s1=$(counts)
echo "idle 5 s: $(((c1 - c0) / 1000)) us on the CPU, $(($(field "$s1" buffers) - $(field "$s0" buffers))) buffers"

took=$(remote sweep "$x" "$y" "$moves" "$rate")
sleep 1
c2=$(cpu_ns "$reader_pid")
s2=$(counts)
buffers=$(($(field "$s2" buffers) - $(field "$s1" buffers)))
frames=$(($(field "$s2" frames) - $(field "$s1" frames)))
echo "moves: $moves at $rate/s (${took#ok } s): $(per $((c2 - c1)) "$moves") us/move," \
  "$buffers buffers ($frames with a frame), $(per $((c2 - c1)) "$buffers") us/buffer"
rss_before=$(proc_status_kib "$reader_pid" VmRSS)

proc_start blinker "$work/blinker" "${session_env[@]}" -- "$python" "$tools/wl_painter.py" "$work/patches.ppm" \
  --blink 10
sleep 2
c3=$(cpu_ns "$reader_pid")
s3=$(counts)
sleep 5
c4=$(cpu_ns "$reader_pid")
s4=$(counts)
frames=$(($(field "$s4" frames) - $(field "$s3" frames)))
echo "changed frames, pointer still, 5 s: $frames frames, $(per $((c4 - c3)) "$frames") us/frame"
proc_stop "$blinker" "$(proc_start_time "$blinker")" blinker

if [[ $rss_moves -gt 0 ]]; then
  remote sweep "$x" "$y" "$rss_moves" 1000 >/dev/null
  sleep 1
  echo "VmRSS: $rss_before KiB after $moves moves, $(proc_status_kib "$reader_pid" VmRSS) KiB after $rss_moves more"
fi
counts
