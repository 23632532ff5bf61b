#!/usr/bin/env bash
# Builds the composite picture of the label from the end-to-end screenshots:
# one row at 96 DPI and one at 144 DPI, each label as captured, on the grey
# desktop colour the tests use.
#
#   make-composite.sh ARTIFACTS_DIR OUTPUT.png
#
# ARTIFACTS_DIR is where the e2e scenarios "colours" and "colours144" left their
# screenshots (build/windows/e2e-artifacts).
set -euo pipefail

if [[ $# -ne 2 ]]; then
  echo "usage: make-composite.sh ARTIFACTS_DIR OUTPUT.png" >&2
  exit 2
fi
art=$1
out=$2
convert=/usr/bin/convert
[[ -x $convert ]] || convert=convert

row_96=(startup-96dpi colour-ff0000 colour-ff8000 colour-ffff00 colour-00ffff colour-ffc0cb
        colour-808000 colour-64646e colour-808080 colour-ffffff)
row_144=(colour-ff0000-144dpi colour-ff8000-144dpi colour-00ffff-144dpi colour-00e0ff-144dpi
         colour-808000-144dpi colour-64646e-144dpi colour-808080-144dpi colour-ffffff-144dpi)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One row: the labels side by side with a gap, then a margin around the row.
make_row() {
  local name=$1
  shift
  local files=()
  for tag in "$@"; do
    local file="$art/$tag.png"
    if [[ ! -f $file ]]; then
      echo "make-composite.sh: $file is missing (run the e2e scenarios first)" >&2
      exit 1
    fi
    files+=("$file")
  done
  local spaced=()
  for file in "${files[@]}"; do
    spaced+=("(" "$file" -bordercolor '#808080' -border 6x0 ")")
  done
  "$convert" "${spaced[@]}" -background '#808080' -gravity center +append \
    -bordercolor '#808080' -border 10x10 "$work/$name.png"
}

# Rows of at most five labels, the 96 DPI ones above the 144 DPI ones; the
# whole picture is then doubled (nearest neighbour) so the pixels stay visible.
rows=()
add_rows() {
  local prefix=$1
  shift
  local tags=("$@")
  local i=0
  while [[ $i -lt ${#tags[@]} ]]; do
    make_row "$prefix-$i" "${tags[@]:$i:5}"
    rows+=("$work/$prefix-$i.png")
    i=$((i + 5))
  done
}
add_rows a96 "${row_96[@]}"
add_rows b144 "${row_144[@]}"
"$convert" "${rows[@]}" -background '#808080' -gravity west -append \
  -filter point -resize 200% -strip "$out"
echo "wrote $out"
