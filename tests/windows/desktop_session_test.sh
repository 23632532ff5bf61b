#!/usr/bin/env bash
# Host-side check of the Wine test session as a desktop script test sees it:
# its environment, the virtual desktop on the display, screenshots, and Wine
# programs passing on their output and exit codes.
set -euo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }

for var in DISPLAY WINEPREFIX WINE WINESERVER TINTORA_SCREENSHOT TINTORA_WINE_SESSION \
           TINTORA_BUILD_DIR TINTORA_SOURCE_DIR; do
  [[ -n ${!var:-} ]] || fail "$var is not set"
done
[[ -f $TINTORA_WINE_SESSION ]] || fail "no state file at $TINTORA_WINE_SESSION"
[[ $WINEPREFIX == "$TINTORA_BUILD_DIR"/* ]] || fail "prefix $WINEPREFIX is outside the build tree"
[[ $WINEDLLOVERRIDES == *mscoree,mshtml=* ]] || fail "WINEDLLOVERRIDES lacks mscoree,mshtml="

# The virtual desktop fills the display at its origin.
xwininfo -display "$DISPLAY" -root -children | grep -q '"Default - Wine desktop".* 1024x768+0+0' ||
  fail "no 1024x768 Wine virtual desktop at +0+0 on $DISPLAY"

shot=$TINTORA_BUILD_DIR/test-artifacts/wine-desktop.png
rm -f "$shot"
"$TINTORA_SCREENSHOT" "$shot"
[[ $(identify -format '%wx%h' "$shot") == 1024x768 ]] || fail "screenshot is not 1024x768"

out=$("$WINE" cmd /c echo tintora-probe | tr -d '\r')
[[ $out == tintora-probe ]] || fail "stdout of a Wine program not passed on (got '$out')"
rc=0
"$WINE" cmd /c exit 7 || rc=$?
[[ $rc == 7 ]] || fail "exit code 7 came back as $rc"

echo "desktop session OK: $DISPLAY, $WINEPREFIX"
