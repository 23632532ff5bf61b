#!/usr/bin/python3
"""Paints a picture over the whole desktop, for the Wayland tests: a
fullscreen GTK 3 window, a Wayland window by default (GDK_BACKEND=x11 makes it
an Xwayland one), which shows a binary PPM picture pixel for pixel from the
monitor's top-left corner, whatever the monitor's scale (the window is drawn
at the device's resolution).

  wl_painter.py PICTURE.ppm [--blink HZ] [--ready FILE]

--blink HZ   inverts the 64 x 64 pixels at the top-left corner HZ times a second, so that the
             screen changes at a known rate
--ready FILE written (with the window's size in pixels) once the first frame is drawn
SIGHUP reads the picture again; SIGTERM ends the program.
"""

import argparse
import os
import signal
import sys

import gi

# Before GTK starts: a Wayland window unless the caller asks for another.
os.environ.setdefault("GDK_BACKEND", "wayland")
gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, GdkPixbuf, GLib, Gtk  # noqa: E402


class Painter:
    def __init__(self, path, blink, ready):
        self.path = path
        self.ready = ready
        self.inverted = False
        self.pixbuf = None
        self.load()
        self.window = Gtk.Window(title="tintora test patches")
        self.window.set_decorated(False)
        self.window.connect("destroy", Gtk.main_quit)
        self.area = Gtk.DrawingArea()
        self.area.connect("draw", self.draw)
        self.window.add(self.area)
        self.window.fullscreen()
        self.window.show_all()
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGHUP, self.reload)
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, self.quit)
        if blink:
            GLib.timeout_add(max(1, round(1000 / blink)), self.blink)

    def load(self):
        self.pixbuf = GdkPixbuf.Pixbuf.new_from_file(self.path)

    def reload(self):
        self.load()
        self.area.queue_draw()
        return True

    def quit(self):
        Gtk.main_quit()
        return False

    def blink(self):
        self.inverted = not self.inverted
        self.area.queue_draw_area(0, 0, 64, 64)
        return True

    def draw(self, widget, cr):
        scale = widget.get_scale_factor()
        cr.save()
        # One picture pixel to one device pixel.
        cr.scale(1 / scale, 1 / scale)
        Gdk.cairo_set_source_pixbuf(cr, self.pixbuf, 0, 0)
        cr.get_source().set_filter(0)  # cairo.FILTER_FAST: no smoothing
        cr.paint()
        if self.inverted:
            cr.set_source_rgb(1, 1, 1)
            cr.set_operator(23)  # cairo.OPERATOR_DIFFERENCE
            cr.rectangle(0, 0, 64, 64)
            cr.fill()
        cr.restore()
        if self.ready and not os.path.exists(self.ready):
            allocation = widget.get_allocation()
            with open(self.ready + ".part", "w") as out:
                out.write("%d %d %d\n" % (allocation.width * scale, allocation.height * scale, scale))
            os.replace(self.ready + ".part", self.ready)
        return False


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("picture")
    parser.add_argument("--blink", type=float, default=0)
    parser.add_argument("--ready")
    args = parser.parse_args()
    Painter(args.picture, args.blink, args.ready)
    Gtk.main()
    return 0


if __name__ == "__main__":
    sys.exit(main())
