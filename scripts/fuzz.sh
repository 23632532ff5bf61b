#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 30)
# Corpora grow in build/fuzz/corpus/<target>; crashes are written to
# build/fuzz/artifacts/ and make the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target fuzz_colour_pipeline fuzz_namer_input

mkdir -p build/fuzz/artifacts
run_target() {
  local target="$1" seeds="$2"
  local corpus="build/fuzz/corpus/$target"
  mkdir -p "$corpus"
  echo "== $target for ${seconds}s"
  "build/fuzz/tools/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="build/fuzz/artifacts/$target-" "$corpus" "$seeds" 2>&1 |
    grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)|ERROR|SUMMARY' || true
  # libFuzzer's exit status is lost in the pipe: a crash leaves an artifact.
  if compgen -G "build/fuzz/artifacts/$target-*" >/dev/null; then
    echo "$target: crash input saved in build/fuzz/artifacts/" >&2
    return 1
  fi
}

run_target fuzz_colour_pipeline tools/fuzz/seeds/colour
run_target fuzz_namer_input tools/fuzz/seeds/namer
echo "fuzzing: no crash"
