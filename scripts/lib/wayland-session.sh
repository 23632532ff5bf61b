#!/usr/bin/env bash
# The inside of one headless Wayland desktop (scripts/wayland-desktop.sh runs
# it inside dbus-run-session, with a clean environment): PipeWire, WirePlumber,
# the compositor with Xwayland, then xdg-desktop-portal. Writes the session's
# assignments to $WORK/log/ready when the desktop is up, then waits for the
# compositor. The environment gives DESKTOP (gnome|kde|sway), SIZE (WxH),
# SCALE, WORK and LIB (this folder).
set -euo pipefail

log=$WORK/log
width=${SIZE%x*}
height=${SIZE#*x}
socket=wayland-tintora
# One program without arguments: KWin takes every argument for a program of its own.
child=$LIB/wayland-compositor-child.sh

case $DESKTOP in
  gnome) export XDG_CURRENT_DESKTOP=GNOME ;;
  kde)
    export XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5
    # KWin's fake input and screencast interfaces without a per-client check.
    export KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 QT_QPA_PLATFORM=wayland
    ;;
  sway)
    export XDG_CURRENT_DESKTOP=sway
    export WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1
    ;;
esac
# Settings in a key file of the session's own home, never a user's dconf.
export GSETTINGS_BACKEND=keyfile
dbus-update-activation-environment --all

pipewire >"$log/pipewire.log" 2>&1 &
for _ in $(seq 100); do
  [[ -S $XDG_RUNTIME_DIR/pipewire-0 ]] && break
  sleep 0.05
done
wireplumber >"$log/wireplumber.log" 2>&1 &

case $DESKTOP in
  gnome)
    if [[ $SCALE == *.* && ${SCALE#*.} != 0 && ${SCALE#*.} != 00 ]]; then
      # Fractional scales need mutter's logical layout.
      mkdir -p "$XDG_CONFIG_HOME/glib-2.0/settings"
      printf "[org/gnome/mutter]\nexperimental-features=['scale-monitor-framebuffer']\n" \
        >"$XDG_CONFIG_HOME/glib-2.0/settings/keyfile"
    fi
    mutter --headless --virtual-monitor "$SIZE" --wayland --wayland-display "$socket" -- "$child" \
      >"$log/compositor.log" 2>&1 &
    ;;
  kde)
    kwin_wayland --virtual --xwayland --socket "$socket" --width "$width" --height "$height" --scale "$SCALE" \
      --no-lockscreen --no-global-shortcuts --no-kactivities -- "$child" >"$log/compositor.log" 2>&1 &
    ;;
  sway)
    mkdir -p "$XDG_CONFIG_HOME/sway"
    cat >"$XDG_CONFIG_HOME/sway/config" <<EOF
output HEADLESS-1 resolution $SIZE scale $SCALE
xwayland force
exec $child
EOF
    sway --config "$XDG_CONFIG_HOME/sway/config" >"$log/compositor.log" 2>&1 &
    ;;
esac
compositor=$!

for _ in $(seq 300); do
  [[ -s $log/compositor.env ]] && break
  kill -0 "$compositor" 2>/dev/null || { echo "the compositor ended" >&2; exit 1; }
  sleep 0.1
done
[[ -s $log/compositor.env ]] || { echo "the compositor did not start its child" >&2; exit 1; }
# shellcheck disable=SC1091
source "$log/compositor.env"
export WAYLAND_DISPLAY DISPLAY XAUTHORITY
[[ -n $DISPLAY ]] || { echo "the compositor started no Xwayland" >&2; exit 1; }

# Xwayland: the compositor's child of that name (mutter writes its own pid in the X lock).
xwayland_pid=''
for _ in $(seq 100); do
  for stat in /proc/[0-9]*/stat; do
    read -r pid comm _ ppid _ <"$stat" 2>/dev/null || continue
    [[ $comm == "(Xwayland)" && $ppid == "$compositor" ]] && xwayland_pid=$pid
  done
  [[ -n $xwayland_pid ]] && break
  sleep 0.05
done

if [[ $DESKTOP == gnome && $SCALE != 1 ]]; then
  /usr/bin/python3 "$LIB/mutter-display.py" --scale "$SCALE" || { echo "mutter refused scale $SCALE" >&2; exit 1; }
fi

# The portal (activated by this call, with the back end of XDG_CURRENT_DESKTOP).
gdbus call --session --dest org.freedesktop.portal.Desktop --object-path /org/freedesktop/portal/desktop \
  --method org.freedesktop.DBus.Properties.Get org.freedesktop.portal.ScreenCast AvailableCursorModes \
  >"$log/portal-cursor-modes" 2>&1 || echo "the portal did not answer (see $log/portal-cursor-modes)" >&2

printf '%s=%s\n' WAYLAND_DISPLAY "$WAYLAND_DISPLAY" DISPLAY "$DISPLAY" XAUTHORITY "$XAUTHORITY" \
  DBUS_SESSION_BUS_ADDRESS "$DBUS_SESSION_BUS_ADDRESS" XDG_RUNTIME_DIR "$XDG_RUNTIME_DIR" \
  XDG_CURRENT_DESKTOP "$XDG_CURRENT_DESKTOP" COMPOSITOR_PID "$compositor" XWAYLAND_PID "$xwayland_pid" \
  CHILD_SID "$CHILD_SID" \
  SCALE "$SCALE" SIZE "$SIZE" >"$log/ready.part"
mv "$log/ready.part" "$log/ready"
wait "$compositor"
