#!/usr/bin/env bash
# CPU time that tintora.exe spends per raw mouse event under Wine, beside the
# smallest raw-input program (tintora-rawsink.exe) and beside the design's
# floor (tintora-floor.exe: exactly the calls the design requires per event),
# in one run on one desktop.
#
# Usage: scripts/event-cost.sh [--events N] [--rate R] [--fast-rate R] [--stages]
#                              [--tintora EXE] [--drivers DIR] [--out DIR]
#   --events N     SendInput moves per phase (default 4000)
#   --rate R       pacing of the measured phases, events/s (default 200): slow
#                  enough that the label handles each event before the next
#                  one comes, so each move of the "change" phases computes and
#                  repaints
#   --fast-rate R  pacing of the last phase (default 1000, a 1000 Hz mouse)
#   --stages       also run tintora-stagebench.exe (per-stage wall times)
#   --out DIR      logs and results.txt (default a temporary directory)
#
# Phases, each N moves between the colour patches, measured from /proc
# (utime + stime) of every process involved, after the queues are drained:
#   baseline       patches only: what injecting costs the wineserver and X
#   sink           + tintora-rawsink.exe: the floor for a raw-input program
#   floor-change   + tintora-floor.exe instead of the label, every move onto a
#                  new colour: what the design itself costs
#   floor-same     the same, every move within one colour
#   label-change   + tintora.exe, every move onto a new colour
#   label-same     + tintora.exe, every move within one colour
#   label-change-diag  the label restarted with WINEDEBUG=-all,warn+seh, so
#                  its two diagnostic lines per colour are printed
#   label-fast     label-change at --fast-rate: the share of a core taken
# Wineserver and Xvfb time is split by difference: sink minus baseline is the
# sink's share, label and floor phases minus sink theirs. The label's CPU per
# event as a ratio to the floor's is the time it spends that the design does
# not require (about 1.0 when it does only what the design asks).
#
# Under Wine each SendInput move reaches the raw-input windows as about two
# WM_INPUT messages: the move, and the echo of the X pointer warp it causes
# (same position, so the label samples again and finds the colour unchanged).
# Figures are given per move and per WM_INPUT delivered (the sink counts them).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source-path=SCRIPTDIR source=../bench/wine/perf-lib.sh
source "$here/../bench/wine/perf-lib.sh"

events=4000
rate=200
fast_rate=1000
stages=0
tintora=""
drivers=""
out=""
args=("$@")
while [[ $# -gt 0 ]]; do
  case $1 in
    --events) events=$2; shift 2 ;;
    --rate) rate=$2; shift 2 ;;
    --fast-rate) fast_rate=$2; shift 2 ;;
    --stages) stages=1; shift ;;
    --tintora) tintora=$2; shift 2 ;;
    --drivers) drivers=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) perf_die "unknown argument $1 (see --help)" ;;
  esac
done
for v in "$events" "$rate" "$fast_rate"; do
  [[ $v =~ ^[0-9]+$ && $v -gt 0 ]] || perf_die "--events, --rate and --fast-rate take positive numbers"
done

perf_need_session "$0" "${args[@]}"
perf_resolve_tools "$tintora" "$drivers"
[[ -n $out ]] || out=$(mktemp -d "${TMPDIR:-/tmp}/tintora-event-cost.XXXXXX")
mkdir -p "$out"
trap 'proc_stop_recorded' EXIT
results=$out/results.txt
: >"$results"

patches_pid="" sink_pid="" label_pid=""
perf_start patches_pid "$out/patches" WINEDEBUG=-all -- "$DRIVER_DIR/tintora-patches.exe"
perf_wait_ready "$patches_pid" "$out/patches"
# Looked up once a Wine program runs: that one has started the server if needed.
ws_pid=$(perf_find_wineserver)
xvfb_pid=$(perf_find_xvfb)
[[ -n $ws_pid ]] || perf_die "no wineserver found for $WINEPREFIX"
perf_note "wineserver $ws_pid, Xvfb ${xvfb_pid:-not found}; logs in $out"
perf_note "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
sink_pid="" label_pid=""

ticks() { [[ -n $1 ]] && proc_cpu_ticks "$1" || echo 0; }

# measure NAME INJECT-ARGS...: one phase; writes NAME.<figure>=value lines.
measure() {
  local name=$1
  shift
  local roles=(label sink wineserver xvfb patches) pids=("$label_pid" "$sink_pid" "$ws_pid" "$xvfb_pid" "$patches_pid")
  local before=() after=() i start_ns end_ns
  local quiet=("$ws_pid")
  [[ -n $sink_pid ]] && quiet+=("$sink_pid")
  [[ -n $label_pid ]] && quiet+=("$label_pid")
  perf_wait_quiet "${quiet[@]}"
  for i in "${!pids[@]}"; do before[i]=$(ticks "${pids[i]}"); done
  start_ns=$(date +%s%N)
  WINEDEBUG=-all "$WINE" "$DRIVER_DIR/tintora-inject.exe" "$@" >"$out/$name.out" 2>"$out/$name.err" ||
    perf_die "phase $name failed: $(grep -E '^error=' "$out/$name.out" | head -n 3)"
  perf_wait_quiet "${quiet[@]}"
  end_ns=$(date +%s%N)
  for i in "${!pids[@]}"; do after[i]=$(ticks "${pids[i]}"); done
  {
    echo "$name.moves=$(sed -n 's/^events_sent=//p' "$out/$name.out")"
    echo "$name.delivered=$(sed -n 's/^sink_count=//p' "$out/$name.out")"
    echo "$name.rate_achieved=$(sed -n 's/^rate_achieved=//p' "$out/$name.out")"
    echo "$name.max_sync_ms=$(sed -n 's/^max_sync_ms=//p' "$out/$name.out")"
    echo "$name.wall_ms=$(((end_ns - start_ns) / 1000000))"
    for i in "${!roles[@]}"; do
      echo "$name.${roles[i]}_ms=$(((after[i] - before[i]) * 1000 / PERF_HZ))"
    done
  } >>"$results"
  perf_note "phase $name done: $(grep "^$name\." "$results" | sed "s/^$name\.//" | tr '\n' ' ')"
}

common=(--events "$events" --rate "$rate" --sync-every 0 --ping-every 0)
measure baseline --no-label "${common[@]}"

perf_start sink_pid "$out/sink" WINEDEBUG=-all -- "$DRIVER_DIR/tintora-rawsink.exe"
perf_wait_ready "$sink_pid" "$out/sink"
measure sink --no-label --sink "${common[@]}"

fonts=""
[[ -d $here/../resources/fonts ]] && fonts=$(cd "$here/../resources/fonts" && pwd)
font_args=()
[[ -n $fonts ]] && font_args=(--fonts "$(WINEDEBUG=-all winepath -w "$fonts" 2>/dev/null || echo "$fonts")")

# The design's floor stands where the label will stand: same class and title.
floor_pid=""
perf_start floor_pid "$out/floor" WINEDEBUG=-all -- "$DRIVER_DIR/tintora-floor.exe" "${font_args[@]}"
perf_wait_ready "$floor_pid" "$out/floor"
label_pid=$floor_pid
measure floor-change --sink --mode change "${common[@]}"
measure floor-same --sink --mode same "${common[@]}"
kill "$floor_pid" 2>/dev/null || true
wait "$floor_pid" 2>/dev/null || true
label_pid=""

perf_start label_pid "$out/tintora" WINEDEBUG=-all -- "$TINTORA_EXE"
measure label-change --sink --mode change "${common[@]}"
measure label-same --sink --mode same "${common[@]}"
measure label-fast --sink --mode change --events "$events" --rate "$fast_rate" --sync-every 0 --ping-every 0

# The same label with its diagnostic lines printed on the debug channel.
kill "$label_pid" 2>/dev/null || true
wait "$label_pid" 2>/dev/null || true
perf_start label_pid "$out/tintora-diag" WINEDEBUG=-all,warn+seh -- "$TINTORA_EXE"
measure label-change-diag --sink --mode change "${common[@]}"
echo "label-change-diag.colours_computed=$(grep -c 'OutputDebugStringA "R: ' "$out/tintora-diag.err" || true)" >>"$results"

if [[ $stages == 1 ]]; then
  stage_args=(--iterations 2000 "${font_args[@]}")
  WINEDEBUG=-all "$WINE" "$DRIVER_DIR/tintora-stagebench.exe" "${stage_args[@]}" >"$out/stages.out" \
    2>"$out/stages.err" || perf_note "the stage bench failed"
  WINEDEBUG=-all,warn+seh "$WINE" "$DRIVER_DIR/tintora-stagebench.exe" "${stage_args[@]}" 2>/dev/null |
    sed 's/^/diag-channel-on: /' >>"$out/stages.out" || true
fi
perf_note "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

# The report: per move and per WM_INPUT, label beside sink.
awk -F= -v fast="$fast_rate" '
  { split($1, k, "."); v[k[1], k[2]] = $2 }
  function per(total_ms, n) { return n > 0 ? total_ms * 1000.0 / n : 0 }
  END {
    printf "%-18s %7s %9s | %10s %10s %10s %10s | %s\n", "phase", "moves", "WM_INPUT",
           "process", "wineserver", "Xvfb", "sum", "us per move (per WM_INPUT)"
    n = split("sink floor-change floor-same label-change label-same label-change-diag label-fast", ph, " ")
    for (i = 1; i <= n; i++) {
      p = ph[i]; if (v[p, "moves"] == "") continue
      proc = (p == "sink") ? v[p, "sink_ms"] : v[p, "label_ms"]
      base = (p == "sink") ? "baseline" : "sink"
      ws = v[p, "wineserver_ms"] - v[base, "wineserver_ms"]
      x = v[p, "xvfb_ms"] - v[base, "xvfb_ms"]
      m = v[p, "moves"]; d = v[p, "delivered"]
      printf "%-18s %7d %9d | %7.0f us %7.0f us %7.0f us %7.0f us | (%.0f us per WM_INPUT)\n", p, m, d,
             per(proc, m), per(ws, m), per(x, m), per(proc + ws + x, m), per(proc + ws + x, d)
      total[p] = per(proc + ws + x, m); own[p] = per(proc, m)
    }
    if (own["sink"] > 0) {
      printf "ratio label-change / sink: process %.1fx, with wineserver and Xvfb shares %.1fx\n",
             own["label-change"] / own["sink"], total["label-change"] / total["sink"]
      printf "ratio label-same / sink:   process %.1fx, with wineserver and Xvfb shares %.1fx\n",
             own["label-same"] / own["sink"], total["label-same"] / total["sink"]
    }
    if (own["floor-change"] > 0 && own["floor-same"] > 0) {
      printf "ratio label-change / floor-change: process %.2fx, with wineserver and Xvfb shares %.2fx\n",
             own["label-change"] / own["floor-change"], total["label-change"] / total["floor-change"]
      printf "ratio label-same / floor-same:     process %.2fx, with wineserver and Xvfb shares %.2fx\n",
             own["label-same"] / own["floor-same"], total["label-same"] / total["floor-same"]
    }
    printf "a 1000 Hz mouse (1000 moves/s, as paced here): label process %.0f%% of one core, with its wineserver and Xvfb shares %.0f%%\n",
           own["label-change"] / 10.0, total["label-change"] / 10.0
    w = v["label-fast", "wall_ms"]
    # The phase lasts until the label has caught up with every move sent;
    # the label is mostly waiting on the wineserver and the X server then.
    if (w > 0) printf "label-fast sent at %s/s (achieved %s/s): the label caught up after %.1f s, %.0f moves/s; its CPU %.0f%% of that time, the wineserver %.0f%%\n",
           fast, v["label-fast", "rate_achieved"], w / 1000.0, v["label-fast", "moves"] * 1000.0 / w,
           100.0 * v["label-fast", "label_ms"] / w, 100.0 * v["label-fast", "wineserver_ms"] / w
    if (v["label-change-diag", "colours_computed"] != "")
      printf "label-change-diag computed %s colours for %s moves\n", v["label-change-diag", "colours_computed"], v["label-change-diag", "moves"]
  }' "$results" | tee "$out/summary.txt"
if [[ $stages == 1 && -f $out/stages.out ]]; then
  echo "--- stage timings (wall clock, us per call)"
  grep -E '^(diag-channel-on: )?stage=' "$out/stages.out"
fi
echo "logs=$out"
