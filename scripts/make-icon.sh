#!/usr/bin/env bash
# Draws the application icon and writes resources/tintora.ico.
#
# The motif is a luggage-style tag: a light label end with a punched hole and a
# body of three colour stripes, all inside a strong dark outline, so the shape
# still reads at 16 px. Every size is drawn on its own pixel grid (outline
# widths and stripe edges fall on whole pixels), rendered k times larger and
# box-filtered down, which keeps the small sizes crisp instead of blurred.
#
#   scripts/make-icon.sh [--keep DIR]   --keep leaves the per-size PNGs in DIR
#
# Needs ImageMagick and icoutils (icotool). Output is reproducible: the PNGs
# carry no timestamps or text chunks.
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="$repo_root/resources/tintora.ico"
keep=''
if [[ "${1:-}" == --keep ]]; then keep="${2:?--keep needs a directory}"; fi

# Prefer ImageMagick's own binaries over a generic 'convert' on the PATH.
im=''
for c in magick convert-im6.q16 convert-im6 convert; do
  if command -v "$c" >/dev/null; then im=$(command -v "$c"); break; fi
done
[[ -n "$im" ]] || { echo "make-icon.sh: ImageMagick is required" >&2; exit 1; }
command -v icotool >/dev/null || { echo "make-icon.sh: icotool (icoutils) is required" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

OUTLINE='#1d1b22'
LABEL='#f6f2e8'
STRIPES=('#e5433b' '#2fae55' '#2f78e0')
SIZES=(16 24 32 40 48 64 96 128 256)

# Outline width per size, in pixels: heavy at small sizes where it carries the
# shape, relatively lighter at large sizes.
outline_width() {
  case "$1" in
    16) echo 1 ;; 24) echo 2 ;; 32) echo 2 ;; 40) echo 3 ;; 48) echo 3 ;;
    64) echo 4 ;; 96) echo 5 ;; 128) echo 6 ;; 256) echo 11 ;;
    *) echo "make-icon.sh: no outline width for $1" >&2; exit 1 ;;
  esac
}

draw_size() {
  local s=$1 w k
  w=$(outline_width "$s")
  k=$(( 2 * (512 / s) )); (( k >= 4 )) || k=4
  local big=$(( s * k ))

  # Geometry, in target pixels. The path runs along the middle of the outline,
  # so the outline's outer edge lands on whole pixels.
  local geo
  geo=$(awk -v s="$s" -v w="$w" -v k="$k" 'BEGIN {
    h = w / 2
    top = int(s * 0.16 + 0.5); bot = s - top          # outer edges
    yt = top + h; yb = bot - h; ym = s / 2
    m = (s >= 48) ? int(s / 32) : 0                   # side margin of large sizes
    xl = m + h; xr = s - m - h
    xs = m + int(s * 0.33 + 0.5) + h                  # shoulder of the tag
    r  = s * 0.13; if (r < 1.5) r = 1.5               # right corner radius
    # Stripes fill the body from just past the shoulder to the inner right
    # edge, in three equal whole-pixel widths.
    inner = s - m - w
    sw = int((inner - (xs + h)) / 3); x0 = inner - 3 * sw
    hole_r = (s >= 40) ? s * 0.055 : s * 0.075
    hx = (xl + xs) / 2 + s * 0.035
    ring = w * 0.8; if (ring < 1) ring = 1
    f = "%.3f"
    printf "K=%d\n", k
    printf "PATH=\"M " f "," f " L " f "," f " L " f "," f " A " f "," f " 0 0,1 " f "," f \
           " L " f "," f " A " f "," f " 0 0,1 " f "," f " L " f "," f " Z\"\n", \
      xl*k, ym*k, xs*k, yt*k, (xr-r)*k, yt*k, r*k, r*k, xr*k, (yt+r)*k, \
      xr*k, (yb-r)*k, r*k, r*k, (xr-r)*k, yb*k, xs*k, yb*k
    for (i = 0; i < 3; i++) printf "STRIPE%d=\"%d,0 %d,%d\"\n", i, (x0+i*sw)*k, (x0+(i+1)*sw)*k - 1, s*k
    printf "HOLE=\"" f "," f " " f "," f "\"\n", hx*k, ym*k, (hx+hole_r)*k, ym*k
    printf "RINGC=\"" f "," f " " f "," f "\"\n", hx*k, ym*k, (hx+hole_r+ring/2)*k, ym*k
    printf "STROKE=" f "\nRING=" f "\n", w*k, ring*k
  }')
  # K is part of the geometry the awk program prints for eval.
  # shellcheck disable=SC2034
  local K PATH STRIPE0 STRIPE1 STRIPE2 HOLE RINGC STROKE RING
  eval "$geo"

  # Content: light label and stripes, clipped to the tag shape; then the
  # outline along the path; then the hole. Below 40 px a punched hole turns to
  # mush, so it is a solid dark dot there.
  local hole_op
  if (( s >= 40 )); then
    hole_op=(\( -size "${big}x${big}" xc:none -fill black -draw "circle ${HOLE}" \)
             -compose DstOut -composite -compose Over
             -fill none -stroke "$OUTLINE" -strokewidth "$RING" -draw "circle ${RINGC}")
  else
    hole_op=(-fill "$OUTLINE" -stroke none -draw "circle ${HOLE}")
  fi
  "$im" -size "${big}x${big}" xc:"$LABEL" \
    -fill "${STRIPES[0]}" -draw "rectangle ${STRIPE0}" \
    -fill "${STRIPES[1]}" -draw "rectangle ${STRIPE1}" \
    -fill "${STRIPES[2]}" -draw "rectangle ${STRIPE2}" \
    \( -size "${big}x${big}" xc:none -fill white -draw "path '${PATH}'" \) \
    -alpha set -compose DstIn -composite -compose Over \
    -fill none -stroke "$OUTLINE" -strokewidth "$STROKE" -draw "stroke-linejoin round path '${PATH}'" \
    "${hole_op[@]}" \
    -filter Box -resize "${s}x${s}" \
    -strip -define png:exclude-chunks=date,time PNG32:"$work/icon-$s.png"
}

# At 16 px every pixel is placed by hand: . clear, K outline, a outline at
# low opacity (softens the diagonal steps), W label, R G B stripes.
ICON16=(
  '................'
  '................'
  '....aKKKKKKKKKa.'
  '...aKWRRRGGGBBBK'
  '..aKWWRRRGGGBBBK'
  '.aKWWWRRRGGGBBBK'
  'aKWWWWRRRGGGBBBK'
  'KWWKKWRRRGGGBBBK'
  'KWWKKWRRRGGGBBBK'
  'aKWWWWRRRGGGBBBK'
  '.aKWWWRRRGGGBBBK'
  '..aKWWRRRGGGBBBK'
  '...aKWRRRGGGBBBK'
  '....aKKKKKKKKKa.'
  '................'
  '................'
)

hex_rgb() { printf '%d,%d,%d' "0x${1:1:2}" "0x${1:3:2}" "0x${1:5:2}"; }

draw_pixels() { # size rows...
  local s=$1; shift
  local txt="$work/icon-$s.txt" y=0 row x c rgba
  local k w r g b
  k=$(hex_rgb "$OUTLINE"); w=$(hex_rgb "$LABEL")
  r=$(hex_rgb "${STRIPES[0]}"); g=$(hex_rgb "${STRIPES[1]}"); b=$(hex_rgb "${STRIPES[2]}")
  echo "# ImageMagick pixel enumeration: $s,$s,255,srgba" >"$txt"
  for row in "$@"; do
    (( ${#row} == s )) || { echo "make-icon.sh: row $y of the $s px map is ${#row} wide" >&2; exit 1; }
    for (( x = 0; x < s; x++ )); do
      c=${row:x:1}
      case "$c" in
        .) rgba="0,0,0,0" ;; K) rgba="$k,255" ;; a) rgba="$k,80" ;; W) rgba="$w,255" ;;
        R) rgba="$r,255" ;; G) rgba="$g,255" ;; B) rgba="$b,255" ;;
        *) echo "make-icon.sh: unknown pixel '$c' in the $s px map" >&2; exit 1 ;;
      esac
      echo "$x,$y: ($rgba)" >>"$txt"
    done
    y=$(( y + 1 ))
  done
  (( y == s )) || { echo "make-icon.sh: the $s px map has $y rows" >&2; exit 1; }
  "$im" "txt:$txt" -strip -define png:exclude-chunks=date,time PNG32:"$work/icon-$s.png"
}

pngs=()
for s in "${SIZES[@]}"; do
  if (( s == 16 )); then draw_pixels 16 "${ICON16[@]}"; else draw_size "$s"; fi
  pngs+=(-r "$work/icon-$s.png")
done

icotool -c -o "$work/tintora.ico" "${pngs[@]}"

# Check what was written before replacing the committed icon.
listing=$(icotool -l "$work/tintora.ico")
count=$(grep -c -- '--bit-depth=32' <<<"$listing" || true)
if (( count != ${#SIZES[@]} )); then
  echo "make-icon.sh: expected ${#SIZES[@]} 32-bit images, got:" >&2
  echo "$listing" >&2
  exit 1
fi
corner=$("$im" "$work/icon-256.png" -format '%[fx:int(255*p{0,0}.a)]' info:)
if [[ "$corner" != 0 ]]; then
  echo "make-icon.sh: the icon background is not transparent (ImageMagick flattened it?)" >&2
  exit 1
fi

if [[ -n "$keep" ]]; then mkdir -p "$keep"; cp "$work"/icon-*.png "$keep/"; fi
cp "$work/tintora.ico" "$out"
echo "Wrote $out"
echo "$listing"
