#!/usr/bin/env bash
# Started by the compositor of a headless Wayland desktop (scripts/lib/wayland-session.sh)
# once its Wayland socket and Xwayland are up: writes the compositor's
# WAYLAND_DISPLAY, DISPLAY and XAUTHORITY, and this process's session id (KWin
# starts its programs in a session of their own), to $WORK/log/compositor.env,
# passes them to D-Bus activation (so that the portal back ends it starts find
# the compositor), and stays: mutter and KWin end when it ends.
set -euo pipefail
log=$WORK/log
read -r -a stat <"/proc/$$/stat"
printf 'WAYLAND_DISPLAY=%s\nDISPLAY=%s\nXAUTHORITY=%s\nCHILD_SID=%s\n' \
  "${WAYLAND_DISPLAY:-}" "${DISPLAY:-}" "${XAUTHORITY:-}" "${stat[5]}" >"$log/compositor.env.part"
dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY XAUTHORITY
mv "$log/compositor.env.part" "$log/compositor.env"
exec sleep infinity
