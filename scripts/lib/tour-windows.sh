# shellcheck shell=bash
# The tour's label kind "windows": tintora.exe under Wine, on the Wine test
# desktop. Sourced by scripts/tour.sh, which calls these functions; another
# kind provides the same set under its own prefix (tour_<kind>_...):
#
#   tour_<kind>_session            join or start the kind's display (may re-run the
#                                  tour inside it); set TOUR_BUILD_DIR
#   tour_<kind>_prepare            build what the kind needs; set TOUR_KIND_NOTE
#   tour_<kind>_start_patches S... show colour patches, each "X Y W H rrggbb",
#                                  on a dark background; return once they show
#   tour_<kind>_start_label        start the label; return once it shows
#   tour_<kind>_label_rect         print the visible label: "left top right bottom"
#   tour_<kind>_menu_rect          print the open context menu's rect (waits for it)
#   tour_<kind>_menu_item_centre N print "x y", the centre of menu item N (0-based);
#                                  nothing when the kind cannot tell (the tour then
#                                  takes the menu's rect, three items high)
#   tour_<kind>_about_rect         print the About box's rect (waits for it)
#   tour_<kind>_close_about        dismiss the About box
#   tour_<kind>_stop               end what the kind started
#
# Pointer input, screenshots and the picture are the tour's own (X11 for
# every kind). Every process started here is recorded and stopped by id.

# here, repo and args are the tour's own; TOUR_BUILD_DIR is read by it.
# shellcheck disable=SC2154,SC2034
tour_windows_session() {
  # Join a session, or start one of the tour's own around this script.
  export TINTORA_BUILD_DIR=${TINTORA_BUILD_DIR:-$repo/build/windows}
  if [[ -z ${TINTORA_WINE_SESSION:-} || -z ${DISPLAY:-} || -z ${WINE:-} ]]; then
    export TINTORA_WINEPREFIX=$TINTORA_BUILD_DIR/wineprefix-tour TINTORA_KEEP_REGISTRY=0
    exec bash "$here/wine-run.sh" --host -- bash "$0" "${args[@]}"
  fi
  TOUR_BUILD_DIR=$TINTORA_BUILD_DIR
}

tour_windows_prepare() {
  local build=$TINTORA_BUILD_DIR
  cmake --build "$build" --target tintora e2e_probe e2e_painter -j "${TINTORA_JOBS:-2}" >"$TOUR_WORK/build.log" 2>&1 ||
    { tail -n 20 "$TOUR_WORK/build.log" >&2; tour_die "building tintora.exe and the tour's helpers failed"; }
  TOUR_WINDOWS_EXE=$build/windows/tintora.exe
  TOUR_WINDOWS_PROBE=$build/tests/e2e/e2e_probe.exe
  TOUR_WINDOWS_PAINTER=$build/tests/e2e/e2e_painter.exe
  local f
  for f in "$TOUR_WINDOWS_EXE" "$TOUR_WINDOWS_PROBE" "$TOUR_WINDOWS_PAINTER"; do
    [[ -f $f ]] || tour_die "missing $f"
  done
  # Read by scripts/tour.sh for the picture's title.
  # shellcheck disable=SC2034
  TOUR_KIND_NOTE="tintora.exe under Wine, at 150 %"
}

# tour_windows_probe ARGS...: one JSON line of e2e_probe.
tour_windows_probe() {
  "$WINE" "$TOUR_WINDOWS_PROBE" "$@" 2>/dev/null | grep '^{' | tail -n 1
}

# tour_windows_json_rect KEY: reads a JSON line on stdin, prints rect KEY as 4 numbers.
tour_windows_json_rect() {
  python3 -c 'import json, sys
d = json.loads(sys.stdin.read() or "{}")
r = d.get(sys.argv[1])
print(" ".join(map(str, r)) if d.get("found") == 1 and r else "")' "$1"
}

tour_windows_start_patches() {
  local pid args=(--bg 202020 --title "Tintora tour patches")
  local patch
  for patch in "$@"; do
    # shellcheck disable=SC2206
    args+=($patch)
  done
  proc_start pid "$TOUR_WORK/painter" -- "$WINE" "$TOUR_WINDOWS_PAINTER" "${args[@]}"
  tour_wait 20 grep -q '^ready' "$TOUR_WORK/painter.out" || tour_die "the patch window did not show"
}

tour_windows_start_label() {
  # A clean start: no saved position, no startup entry (the tour's own prefix),
  # at 150 % scale so that the qualifier reads well in the picture.
  tour_windows_probe reg clear >/dev/null || true
  tour_windows_probe reg set-logpixels 144 >/dev/null || true
  # shellcheck disable=SC2034  # set through proc_start's first argument
  local pid
  proc_start pid "$TOUR_WORK/tintora" WINEDEBUG=-all -- "$WINE" "$TOUR_WINDOWS_EXE"
  [[ -n $(tour_windows_probe window --wait 20000 | tour_windows_json_rect rect) ]] ||
    tour_die "no label window appeared"
}

tour_windows_label_rect() {
  local json rect region
  json=$(tour_windows_probe window)
  rect=$(tour_windows_json_rect rect <<<"$json")
  region=$(tour_windows_json_rect region <<<"$json")
  [[ -n $rect && -n $region ]] || return 1
  # The visible label: the window's top-left corner and the region's extent.
  read -r l t _ _ <<<"$rect"
  read -r _ _ rr rb <<<"$region"
  echo "$l $t $((l + rr)) $((t + rb))"
}

tour_windows_menu_rect() {
  tour_windows_probe menu --wait 5000 | tour_windows_json_rect rect
}

tour_windows_menu_item_centre() {
  tour_windows_probe menu --wait 5000 | tee "$TOUR_WORK/menu.json" | python3 -c 'import json, sys
d = json.loads(sys.stdin.read() or "{}")
items = d.get("items") or []
n = int(sys.argv[1])
if d.get("found") == 1 and n < len(items):
    l, t, r, b = items[n]["rect"]
    print((l + r) // 2, (t + b) // 2)' "$1"
}

tour_windows_about_rect() {
  tour_windows_probe about --wait 5000 | tour_windows_json_rect rect
}

tour_windows_close_about() {
  tour_windows_probe about --dismiss >/dev/null || true
}

tour_windows_stop() {
  tour_windows_probe close >/dev/null 2>&1 || true
  proc_stop_recorded
  tour_windows_probe reg set-logpixels 96 >/dev/null 2>&1 || true
}
