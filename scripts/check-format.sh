#!/usr/bin/env bash
# Fails when a tracked C or C++ file is not formatted as .clang-format says,
# or when shellcheck finds anything in a tracked shell script.
#
# Usage: scripts/check-format.sh [--fix]
#   --fix   rewrite the C and C++ files in place instead of failing
# The formatter is pinned (clang-format-14, Debian's default) so that every
# machine formats alike.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

fix=0
[[ ${1:-} == --fix ]] && fix=1

formatter=clang-format-14
command -v "$formatter" >/dev/null || { echo "check-format: $formatter is not installed" >&2; exit 1; }
command -v shellcheck >/dev/null || { echo "check-format: shellcheck is not installed" >&2; exit 1; }

mapfile -t sources < <(git ls-files -- '*.c' '*.cpp' '*.h')
mapfile -t scripts < <(git ls-files -- '*.sh')

status=0
if [[ $fix == 1 ]]; then
  "$formatter" -i "${sources[@]}"
elif ! "$formatter" --dry-run --Werror "${sources[@]}"; then
  echo "check-format: the files above are not formatted; run scripts/check-format.sh --fix" >&2
  status=1
fi
if ! shellcheck -x "${scripts[@]}"; then
  echo "check-format: shellcheck found the problems above" >&2
  status=1
fi
[[ $status == 0 ]] && echo "check-format: ${#sources[@]} C/C++ files formatted, ${#scripts[@]} shell scripts clean"
exit "$status"
