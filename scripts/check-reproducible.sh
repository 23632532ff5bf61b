#!/usr/bin/env bash
# Builds the release twice, from two clean copies of this checkout at
# different paths and at different times, and compares the results byte for
# byte: tintora.exe, tintora-name.exe, the zip, the installer and SHA256SUMS.
# Fails when any differs, or when a binary names either build path.
#
# Usage: scripts/check-reproducible.sh [--preset P] [--keep]
#   --preset P   the release preset (default: the one scripts/package.sh uses)
#   --keep       keep the two copies (printed at the end) instead of deleting them
# Environment: TINTORA_JOBS (default 2).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
repo=$(pwd)

preset=''
keep=0
while [[ $# -gt 0 ]]; do
  case $1 in
    --preset) preset=${2:?}; shift 2 ;;
    --keep) keep=1; shift ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "reproducible: unknown argument $1 (see --help)" >&2; exit 2 ;;
  esac
done
[[ -n $preset ]] || preset=$(sed -n 's/^preset=//p' scripts/package.sh | head -n 1)

die() { echo "reproducible: $*" >&2; exit 1; }

# Both builds stamp their files with the same time, as two builds of one
# commit do.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 1767225600)}
export SOURCE_DATE_EPOCH

work=$(mktemp -d "${TMPDIR:-/tmp}/tintora-reproducible.XXXXXX")
cleanup() { [[ $keep == 1 ]] || rm -rf "$work"; }
trap cleanup EXIT
# Different lengths and names, so that a path that leaks changes the bytes.
trees=("$work/a/src" "$work/second-checkout/tintora-source")

# The checkout's files (tracked and new, not ignored ones), not its build trees.
copy_checkout() {
  mkdir -p "$1"
  git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do [[ -e $f ]] && printf '%s\0' "$f"; done |
    tar -C "$repo" --null -T - -cf - | tar -C "$1" -xf -
}

i=0
for tree in "${trees[@]}"; do
  i=$((i + 1))
  copy_checkout "$tree"
  # The second copy's files are newer: file times must not matter.
  [[ $i == 1 ]] || { sleep 1; find "$tree" -exec touch {} +; }
  echo "reproducible: build $i of 2 in $tree ($preset)"
  (cd "$tree" && bash scripts/package.sh --preset "$preset" --build-dir "$tree/build" \
    >"$work/build-$i.log" 2>&1) || { tail -n 30 "$work/build-$i.log" >&2; die "build $i failed"; }
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "${trees[0]}/build/CMakeCache.txt")
files=("windows/tintora.exe" "tools/tintora-name.exe" "tintora-$version-win64.zip"
       "tintora-$version-setup.exe" "SHA256SUMS")
differ=0
for f in "${files[@]}"; do
  a=${trees[0]}/build/$f
  b=${trees[1]}/build/$f
  [[ -f $a && -f $b ]] || die "missing $f in one of the builds"
  ha=$(sha256sum "$a" | cut -d' ' -f1)
  hb=$(sha256sum "$b" | cut -d' ' -f1)
  if [[ $ha == "$hb" ]]; then
    echo "  same      $ha  $f"
  else
    echo "  DIFFERENT $ha / $hb  $f"
    differ=1
  fi
  for tree in "${trees[@]}"; do
    if grep -qaF -e "$tree" -e "${tree%/*}" "$a" "$b"; then
      echo "  $f names the build path $tree"
      differ=1
    fi
  done
done
[[ $keep == 0 ]] || echo "reproducible: kept $work"
[[ $differ == 0 ]] || die "the two builds differ"
echo "reproducible: both builds are identical"
