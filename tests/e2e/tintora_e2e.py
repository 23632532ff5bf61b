#!/usr/bin/env python3
"""End-to-end scenarios of tintora.exe on the Wine test desktop.

Each scenario starts the program fresh (with a clean settings key unless it
needs otherwise), drives it with real pointer input, looks at real
screenshots and the registry, and always ends the program again.

  tintora_e2e.py --scenario NAME --tintora EXE --probe EXE --painter EXE
                 --namer EXE --fonts DIR --artifacts DIR

Run it through the Wine test desktop (CTest does), which exports DISPLAY,
WINEPREFIX and WINE. Exit code 0 pass, 1 fail, 77 skipped.
"""

import copy
import os
import subprocess
import sys
import time

from e2e_lib import E2EFailure, E2ESkip, Image, ScenarioContext, Screen, check, run_scenarios, stop_process, wait_until
from label_checks import (
    FIRST_NAME,
    NAMED_COLOURS,
    PARK,
    about_title,
    centre,
    grid_patches,
    label_paint_failures,
    menu_row,
    namer_answers,
    namer_arguments,
    read_label_texts,
    read_menu,
    rgb_of,
)
from wine_label import Helpers, Tintora, Wine

# The smallest qualifier font that OCR reads reliably.
OCR_MIN_QUALIFIER_HEIGHT = 14

# xdotool's words for the pointer steps without arguments.
BUTTON_STEPS = {
    "ldown": ["mousedown", "1"],
    "lup": ["mouseup", "1"],
    "rdown": ["mousedown", "3"],
    "rup": ["mouseup", "3"],
    "lclick": ["click", "1"],
    "rclick": ["click", "3"],
}


class Context(ScenarioContext):
    def __init__(self, args, name):
        super().__init__(args, name)
        self.wine = Wine(self.artifacts)
        self.helpers = Helpers(self.wine, args.probe, args.painter)
        self.screen = Screen(os.environ["DISPLAY"])
        self.fonts = sorted(os.path.join(args.fonts, f) for f in os.listdir(args.fonts) if f.lower().endswith(".ttf"))
        check(len(self.fonts) == 2, "expected the two font files in %s" % args.fonts)
        self.font_args = []
        for path in self.fonts:
            self.font_args += ["--font", Wine.windows_path(path)]
        self.painters = []

    # -- lifecycle ---------------------------------------------------------

    def clean_settings(self):
        self.helpers.probe("reg", "clear")
        self.helpers.probe("reg", "set-logpixels", 96)

    def park_pointer(self):
        self.pointer("move", PARK[0], PARK[1])

    # X key names of the virtual keys the scenarios use.
    KEYS = {0x1B: "Escape", 0x73: "F4", 0x12: "Alt_L"}

    def pointer(self, *steps):
        """Real pointer and keyboard input on the X display (xdotool): "move
        X Y", "ldown", "lup", "rdown", "rup", "lclick", "rclick", "wheel N",
        "key VK", "keydown VK", "keyup VK", "sleep MS". Wine follows the X
        pointer, so moves made there never disagree with where Wine thinks
        the pointer is."""
        words = []
        steps = list(steps)
        i = 0
        while i < len(steps):
            step = steps[i]
            if step == "move":
                words += ["mousemove", str(steps[i + 1]), str(steps[i + 2])]
                i += 3
                continue
            if step in ("keydown", "keyup", "key"):
                words += [step, self.KEYS[steps[i + 1]]]
                i += 2
                continue
            if step == "wheel":
                notches = int(steps[i + 1])
                words += ["click", "--repeat", str(abs(notches)), "4" if notches > 0 else "5"]
                i += 2
                continue
            if step == "sleep":
                words += ["sleep", "%.3f" % (int(steps[i + 1]) / 1000.0)]
                i += 2
                continue
            words += BUTTON_STEPS[step]
            i += 1
        subprocess.run(["xdotool"] + words, check=True, timeout=60, env=self.wine.env)

    def painter(self, patches, background="808080", title="E2E Painter"):
        process = self.helpers.start_painter(patches, background, title)
        self.painters.append(process)
        return process

    def wine_with_overrides(self, overrides):
        """The same Wine session with DLL overrides added for the processes
        started through it, e.g. "shcore=d" to disable a DLL."""
        wine = copy.copy(self.wine)
        base = self.wine.env.get("WINEDLLOVERRIDES", "")
        wine.env = dict(self.wine.env, WINEDLLOVERRIDES=(base + ";" if base else "") + overrides)
        return wine

    def start(self, log_name, extra_debug="", dll_overrides=None):
        # A label left over from an earlier failed scenario would answer the
        # probe instead of this run's.
        leftover = self.helpers.probe("window", allow_fail=True)
        if leftover.get("found") == 1:
            self.helpers.probe("close", allow_fail=True)
            self.helpers.probe("window", "--gone", 10000, allow_fail=True)
        wine = self.wine if not dll_overrides else self.wine_with_overrides(dll_overrides)
        run = Tintora(wine, self.helpers, self.args.tintora, self.log_path(log_name), extra_debug)
        self.runs.append(run)
        return run

    def finish(self):
        super().finish()
        for process in self.painters:
            stop_process(process)
        try:
            self.helpers.probe("reg", "set-logpixels", 96, allow_fail=True)
        except E2EFailure:
            pass

    # -- oracles -----------------------------------------------------------

    def names(self, colours):
        """name, qualifier, J, C, H for each colour from tintora-name."""
        namer = self.args.namer
        tokens = namer_arguments(colours)
        if namer.lower().endswith(".exe"):
            result = self.wine.run(namer, *tokens, timeout=120)
        else:
            result = subprocess.run([namer] + tokens, capture_output=True, text=True, timeout=120)
        return namer_answers(result, colours)

    def metrics(self, dpi):
        return self.helpers.probe("metrics", "--dpi", dpi, *self.font_args)

    def reference(self, dpi, colour, name, qualifier, tag, size):
        path = os.path.join(self.artifacts, "reference-%s.bmp" % tag)
        args = ["render", "--out", Wine.windows_path(path), "--rgb", colour, "--name", name]
        args += ["--dpi", dpi, "--size", size[0], size[1]]
        if qualifier:
            args += ["--qual", qualifier]
        drawn = self.helpers.probe(*(args + self.font_args))
        return Image.from_bmp(path), drawn

    # -- looking at the label ---------------------------------------------

    def label_box(self, info):
        left, top = info["rect"][0], info["rect"][1]
        region = info["region"]
        return (left + region[0], top + region[1], left + region[2], top + region[3])

    def grab_label(self, info):
        left, top, right, bottom = self.label_box(info)
        return self.screen.grab(left, top, right - left, bottom - top)

    def wait_label_background(self, info, rgb, timeout=10):
        """Waits until the label's inner top-left pixel shows rgb and keeps
        showing it: Wine may put an older picture of the window on the
        screen for a few milliseconds after a newer one."""
        left, top, _, _ = self.label_box(info)
        steady = {"since": None}

        def shown():
            image = self.screen.grab(left + 1, top + 1, 2, 2)
            if image.pixel(left + 1, top + 1) != rgb:
                steady["since"] = None
                return False
            now = time.monotonic()
            if steady["since"] is None:
                steady["since"] = now
            return now - steady["since"] >= 0.15

        wait_until(shown, timeout, interval=0.02, what="the label to show %02x%02x%02x" % rgb)

    def compare_label(self, shot, rgb, frame, grey, reference):
        """Frame, fill, text grey and the reference drawing; returns the
        failures, the fill found and the number of differing pixels."""
        width, height = shot.width, shot.height
        # At least nine in ten edge pixels in the frame colour, the corners among them.
        failures, fill = label_paint_failures(shot, rgb, frame, grey, frame_share=0.9)
        differing = -1
        if (reference.width, reference.height) != (width, height):
            failures.append("label %dx%d, reference drawing %dx%d" % (width, height, reference.width, reference.height))
        else:
            differing = 0
            for i in range(0, len(shot.data), 3):
                if max(abs(shot.data[i + k] - reference.data[i + k]) for k in range(3)) > 24:
                    differing += 1
            if differing > 0.01 * width * height:
                failures.append("%d of %d pixels differ from the reference drawing" % (differing, width * height))
        return failures, fill, differing

    def verify_label(self, info, colour, name, qualifier, dpi, tag, run=None):
        """Fill, frame, text grey, the picture against the reference drawing,
        and OCR of the texts."""
        rgb = rgb_of(colour)
        self.wait_label_background(info, rgb)
        reference = drawn = None
        # The picture is looked at again a few times before a difference
        # counts: the background may be on the screen before the text is.
        for attempt in range(4):
            if attempt:
                time.sleep(0.3)
            shot = self.grab_label(info)
            width, height = shot.width, shot.height
            x0 = shot.left
            if reference is None:
                reference, drawn = self.reference(dpi, colour, name, qualifier, tag, (width, height))
                # The frame colour and text grey the label's core gives.
                frame, grey = tuple(drawn["frame"]), drawn["grey"]
            failures, fill, differing = self.compare_label(shot, rgb, frame, grey, reference)
            if not failures:
                break
        self.save(shot, tag)
        self.save(reference, tag + "-reference")

        expected = name + (" " + qualifier if qualifier else "")
        split = None
        if qualifier:
            # The texts part in the middle of the gap between their rectangles.
            gap = (drawn["name_rect"][2] + drawn["qualifier_rect"][0]) // 2
            split = x0 + max(1, min(width - 1, gap))
        readable = drawn.get("qualifier_font_height", 0) >= OCR_MIN_QUALIFIER_HEIGHT
        text_failures, reading, read = read_label_texts(shot, grey, rgb, name, qualifier, split, readable)
        failures += text_failures
        if not read:
            # Below about 14 pixels the qualifier's glyphs are too small for
            # OCR; there the comparison with the reference drawing of the
            # expected text is what shows it.
            print(
                "  (qualifier font %d px: OCR read %r; checked against the reference drawing)"
                % (drawn["qualifier_font_height"], reading)
            )

        if run is not None and colour != "000000":
            texts = run.samples()
            if rgb not in texts:
                failures.append("no debugger line 'R: %d G: %d B: %d - '" % rgb)
        print(
            "  %s: %r fill %s frame %s grey %d, %d px off the reference, OCR %r"
            % (tag, expected, fill, frame, grey, differing, reading)
        )
        check(not failures, "%s (%s): %s" % (tag, expected, "; ".join(failures)))
        return shot

    def check_window_shape(self, info, dpi):
        """Size and region from the measured reference metrics."""
        m = self.metrics(dpi)
        width = m["scaled_width"]
        # What start-up would give if the system's minimum width of an
        # overlapped window (SM_CXMINTRACK) widened the window before it was
        # scaled: named in the message when that is what happened.
        clamped = m["mintrack_scaled_width"]
        region = info["region"]
        print(
            "  metrics at %d DPI: face %s tmHeight %d tmInternalLeading %d tmAveCharWidth %d tmDescent %d; "
            "BaseWidth %d, width %d, LabelHeight %d, qualifier font %d; window %s region %s"
            % (
                dpi,
                m["face"],
                m["tmHeight"],
                m["tmInternalLeading"],
                m["tmAveCharWidth"],
                m["tmDescent"],
                m["base_width"],
                width,
                m["label_height"],
                m["qualifier_font_height"],
                info["rect"],
                region,
            )
        )
        check(m["face"] == "Encode Sans Condensed Black", "the reference face is %s, not the Black face" % m["face"])
        check(region[0] == 0 and region[1] == 0, "the region starts at %s, not at the window's corner" % region[:2])
        check(
            region[3] == m["label_height"], "region height %d, expected LabelHeight %d" % (region[3], m["label_height"])
        )
        if region[2] != width and region[2] == clamped:
            raise E2EFailure(
                "region width %d, expected BaseWidth x UiScale = %d: %d is the system's minimum "
                "width of an overlapped window (%d) scaled by %.2f, so the window was widened "
                "to that minimum before start-up scaled it" % (region[2], width, clamped, m["cxmintrack"], m["scale"])
            )
        check(region[2] == width, "region width %d, expected BaseWidth x UiScale = %d" % (region[2], width))
        rect = info["rect"]
        check(rect[2] - rect[0] >= width, "window narrower (%d) than its region" % (rect[2] - rect[0]))
        return m


# ==========================================================================
# Scenarios


def scenario_startup(ctx):
    """First paint, window shape and styles at 96 DPI."""
    ctx.clean_settings()
    ctx.painter([], background="808080")
    ctx.park_pointer()
    run = ctx.start("startup.log")
    info = run.window()
    check(
        info["title"] == "Tintora" and info["class"] == "Tintora", "title/class %s/%s" % (info["title"], info["class"])
    )
    check(info["topmost"] == 1, "the label is not top-most (ex-style %#x)" % info["exstyle"])
    check(
        info["caption"] == 0 and info["border"] == 0 and info["thickframe"] == 0,
        "the label has a caption or border (style %#x)" % info["style"],
    )
    check(info["region_type"] in (2, 3), "the label has no window region")
    ctx.check_window_shape(info, 96)
    ctx.verify_label(info, "000000", FIRST_NAME, "", 96, "startup-96dpi")
    check(run.samples() == [], "colours were sampled before any mouse movement: %s" % run.samples())


def colours_scenario(ctx, dpi):
    ctx.clean_settings()
    ctx.helpers.probe("reg", "set-logpixels", dpi)
    patches = grid_patches(NAMED_COLOURS, top=160)
    ctx.painter(patches, background="808080")
    answers = ctx.names(NAMED_COLOURS)
    ctx.park_pointer()
    run = ctx.start("colours-%ddpi.log" % dpi)
    info = run.window()
    suffix = "" if dpi == 96 else "-%ddpi" % dpi
    for patch in patches:
        colour = patch[4]
        name, qualifier, j, c, h = answers[colour]
        x, y = centre(patch)
        ctx.pointer("move", x, y)
        ctx.verify_label(info, colour, name, qualifier, dpi, "colour-%s%s" % (colour, suffix), run)
        if colour != "000000":
            lines = run.appearances()
            expected = (int(j), int(c), int(h))
            check(
                expected in lines,
                "no debugger line 'j: %d c: %d h: %d' for #%s (got %s)" % (expected + (colour, lines[-3:])),
            )
    # Each colour ran the pipeline once: one line pair per change of colour.
    samples = run.samples()
    check(len(samples) == len(set(samples)), "a colour was computed twice: %s" % samples)


def scenario_colours(ctx):
    """Pointer over patches of every name at 96 DPI: fill, frame, grey,
    texts, debugger lines."""
    colours_scenario(ctx, 96)


def scenario_colours144(ctx):
    """The same at 144 DPI, where OCR reads every qualifier too."""
    colours_scenario(ctx, 144)


def scenario_sampling(ctx):
    """When the label samples and when it does not."""
    ctx.clean_settings()
    red, green, blue, yellow = ("ff0000", "00ff00", "0000ff", "ffff00")
    patches = [
        (300, 300, 80, 80, "000000"),
        (420, 300, 80, 80, red),
        (540, 300, 80, 80, green),
        (660, 300, 80, 80, blue),
        (780, 300, 80, 80, yellow),
    ]
    ctx.painter(patches, background="808080")
    ctx.park_pointer()
    # Away from the screen's edges, so that the point below the label is an
    # ordinary one.
    ctx.helpers.probe("reg", "set-pos", 300, 60)
    run = ctx.start("sampling.log")
    info = run.window()
    # The first paint, once it is wholly on the screen.
    start_shot = ctx.verify_label(info, "000000", FIRST_NAME, "", 96, "sampling-start")

    def settle():
        # The pipeline runs inside the event's handling; give Wine time to
        # deliver the event before looking for its absence.
        time.sleep(0.4)

    # A first sample of pure black changes nothing.
    ctx.pointer("move", *centre(patches[0]))
    settle()
    check(run.samples() == [], "black as the first sample ran the pipeline: %s" % run.samples())
    # Looked at a few times, so that a picture Wine shows for a moment
    # cannot pass for a change.
    unchanged = any(ctx.grab_label(info).data == start_shot.data or time.sleep(0.1) for _ in range(5))
    if not unchanged:
        ctx.save(ctx.grab_label(info), "sampling-black-first")
    check(unchanged, "black as the first sample changed the label")

    # A colour is sampled; the label follows.
    ctx.pointer("move", *centre(patches[1]))
    wait_until(lambda: run.samples() == [(255, 0, 0)], 10, what="the red sample")
    ctx.wait_label_background(info, (255, 0, 0))

    # A wheel turn or a right click without movement over an unchanged
    # screen recomputes nothing.
    ctx.pointer("wheel", 1, "wheel", -1, "rclick")
    settle()
    check(run.samples() == [(255, 0, 0)], "a wheel turn or right click recomputed: %s" % run.samples())

    # ... but it does sample: a new colour under the still pointer is seen.
    cx, cy = centre(patches[1])
    cover = ctx.painter([(cx - 10, cy - 10, 20, 20, yellow)], background="808080", title="E2E Cover")
    ctx.pointer("wheel", 1)
    wait_until(lambda: run.samples()[-1:] == [(255, 255, 0)], 10, what="the wheel event to sample yellow")
    stop_process(cover)
    ctx.painters.remove(cover)
    time.sleep(0.3)
    ctx.pointer("move", *centre(patches[1]))
    wait_until(lambda: run.samples()[-1:] == [(255, 0, 0)], 10, what="red again")
    count = len(run.samples())

    # Over the label nothing is sampled.
    left, top, right, bottom = ctx.label_box(info)
    ctx.pointer("move", left + 3, top + 3, "move", right - 2, bottom - 2, "wheel", 1)
    settle()
    check(len(run.samples()) == count, "the pointer over the label sampled: %s" % run.samples()[count:])

    # Below the region but inside the window rect the screen is sampled.
    rect = info["rect"]
    if rect[3] > bottom:
        ctx.pointer("move", left + 3, bottom)
        wait_until(lambda: run.samples()[-1:] == [(128, 128, 128)], 10, what="a sample just below the label's region")
        count = len(run.samples())
    else:
        ctx.note("window rect ends with the region; the below-the-region case does not arise")

    # With the left button held nothing is sampled; the release samples at once.
    ctx.pointer("move", *centre(patches[1]))
    wait_until(lambda: run.samples()[-1:] == [(255, 0, 0)], 10, what="red before the press")
    count = len(run.samples())
    ctx.pointer("ldown", "move", *centre(patches[2]), "move", *centre(patches[3]))
    settle()
    check(len(run.samples()) == count, "sampled while the left button was held: %s" % run.samples()[count:])
    ctx.pointer("lup")
    wait_until(lambda: run.samples()[-1:] == [(0, 0, 255)], 10, what="the release to sample blue")
    check(len(run.samples()) == count + 1, "the release sampled more than once: %s" % run.samples()[count:])
    ctx.wait_label_background(info, (0, 0, 255))


def scenario_screen_edge(ctx):
    """At the screen's edges part of the sampled block lies off the screen;
    the colour is still the one under the pointer."""
    ctx.clean_settings()
    ctx.helpers.probe("reg", "set-pos", 400, 300)
    colours = ["ff0000", "00ff00", "0000ff", "ffff00", "ff00ff"]
    # Thin strips along the four edges and a corner patch.
    patches = [
        (0, 100, 12, 500, colours[0]),
        (1012, 100, 12, 500, colours[1]),
        (100, 0, 800, 12, colours[2]),
        (100, 756, 800, 12, colours[3]),
        (1000, 744, 24, 24, colours[4]),
    ]
    ctx.painter(patches, background="808080")
    ctx.park_pointer()
    run = ctx.start("screen-edge.log")
    run.window()
    points = [
        (0, 300, colours[0]),
        (1023, 300, colours[1]),
        (500, 0, colours[2]),
        (500, 767, colours[3]),
        (1023, 767, colours[4]),
        (3, 350, colours[0]),
    ]
    failures = []
    for x, y, colour in points:
        ctx.pointer("move", x, y)
        try:
            wait_until(
                lambda: run.samples()[-1:] == [rgb_of(colour)],
                3,
                what="the sample at (%d, %d) to be #%s" % (x, y, colour),
            )
        except E2EFailure:
            seen = ctx.helpers.probe("pixel", x, y)
            failures.append(
                "at (%d, %d) the label sampled %s, the screen shows #%s (an 11x11 copy of the "
                "screen there reads %s, one clipped to the screen %s)"
                % (
                    x,
                    y,
                    run.samples()[-1:] or "nothing",
                    colour,
                    (seen["block_r"], seen["block_g"], seen["block_b"]),
                    (seen["clipped_r"], seen["clipped_g"], seen["clipped_b"]),
                )
            )
        # Back to the middle between points, so each edge is a new colour.
        ctx.pointer("move", 600, 400)
        wait_until(lambda: run.samples()[-1:] == [(128, 128, 128)], 5, what="the grey background")
    check(not failures, "; ".join(failures))


def right_click_menu(ctx, run, info, at):
    """Right-clicks at a point of the label; returns the menu's rect, its
    item rows (text, top, bottom, left) and whether item 0 is checked."""
    ctx.pointer("move", at[0], at[1], "rdown", "rup")
    menu = ctx.helpers.probe("menu", "--wait", 10000, allow_fail=True)
    check(menu.get("found") == 1, "no popup menu after a right-click on the label")
    left, top, right, bottom = menu["rect"]
    time.sleep(0.2)
    shot = ctx.screen.grab(left, top, right - left, bottom - top)
    rows = read_menu(shot)
    # The check mark sits in the left margin of the first item.
    first = rows[0]
    dark = 0
    for y in range(max(top + 1, first["top"] - 2), min(bottom - 1, first["bottom"] + 3)):
        for x in range(left + 2, first["left"] - 2):
            r, g, b = shot.pixel(x, y)
            if r + g + b < 300:
                dark += 1
    return {"rect": menu["rect"], "rows": rows, "checked": dark >= 4, "shot": shot, "probe": menu}


def choose(ctx, menu, text):
    row = menu_row(menu["rows"], text)
    ctx.pointer("move", row["left"] + 4, row["y"], "lclick")


def scenario_menu(ctx):
    """Menu at the click point; "Launch on startup" follows the Run value."""
    ctx.clean_settings()
    ctx.painter([], background="808080")
    ctx.park_pointer()
    run = ctx.start("menu.log")
    info = run.window()
    left, top, right, bottom = ctx.label_box(info)
    at = (left + 7, top + 5)
    exe_path = Wine.windows_path(ctx.args.tintora)

    menu = right_click_menu(ctx, run, info, at)
    ctx.save(menu["shot"], "menu-unchecked")
    check(tuple(menu["rect"][:2]) == at, "menu opened at %s, clicked at %s" % (menu["rect"][:2], at))
    check(not menu["checked"], "'Launch on startup' is checked without a Run value")

    # Dismissing the menu changes nothing.
    ctx.pointer("key", 0x1B)
    ctx.helpers.probe("window", "--wait", 1000)
    wait_until(lambda: ctx.helpers.probe("menu", allow_fail=True).get("found") == 0, 10, what="the menu to close")
    check(ctx.helpers.probe("reg", "get")["run_type"] == -1, "dismissing the menu wrote the Run value")

    menu = right_click_menu(ctx, run, info, at)
    choose(ctx, menu, "Launch on startup")
    value = wait_until(
        lambda: (lambda r: r if r["run_type"] != -1 else None)(ctx.helpers.probe("reg", "get")),
        10,
        what="the Run value",
    )
    check(value["run_type"] == 1, "the Run value has type %d, not REG_SZ" % value["run_type"])
    data = value["run"].rstrip("\x00")
    check(data in (exe_path, '"%s"' % exe_path), "the Run value is %r, expected the path %r" % (data, exe_path))
    print("  Run value written: %r" % data)

    menu = right_click_menu(ctx, run, info, at)
    ctx.save(menu["shot"], "menu-checked")
    check(menu["checked"], "'Launch on startup' is not checked after enabling it")
    choose(ctx, menu, "Launch on startup")
    wait_until(lambda: ctx.helpers.probe("reg", "get")["run_type"] == -1, 10, what="the Run value to go")
    menu = right_click_menu(ctx, run, info, at)
    check(not menu["checked"], "'Launch on startup' is still checked after disabling it")
    ctx.pointer("key", 0x1B)
    wait_until(lambda: ctx.helpers.probe("menu", allow_fail=True).get("found") == 0, 10, what="the menu to close")

    # A Run value present at start-up shows as checked.
    ctx.helpers.probe("close")
    check(run.wait_exit() == 0, "exit code %s" % run.exit_code)
    ctx.helpers.probe("reg", "set-run", "C:\\elsewhere\\tintora.exe")
    run = ctx.start("menu-2.log")
    info = run.window()
    left, top, _, _ = ctx.label_box(info)
    menu = right_click_menu(ctx, run, info, (left + 7, top + 5))
    check(menu["checked"], "'Launch on startup' is not checked although the Run value exists")
    ctx.pointer("key", 0x1B)
    wait_until(lambda: ctx.helpers.probe("menu", allow_fail=True).get("found") == 0, 10, what="the menu to close")
    check(
        ctx.helpers.probe("reg", "get").get("run", "").rstrip("\x00") == "C:\\elsewhere\\tintora.exe",
        "the Run value changed by itself",
    )


def scenario_about(ctx):
    """The About box and its first line."""
    ctx.clean_settings()
    ctx.painter([(500, 400, 60, 60, "00ff00")], background="808080")
    ctx.park_pointer()
    run = ctx.start("about.log")
    info = run.window()
    left, top, _, _ = ctx.label_box(info)
    menu = right_click_menu(ctx, run, info, (left + 7, top + 5))
    choose(ctx, menu, "About")
    box = ctx.helpers.probe("about", "--wait", 10000, allow_fail=True)
    check(box.get("found") == 1, "no About box")
    r = box["rect"]
    time.sleep(0.2)
    ctx.save(ctx.screen.grab(r[0], r[1], r[2] - r[0], r[3] - r[1]), "about-box")
    text = [t for t in box["statics"] if t.strip()]
    check(text, "the About box has no text")
    lines = text[0].split("\n")
    print("  About text: %r" % text[0])
    check(lines[0] == about_title(ctx.args.version), "first line %r" % lines[0])
    check(len(lines) == 5 and lines[2] == "", "the About text is not five lines with an empty third: %r" % lines)
    check(box["pid"] == info["pid"], "the About box belongs to another process")
    ctx.helpers.probe("about", "--dismiss")
    wait_until(lambda: ctx.helpers.probe("about", allow_fail=True).get("found") == 0, 10, what="the box to close")
    # The label still works afterwards.
    ctx.pointer("move", 530, 430)
    wait_until(lambda: (0, 255, 0) in run.samples(), 10, what="a sample after the About box")


def count_position_saves(run):
    _, raw = run.debug_text()
    return sum(1 for line in raw.splitlines() if "NtSetValueKey" in line and 'L"iWindowPosX"' in line)


def end_and_check_saved(ctx, run, how):
    before = ctx.helpers.probe("window")
    expected = before["normal"][:2]
    if how == "menu":
        left, top, _, _ = ctx.label_box(before)
        menu = right_click_menu(ctx, run, before, (left + 7, top + 5))
        choose(ctx, menu, "Exit")
    elif how == "altf4":
        left, top, _, _ = ctx.label_box(before)
        # A click activates the label; then Alt+F4.
        ctx.pointer("move", left + 7, top + 5, "lclick", "sleep", 200)
        wait_until(lambda: ctx.helpers.probe("foreground")["is_label"] == 1, 10, what="the label in front")
        # Escape has no meaning of its own for the label.
        ctx.pointer("key", 0x1B, "sleep", 400)
        check(
            run.process.poll() is None and ctx.helpers.probe("window", allow_fail=True).get("found") == 1,
            "Escape ended the label",
        )
        ctx.pointer("keydown", 0x12, "key", 0x73, "keyup", 0x12)
    else:
        ctx.helpers.probe("close")
    code = run.wait_exit()
    check(code == 0, "exit code %s after %s" % (code, how))
    saved = ctx.helpers.probe("reg", "get")
    check(saved["posx_type"] == 4 and saved["posy_type"] == 4, "the position was not saved as two REG_DWORDs")
    check(
        [saved["posx"], saved["posy"]] == expected,
        "saved %s, the window was at %s" % ([saved["posx"], saved["posy"]], expected),
    )
    saves = count_position_saves(run)
    check(saves == 1, "the position was written %d times" % saves)
    texts, _ = run.debug_text()
    complaints = [t for t in texts if t.startswith(("Font add fails", "Font remove fails", "GetRawInputData"))]
    check(not complaints, "the label reported %s" % complaints)
    print("  %s: exit code 0, position %s saved once" % (how, expected))
    return expected


def drag_label(ctx, run, info, dx, dy):
    """Drags the label by (dx, dy) with the left button; nothing is sampled
    on the way. Returns the window's new state."""
    left, top, _, _ = ctx.label_box(info)
    samples = len(run.samples())
    x, y = left + 10, top + 6
    steps = ["move", x, y, "ldown", "sleep", 100, "move", x + dx // 6, y + dy // 5, "sleep", 100]
    steps += ["move", x + dx * 5 // 6, y + dy * 4 // 5, "sleep", 100, "move", x + dx, y + dy, "sleep", 200, "lup"]
    ctx.pointer(*steps)
    target = [info["rect"][0] + dx, info["rect"][1] + dy]
    moved = wait_until(
        lambda: (lambda w: w if w["rect"][:2] == target else None)(ctx.helpers.probe("window")),
        10,
        what="the label to follow the drag",
    )
    check(len(run.samples()) == samples, "the drag sampled colours: %s" % run.samples()[samples:])
    print("  dragged from %s to %s" % (info["rect"][:2], moved["rect"][:2]))
    return moved


def scenario_exit(ctx):
    """Exit from the menu: exit code 0, position saved once, restored next time."""
    ctx.clean_settings()
    ctx.painter([], background="808080")
    ctx.park_pointer()
    run = ctx.start("exit.log", extra_debug=",trace+reg")
    # Drag the label somewhere else first, so that the saved place is new.
    drag_label(ctx, run, run.window(), 300, 250)
    saved = end_and_check_saved(ctx, run, "menu")
    run = ctx.start("exit-restart.log")
    info = run.window()
    check(info["rect"][:2] == saved, "restarted at %s, saved %s" % (info["rect"][:2], saved))


def scenario_altf4(ctx):
    """Alt+F4 ends like Exit; a close request too."""
    ctx.clean_settings()
    ctx.helpers.probe("reg", "set-pos", 200, 150)
    ctx.painter([], background="808080")
    ctx.park_pointer()
    run = ctx.start("altf4.log", extra_debug=",trace+reg")
    info = run.window()
    check(info["rect"][:2] == [200, 150], "started at %s, saved 200,150" % info["rect"][:2])
    end_and_check_saved(ctx, run, "altf4")
    run = ctx.start("close.log", extra_debug=",trace+reg")
    run.window()
    end_and_check_saved(ctx, run, "close")


def end_session(ctx, run, ending):
    """A logoff as the system runs it: WM_QUERYENDSESSION, WM_ENDSESSION
    with wParam ending, then the process ended with no further message."""
    answer = ctx.helpers.probe("endsession", ending, "--terminate")
    check(answer["query_result"] == 1, "WM_QUERYENDSESSION answered %s, not TRUE" % answer["query_result"])
    check(answer["end_result"] == 0, "WM_ENDSESSION answered %s, not 0" % answer["end_result"])
    # The exit code as Windows reports it (the wine loader's own status
    # after an outside termination varies).
    check(answer["exit_code"] == 229, "exit code %s, not that of TerminateProcess" % answer["exit_code"])
    run.wait_exit()


def scenario_endsession(ctx):
    """A logoff ends the label without WM_DESTROY: WM_ENDSESSION (TRUE) has
    saved the dragged position, and the next start restores it; a cancelled
    one (FALSE) writes nothing; a destruction after an ending session saves
    the same values again."""
    ctx.clean_settings()
    ctx.painter([], background="808080")
    ctx.park_pointer()
    run = ctx.start("endsession.log", extra_debug=",trace+reg")
    dragged = drag_label(ctx, run, run.window(), 300, 250)["normal"][:2]
    end_session(ctx, run, 1)
    saved = ctx.helpers.probe("reg", "get")
    check(
        [saved.get("posx"), saved.get("posy")] == dragged,
        "saved %s after the logoff, the label was at %s" % ([saved.get("posx"), saved.get("posy")], dragged),
    )
    check(count_position_saves(run) == 1, "the position was written %d times" % count_position_saves(run))

    run = ctx.start("endsession-cancelled.log", extra_debug=",trace+reg")
    info = run.window()
    check(info["rect"][:2] == dragged, "restarted at %s, saved %s" % (info["rect"][:2], dragged))
    drag_label(ctx, run, info, -200, -150)
    end_session(ctx, run, 0)
    saved = ctx.helpers.probe("reg", "get")
    check(
        [saved.get("posx"), saved.get("posy")] == dragged and count_position_saves(run) == 0,
        "a cancelled logoff wrote %s (%d writes)" % ([saved.get("posx"), saved.get("posy")], count_position_saves(run)),
    )

    run = ctx.start("endsession-destroy.log", extra_debug=",trace+reg")
    check(run.window()["rect"][:2] == dragged, "the cancelled logoff moved the next start")
    check(ctx.helpers.probe("endsession", 1)["end_result"] == 0, "WM_ENDSESSION did not answer 0")
    ctx.helpers.probe("close")
    check(run.wait_exit() == 0, "exit code %s after a close request" % run.exit_code)
    saved = ctx.helpers.probe("reg", "get")
    check(
        [saved.get("posx"), saved.get("posy")] == dragged and count_position_saves(run) == 2,
        "after the session's end and a close: %s written %d times"
        % ([saved.get("posx"), saved.get("posy")], count_position_saves(run)),
    )
    print("  logoff saved %s and the next start restored it; a cancelled one wrote nothing" % dragged)


def scenario_restore(ctx):
    """Saved positions, including negative ones and a half-written one."""
    ctx.clean_settings()
    ctx.painter([], background="808080")
    ctx.park_pointer()
    run = ctx.start("restore-default.log")
    default = run.window()["rect"][:2]
    ctx.helpers.probe("close")
    check(run.wait_exit() == 0, "exit code %s" % run.exit_code)

    for x, y in ((412, 333), (-40, -6)):
        ctx.helpers.probe("reg", "clear")
        ctx.helpers.probe("reg", "set-pos", x, y)
        run = ctx.start("restore-%d-%d.log" % (x, y))
        info = run.window()
        check(info["normal"][:2] == [x, y], "restored at %s, saved %s" % (info["normal"][:2], [x, y]))
        size = (info["rect"][2] - info["rect"][0], info["rect"][3] - info["rect"][1])
        ctx.helpers.probe("close")
        check(run.wait_exit() == 0, "exit code %s" % run.exit_code)
        saved = ctx.helpers.probe("reg", "get")
        check([saved["posx"], saved["posy"]] == [x, y], "saved back as %s" % ([saved["posx"], saved["posy"]],))
        print("  %s restored and saved again, window size %s" % ((x, y), size))

    # Only iWindowPosX present: the label stays where it is created.
    ctx.helpers.probe("reg", "clear")
    ctx.helpers.probe("reg", "set-posx", 500)
    run = ctx.start("restore-half.log")
    info = run.window()
    check(
        info["rect"][:2] == default, "with only iWindowPosX the label is at %s, not at %s" % (info["rect"][:2], default)
    )


def dpi_scenario(ctx, dpi):
    ctx.clean_settings()
    ctx.helpers.probe("reg", "set-logpixels", dpi)
    colours = ["00ffff", "ff0000", "ffffff", "808000", "64646e"]
    patches = grid_patches(colours, top=400, step=120)
    ctx.painter(patches, background="808080")
    answers = ctx.names(colours)
    ctx.park_pointer()
    run = ctx.start("dpi-%d.log" % dpi)
    info = run.window()
    # A wrong size is reported after the pictures have been checked and
    # kept, since those show what the wrong size looks like.
    shape_failure = None
    try:
        ctx.check_window_shape(info, dpi)
    except E2EFailure as failure:
        shape_failure = failure
        print("  size: %s" % failure)
    ctx.verify_label(info, "000000", FIRST_NAME, "", dpi, "startup-%ddpi" % dpi)
    for patch in patches:
        colour = patch[4]
        ctx.pointer("move", *centre(patch))
        name, qualifier = answers[colour][:2]
        ctx.verify_label(info, colour, name, qualifier, dpi, "colour-%s-%ddpi" % (colour, dpi), run)
    if shape_failure is not None:
        raise shape_failure


def scenario_dpi120(ctx):
    dpi_scenario(ctx, 120)


def scenario_dpi144(ctx):
    dpi_scenario(ctx, 144)


def scenario_dpi192(ctx):
    dpi_scenario(ctx, 192)


def scenario_dpichanged(ctx):
    """WM_DPICHANGED resizes and reshapes from the suggested top-left corner."""
    ctx.clean_settings()
    colour = "00ffff"
    patch = (700, 600, 80, 80, colour)
    ctx.painter([patch], background="808080")
    name, qualifier = ctx.names([colour])[colour][:2]
    ctx.park_pointer()
    run = ctx.start("dpichanged.log")
    info = run.window()
    ctx.pointer("move", *centre(patch))
    ctx.verify_label(info, colour, name, qualifier, 96, "dpichanged-before", run)
    # The suggested size is deliberately wrong: only its corner may count.
    for dpi, x, y in ((144, 300, 200), (192, 120, 420), (96, 500, 100)):
        ctx.helpers.probe("dpichanged", dpi, x, y, 37, 11)
        info = wait_until(
            lambda: (lambda w: w if w["rect"][:2] == [x, y] else None)(ctx.helpers.probe("window")),
            10,
            what="the label to move to the suggested corner %s" % ((x, y),),
        )
        m = ctx.check_window_shape(info, dpi)
        rect = info["rect"]
        check(rect[3] - rect[1] >= m["label_height"], "window height %d below LabelHeight" % (rect[3] - rect[1]))
        ctx.verify_label(info, colour, name, qualifier, dpi, "dpichanged-%ddpi" % dpi, run)


def close_menu(ctx):
    ctx.pointer("key", 0x1B)
    wait_until(lambda: ctx.helpers.probe("menu", allow_fail=True).get("found") == 0, 10, what="the menu to close")


def scenario_run_key_readonly(ctx):
    """The Run key cannot be written: choosing "Launch on startup" changes
    no registry value, the check mark follows the choice all the same, and
    the next start shows the registry again."""
    ctx.clean_settings()
    check(ctx.helpers.probe("reg", "get")["run_type"] == -1, "the Run value is still there after clearing")
    ctx.painter([], background="808080")
    ctx.park_pointer()
    lock = ctx.helpers.probe("reg", "lock-run", allow_fail=True)
    failed = True
    try:
        check(lock.get("ok") == 1, "the Run key could not be made read-only: %s" % lock)
        if lock.get("enforced") != 1:
            raise E2ESkip("this registry does not enforce key security")
        print("  Run key read-only (access list before: %s)" % lock.get("saved"))
        run = ctx.start("run-key-readonly.log")
        info = run.window()
        left, top, _, _ = ctx.label_box(info)
        at = (left + 7, top + 5)
        menu = right_click_menu(ctx, run, info, at)
        check(not menu["checked"], "'Launch on startup' is checked without a Run value")
        choose(ctx, menu, "Launch on startup")
        wait_until(lambda: ctx.helpers.probe("menu", allow_fail=True).get("found") == 0, 10, what="the menu to close")
        # The flag flips in the same handling as the write, so once the
        # next menu shows it the write has been tried.
        menu = right_click_menu(ctx, run, info, at)
        ctx.save(menu["shot"], "menu-run-key-readonly")
        check(menu["checked"], "'Launch on startup' is not checked after choosing it (the write failed)")
        value = ctx.helpers.probe("reg", "get")
        check(value["run_type"] == -1, "the Run value exists although the key is read-only: %s" % value)
        print("  chosen: checked, Run value absent")
        close_menu(ctx)
        ctx.helpers.probe("close")
        check(run.wait_exit() == 0, "exit code %s" % run.exit_code)

        run = ctx.start("run-key-readonly-2.log")
        info = run.window()
        left, top, _, _ = ctx.label_box(info)
        menu = right_click_menu(ctx, run, info, (left + 7, top + 5))
        check(not menu["checked"], "after a restart 'Launch on startup' is checked without a Run value")
        close_menu(ctx)
        check(ctx.helpers.probe("reg", "get")["run_type"] == -1, "the Run value appeared")
        print("  restarted: unchecked, as the registry says")
        failed = False
    finally:
        # Later scenarios share the registry: the key is always given back.
        unlock = ctx.helpers.probe(
            "reg", "unlock-run", "" if lock.get("was_locked") else lock.get("saved", ""), allow_fail=True
        )
        if unlock.get("ok") != 1:
            ctx.note("the Run key could not be made writable again: %s" % unlock)
            if not failed:
                raise E2EFailure("the Run key could not be made writable again: %s" % unlock)


def scenario_dpi_query_unavailable(ctx):
    """Without shcore's per-monitor DPI query the label keeps its 96-DPI
    size although the system runs at 144 DPI."""
    overrides = "shcore=d"
    ctx.clean_settings()
    try:
        ctx.helpers.probe("reg", "set-logpixels", 144)
        # Without the override the query is there, so what follows comes
        # from the override alone.
        usual = ctx.helpers.probe("dll", "shcore.dll", "GetDpiForMonitor", allow_fail=True)
        check(
            usual.get("loaded") == 1 and usual.get("function") == 1,
            "shcore's GetDpiForMonitor is not there even without the override: %s" % usual,
        )

        colour = "00ffff"
        patch = (500, 400, 80, 80, colour)
        ctx.painter([patch], background="808080")
        name, qualifier = ctx.names([colour])[colour][:2]
        ctx.park_pointer()
        # The loader's own lines show that this process was refused shcore.
        # (The probe cannot show it: it needs shell32, which Wine does not
        # load without shcore.)
        run = ctx.start("dpi-query-unavailable.log", extra_debug=",+loaddll,warn+module", dll_overrides=overrides)
        info = run.window()

        def shcore_lines():
            raw = run.debug_text()[1].splitlines()
            return (
                [line for line in raw if "Failed to load module" in line and "shcore" in line.lower()],
                [line for line in raw if "Loaded" in line and "shcore.dll" in line.lower()],
            )

        # The window exists once start-up is past the query; the lines are
        # waited for all the same, as the log is another process's output.
        try:
            wait_until(lambda: any(shcore_lines()), 10, what="the loader's line about shcore")
        except E2EFailure:
            pass
        refused, loaded = shcore_lines()
        check(
            refused and not loaded,
            "with WINEDLLOVERRIDES %s the label's process did not fail to load shcore "
            "(loader lines: %s)" % (overrides, (refused + loaded)[:3] or "none"),
        )
        print("  %s" % refused[0].split(":", 1)[-1].strip())
        m = ctx.check_window_shape(info, 96)
        at144 = ctx.metrics(144)
        check(
            (at144["scaled_width"], at144["label_height"]) != (m["scaled_width"], m["label_height"]),
            "the 96 and 144 DPI sizes are the same; the scenario shows nothing",
        )
        ctx.verify_label(info, "000000", FIRST_NAME, "", 96, "dpi-query-unavailable-start")
        ctx.pointer("move", *centre(patch))
        ctx.verify_label(info, colour, name, qualifier, 96, "dpi-query-unavailable-%s" % colour, run)
    finally:
        ctx.helpers.probe("reg", "set-logpixels", 96, allow_fail=True)


def scenario_second_start(ctx):
    """A second start in the same session (the startup entry and a start by
    hand) ends at once with exit code 0: no second window, no registry write;
    the first label goes on sampling and saves its position once."""
    ctx.clean_settings()
    red, green = "ff0000", "00ff00"
    patches = [(300, 300, 80, 80, red), (420, 300, 80, 80, green)]
    ctx.painter(patches, background="808080")
    ctx.park_pointer()
    ctx.helpers.probe("reg", "set-pos", 300, 60)
    first = ctx.start("second-start-first.log", extra_debug=",trace+reg")
    info = first.window()
    ctx.pointer("move", *centre(patches[0]))
    wait_until(lambda: first.samples() == [(255, 0, 0)], 10, what="the first label's red sample")
    # Started beside the running label, not through ctx.start (which would
    # close it first).
    began = time.monotonic()
    second = Tintora(ctx.wine, ctx.helpers, ctx.args.tintora, ctx.log_path("second-start-second.log"), ",trace+reg")
    ctx.runs.append(second)
    check(second.wait_exit(20) == 0, "the second start ended with exit code %s" % second.exit_code)
    took = time.monotonic() - began
    check(count_position_saves(second) == 0, "the second start wrote the position")
    now = ctx.helpers.probe("window")
    check(now["hwnd"] == info["hwnd"] and now["pid"] == info["pid"], "another label window answers: %s" % now)
    ctx.pointer("move", *centre(patches[1]))
    wait_until(lambda: first.samples()[-1:] == [(0, 255, 0)], 10, what="the first label to sample green")
    end_and_check_saved(ctx, first, "close")
    print("  the second start ended after %.2f s; the first label went on" % took)


SCENARIOS = {
    "startup": scenario_startup,
    "colours": scenario_colours,
    "colours144": scenario_colours144,
    "sampling": scenario_sampling,
    "screen_edge": scenario_screen_edge,
    "menu": scenario_menu,
    "about": scenario_about,
    "exit": scenario_exit,
    "altf4": scenario_altf4,
    "endsession": scenario_endsession,
    "restore": scenario_restore,
    "dpi120": scenario_dpi120,
    "dpi144": scenario_dpi144,
    "dpi192": scenario_dpi192,
    "dpichanged": scenario_dpichanged,
    "run_key_readonly": scenario_run_key_readonly,
    "dpi_query_unavailable": scenario_dpi_query_unavailable,
    "second_start": scenario_second_start,
}


def main():
    arguments = {name: None for name in ("tintora", "probe", "painter", "namer", "fonts", "artifacts")}
    arguments["version"] = "the program's version, as the About box shows it"
    return run_scenarios(__doc__, SCENARIOS, arguments, Context)


if __name__ == "__main__":
    sys.exit(main())
