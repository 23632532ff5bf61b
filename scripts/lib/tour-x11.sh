# shellcheck shell=bash
# The tour's label kind "x11": the native Linux label on a private Xvfb
# display with the openbox window manager (scripts/x11-desktop.sh). Sourced by
# scripts/tour.sh; the functions are described in scripts/lib/tour-windows.sh.

# here, repo and args are the tour's own; TOUR_BUILD_DIR is read by it.
# shellcheck disable=SC2154,SC2034
tour_x11_session() {
  TOUR_BUILD_DIR=${TINTORA_NATIVE_BUILD_DIR:-$repo/build/native}
  TOUR_X11_STATE=$TOUR_BUILD_DIR/tour-session/state
  bash "$repo/scripts/x11-desktop.sh" start "$TOUR_X11_STATE" >/dev/null ||
    tour_die "no private X display could be started"
  DISPLAY=$(sed -n 's/^DISPLAY=//p' "$TOUR_X11_STATE")
  export DISPLAY
}

tour_x11_prepare() {
  cmake --build "$TOUR_BUILD_DIR" --target tintora -j "${TINTORA_JOBS:-2}" >"$TOUR_WORK/build.log" 2>&1 ||
    { tail -n 20 "$TOUR_WORK/build.log" >&2; tour_die "building the label failed"; }
  TOUR_X11_LABEL=$TOUR_BUILD_DIR/x11/tintora
  [[ -x $TOUR_X11_LABEL ]] || tour_die "missing $TOUR_X11_LABEL"
  # Read by scripts/tour.sh for the picture's title.
  # shellcheck disable=SC2034
  TOUR_KIND_NOTE="the Linux label (X11), at 150 %"
}

tour_x11_start_patches() {
  local draw=(-size 1024x768 xc:'#202020') patch x y w h colour
  for patch in "$@"; do
    read -r x y w h colour <<<"$patch"
    draw+=(-fill "#$colour" -draw "rectangle $x,$y $((x + w - 1)),$((y + h - 1))")
  done
  convert "${draw[@]}" "$TOUR_WORK/desktop.ppm"
  # display(1) paints the root and then answers 1 all the same: the screen is
  # looked at instead.
  display -window root "$TOUR_WORK/desktop.ppm" 2>/dev/null || true
  read -r x y w h colour <<<"$1"
  shot "$TOUR_WORK/desktop-shown.png"
  [[ $(pixel "$TOUR_WORK/desktop-shown.png" $((x + 1)) $((y + 1))) == "$colour" ]] ||
    tour_die "the patches could not be shown"
}

tour_x11_start_label() {
  # A clean start: a home of the tour's own (no saved position, no startup
  # entry), at 150 % scale so that the qualifier reads well in the picture.
  local home=$TOUR_WORK/home
  mkdir -p "$home/.config"
  echo 'Xft.dpi: 144' | xrdb -nocpp -load - || tour_die "the scale could not be set"
  # shellcheck disable=SC2034  # set through proc_start's first argument
  local pid
  proc_start pid "$TOUR_WORK/tintora" HOME="$home" XDG_CONFIG_HOME="$home/.config" NO_AT_BRIDGE=1 \
    -- "$TOUR_X11_LABEL"
  tour_wait 20 tour_x11_label_rect >/dev/null || tour_die "no label window appeared"
}

# tour_x11_geometry ID [frame]: "left top right bottom" of a window; with
# "frame", the window manager's frame around it too (_NET_FRAME_EXTENTS).
tour_x11_geometry() {
  local info x y w h left=0 right=0 top=0 bottom=0 extents
  info=$(xwininfo -id "$1" 2>/dev/null) || return 1
  [[ $info == *'Map State: IsViewable'* ]] || return 1
  x=$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$info")
  y=$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$info")
  w=$(sed -n 's/^ *Width: *//p' <<<"$info")
  h=$(sed -n 's/^ *Height: *//p' <<<"$info")
  if [[ -n ${2:-} ]]; then
    extents=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p' | tr -d ' ')
    [[ $extents =~ ^[0-9]+,[0-9]+,[0-9]+,[0-9]+$ ]] && IFS=, read -r left right top bottom <<<"$extents"
  fi
  echo "$((x - left)) $((y - top)) $((x + w + right)) $((y + h + bottom))"
}

tour_x11_label_rect() {
  local tree id
  tree=$(xwininfo -root -tree 2>/dev/null) || return 1
  id=$(sed -n 's/^ *\(0x[0-9a-f]*\) "Tintora": ("tintora" "Tintora").*/\1/p' <<<"$tree" | head -n 1)
  [[ -n $id ]] && tour_x11_geometry "$id"
}

# GTK's popup: an override-redirect child of the root with the label's class.
tour_x11_menu_rect() {
  local i children geometry
  for ((i = 0; i < 50; i++)); do
    children=$(xwininfo -root -children 2>/dev/null) || children=''
    geometry=$(sed -n 's/^ *0x[0-9a-f]* "tintora": ("tintora" "Tintora") *\([0-9]*\)x\([0-9]*\)+\(-\{0,1\}[0-9]*\)+\(-\{0,1\}[0-9]*\).*/\1 \2 \3 \4/p' \
      <<<"$children" | awk '$1 > 20 { print; exit }')
    if [[ -n $geometry ]]; then
      read -r w h x y <<<"$geometry"
      echo "$x $y $((x + w)) $((y + h))"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# GTK's menu gives no item places to read from outside: the tour takes the
# menu's rect, three items high.
tour_x11_menu_item_centre() { return 1; }

tour_x11_about_id() { xdotool search --name '^About$' 2>/dev/null | tail -n 1; }

tour_x11_about_rect() {
  local i id
  for ((i = 0; i < 50; i++)); do
    id=$(tour_x11_about_id)
    # With the window manager's frame, as a person sees the box.
    if [[ -n $id ]] && tour_x11_geometry "$id" frame; then return 0; fi
    sleep 0.1
  done
  return 1
}

tour_x11_close_about() {
  local id
  id=$(tour_x11_about_id)
  [[ -z $id ]] || xdotool windowactivate --sync "$id" key Escape 2>/dev/null || true
}

tour_x11_stop() {
  proc_stop_recorded
  [[ -z ${TOUR_X11_STATE:-} ]] || bash "$repo/scripts/x11-desktop.sh" stop "$TOUR_X11_STATE" >/dev/null 2>&1 || true
}
