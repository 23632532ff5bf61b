#!/usr/bin/python3
"""Shows mutter's monitors, or sets the scale of each, through
org.gnome.Mutter.DisplayConfig on the session bus (DBUS_SESSION_BUS_ADDRESS).

  mutter-display.py              one line per monitor: connector, mode, position, scale, supported scales
  mutter-display.py --scale S    every monitor at scale S (temporary configuration); fails when a
                                 monitor's mode does not offer S (mutter keeps each logical monitor at
                                 least 800 x 480 logical pixels)
"""

import argparse
import sys

from gi.repository import Gio, GLib

DEST = "org.gnome.Mutter.DisplayConfig"
PATH = "/org/gnome/Mutter/DisplayConfig"
METHOD_TEMPORARY = 1
LAYOUT_LOGICAL = 1


def current_state(bus):
    reply = bus.call_sync(DEST, PATH, DEST, "GetCurrentState", None, None, Gio.DBusCallFlags.NONE, 5000, None)
    serial, monitors, logical, properties = reply.unpack()
    return serial, monitors, logical, properties


def current_mode(modes):
    for mode in modes:
        if mode[6].get("is-current"):
            return mode
    raise SystemExit("mutter-display: a monitor has no current mode")


def describe(bus):
    _, monitors, logical, properties = current_state(bus)
    print("layout-mode %s" % properties.get("layout-mode"))
    for (connector, _, _, _), modes, _ in monitors:
        mode = current_mode(modes)
        place = [lm for lm in logical if any(m[0] == connector for m in lm[5])]
        x, y, scale = (place[0][0], place[0][1], place[0][2]) if place else (0, 0, 0)
        scales = " ".join("%g" % s for s in mode[5])
        print("%s %dx%d at %d,%d scale %g (supported: %s)" % (connector, mode[1], mode[2], x, y, scale, scales))


def set_scale(bus, scale):
    serial, monitors, logical, properties = current_state(bus)
    logical_layout = properties.get("layout-mode") == LAYOUT_LOGICAL
    config = []
    x = 0
    for (connector, _, _, _), modes, _ in monitors:
        mode = current_mode(modes)
        supported = mode[5]
        match = [s for s in supported if abs(s - scale) < 0.01]
        if not match:
            raise SystemExit(
                "mutter-display: %s at %dx%d offers scales %s, not %g"
                % (connector, mode[1], mode[2], ", ".join("%g" % s for s in supported), scale)
            )
        primary = not config
        config.append((x, 0, match[0], 0, primary, [(connector, mode[0], {})]))
        # Monitors side by side, in logical pixels when mutter lays them out so.
        x += int(round(mode[1] / match[0])) if logical_layout else mode[1]
    bus.call_sync(
        DEST,
        PATH,
        DEST,
        "ApplyMonitorsConfig",
        GLib.Variant("(uua(iiduba(ssa{sv}))a{sv})", (serial, METHOD_TEMPORARY, config, {})),
        None,
        Gio.DBusCallFlags.NONE,
        5000,
        None,
    )


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--scale", type=float)
    args = parser.parse_args()
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    if args.scale is not None:
        set_scale(bus, args.scale)
    describe(bus)
    return 0


if __name__ == "__main__":
    sys.exit(main())
