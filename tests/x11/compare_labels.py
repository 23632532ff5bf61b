#!/usr/bin/env python3
"""The Linux label against the Windows label: the screenshots that the two
end-to-end runs kept of the label over the same colour at the same scale
must show the same size, fill, frame and text grey, and the texts in the
same place (their ink within a pixel of each other).

  compare_labels.py --windows DIR --x11 DIR

DIR are the artefact folders of the Windows scenarios (colour-RRGGBB.png,
colour-RRGGBB-144dpi.png) and of the X11 ones (x11-colour-RRGGBB.png,
x11-colour-RRGGBB-144.png). Exit 0 same, 1 different, 77 when the X11
pictures are not there (the native preset's tests have not run).
"""

import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

from e2e_lib import Image, convert_binary
from label_checks import NAMED_COLOURS, rgb_of


def load(path):
    blob = subprocess.run([convert_binary(), path, "ppm:-"], capture_output=True, check=True, timeout=60).stdout
    return Image.from_ppm(blob)


def looks(image, rgb):
    """Size, the edge's colours, the fill, the text grey (the one of the
    label's two, 51 or 255, that is drawn) and the box of the ink."""
    w, h = image.width, image.height
    edge = {image.pixel(x, y) for x in range(w) for y in (0, h - 1)} | {
        image.pixel(x, y) for y in range(h) for x in (0, w - 1)
    }
    inner = [image.pixel(x, y) for y in range(1, h - 1) for x in range(1, w - 1)]
    fill = max(set(inner), key=inner.count)
    grey = max((51, 255), key=lambda g: inner.count((g, g, g)))
    # Ink: a quarter of the way from the fill to the text grey or more (the
    # smallest qualifiers are drawn faint).
    quarter = max(abs(grey - c) for c in rgb) / 4
    ink = [
        (x, y)
        for y in range(1, h - 1)
        for x in range(1, w - 1)
        if max(abs(a - b) for a, b in zip(image.pixel(x, y), rgb)) > quarter
    ]
    box = (
        (min(x for x, _ in ink), min(y for _, y in ink), max(x for x, _ in ink), max(y for _, y in ink))
        if ink
        else None
    )
    return {"size": (w, h), "edge": edge, "fill": fill, "grey": grey, "box": box}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--windows", required=True)
    parser.add_argument("--x11", required=True)
    args = parser.parse_args()
    pairs = [("colour-%s.png" % c, "x11-colour-%s.png" % c, c, 96) for c in NAMED_COLOURS]
    pairs += [("colour-%s-144dpi.png" % c, "x11-colour-%s-144.png" % c, c, 144) for c in NAMED_COLOURS]
    compared = 0
    failures = []
    for windows_name, x11_name, colour, dpi in pairs:
        windows_path = os.path.join(args.windows, windows_name)
        x11_path = os.path.join(args.x11, x11_name)
        if not (os.path.exists(windows_path) and os.path.exists(x11_path)):
            continue
        rgb = rgb_of(colour)
        win, lin = looks(load(windows_path), rgb), looks(load(x11_path), rgb)
        compared += 1
        problems = []
        if win["size"] != lin["size"]:
            problems.append("size %s on Windows, %s on X11" % (win["size"], lin["size"]))
        # The Windows scenario checked its picture against the label's core;
        # the X11 picture must show the same.
        if len(win["edge"]) != 1 or lin["edge"] != win["edge"]:
            problems.append("frame %s on Windows, %s on X11" % (win["edge"], lin["edge"]))
        if win["fill"] != rgb or lin["fill"] != rgb:
            problems.append("fill %s on Windows, %s on X11" % (win["fill"], lin["fill"]))
        if win["grey"] != lin["grey"]:
            problems.append("text grey %d on Windows, %d on X11" % (win["grey"], lin["grey"]))
        if (win["box"] is None) != (lin["box"] is None) or (
            win["box"] and max(abs(a - b) for a, b in zip(win["box"], lin["box"])) > 1
        ):
            problems.append("text at %s on Windows, %s on X11" % (win["box"], lin["box"]))
        print(
            "#%s at %d DPI: %dx%d, text box Windows %s, X11 %s%s"
            % (
                colour,
                dpi,
                lin["size"][0],
                lin["size"][1],
                win["box"],
                lin["box"],
                "" if not problems else " - " + "; ".join(problems),
            )
        )
        if problems:
            failures.append(colour)
    if compared == 0:
        print("no pair of pictures to compare (run the native preset's tests first)")
        return 77
    print("%d pictures compared, %d differ" % (compared, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
