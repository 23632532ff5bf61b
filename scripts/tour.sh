#!/usr/bin/env bash
# A tour of the label for newcomers, on a virtual display: shows a few colour
# patches, drags the label onto each, moves the real pointer beside it and
# takes the label's picture; then opens the right-click menu and the About
# box. Everything goes into one picture (ImageMagick), and the tour says where.
#
# Usage: scripts/tour.sh [--kind x11|windows] [--out FILE.png]
#   --kind K    which label to show: x11 (default), the native Linux label on a
#               private Xvfb display with openbox; windows, tintora.exe under
#               Wine on the Wine test desktop (a session it joins or starts).
#               scripts/lib/tour-K.sh provides it.
#   --out FILE  the picture (default <build>/tour.png: build/native or build/windows)
# Each kind uses settings of its own (a home or a prefix in the build tree), so
# no saved setting of yours is read or changed.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)

kind=x11
out=''
args=("$@")
while [[ $# -gt 0 ]]; do
  case $1 in
    --kind) kind=${2:?--kind needs a name}; shift 2 ;;
    --out) out=$(realpath -m "${2:?--out needs a file}"); shift 2 ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "tour: unknown argument $1 (see --help)" >&2; exit 2 ;;
  esac
done
[[ -f $here/lib/tour-$kind.sh ]] || { echo "tour: no label kind '$kind' ($here/lib/tour-$kind.sh)" >&2; exit 2; }

tour_die() { echo "tour: $*" >&2; exit 1; }
tour_note() { echo "tour: $*" >&2; }
# tour_wait SECONDS COMMAND...: polls COMMAND until it succeeds.
tour_wait() {
  local seconds=$1 i
  shift
  for ((i = 0; i < seconds * 10; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# shellcheck source=lib/processes.sh
source "$here/lib/processes.sh"
# shellcheck source=lib/tour-windows.sh
source "$here/lib/tour-$kind.sh"
kind_call() { "tour_${kind}_$1" "${@:2}"; }

# The kind's display: joined or started (sets TOUR_BUILD_DIR).
kind_call session
[[ -n $out ]] || out=$TOUR_BUILD_DIR/tour.png

# The parts of the picture and the programs' output stay here for a look.
TOUR_WORK=$TOUR_BUILD_DIR/tour-parts
rm -rf "$TOUR_WORK"
mkdir -p "$TOUR_WORK"
trap 'kind_call stop' EXIT

# The colours shown, with the patch each gets: 3 x 2 patches of 240 x 150.
colours=(ff8000 808000 0080ff ffc0cb 64646e 00ff00)
patch_w=240 patch_h=150
patch_x() { echo $((52 + ($1 % 3) * 320)); }
patch_y() { echo $((150 + ($1 / 3) * 260)); }

shot() { import -display "$DISPLAY" -window root "$1"; }
# pixel FILE X Y: the pixel's colour as rrggbb.
pixel() { convert "$1" -crop "1x1+$2+$3" +repage -depth 8 -format '%[hex:p{0,0}]' info: | tr 'A-F' 'a-f'; }
# The pointer, with a small relative move at the end: X test input, so the
# raw-input path sees a real movement.
point_at() { xdotool mousemove "$1" "$2" sleep 0.05 mousemove_relative -- 1 0 sleep 0.05 mousemove_relative -- -1 0; }
caption_font=$repo/resources/fonts/EncodeSansCondensed_700Bold.ttf

kind_call prepare
patches=()
for i in "${!colours[@]}"; do
  patches+=("$(patch_x "$i") $(patch_y "$i") $patch_w $patch_h ${colours[$i]}")
done
kind_call start_patches "${patches[@]}"
kind_call start_label
xdotool mousemove 1000 740

read -r l t r b < <(kind_call label_rect) || tour_die "cannot read the label's place"
tour_note "label at $l,$t ($((r - l)) x $((b - t)))"

crops=()
for i in "${!colours[@]}"; do
  px=$(patch_x "$i") py=$(patch_y "$i") colour=${colours[$i]}
  w=$((r - l)) h=$((b - t))
  # Drag the label by a point near its left edge to the top of the patch.
  tx=$((px + (patch_w - w) / 2)) ty=$((py + 24))
  xdotool mousemove $((l + 6)) $((t + h / 2)) mousedown 1 sleep 0.1 \
    mousemove $((l + 40)) $((t + h / 2 + 20)) sleep 0.1 \
    mousemove $((tx + 6)) $((ty + h / 2)) sleep 0.2 mouseup 1
  moved() { local rect; rect=$(kind_call label_rect) && [[ $rect == "$tx $ty "* ]]; }
  tour_wait 10 moved || tour_note "the label did not follow the drag to $tx,$ty"
  read -r l t r b < <(kind_call label_rect)
  # The pointer on the patch below the label: the label takes the patch's colour.
  point_at $((px + patch_w / 2)) $((py + patch_h - 30))
  shown() {
    shot "$TOUR_WORK/shot.png"
    [[ $(pixel "$TOUR_WORK/shot.png" $((l + 3)) $((t + 3))) == "$colour" ]]
  }
  tour_wait 10 shown || tour_note "the label did not take #$colour"
  sleep 0.3
  shot "$TOUR_WORK/shot.png"
  convert "$TOUR_WORK/shot.png" -crop "$((patch_w + 24))x$((patch_h + 24))+$((px - 12))+$((py - 12))" +repage \
    -background '#202020' -fill '#d0d0d0' -font "$caption_font" -pointsize 18 \
    label:"#$colour" -gravity center -append "$TOUR_WORK/colour-$i.png"
  crops+=("$TOUR_WORK/colour-$i.png")
done

# The right-click menu, opened near the label's bottom-left corner so that it
# leaves most of the label in view.
xdotool mousemove $((l + 4)) $((b - 3)) click 3
read -r ml mt mr mb < <(kind_call menu_rect) || tour_die "the menu did not open"
sleep 0.3
shot "$TOUR_WORK/shot.png"
left=$((l < ml ? l : ml)) top=$((t < mt ? t : mt))
right=$((r > mr ? r : mr)) bottom=$((b > mb ? b : mb))
convert "$TOUR_WORK/shot.png" -crop "$((right - left + 24))x$((bottom - top + 24))+$((left - 12))+$((top - 12))" +repage \
  -background '#202020' -fill '#d0d0d0' -font "$caption_font" -pointsize 18 \
  label:"right-click: the menu" -gravity center -append "$TOUR_WORK/menu.png"

# The About box, from the menu's second item.
kind_call menu_item_centre 1 >"$TOUR_WORK/about-item.txt" || true
if ! read -r ax ay <"$TOUR_WORK/about-item.txt"; then
  # "Launch on startup", "About", "Exit": the middle of the second third.
  ax=$(((ml + mr) / 2)) ay=$((mt + (mb - mt) / 2))
fi
xdotool mousemove "$ax" "$ay" sleep 0.2 click 1
kind_call about_rect >/dev/null || tour_die "the About box did not open"
# Read again once it has settled: a window manager may still place it.
sleep 0.5
read -r bl bt br bb < <(kind_call about_rect) || tour_die "the About box went away"
shot "$TOUR_WORK/shot.png"
convert "$TOUR_WORK/shot.png" -crop "$((br - bl + 24))x$((bb - bt + 24))+$((bl - 12))+$((bt - 12))" +repage \
  -background '#202020' -fill '#d0d0d0' -font "$caption_font" -pointsize 18 \
  label:"About" -gravity center -append "$TOUR_WORK/about.png"
kind_call close_about

# One picture: the colours in two rows, the menu and the About box below.
mkdir -p "$(dirname "$out")"
# tiles OUT IN...: the pictures side by side, a margin round each.
tiles() { convert -background '#202020' -bordercolor '#202020' "${@:2}" -border 8 -gravity center +append "$1"; }
tiles "$TOUR_WORK/row1.png" "${crops[@]:0:3}"
tiles "$TOUR_WORK/row2.png" "${crops[@]:3}"
tiles "$TOUR_WORK/row3.png" "$TOUR_WORK/menu.png" "$TOUR_WORK/about.png"
# ImageMagick reads % in a label as an escape.
note=${TOUR_KIND_NOTE//%/%%}
convert -background '#202020' -fill white -font "$caption_font" -pointsize 26 \
  label:"Tintora names the colour under the pointer" \
  -fill '#a0a0a0' -pointsize 18 label:"$note: the label dragged onto each patch, the pointer below it" \
  "$TOUR_WORK/row1.png" "$TOUR_WORK/row2.png" "$TOUR_WORK/row3.png" \
  -gravity center -append -bordercolor '#202020' -border 16 "$out"
echo "tour: picture saved to $out"
