#!/usr/bin/python3
"""Answers the screen-sharing dialog of xdg-desktop-portal-gnome on a headless
mutter, as a person would: with the pointer (mutter's remote desktop input)
and looking at the screen (its screencast).

  portal_consent.py accept|refuse [--timeout SECONDS] [--picture PATH.ppm]

Waits for the dialog (centred on the first monitor: a light header bar with
"Cancel" on the left and "Share" on the right), then either selects the first
monitor of its list and clicks "Share", or clicks "Cancel"; then waits until
the dialog is gone. Exit status 0 when it was answered, 1 when no dialog came
or it did not go away.
"""

import argparse
import sys
import time

from mutter_remote import Remote, Gst

# Offsets from the monitor's centre, in logical pixels, of the dialog of
# xdg-desktop-portal-gnome 43 (Adwaita, one monitor in the list).
HEADER = (-110, -128)  # between "Cancel" and the title
BODY = (0, 110)  # below the list
SHARE = (212, -128)
SHARE_FILL = (190, -120)  # the button's fill, beside its text
CANCEL = (-210, -128)
FIRST_ROW = (0, 25)


def is_header(rgb):
    return all(225 <= c <= 245 for c in rgb)


def is_body(rgb):
    return all(c >= 246 for c in rgb)


def is_share_enabled(rgb):
    r, g, b = rgb
    return b > 200 and r < 80 and g > 100  # Adwaita's suggested-action blue


def wait_for(condition, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.1)
    return False


def click(remote, x, y):
    # The pointer enters the button and GTK sees it there before the press;
    # a press sent with the motion in the same instant is lost.
    remote.move(x - 2, y)
    time.sleep(0.2)
    remote.move(x, y)
    time.sleep(0.2)
    remote.button("left", "click")


def answer(remote, accept, seconds, picture=None):
    m = remote.monitors[0]
    cx, cy = m.x + m.width / m.scale / 2, m.y + m.height / m.scale / 2

    # The dialog's logical pixels in desktop units (the monitor's pixels in
    # mutter's physical layout).
    size = m.monitor_scale / m.scale

    def at(offset):
        return cx + offset[0] * size, cy + offset[1] * size

    def shown():
        return is_header(remote.pixel(*at(HEADER))) and is_body(remote.pixel(*at(BODY)))

    if not wait_for(shown, seconds):
        print("portal_consent: no dialog within %g s" % seconds, file=sys.stderr)
        if picture:
            remote.grab(picture)
        return False
    if accept:
        # A click while the dialog still settles can be lost: try the row again.
        # The row toggles, so it is clicked again only while Share stays grey.
        for _ in range(3):
            click(remote, *at(FIRST_ROW))
            if wait_for(lambda: is_share_enabled(remote.pixel(*at(SHARE_FILL))), 3):
                break
        else:
            print("portal_consent: selecting the monitor did not enable Share", file=sys.stderr)
            if picture:
                remote.grab(picture)
            return False
    click(remote, *at(SHARE if accept else CANCEL))
    # Away from where the dialog was, so that the pointer shows no hover.
    remote.move(m.x + 1, m.y + 1)
    if not wait_for(lambda: not shown(), 5):
        print("portal_consent: the dialog is still there", file=sys.stderr)
        return False
    return True


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("answer", choices=["accept", "refuse"])
    parser.add_argument("--timeout", type=float, default=20)
    parser.add_argument("--picture", help="where to write the screen when the dialog cannot be answered")
    args = parser.parse_args()
    Gst.init(None)
    remote = Remote("hidden", True)
    try:
        return 0 if answer(remote, args.answer == "accept", args.timeout, args.picture) else 1
    finally:
        remote.close()


if __name__ == "__main__":
    sys.exit(main())
