#!/usr/bin/env python3
"""End-to-end scenarios of the native X11 label on a private Xvfb + openbox
desktop (scripts/x11-desktop.sh), with real pointer input (xdotool, through
XTEST, which the server turns into XInput 2 raw events), screenshots, OCR,
the settings files and the exit status.

  x11_e2e.py --scenario NAME --tintora PROGRAM --namer tintora-name
             --oracle x11_paint_oracle --session STATE --artifacts DIR

Each scenario runs the label with a configuration directory of its own and
always ends it. Exit code 0 pass, 1 fail, 77 skipped.
"""

import os
import re
import signal
import subprocess
import sys
import tempfile
import time

from e2e_lib import E2EFailure, LabelRun, ScenarioContext, Screen, check, ocr_words, run_scenarios, wait_until
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

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
DESKTOP_SCRIPT = os.path.join(REPO, "scripts", "x11-desktop.sh")

# The Windows label's sizes for the same face (tmHeight 17, tmDescent 3,
# tmInternalLeading 6, tmAveCharWidth 6 measured under Wine): BaseWidth
# 15 * 6 + (1 + 17) * 2 = 126, LabelHeight 11 * 1.9 * scale.
SIZE_AT_DPI = {96: (126, 20), 144: (189, 31)}
LABEL_LINE = re.compile(
    r'^\s*(0x[0-9a-f]+) "Tintora": \("tintora" "Tintora"\)\s+(\d+)x(\d+)\+(-?\d+)\+(-?\d+)\s+\+(-?\d+)\+(-?\d+)'
)


def read_state(path):
    values = {}
    with open(path) as handle:
        for line in handle:
            if "=" in line:
                key, value = line.strip().split("=", 1)
                values[key] = value
    return values


class PrivateDesktop:
    """A display of a scenario's own (scripts/x11-desktop.sh start STATE
    OPTION...), stopped with the scenario: what its server leaves behind goes
    with it, also when the scenario has killed the server."""

    def __init__(self, artifacts, name, *options):
        self.state_path = os.path.join(artifacts, name, "state")
        started = subprocess.run(
            ["bash", DESKTOP_SCRIPT, "start", self.state_path, *options], capture_output=True, text=True, timeout=60
        )
        check(started.returncode == 0, "the private display %s did not start: %s" % (name, started.stderr.strip()))
        self.state = read_state(self.state_path)
        self.display = self.state["DISPLAY"]

    def kill_server(self):
        os.kill(int(self.state["XVFB_PID"]), signal.SIGKILL)

    def stop(self):
        subprocess.run(["bash", DESKTOP_SCRIPT, "stop", self.state_path], capture_output=True, timeout=60)


class Label(LabelRun):
    """One run of the label, its stderr kept."""

    def __init__(self, ctx, log_name, debug=True, extra_env=None, args=(), prefix=()):
        self.ctx = ctx
        env = dict(ctx.env)
        if debug:
            env["TINTORA_DEBUG"] = "1"
        env.update(extra_env or {})
        command = list(prefix) + [ctx.args.tintora] + list(args)
        super().__init__(
            ctx.log_path(log_name),
            lambda log: subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log, stderr=log, env=env),
        )

    def window(self, timeout=15):
        def found():
            if self.process.poll() is not None:
                raise E2EFailure("the label ended (status %s): %s" % (self.process.returncode, self.log_text()))
            return self.ctx.label_window()

        try:
            return wait_until(found, timeout, what="the Tintora window")
        except E2EFailure as failure:
            if self.process.poll() is not None:
                raise
            # What the display shows instead: an unmapped label window, or
            # none, and whether a window manager runs there.
            tree = self.ctx.x("xwininfo", "-root", "-tree", check_rc=False).stdout
            windows = [line.strip() for line in tree.splitlines() if '"Tintora"' in line]
            manager = self.ctx.x("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check_rc=False).stdout.strip()
            raise E2EFailure(
                "%s on %s (label windows: %s; %s; label output: %r)"
                % (failure, self.ctx.display, windows or "none", manager or "no window manager", self.log_text())
            )


class Context(ScenarioContext):
    def __init__(self, args, name):
        super().__init__(args, name)
        self.state = read_state(args.session)
        self.display = self.state["DISPLAY"]
        self.home = tempfile.mkdtemp(prefix="home-%s-" % name, dir=self.artifacts)
        self.config = os.path.join(self.home, ".config")
        self.env = dict(
            os.environ,
            DISPLAY=self.display,
            HOME=self.home,
            XDG_CONFIG_HOME=self.config,
            NO_AT_BRIDGE="1",
            GTK_THEME="Adwaita",
            LSAN_OPTIONS="suppressions=" + os.path.join(REPO, "tests", "x11", "lsan.supp"),
            ASAN_OPTIONS=":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "fast_unwind_on_malloc=0"])),
        )
        self.env.pop("WAYLAND_DISPLAY", None)
        self.screen = Screen(self.display)
        self.helpers = []
        self.desktops = []
        self.set_dpi(96)

    # -- the desktop ------------------------------------------------------

    def x(self, *args, check_rc=True, display=None):
        env = dict(self.env, DISPLAY=display or self.display)
        return subprocess.run(list(args), env=env, capture_output=True, text=True, timeout=60, check=check_rc)

    def set_dpi(self, dpi):
        subprocess.run(
            ["xrdb", "-nocpp", "-load", "-"],
            input="Xft.dpi: %d\n" % dpi,
            text=True,
            env=dict(self.env),
            check=True,
            timeout=30,
        )

    def paint(self, patches, background="808080"):
        """Colour patches on the root window, under every window."""
        path = os.path.join(self.artifacts, "%s-desktop.ppm" % self.name)
        args = ["convert", "-size", "1024x768", "xc:#" + background]
        for x, y, w, h, colour in patches:
            args += ["-fill", "#" + colour, "-draw", "rectangle %d,%d %d,%d" % (x, y, x + w - 1, y + h - 1)]
        subprocess.run(args + [path], check=True, timeout=60)
        self.x("display", "-window", "root", path, check_rc=False)

    def move(self, x, y):
        """Puts the pointer at (x, y) with raw motion: an absolute move (a
        warp, which makes no raw event), then one pixel there and back."""
        there_and_back = ["mousemove_relative", "--", "1", "0", "mousemove_relative", "--", "-1", "0"]
        self.x("xdotool", "mousemove", str(x), str(y), *there_and_back)

    def xdotool(self, *words):
        self.x("xdotool", *[str(w) for w in words])

    def label_window(self):
        tree = self.x("xwininfo", "-root", "-tree").stdout
        for line in tree.splitlines():
            match = LABEL_LINE.match(line)
            if match:
                # Only once it shows: before the window manager has placed
                # it, the window waits unmapped where it was created.
                info = self.x("xwininfo", "-id", match.group(1), check_rc=False).stdout
                if "Map State: IsViewable" not in info:
                    return None
                x, y, w, h = (
                    int(re.search(field + r":\s+(-?\d+)", info).group(1))
                    for field in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")
                )
                return {"id": match.group(1), "rect": (x, y, x + w, y + h)}
        return None

    def start(self, log_name, **kwargs):
        run = Label(self, log_name, **kwargs)
        self.runs.append(run)
        return run

    def settings(self):
        path = os.path.join(self.config, "tintora", "tintora.conf")
        if not os.path.exists(path):
            return None
        with open(path) as handle:
            return handle.read()

    def saved_position(self):
        text = self.settings()
        match = re.match(r"\[Label\]\nX=(-?\d+)\nY=(-?\d+)\n$", text or "")
        return (int(match.group(1)), int(match.group(2))) if match else None

    def write_settings(self, text):
        os.makedirs(os.path.join(self.config, "tintora"), exist_ok=True)
        with open(os.path.join(self.config, "tintora", "tintora.conf"), "w") as handle:
            handle.write(text)

    def private_desktop(self, name, *options):
        desktop = PrivateDesktop(self.artifacts, name, *options)
        self.desktops.append(desktop)
        return desktop

    def finish(self):
        super().finish()
        for process in self.helpers:
            if process.poll() is None:
                process.kill()
                process.wait(timeout=10)
        for desktop in self.desktops:
            desktop.stop()
        self.set_dpi(96)

    # -- oracles ----------------------------------------------------------

    def names(self, colours):
        command = [self.args.namer] + namer_arguments(colours)
        return namer_answers(subprocess.run(command, capture_output=True, text=True, timeout=60), colours)

    def paint_of(self, colour):
        """The frame and the text grey that the label's core gives a colour."""
        line = subprocess.run(
            [self.args.oracle, colour], capture_output=True, text=True, timeout=30, check=True
        ).stdout.split()
        return tuple(int(v) for v in line[1:4]), int(line[4])

    # -- looking at the label --------------------------------------------

    def grab_label(self, info):
        left, top, right, bottom = info["rect"]
        return self.screen.grab(left, top, right - left, bottom - top)

    def wait_fill(self, info, rgb, timeout=10):
        left, top, _, _ = info["rect"]
        try:
            wait_until(
                lambda: self.screen.grab(left + 1, top + 1, 1, 1).pixel(left + 1, top + 1) == rgb,
                timeout,
                interval=0.02,
                what="the label to show %02x%02x%02x" % rgb,
            )
        except E2EFailure:
            self.save(self.screen.grab(max(0, left - 20), max(0, top - 20), 300, 80), "%s-unexpected" % self.name)
            raise E2EFailure(
                "the label at %s does not show %s (window now %s; picture %s-unexpected.png)"
                % (info["rect"], rgb, self.label_window(), self.name)
            )

    def verify_label(self, info, colour, name, qualifier, dpi, tag):
        """Size, fill, 0.9 frame, text grey and the texts (OCR) of the label."""
        rgb = rgb_of(colour)
        self.wait_fill(info, rgb)
        shot = self.grab_label(info)
        self.save(shot, tag)
        width, height = shot.width, shot.height
        failures = []
        if (width, height) != SIZE_AT_DPI[dpi]:
            failures.append("size %dx%d, the Windows label is %dx%d" % ((width, height) + SIZE_AT_DPI[dpi]))
        x0, y0 = shot.left, shot.top
        frame, grey = self.paint_of(colour)
        paint_failures, fill = label_paint_failures(shot, rgb, frame, grey)
        failures += paint_failures
        split = None
        if qualifier:
            # The qualifier starts at the gap after the name; find the gap
            # from the ink columns rather than from a measurement.
            columns = [
                x
                for x in range(x0 + 1, x0 + width - 1)
                if any(shot.pixel(x, y) != rgb for y in range(y0 + 1, y0 + height - 1))
            ]
            gaps = [(b - a, a, b) for a, b in zip(columns, columns[1:]) if b - a > 1]
            split = max(gaps)[1] + 1 if gaps else x0 + width // 2
        text_failures, reading, read = read_label_texts(
            shot, grey, rgb, name, qualifier, split, qualifier_readable=dpi > 96
        )
        failures += text_failures
        if not read:
            # Drawn 7 pixels to the em, the qualifier is too small for OCR;
            # its ink beside the name is what shows.
            part = shot.crop(split, y0 + 1, x0 + width - 1, y0 + height - 1)
            if (
                sum(
                    1 for i in range(0, len(part.data), 3) if max(abs(part.data[i + k] - rgb[k]) for k in range(3)) > 60
                )
                < 5
            ):
                failures.append("no qualifier drawn beside the name")
        print(
            "  %s: %r fill %s frame %s grey %d, %dx%d, OCR %r"
            % (tag, name + (" " + qualifier if qualifier else ""), fill, frame, grey, width, height, reading)
        )
        check(not failures, "%s: %s" % (tag, "; ".join(failures)))
        return shot


# ==========================================================================
# Scenarios


def scenario_startup(ctx):
    """First paint "Mossvane" on black; managed, undecorated, on top, out of
    the taskbar and pager; the Windows label's size."""
    ctx.paint([])
    ctx.xdotool("mousemove", *PARK)
    run = ctx.start("startup.log")
    info = run.window()
    props = ctx.x("xprop", "-id", info["id"]).stdout
    for needle in (
        'WM_CLASS(STRING) = "tintora", "Tintora"',
        "_NET_WM_WINDOW_TYPE_UTILITY",
        "_NET_WM_STATE_ABOVE",
        "_NET_WM_STATE_SKIP_TASKBAR",
        "_NET_WM_STATE_SKIP_PAGER",
        'WM_NAME(STRING) = "Tintora"',
        '_NET_WM_NAME(UTF8_STRING) = "Tintora"',
        "WM_DELETE_WINDOW",
    ):
        check(needle in props, "the label's properties lack %s:\n%s" % (needle, props))
    check(re.search(r"_MOTIF_WM_HINTS\(_MOTIF_WM_HINTS\) = 0x2, 0x0", props), "no decorations asked for")
    # openbox manages it: the client sits in a frame of the window manager.
    tree = ctx.x("xwininfo", "-id", info["id"], "-tree").stdout
    check(
        "Parent window id: 0x" in tree and "(the root window)" not in tree.split("Parent window id:")[1].split("\n")[0],
        "the label is not managed by the window manager",
    )
    ctx.verify_label(info, "000000", FIRST_NAME, "", 96, "x11-startup")
    check(run.samples() == [], "colours were sampled before any movement: %s" % run.samples())


def scenario_colours(ctx):
    """Every name on a patch: fill, frame, grey, texts and the debug lines,
    against tintora-name's answers, as on Windows."""
    patches = grid_patches(NAMED_COLOURS, top=160)
    ctx.paint(patches)
    answers = ctx.names(NAMED_COLOURS)
    ctx.write_settings("[Label]\nX=40\nY=40\n")
    ctx.xdotool("mousemove", *PARK)
    run = ctx.start("colours.log")
    info = run.window()
    check(info["rect"][:2] == (40, 40), "started at %s, saved 40,40" % (info["rect"][:2],))
    for patch in patches:
        colour = patch[4]
        name, qualifier, j, c, h = answers[colour]
        ctx.move(*centre(patch))
        ctx.verify_label(info, colour, name, qualifier, 96, "x11-colour-%s" % colour)
        if colour != "000000":
            check(
                (int(j), int(c), int(h)) in run.appearances(),
                "no line 'j: %d c: %d h: %d' for #%s" % (int(j), int(c), int(h), colour),
            )
    samples = run.samples()
    check(len(samples) == len(set(samples)), "a colour was computed twice: %s" % samples)


def scenario_scale(ctx):
    """Xft.dpi 144: every size one and a half times, qualifiers read by OCR;
    a change of Xft.dpi while running resizes the label."""
    colours = ["00ffff", "ff0000", "ffffff", "808000", "64646e"]
    patches = grid_patches(colours, top=400, step=120)
    ctx.paint(patches)
    answers = ctx.names(colours)
    ctx.set_dpi(144)
    ctx.write_settings("[Label]\nX=60\nY=60\n")
    ctx.xdotool("mousemove", *PARK)
    run = ctx.start("scale.log")
    info = run.window()
    ctx.verify_label(info, "000000", FIRST_NAME, "", 144, "x11-scale-startup-144")
    for patch in patches:
        colour = patch[4]
        ctx.move(*centre(patch))
        ctx.verify_label(info, colour, answers[colour][0], answers[colour][1], 144, "x11-colour-%s-144" % colour)
    ctx.set_dpi(96)
    info = wait_until(
        lambda: (lambda w: w if w and w["rect"][2] - w["rect"][0] == 126 else None)(ctx.label_window()),
        10,
        what="the label to take its 96-DPI size",
    )
    ctx.verify_label(info, colours[-1], answers[colours[-1]][0], answers[colours[-1]][1], 96, "x11-scale-back-96")


def scenario_sampling(ctx):
    """The left button held pauses, its release samples at once; nothing is
    sampled over the label; the other buttons sample."""
    red, green, blue = "ff0000", "00ff00", "0000ff"
    patches = [(300, 300, 80, 80, red), (420, 300, 80, 80, green), (540, 300, 80, 80, blue)]
    ctx.paint(patches)
    ctx.write_settings("[Label]\nX=300\nY=60\n")
    ctx.xdotool("mousemove", *PARK)
    run = ctx.start("sampling.log")
    info = run.window()
    ctx.move(*centre(patches[0]))
    wait_until(lambda: run.samples() == [(255, 0, 0)], 10, what="the red sample")
    # Over the label nothing is sampled: the label keeps red.
    left, top, right, bottom = info["rect"]
    ctx.move(left + 3, top + 3)
    ctx.move(right - 2, bottom - 2)
    time.sleep(0.4)
    check(run.samples() == [(255, 0, 0)], "the pointer over the label sampled: %s" % run.samples())
    ctx.wait_fill(info, (255, 0, 0))
    # With the left button held nothing is sampled; the release samples.
    ctx.move(*centre(patches[0]))
    ctx.xdotool("mousedown", "1")
    ctx.move(*centre(patches[1]))
    ctx.move(*centre(patches[2]))
    time.sleep(0.4)
    check(run.samples() == [(255, 0, 0)], "sampled while the left button was held: %s" % run.samples())
    ctx.xdotool("mouseup", "1")
    wait_until(lambda: run.samples() == [(255, 0, 0), (0, 0, 255)], 10, what="the release to sample blue")
    ctx.wait_fill(info, (0, 0, 255))
    # Another button's click without movement samples too (a changed screen
    # shows). Button 8 ("back"): openbox gives the desktop's own buttons menus.
    ctx.paint([(300, 300, 80, 80, red), (420, 300, 80, 80, green), (540, 300, 80, 80, green)])
    ctx.xdotool("click", "8")
    wait_until(lambda: run.samples()[-1:] == [(0, 255, 0)], 10, what="a click of button 8 to sample green")


def scenario_above(ctx):
    """A window raised over the label leaves the label on top."""
    ctx.paint([])
    ctx.write_settings("[Label]\nX=200\nY=200\n")
    run = ctx.start("above.log")
    info = run.window()
    cover = os.path.join(ctx.artifacts, "cover.ppm")
    subprocess.run(["convert", "-size", "300x200", "xc:#ff00ff", cover], check=True, timeout=60)
    viewer = subprocess.Popen(
        ["display", "-geometry", "+150+150", "-title", "E2E Cover", cover],
        env=ctx.env,
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
    )
    ctx.helpers.append(viewer)
    wid = wait_until(
        lambda: ctx.x("xdotool", "search", "--name", "E2E Cover", check_rc=False).stdout.split(),
        15,
        what="the cover window",
    )[0]
    ctx.xdotool("windowactivate", "--sync", wid)
    ctx.xdotool("windowraise", wid)
    time.sleep(0.5)
    covered = ctx.screen.grab(150, 150, 20, 20).pixel(160, 160)
    check(covered != (128, 128, 128), "the cover window is not on the screen")
    shot = ctx.grab_label(info)
    ctx.save(ctx.screen.grab(100, 100, 420, 320), "x11-above")
    check(
        shot.pixel(info["rect"][0] + 1, info["rect"][1] + 1) == (0, 0, 0),
        "the raised window covers the label (it shows %s)" % (shot.pixel(info["rect"][0] + 1, info["rect"][1] + 1),),
    )


def menu_window(ctx, at):
    """GTK's popup (a window of the label's class, not its own) at the point."""
    for line in ctx.x("xwininfo", "-root", "-children").stdout.splitlines():
        match = re.match(r'\s*0x[0-9a-f]+ "tintora": \("tintora" "Tintora"\)\s+(\d+)x(\d+)\+(-?\d+)\+(-?\d+)', line)
        if match and (int(match.group(3)), int(match.group(4))) == tuple(at) and int(match.group(1)) > 20:
            return True
    return False


def open_menu(ctx, at):
    ctx.xdotool("mousemove", at[0], at[1], "mousedown", "3", "mouseup", "3")
    wait_until(lambda: menu_window(ctx, at), 15, what="the menu at %s" % (at,))
    time.sleep(0.3)
    shot = ctx.screen.grab(at[0], at[1], 260, 140)
    lines = read_menu(shot)
    # The check box left of the first item: a check mark adds dark pixels.
    first = lines[0]
    dark = sum(
        1
        for y in range(first["y"] - 8, first["y"] + 8)
        for x in range(at[0] + 2, first["left"] - 3)
        if sum(shot.pixel(x, y)) < 200
    )
    return {"lines": lines, "dark": dark, "shot": shot}


def choose(ctx, menu, text):
    line = menu_row(menu["lines"], text)
    ctx.xdotool("mousemove", line["left"] + 6, line["y"], "click", "1")


def scenario_menu(ctx):
    """The menu at the click point; "Launch on startup" writes and removes
    the autostart entry, with the program's path quoted; the check mark
    follows; a start with the entry present shows it checked."""
    ctx.paint([])
    ctx.write_settings("[Label]\nX=300\nY=200\n")
    run = ctx.start("menu.log")
    info = run.window()
    at = (info["rect"][0] + 7, info["rect"][1] + 5)
    entry = os.path.join(ctx.config, "autostart", "tintora.desktop")
    unchecked = open_menu(ctx, at)
    ctx.save(unchecked["shot"], "x11-menu-unchecked")
    ctx.xdotool("key", "Escape")
    time.sleep(0.4)
    check(not os.path.exists(entry), "dismissing the menu wrote the autostart entry")
    choose(ctx, open_menu(ctx, at), "Launch on startup")
    wait_until(lambda: os.path.exists(entry), 10, what="the autostart entry")
    with open(entry) as handle:
        text = handle.read()
    exe = os.path.realpath(ctx.args.tintora)
    check(
        '\nExec="%s"\n' % exe.replace("\\", "\\\\\\\\").replace('"', '\\\\"') in text,
        "the entry's Exec is not the quoted program path %s:\n%s" % (exe, text),
    )
    checked = open_menu(ctx, at)
    ctx.save(checked["shot"], "x11-menu-checked")
    check(
        checked["dark"] > unchecked["dark"] + 4,
        "no check mark after enabling (dark pixels %d, before %d)" % (checked["dark"], unchecked["dark"]),
    )
    choose(ctx, checked, "Launch on startup")
    wait_until(lambda: not os.path.exists(entry), 10, what="the autostart entry to go")
    # Present at start-up: checked.
    choose(ctx, open_menu(ctx, at), "Exit")
    check(run.wait_exit() == 0, "exit status %s" % run.exit_code)
    os.makedirs(os.path.dirname(entry), exist_ok=True)
    with open(entry, "w") as handle:
        handle.write("[Desktop Entry]\nType=Application\nName=Tintora\nExec=/elsewhere/tintora\n")
    run = ctx.start("menu-2.log")
    run.window()
    again = open_menu(ctx, at)
    check(again["dark"] > unchecked["dark"] + 4, "an existing entry is not shown checked")
    ctx.xdotool("key", "Escape")
    time.sleep(0.3)
    with open(entry) as handle:
        check("/elsewhere/tintora" in handle.read(), "the entry changed by itself")
    choose(ctx, open_menu(ctx, at), "Exit")
    check(run.wait_exit() == 0, "exit status %s" % run.exit_code)

    # The entry cannot be written (a file where its folder should be): the
    # check mark follows the choice all the same; a restart shows the truth.
    os.remove(entry)
    os.rmdir(os.path.dirname(entry))
    with open(os.path.dirname(entry), "w") as handle:
        handle.write("not a folder")
    run = ctx.start("menu-3.log")
    run.window()
    choose(ctx, open_menu(ctx, at), "Launch on startup")
    time.sleep(0.5)
    stuck = open_menu(ctx, at)
    check(stuck["dark"] > unchecked["dark"] + 4, "after a failed write the check mark does not follow the choice")
    choose(ctx, stuck, "Exit")
    check(run.wait_exit() == 0, "exit status %s" % run.exit_code)
    run = ctx.start("menu-4.log")
    run.window()
    after = open_menu(ctx, at)
    check(after["dark"] <= unchecked["dark"] + 4, "after a restart the check mark shows an entry that is not there")
    ctx.xdotool("key", "Escape")


def scenario_about(ctx):
    """The About box with its five lines; the label samples on while it is open."""
    ctx.paint([(600, 500, 60, 60, "00ff00")])
    ctx.write_settings("[Label]\nX=100\nY=100\n")
    run = ctx.start("about.log")
    info = run.window()
    choose(ctx, open_menu(ctx, (info["rect"][0] + 7, info["rect"][1] + 5)), "About")
    wid = wait_until(
        lambda: ctx.x("xdotool", "search", "--name", "^About$", check_rc=False).stdout.split(), 10, what="the About box"
    )[-1]
    geometry = ctx.x("xwininfo", "-id", wid).stdout
    x, y, w, h = (
        int(re.search(field + r":\s+(-?\d+)", geometry).group(1))
        for field in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")
    )
    time.sleep(0.3)
    shot = ctx.screen.grab(x, y, w, h)
    ctx.save(shot, "x11-about")
    words = " ".join(word["text"] for word in ocr_words(shot))
    version = subprocess.run(
        [ctx.args.tintora, "--version"], capture_output=True, text=True, timeout=30
    ).stdout.split()[-1]
    for expected in (about_title(version), "MossVane", "support@mossvane.example", "OK"):
        check(expected in words, "the About box reads %r, without %r" % (words, expected))
    ctx.move(630, 530)
    wait_until(lambda: (0, 255, 0) in run.samples(), 10, what="a sample while the About box is open")
    ctx.xdotool("windowactivate", "--sync", wid, "key", "Escape")
    wait_until(
        lambda: not ctx.x("xdotool", "search", "--name", "^About$", check_rc=False).stdout.split(),
        10,
        what="Escape to close the About box",
    )
    check(run.process.poll() is None, "closing the About box ended the label")


def drag(ctx, info, dx, dy):
    left, top = info["rect"][:2]
    # A window just mapped may not be fully managed yet.
    time.sleep(0.3)
    ctx.xdotool("mousemove", left + 10, top + 6, "mousedown", "1")
    steps = 6
    for i in range(steps):
        ctx.xdotool("mousemove_relative", "--", dx // steps, dy // steps, "sleep", "0.05")
    ctx.xdotool("mouseup", "1")
    target = (left + (dx // steps) * steps, top + (dy // steps) * steps)
    return wait_until(
        lambda: (lambda w: w if w and w["rect"][:2] == target else None)(ctx.label_window()),
        10,
        what="the label to follow the drag to %s" % (target,),
    )


def scenario_exit(ctx):
    """Dragged, then Exit: status 0, the position saved, restored next time."""
    ctx.paint([])
    ctx.write_settings("[Label]\nX=100\nY=100\n")
    run = ctx.start("exit.log")
    info = run.window()
    samples = len(run.samples())
    moved = drag(ctx, info, 300, 240)
    check(len(run.samples()) == samples, "the drag sampled: %s" % run.samples()[samples:])
    choose(ctx, open_menu(ctx, (moved["rect"][0] + 7, moved["rect"][1] + 5)), "Exit")
    check(run.wait_exit() == 0, "exit status %s" % run.exit_code)
    check(
        ctx.saved_position() == moved["rect"][:2],
        "saved %s, the label was at %s" % (ctx.saved_position(), moved["rect"][:2]),
    )
    run = ctx.start("exit-restart.log")
    check(run.window()["rect"][:2] == moved["rect"][:2], "restarted elsewhere than saved")
    print("  dragged to %s, saved and restored" % (moved["rect"][:2],))


def scenario_restore(ctx):
    """Saved positions: negative ones restore; a half-written, malformed or
    wholly off-screen one is ignored (the window manager places the label)
    and rewritten whole at the end."""
    ctx.paint([])
    run = ctx.start("restore-default.log")
    default = run.window()["rect"][:2]
    run.stop()
    for text, expected in (
        ("[Label]\nX=-40\nY=-6\n", (-40, -6)),
        ("[Label]\nX=412\nY=333\n", (412, 333)),
        ("[Label]\nX=412\n", default),
        ("[Label]\nX=4x2\nY=3\n", default),
        ("\x00\xff garbage", default),
        ("[Label]\nX=5000\nY=5000\n", default),
    ):
        ctx.write_settings(text)
        run = ctx.start("restore.log")
        at = run.window()["rect"][:2]
        check(at == expected, "with %r the label started at %s, expected %s" % (text, at, expected))
        run.process.send_signal(signal.SIGTERM)
        check(run.wait_exit() == 0, "exit status %s" % run.exit_code)
        check(ctx.saved_position() == at, "with %r saved %r at the end" % (text, ctx.settings()))
        print("  %r: started at %s, saved whole" % (text, at))


def scenario_close(ctx):
    """The window manager's close (Alt+F4 in openbox) ends like Exit."""
    ctx.paint([])
    ctx.write_settings("[Label]\nX=222\nY=111\n")
    run = ctx.start("close.log")
    info = run.window()
    check(info["rect"][:2] == (222, 111), "started at %s" % (info["rect"][:2],))
    ctx.xdotool("mousemove", info["rect"][0] + 5, info["rect"][1] + 5, "click", "1", "sleep", "0.3")
    ctx.xdotool("key", "alt+F4")
    check(run.wait_exit() == 0, "exit status %s after the close" % run.exit_code)
    check(ctx.saved_position() == (222, 111), "saved %s" % (ctx.saved_position(),))


def scenario_signals(ctx):
    """SIGTERM and SIGHUP (a session ending) save the dragged position and
    end with status 0; the next start restores it."""
    ctx.paint([])
    for number, name in ((signal.SIGTERM, "SIGTERM"), (signal.SIGHUP, "SIGHUP")):
        ctx.write_settings("[Label]\nX=100\nY=100\n")
        run = ctx.start("signal-%s.log" % name)
        moved = drag(ctx, run.window(), 180 if number == signal.SIGTERM else 240, 120)
        run.process.send_signal(number)
        check(run.wait_exit() == 0, "exit status %s after %s" % (run.exit_code, name))
        check(
            ctx.saved_position() == moved["rect"][:2],
            "after %s saved %s, the label was at %s" % (name, ctx.saved_position(), moved["rect"][:2]),
        )
        again = ctx.start("signal-%s-restart.log" % name)
        check(again.window()["rect"][:2] == moved["rect"][:2], "after %s restarted elsewhere" % name)
        again.stop()
        print("  %s: saved %s, restored" % (name, moved["rect"][:2]))


def scenario_display_lost(ctx):
    """The X server goes away: the last position is saved, status 6."""
    own = ctx.private_desktop("lost-session")
    sub = Context.__new__(Context)
    sub.__dict__.update(ctx.__dict__)
    sub.display = own.display
    sub.env = dict(ctx.env, DISPLAY=own.display)
    sub.screen = Screen(own.display)
    sub.runs = []
    ctx.write_settings("[Label]\nX=100\nY=100\n")
    run = sub.start("display-lost.log")
    ctx.runs.append(run)
    moved = drag(sub, run.window(), 120, 60)
    # The label learns where it is from the window manager's notices: the
    # server must not go before the last one has reached it (seen once on a
    # loaded machine: the position before the drag saved).
    time.sleep(1)
    own.kill_server()
    check(run.wait_exit() == 6, "exit status %s after the server went away" % run.exit_code)
    check(
        ctx.saved_position() == moved["rect"][:2],
        "saved %s, the label was at %s" % (ctx.saved_position(), moved["rect"][:2]),
    )
    print("  server killed: status 6, position %s saved" % (moved["rect"][:2],))


def scenario_refusal(ctx):
    """Where the screen cannot be sampled: a clear message and a status of
    its own, never a label that names nothing."""
    env = dict(ctx.env)
    env.pop("DISPLAY")
    cases = [
        ("no display", dict(env), 3, "cannot open an X display"),
        ("Wayland only", dict(env, WAYLAND_DISPLAY="wayland-0"), 3, "Wayland session"),
        ("unreachable display", dict(ctx.env, DISPLAY=":149.7"), 3, "cannot open the X display"),
    ]
    for what, case_env, status, message in cases:
        result = subprocess.run([ctx.args.tintora], env=case_env, capture_output=True, text=True, timeout=30)
        check(
            result.returncode == status and message in result.stderr,
            "%s: status %d, stderr %r" % (what, result.returncode, result.stderr),
        )
        print("  %s: status %d, %r" % (what, status, result.stderr.strip()))
    # A server without the Generic Event extension delivers no raw events.
    bare = ctx.private_desktop("refusal-session", "--no-wm", "-extension", "Generic Event Extension")
    result = subprocess.run(
        [ctx.args.tintora], env=dict(ctx.env, DISPLAY=bare.display), capture_output=True, text=True, timeout=30
    )
    check(
        result.returncode == 4 and "XInput 2.0" in result.stderr,
        "without raw events: status %d, stderr %r" % (result.returncode, result.stderr),
    )
    print("  no raw events: status 4, %r" % result.stderr.strip())
    quiet = subprocess.run([ctx.args.tintora, "--version"], capture_output=True, text=True, timeout=30)
    check(quiet.returncode == 0 and quiet.stdout.startswith("tintora ") and not quiet.stderr, "--version")


def scenario_second_start(ctx):
    """A second start while the label runs (the startup entry and a start
    by hand) ends at once with status 0 and a note; no second label shows,
    and the first one goes on sampling and saves its own position."""
    red, green = "ff0000", "00ff00"
    patches = [(300, 300, 80, 80, red), (420, 300, 80, 80, green)]
    ctx.paint(patches)
    ctx.write_settings("[Label]\nX=200\nY=100\n")
    ctx.xdotool("mousemove", *PARK)
    first = ctx.start("second-start-first.log")
    info = first.window()
    ctx.move(*centre(patches[0]))
    ctx.wait_fill(info, (255, 0, 0))
    began = time.monotonic()
    second = ctx.start("second-start-second.log")
    check(second.wait_exit(10) == 0, "the second start ended with status %s" % second.exit_code)
    took = time.monotonic() - began
    check("already running" in second.log_text(), "the second start said %r" % second.log_text())
    tree = ctx.x("xwininfo", "-root", "-tree").stdout
    labels = [line for line in tree.splitlines() if LABEL_LINE.match(line)]
    check(len(labels) == 1, "%d label windows: %s" % (len(labels), labels))
    ctx.move(*centre(patches[1]))
    ctx.wait_fill(info, (0, 255, 0))
    moved = drag(ctx, info, 260, 180)
    first.process.send_signal(signal.SIGTERM)
    check(first.wait_exit() == 0, "the first label's exit status %s" % first.exit_code)
    check(ctx.saved_position() == moved["rect"][:2], "saved %s" % (ctx.saved_position(),))
    print("  second start ended after %.2f s; the first went on sampling and saved its place" % took)


def scenario_unwritable(ctx):
    """A save that cannot be written (the file size limited to nothing, as a
    full disk would): the label still ends with status 0 after SIGTERM and
    after Exit, the old settings file is intact and nothing half-written is
    left beside it."""
    ctx.paint([])
    good = "[Label]\nX=200\nY=100\n"
    ctx.write_settings(good)
    folder = os.path.join(ctx.config, "tintora")
    no_room = ["prlimit", "--fsize=0:0", "--"]
    for how in ("SIGTERM", "Exit"):
        run = ctx.start("unwritable-%s.log" % how, prefix=no_room)
        moved = drag(ctx, run.window(), 260, 200)
        if how == "SIGTERM":
            run.process.send_signal(signal.SIGTERM)
        else:
            choose(ctx, open_menu(ctx, (moved["rect"][0] + 7, moved["rect"][1] + 5)), "Exit")
        check(run.wait_exit() == 0, "exit status %s after %s with no room to save" % (run.exit_code, how))
        check(ctx.settings() == good, "after %s the settings file reads %r" % (how, ctx.settings()))
        check(os.listdir(folder) == ["tintora.conf"], "after %s the folder holds %s" % (how, os.listdir(folder)))
    print("  SIGTERM and Exit: status 0, the old file intact, nothing beside it")


SCENARIOS = {
    "startup": scenario_startup,
    "colours": scenario_colours,
    "scale": scenario_scale,
    "sampling": scenario_sampling,
    "above": scenario_above,
    "menu": scenario_menu,
    "about": scenario_about,
    "exit": scenario_exit,
    "restore": scenario_restore,
    "close": scenario_close,
    "signals": scenario_signals,
    "display_lost": scenario_display_lost,
    "refusal": scenario_refusal,
    "second_start": scenario_second_start,
    "unwritable": scenario_unwritable,
}


def main():
    arguments = {name: None for name in ("tintora", "namer", "oracle", "session", "artifacts")}
    return run_scenarios(__doc__, SCENARIOS, arguments, Context)


if __name__ == "__main__":
    sys.exit(main())
