#!/usr/bin/env bash
# Builds the composite picture of the label from the end-to-end screenshots:
# one row at 96 DPI and one at 192 DPI, each label as captured, on the grey
# desktop colour the tests use.
#
#   make-composite.sh ARTIFACTS_DIR OUTPUT.png
#
# ARTIFACTS_DIR is where the e2e scenarios "colours" and "dpi192" left their
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

row_96=(startup-96dpi colour-ff0000 colour-ff8000 colour-ffff00 colour-00ffff colour-0000ff colour-ffc0cb
        colour-808000 colour-64646e colour-808080 colour-ffffff)
row_192=(startup-192dpi colour-ff0000-192dpi colour-00ffff-192dpi colour-808000-192dpi colour-64646e-192dpi
         colour-ffffff-192dpi)

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

make_row row96 "${row_96[@]}"
make_row row192 "${row_192[@]}"
"$convert" "$work/row96.png" "$work/row192.png" -background '#808080' -gravity west -append \
  -strip "$out"
echo "wrote $out"
