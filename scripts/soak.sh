#!/usr/bin/env bash
# Soak test of tintora.exe under Wine: drives raw mouse events at the label
# and checks that it keeps running, answering and repainting, and that its
# memory stays flat after warm-up.
#
# Usage: scripts/soak.sh [--events N] [--count-repaints] [--paced RATE]
#                        [--tintora EXE] [--drivers DIR] [--out DIR]
#   --events N        raw mouse moves to send (default 100000; CI runs 20000)
#   --count-repaints  run the label with WINEDEBUG=-all,warn+seh and count its
#                     "R: " diagnostic lines: one per colour computed, so the
#                     count must match what the injector asked for. Printing
#                     those lines costs time of its own (see event-cost.sh).
#   --paced RATE      send at RATE events/s instead of lock-step; events that
#                     queue up then sample wherever the pointer is by the time
#                     the label handles them, so fewer colours are computed
#   --tintora EXE     the label program (default <build>/windows/tintora.exe)
#   --drivers DIR     where tintora-inject/-patches/-rawsink.exe are
#                     (default <build>/bench-wine)
#   --out DIR         where logs and the resource series go (default a
#                     temporary directory, printed at the end)
#
# The Windows build tree is $TINTORA_BUILD_DIR, else build/windows. Without a
# running Wine desktop session it starts one through scripts/wine-run.sh.
#
# What is checked:
#   - every SendMessageTimeoutW(WM_NULL) (one per 1000 events) answers, and
#     after every 1000 events the label shows the marker colour in time;
#   - the label process is still alive at the end;
#   - its memory after warm-up (10,000 events) never exceeds the first
#     figure after warm-up by more than max(1 MiB, 2 %): PagefileUsage from
#     GetProcessMemoryInfo (Wine: RssAnon + VmSwap) at each checkpoint, and
#     VmData / VmRSS of the hosting process from /proc every second.
#     GetGuiResources is not implemented by Wine 8 (ERROR_CALL_NOT_IMPLEMENTED);
#     a GDI leak would show as memory growth, and as the label no longer
#     painting once the process's GDI handles run out;
#   - with --count-repaints, the label computed at least one colour per move
#     and at most one per raw event it received.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source-path=SCRIPTDIR source=../bench/wine/perf-lib.sh
source "$here/../bench/wine/perf-lib.sh"

events=100000
count_repaints=0
paced=""
tintora=""
drivers=""
out=""
args=("$@")
while [[ $# -gt 0 ]]; do
  case $1 in
    --events) events=$2; shift 2 ;;
    --count-repaints) count_repaints=1; shift ;;
    --paced) paced=$2; shift 2 ;;
    --tintora) tintora=$2; shift 2 ;;
    --drivers) drivers=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) perf_die "unknown argument $1 (see --help)" ;;
  esac
done
[[ $events =~ ^[0-9]+$ && $events -ge 1000 ]] || perf_die "--events needs a number of at least 1000"
[[ -z $paced || $paced =~ ^[0-9]+$ ]] || perf_die "--paced needs events per second"

perf_need_session "$0" "${args[@]}"
perf_resolve_tools "$tintora" "$drivers"
[[ -n $out ]] || out=$(mktemp -d "${TMPDIR:-/tmp}/tintora-soak.XXXXXX")
mkdir -p "$out"
trap 'proc_stop_recorded' EXIT

label_debug=-all
[[ $count_repaints == 1 ]] && label_debug=-all,warn+seh

perf_note "soak: $events events, logs in $out"
patches_pid="" sink_pid="" label_pid=""
perf_start patches_pid "$out/patches" WINEDEBUG=-all -- "$DRIVER_DIR/tintora-patches.exe"
perf_wait_ready "$patches_pid" "$out/patches"
perf_start sink_pid "$out/sink" WINEDEBUG=-all -- "$DRIVER_DIR/tintora-rawsink.exe"
perf_wait_ready "$sink_pid" "$out/sink"
perf_start label_pid "$out/tintora" WINEDEBUG=$label_debug -- "$TINTORA_EXE"

inject_args=(--sink --events "$events" --sync-every 1000 --ping-every 1000 --warmup 10000)
if [[ -n $paced ]]; then
  inject_args+=(--rate "$paced")
else
  inject_args+=(--lockstep --rate 0)
fi

# The process series: one row a second, with the last checkpoint reached.
series=$out/label-memory.csv
echo "seconds,events,vmdata_kib,vmrss_kib,rssanon_kib,cpu_ticks" >"$series"
(
  start=$SECONDS
  while proc_alive "$label_pid"; do
    reached=$( (grep '^checkpoint,' "$out/inject.out" 2>/dev/null || true) | tail -n 1 | cut -d, -f2)
    echo "$((SECONDS - start)),${reached:--1},$(proc_status_kib "$label_pid" VmData),$(proc_status_kib "$label_pid" VmRSS),$(proc_status_kib "$label_pid" RssAnon),$(proc_cpu_ticks "$label_pid")" >>"$series"
    sleep 1
  done
) &
monitor_pid=$!
PERF_PIDS+=("$monitor_pid")

inject_rc=0
WINEDEBUG=-all "$WINE" "$DRIVER_DIR/tintora-inject.exe" "${inject_args[@]}" >"$out/inject.out" 2>"$out/inject.err" ||
  inject_rc=$?
sleep 1.2  # one more memory row after the last checkpoint
failures=()
grep -v '^checkpoint,' "$out/inject.out" || true
[[ $inject_rc == 0 ]] || failures+=("the injector reported failure (exit code $inject_rc)")
if proc_alive "$label_pid"; then
  echo "label_alive=yes"
else
  echo "label_alive=NO"
  failures+=("tintora.exe is no longer running")
fi

# Flat after warm-up, host side: the same rule as the injector's.
for column in 3:vmdata_kib 4:vmrss_kib; do
  n=${column%%:*} name=${column#*:}
  verdict=$(awk -F, -v n="$n" 'NR > 1 && $2 >= 10000 && $n >= 0 {
      if (!seen) { ref = $n; max = $n; seen = 1 } else if ($n > max) max = $n; count++ }
    END {
      if (count < 2) { print "not-measured"; exit }
      slack = ref * 0.02; if (slack < 1024) slack = 1024
      printf "%s reference=%d max=%d allowed=%d\n", (max <= ref + slack ? "flat" : "GROWS"), ref, max, ref + slack
    }' "$series")
  echo "host_$name=$verdict"
  [[ $verdict == GROWS* ]] && failures+=("the label's $name grows after warm-up: $verdict")
done

if [[ $count_repaints == 1 ]]; then
  # Under Wine each SendInput move also comes back as an echo of the X
  # pointer warp, and a late echo can put the pointer back for a moment, so
  # the label may compute a few colours more than asked for; never fewer
  # (each lock-step move was seen on the label), and never more than one per
  # raw event delivered.
  expected=$(sed -n 's/^expected_pipeline_runs=//p' "$out/inject.out")
  delivered=$(sed -n 's/^sink_count=//p' "$out/inject.out")
  computed=$(grep -c 'OutputDebugStringA "R: ' "$out/tintora.err" || true)
  echo "colours_computed=$computed expected_at_least=${expected:-?} raw_events_delivered=${delivered:-?}"
  if [[ -z $paced && -n $expected && -n $delivered ]]; then
    if ((computed < expected || computed > delivered)); then
      failures+=("the label computed $computed colours, expected $expected to $delivered")
    fi
  fi
fi

ws_pid=$(perf_find_wineserver)
echo "label_cpu_s=$(awk -v t="$(proc_cpu_ticks "$label_pid")" -v hz="$PERF_HZ" 'BEGIN { printf "%.2f", t / hz }')"
[[ -n $ws_pid ]] && echo "wineserver_pid=$ws_pid"
echo "logs=$out"
if [[ ${#failures[@]} -gt 0 ]]; then
  printf 'FAIL: %s\n' "${failures[@]}"
  echo "soak: 0 passed, 1 failed"
  exit 1
fi
echo "soak: 1 passed, 0 failed"
