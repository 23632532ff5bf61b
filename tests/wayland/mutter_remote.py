#!/usr/bin/python3
"""Input and pictures on a headless mutter, for the Wayland tests.

Opens one org.gnome.Mutter.RemoteDesktop session and, linked to it, one
org.gnome.Mutter.ScreenCast session recording every monitor (the cursor left
out of the pictures), on the session bus of DBUS_SESSION_BUS_ADDRESS. The
pictures come from the screencast's PipeWire nodes (GStreamer's pipewiresrc).
Then it reads commands, one a line, on standard input and answers each with
one line, "ok ..." or "error ...":

  monitors                 one "monitor CONNECTOR NODE X Y W H UNIT SCALE" line per monitor, then "ok":
                           its rectangle in desktop coordinates (logical pixels in mutter's logical
                           layout, the monitor's pixels in its physical one, as Xwayland's root),
                           stream pixels per desktop unit, and mutter's scale of the monitor
  move X Y                 the pointer to (X, Y) in desktop coordinates
  button B press|release|click   B: left, middle, right or an evdev code
  key K press|release|tap  K: a keysym name (Return, Escape, Tab, a, ...) or a number
  sweep X Y COUNT RATE     COUNT moves alternating between (X, Y) and (X + 1, Y), RATE a second,
                           paced to absolute deadlines: "ok SECONDS" (the time they took)
  scroll STEPS             discrete vertical wheel steps (positive: down)
  grab PATH                the latest picture of every monitor, side by side as laid out, as one
                           binary PPM at stream resolution: "ok SEQ W H" (SEQ counts the frames seen)
  wait-frame SEQ SECONDS   until a frame newer than SEQ has come: "ok SEQ"
  quit                     ends the sessions and the program

Usage: mutter_remote.py [--cursor hidden|embedded] [--no-pictures]
  --cursor        the cursor in the pictures: hidden (the default) or embedded
  --no-pictures   input only: the screencast is opened (absolute motion needs its stream) but never
                  read, so mutter records no frames for it (for measurements of another reader)
"""

import argparse
import os
import sys
import threading
import time

import gi

gi.require_version("Gst", "1.0")
gi.require_version("GstApp", "1.0")
from gi.repository import Gio, GLib, Gst  # noqa: E402

RD = "org.gnome.Mutter.RemoteDesktop"
SC = "org.gnome.Mutter.ScreenCast"
DC = "org.gnome.Mutter.DisplayConfig"
CURSOR_MODES = {"hidden": 0, "embedded": 1, "metadata": 2}
BUTTONS = {"left": 0x110, "right": 0x111, "middle": 0x112}
AXIS_VERTICAL = 0
LAYOUT_LOGICAL = 1


class Monitor:
    def __init__(self, connector, x, y, width, height, scale, monitor_scale):
        self.connector = connector
        self.x, self.y, self.width, self.height = x, y, width, height
        self.scale = scale  # stream pixels per desktop unit
        self.monitor_scale = monitor_scale  # mutter's scale of the monitor
        self.stream_path = None
        self.node = None
        self.frame = None  # (width, height, RGB bytes)
        self.pipeline = None


class Remote:
    def __init__(self, cursor_mode, pictures):
        self.pictures = pictures
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        self.loop = GLib.MainLoop()
        self.seq = 0
        self.lock = threading.Lock()
        self.monitors = self._monitors()
        rd_path = self._call(RD, "/org/gnome/Mutter/RemoteDesktop", RD, "CreateSession", None)[0]
        self.rd_session = rd_path
        session_id = self._property(RD, rd_path, RD + ".Session", "SessionId")
        options = GLib.Variant("(a{sv})", ({"remote-desktop-session-id": GLib.Variant("s", session_id)},))
        self.sc_session = self._call(SC, "/org/gnome/Mutter/ScreenCast", SC, "CreateSession", options)[0]
        for monitor in self.monitors:
            props = {"cursor-mode": GLib.Variant("u", CURSOR_MODES[cursor_mode])}
            args = GLib.Variant("(sa{sv})", (monitor.connector, props))
            monitor.stream_path = self._call(SC, self.sc_session, SC + ".Session", "RecordMonitor", args)[0]
            self.bus.signal_subscribe(
                SC,
                SC + ".Stream",
                "PipeWireStreamAdded",
                monitor.stream_path,
                None,
                Gio.DBusSignalFlags.NONE,
                self._on_stream_added,
                monitor,
            )
        # Starting the remote desktop session starts the linked screencast too.
        self._call(RD, rd_path, RD + ".Session", "Start", None)
        if pictures:
            self._run_until(lambda: all(m.frame for m in self.monitors), 20, "the first frame of every monitor")
        else:
            self._run_until(lambda: all(m.node for m in self.monitors), 20, "the stream of every monitor")

    def _call(self, dest, path, interface, method, args):
        reply = self.bus.call_sync(dest, path, interface, method, args, None, Gio.DBusCallFlags.NONE, 10000, None)
        return reply.unpack() if reply is not None else ()

    def _property(self, dest, path, interface, name):
        args = GLib.Variant("(ss)", (interface, name))
        return self._call(dest, path, "org.freedesktop.DBus.Properties", "Get", args)[0]

    def _monitors(self):
        _, monitors, logical, properties = self._call(
            DC, "/org/gnome/Mutter/DisplayConfig", DC, "GetCurrentState", None
        )
        # Desktop coordinates are logical pixels in mutter's logical layout mode
        # (fractional scales), the monitors' pixels in its physical one (integer
        # scales, where Xwayland's root has the monitors' pixels too).
        logical_layout = properties.get("layout-mode") == LAYOUT_LOGICAL
        result = []
        for x, y, scale, _, _, members, _ in logical:
            for connector, _, _, _ in members:
                mode = [m for mon in monitors if mon[0][0] == connector for m in mon[1] if m[6].get("is-current")]
                width, height = mode[0][1], mode[0][2]
                units = scale if logical_layout else 1
                result.append(Monitor(connector, x, y, width, height, units, scale))
        return result

    def _on_stream_added(self, _bus, _sender, _path, _iface, _signal, params, monitor):
        monitor.node = params.unpack()[0]
        if not self.pictures:
            return
        pipeline = Gst.parse_launch(
            "pipewiresrc path=%d always-copy=true ! videoconvert ! video/x-raw,format=RGB ! "
            "appsink name=sink emit-signals=true max-buffers=1 drop=true sync=false" % monitor.node
        )
        pipeline.get_by_name("sink").connect("new-sample", self._on_sample, monitor)
        pipeline.set_state(Gst.State.PLAYING)
        monitor.pipeline = pipeline

    def _on_sample(self, sink, monitor):
        sample = sink.emit("pull-sample")
        caps = sample.get_caps().get_structure(0)
        width, height = caps.get_value("width"), caps.get_value("height")
        buffer = sample.get_buffer()
        ok, info = buffer.map(Gst.MapFlags.READ)
        if ok:
            stride = len(info.data) // height
            data = info.data
            if stride != width * 3:
                data = b"".join(data[y * stride : y * stride + width * 3] for y in range(height))
            else:
                data = bytes(data)
            buffer.unmap(info)
            # On GStreamer's streaming thread: the newest frame replaces the last.
            with self.lock:
                monitor.frame = (width, height, data)
                self.seq += 1
        return Gst.FlowReturn.OK

    def _run_until(self, condition, seconds, what):
        context = self.loop.get_context()
        deadline = time.monotonic() + seconds
        while not condition():
            if time.monotonic() > deadline:
                raise RuntimeError("timed out waiting for " + what)
            context.iteration(True) if context.pending() else time.sleep(0.005)

    # Commands ------------------------------------------------------------

    def monitor_at(self, x, y):
        for m in self.monitors:
            width, height = m.width / m.scale, m.height / m.scale
            if m.x <= x < m.x + width and m.y <= y < m.y + height:
                return m
        return self.monitors[0]

    def move(self, x, y):
        m = self.monitor_at(x, y)
        # Stream coordinates: the monitor's pixels.
        sx, sy = (x - m.x) * m.scale, (y - m.y) * m.scale
        args = GLib.Variant("(sdd)", (m.stream_path, sx, sy))
        self._call(RD, self.rd_session, RD + ".Session", "NotifyPointerMotionAbsolute", args)

    def sweep(self, x, y, count, rate):
        began = time.monotonic()
        for i in range(count):
            delay = began + i / rate - time.monotonic()
            if delay > 0:
                time.sleep(delay)
            self.move(x + (i & 1), y)
        return "%.3f" % (time.monotonic() - began)

    def button(self, name, action):
        code = BUTTONS.get(name) or int(name, 0)
        for pressed in {"press": [True], "release": [False], "click": [True, False]}[action]:
            args = GLib.Variant("(ib)", (code, pressed))
            self._call(RD, self.rd_session, RD + ".Session", "NotifyPointerButton", args)

    def key(self, name, action):
        keysym = int(name, 0) if name[0].isdigit() else Gdk_keysym(name)
        for pressed in {"press": [True], "release": [False], "tap": [True, False]}[action]:
            args = GLib.Variant("(ub)", (keysym, pressed))
            self._call(RD, self.rd_session, RD + ".Session", "NotifyKeyboardKeysym", args)

    def scroll(self, steps):
        args = GLib.Variant("(ui)", (AXIS_VERTICAL, steps))
        self._call(RD, self.rd_session, RD + ".Session", "NotifyPointerAxisDiscrete", args)

    def grab(self, path):
        if not self.pictures:
            raise ValueError("started with --no-pictures")
        with self.lock:
            frames = [m.frame for m in self.monitors]
            seq = self.seq
        width = sum(f[0] for f in frames)
        height = max(f[1] for f in frames)
        rows = []
        for y in range(height):
            row = b""
            for w, h, data in frames:
                row += data[y * w * 3 : (y + 1) * w * 3] if y < h else bytes(w * 3)
            rows.append(row)
        with open(path + ".part", "wb") as out:
            out.write(b"P6\n%d %d\n255\n" % (width, height))
            out.write(b"".join(rows))
        os.replace(path + ".part", path)
        return "%d %d %d" % (seq, width, height)

    def pixel(self, x, y):
        """The colour at (x, y), desktop logical coordinates, in the latest frame."""
        m = self.monitor_at(x, y)
        with self.lock:
            width, height, data = m.frame
        px = min(width - 1, int((x - m.x) * m.scale))
        py = min(height - 1, int((y - m.y) * m.scale))
        i = (py * width + px) * 3
        return tuple(data[i : i + 3])

    def wait_frame(self, seq, seconds):
        self._run_until(lambda: self.seq > seq, seconds, "a new frame")
        return str(self.seq)

    def close(self):
        for m in self.monitors:
            if m.pipeline:
                m.pipeline.set_state(Gst.State.NULL)
        try:
            self._call(RD, self.rd_session, RD + ".Session", "Stop", None)
        except GLib.Error:
            pass


def Gdk_keysym(name):
    gi.require_version("Gdk", "3.0")
    from gi.repository import Gdk

    value = Gdk.keyval_from_name(name)
    if value == 0xFFFFFF or value == 0:
        raise ValueError("unknown key name " + name)
    return value


def serve(remote):
    for line in sys.stdin:
        words = line.split()
        if not words:
            continue
        try:
            command = words[0]
            answer = ""
            if command == "monitors":
                for m in remote.monitors:
                    print(
                        "monitor %s %d %d %d %d %d %g %g"
                        % (
                            m.connector,
                            m.node,
                            m.x,
                            m.y,
                            m.width / m.scale,
                            m.height / m.scale,
                            m.scale,
                            m.monitor_scale,
                        )
                    )
            elif command == "move":
                remote.move(float(words[1]), float(words[2]))
            elif command == "sweep":
                answer = remote.sweep(float(words[1]), float(words[2]), int(words[3]), float(words[4]))
            elif command == "button":
                remote.button(words[1], words[2])
            elif command == "key":
                remote.key(words[1], words[2])
            elif command == "scroll":
                remote.scroll(int(words[1]))
            elif command == "grab":
                answer = remote.grab(words[1])
            elif command == "wait-frame":
                answer = remote.wait_frame(int(words[1]), float(words[2]))
            elif command == "quit":
                print("ok", flush=True)
                return
            else:
                raise ValueError("unknown command " + command)
            print(("ok " + answer).strip(), flush=True)
        except (ValueError, IndexError, KeyError, RuntimeError, GLib.Error) as error:
            print("error %s" % error, flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cursor", choices=["hidden", "embedded"], default="hidden")
    parser.add_argument("--no-pictures", action="store_true")
    args = parser.parse_args()
    Gst.init(None)
    remote = Remote(args.cursor, not args.no_pictures)
    print("ready", flush=True)
    try:
        serve(remote)
    finally:
        remote.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
