#!/usr/bin/env bash
# Fails when a tracked C or C++ file is not formatted as .clang-format says,
# when a tracked Python file is not formatted as pyproject.toml says (black)
# or pyflakes finds anything in it, or when shellcheck finds anything in a
# tracked shell script.
#
# Usage: scripts/check-format.sh [--fix]
#   --fix   rewrite the C, C++ and Python files in place instead of failing
# The formatters are Debian's (clang-format-14, black) so that every machine
# formats alike.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

fix=0
[[ ${1:-} == --fix ]] && fix=1

formatter=clang-format-14
command -v "$formatter" >/dev/null || { echo "check-format: $formatter is not installed" >&2; exit 1; }
for tool in shellcheck black pyflakes3; do
  command -v "$tool" >/dev/null || { echo "check-format: $tool is not installed (scripts/setup.sh)" >&2; exit 1; }
done

mapfile -t sources < <(git ls-files -- '*.c' '*.cpp' '*.h')
mapfile -t scripts < <(git ls-files -- '*.sh')
mapfile -t pythons < <(git ls-files -- '*.py')

status=0
if [[ $fix == 1 ]]; then
  "$formatter" -i "${sources[@]}"
elif ! "$formatter" --dry-run --Werror "${sources[@]}"; then
  echo "check-format: the files above are not formatted; run scripts/check-format.sh --fix" >&2
  status=1
fi
if [[ $fix == 1 ]]; then
  black --quiet "${pythons[@]}"
elif ! black --check "${pythons[@]}"; then
  echo "check-format: the Python files above are not formatted; run scripts/check-format.sh --fix" >&2
  status=1
fi
if ! pyflakes3 "${pythons[@]}"; then
  echo "check-format: pyflakes found the problems above" >&2
  status=1
fi
if ! shellcheck -x "${scripts[@]}"; then
  echo "check-format: shellcheck found the problems above" >&2
  status=1
fi
[[ $status == 0 ]] &&
  echo "check-format: ${#sources[@]} C/C++ and ${#pythons[@]} Python files formatted, ${#scripts[@]} shell scripts clean"
exit "$status"
