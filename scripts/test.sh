#!/usr/bin/env bash
# The one test command: installs what is missing, then configures, builds and
# runs the tests of the native, sanitize, windows (g++) and windows-clang
# presets (the Windows tests run under Wine on a private virtual desktop; the
# windows-clang preset runs all but the end-to-end and soak tests, and checks
# that two release builds are identical). Fails when any step fails.
#
# Usage: scripts/test.sh [PRESET...]      (default: format native sanitize fuzz windows windows-clang)
#   "format" checks the C/C++ formatting and the shell scripts (scripts/check-format.sh);
#   "fuzz" is a bounded run of each libFuzzer target (scripts/fuzz.sh).
# Environment: TINTORA_JOBS (default 2) - parallel build and test jobs;
#   TINTORA_FUZZ_SECONDS (default 20) - time for each fuzz target.
# Logs: build/test-logs/<preset>.log
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
repo=$(pwd)

jobs=${TINTORA_JOBS:-2}
presets=("$@")
[[ ${#presets[@]} -gt 0 ]] || presets=(format native sanitize fuzz windows windows-clang)

bash scripts/setup.sh || { echo "test: setup failed" >&2; exit 1; }

logs=$repo/build/test-logs
mkdir -p "$logs"

# If a Wine session of the windows build is left over (interrupted run), or
# this run is interrupted, stop it: it holds an X display and Wine processes.
stop_wine() {
  local tree
  for tree in "$repo"/build/windows*; do
    if [[ -f $tree/wineprefix-session/session.env ]]; then
      TINTORA_BUILD_DIR=$tree bash scripts/wine-desktop.sh stop >/dev/null 2>&1 || true
    fi
  done
}
trap stop_wine EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

declare -A result
total_tests=0
total_failed=0
failed_presets=0

for preset in "${presets[@]}"; do
  dir=$repo/build/$preset
  log=$logs/$preset.log
  : >"$log"
  # A cache written for another checkout (a moved or copied tree) cannot be reused.
  if [[ -f $dir/CMakeCache.txt ]] &&
     ! grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=$repo" "$dir/CMakeCache.txt"; then
    echo "test: $dir belongs to another source tree; starting it afresh"
    rm -rf "$dir"
  fi
  if [[ $preset == format ]]; then
    echo
    echo "==== format: clang-format and shellcheck"
    total_tests=$((total_tests + 1))
    if bash scripts/check-format.sh 2>&1 | tee -a "$log"; [[ ${PIPESTATUS[0]} -eq 0 ]]; then
      result[$preset]="passed: formatting and shell scripts clean"
    else
      result[$preset]="FAILED: unformatted code or shellcheck findings"
      total_failed=$((total_failed + 1))
      failed_presets=$((failed_presets + 1))
    fi
    continue
  fi
  if [[ $preset == fuzz ]]; then
    echo
    echo "==== fuzz: ${TINTORA_FUZZ_SECONDS:-20}s per target"
    total_tests=$((total_tests + 2))
    if bash scripts/fuzz.sh "${TINTORA_FUZZ_SECONDS:-20}" 2>&1 | tee -a "$log"; [[ ${PIPESTATUS[0]} -eq 0 ]]; then
      result[$preset]="passed: 2 fuzz targets, no crash"
    else
      result[$preset]="FAILED: a fuzz target crashed or did not build"
      total_failed=$((total_failed + 2))
      failed_presets=$((failed_presets + 1))
    fi
    continue
  fi
  echo
  echo "==== $preset: configure"
  if ! cmake --preset "$preset" 2>&1 | tee -a "$log"; then
    result[$preset]="configure FAILED"; failed_presets=$((failed_presets + 1)); continue
  fi
  echo "==== $preset: build"
  if ! cmake --build --preset "$preset" -j "$jobs" 2>&1 | tee -a "$log"; then
    result[$preset]="build FAILED"; failed_presets=$((failed_presets + 1)); continue
  fi
  echo "==== $preset: test"
  ctest --preset "$preset" -j "$jobs" --no-tests=error 2>&1 | tee -a "$log"
  rc=${PIPESTATUS[0]}
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [[ $line =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
    total_failed=$((total_failed + BASH_REMATCH[1]))
    total_tests=$((total_tests + BASH_REMATCH[2]))
  fi
  if [[ $rc -eq 0 ]]; then
    result[$preset]="passed: ${line:-no summary}"
  else
    result[$preset]="tests FAILED: ${line:-ctest exit code $rc}"
    failed_presets=$((failed_presets + 1))
  fi
done

echo
echo "==== Summary"
for preset in "${presets[@]}"; do
  printf '  %-14s %s\n' "$preset" "${result[$preset]:-not run}"
done
echo "  logs in $logs"
echo
# The last line keeps ctest's own summary form, over every preset's tests.
if [[ $total_tests -gt 0 ]]; then
  echo "All presets together:"
  echo "$(( (total_tests - total_failed) * 100 / total_tests ))% tests passed, $total_failed tests failed out of $total_tests"
fi
if [[ $failed_presets -gt 0 ]]; then
  echo "test: $failed_presets preset(s) FAILED" >&2
  exit 1
fi
