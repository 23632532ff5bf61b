"""Plumbing of the end-to-end tests, whatever the label's platform: the
scenario runner, waits, screenshots of an X display, pictures, OCR, and one
run of a label program with its diagnostic output. Python standard library
only.
"""

import argparse
import ctypes
import ctypes.util
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback


class E2EFailure(Exception):
    """A check that did not hold."""


class E2ESkip(Exception):
    """The platform cannot show what the test looks for."""


def check(condition, message):
    if not condition:
        raise E2EFailure(message)


def run_scenarios(doc, scenarios, arguments, make_context):
    """The command line and the loop of an end-to-end script: --scenario NAME
    (or "all") and the named arguments (name -> help), each scenario in a
    fresh context (make_context(args, name)) that is always finished.
    Returns the exit code: 0 pass, 1 fail, 77 a lone scenario skipped."""
    parser = argparse.ArgumentParser(description=doc, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--scenario", required=True, choices=sorted(scenarios) + ["all"])
    for name, text in arguments.items():
        parser.add_argument("--" + name, required=True, help=text)
    args = parser.parse_args()
    names = sorted(scenarios) if args.scenario == "all" else [args.scenario]
    failed = 0
    for name in names:
        began = time.monotonic()
        print("scenario %s" % name)
        ctx = make_context(args, name)
        try:
            scenarios[name](ctx)
            print("PASS %s (%.1f s)" % (name, time.monotonic() - began))
        except E2ESkip as skip:
            print("SKIP %s: %s" % (name, skip))
            if len(names) == 1:
                return 77
        except E2EFailure as failure:
            failed += 1
            print("FAIL %s: %s" % (name, failure))
        except Exception:  # an error of the harness itself
            failed += 1
            traceback.print_exc()
            print("FAIL %s: harness error" % name)
        finally:
            ctx.finish()
        sys.stdout.flush()
    return 1 if failed else 0


def wait_until(condition, timeout, interval=0.05, what="condition"):
    """Polls condition() until it returns a true value; returns that value."""
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= end:
            raise E2EFailure("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


# --------------------------------------------------------------------------
# Images


class Image:
    """An RGB image held as bytes, row by row."""

    def __init__(self, width, height, data, left=0, top=0):
        self.width = width
        self.height = height
        self.data = data
        # Screen position of the image's top-left pixel.
        self.left = left
        self.top = top

    def pixel(self, x, y):
        """The pixel at screen position (x, y)."""
        ix = x - self.left
        iy = y - self.top
        if not (0 <= ix < self.width and 0 <= iy < self.height):
            raise E2EFailure("pixel (%d, %d) lies outside the picture" % (x, y))
        i = (iy * self.width + ix) * 3
        return (self.data[i], self.data[i + 1], self.data[i + 2])

    def crop(self, left, top, right, bottom):
        """The part from screen (left, top) to (right, bottom), exclusive."""
        left = max(left, self.left)
        top = max(top, self.top)
        right = min(right, self.left + self.width)
        bottom = min(bottom, self.top + self.height)
        check(right > left and bottom > top, "empty crop")
        rows = []
        for y in range(top, bottom):
            start = ((y - self.top) * self.width + (left - self.left)) * 3
            rows.append(self.data[start : start + (right - left) * 3])
        return Image(right - left, bottom - top, b"".join(rows), left, top)

    def to_ppm(self):
        return b"P6\n%d %d\n255\n" % (self.width, self.height) + bytes(self.data)

    def save_png(self, path, scale=1):
        args = [convert_binary(), "ppm:-"]
        if scale != 1:
            args += ["-filter", "point", "-resize", "%d%%" % (scale * 100)]
        args.append(path)
        subprocess.run(args, input=self.to_ppm(), check=True, timeout=60)

    @staticmethod
    def from_ppm(blob, left=0, top=0):
        match = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", blob)
        check(match is not None, "not a binary PPM picture")
        width, height, maxval = (int(g) for g in match.groups())
        check(maxval == 255, "PPM with %d levels" % maxval)
        data = blob[match.end() : match.end() + width * height * 3]
        check(len(data) == width * height * 3, "short PPM picture")
        return Image(width, height, data, left, top)

    @staticmethod
    def from_bmp(path):
        """A 24-bit bottom-up BMP as the probe writes it."""
        with open(path, "rb") as handle:
            blob = handle.read()
        check(blob[:2] == b"BM", "%s is not a BMP file" % path)
        offset = int.from_bytes(blob[10:14], "little")
        width = int.from_bytes(blob[18:22], "little", signed=True)
        height = int.from_bytes(blob[22:26], "little", signed=True)
        bits = int.from_bytes(blob[28:30], "little")
        check(bits == 24 and height > 0, "unexpected BMP layout in %s" % path)
        row = (width * 3 + 3) & ~3
        out = bytearray()
        for y in range(height):
            start = offset + (height - 1 - y) * row
            line = blob[start : start + width * 3]
            for x in range(width):
                b, g, r = line[x * 3], line[x * 3 + 1], line[x * 3 + 2]
                out += bytes((r, g, b))
        return Image(width, height, bytes(out))


def convert_binary():
    # The real ImageMagick, not a wrapper that may sit earlier on PATH.
    for candidate in ("/usr/bin/convert", shutil.which("convert")):
        if candidate and os.path.exists(candidate):
            return candidate
    raise E2EFailure("ImageMagick's convert is not installed")


class _XImage(ctypes.Structure):
    _fields_ = [
        ("width", ctypes.c_int),
        ("height", ctypes.c_int),
        ("xoffset", ctypes.c_int),
        ("format", ctypes.c_int),
        ("data", ctypes.POINTER(ctypes.c_ubyte)),
        ("byte_order", ctypes.c_int),
        ("bitmap_unit", ctypes.c_int),
        ("bitmap_bit_order", ctypes.c_int),
        ("bitmap_pad", ctypes.c_int),
        ("depth", ctypes.c_int),
        ("bytes_per_line", ctypes.c_int),
        ("bits_per_pixel", ctypes.c_int),
        ("red_mask", ctypes.c_ulong),
        ("green_mask", ctypes.c_ulong),
        ("blue_mask", ctypes.c_ulong),
    ]


class Screen:
    """Screenshots of the X display: XGetImage through ctypes when libX11 is
    there (fast enough to poll), else ImageMagick's import."""

    def __init__(self, display):
        self.display_name = display
        self._x = None
        self._display = None
        name = ctypes.util.find_library("X11")
        if name:
            try:
                x = ctypes.CDLL(name)
                x.XOpenDisplay.restype = ctypes.c_void_p
                x.XOpenDisplay.argtypes = [ctypes.c_char_p]
                x.XDefaultRootWindow.restype = ctypes.c_ulong
                x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
                x.XGetImage.restype = ctypes.POINTER(_XImage)
                x.XGetImage.argtypes = [
                    ctypes.c_void_p,
                    ctypes.c_ulong,
                    ctypes.c_int,
                    ctypes.c_int,
                    ctypes.c_uint,
                    ctypes.c_uint,
                    ctypes.c_ulong,
                    ctypes.c_int,
                ]
                x.XDestroyImage = None  # a macro in Xlib; XFree releases the parts
                x.XFree.argtypes = [ctypes.c_void_p]
                x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
                display_ptr = x.XOpenDisplay(display.encode())
                if display_ptr:
                    self._x = x
                    self._display = display_ptr
            except (OSError, AttributeError):
                self._x = None

    def grab(self, left=0, top=0, width=1024, height=768):
        if self._x is not None:
            x = self._x
            x.XSync(self._display, 0)
            root = x.XDefaultRootWindow(self._display)
            image_ptr = x.XGetImage(self._display, root, left, top, width, height, 0xFFFFFFFF, 2)
            if image_ptr:
                image = image_ptr.contents
                if image.bits_per_pixel == 32:
                    stride = image.bytes_per_line
                    raw = ctypes.string_at(image.data, stride * image.height)
                    out = bytearray(width * height * 3)
                    for y in range(height):
                        row = raw[y * stride : y * stride + width * 4]
                        # BGRX little-endian pixels to RGB.
                        out[y * width * 3 + 0 : (y + 1) * width * 3 : 3] = row[2::4]
                        out[y * width * 3 + 1 : (y + 1) * width * 3 : 3] = row[1::4]
                        out[y * width * 3 + 2 : (y + 1) * width * 3 : 3] = row[0::4]
                    x.XFree(image.data)
                    x.XFree(image_ptr)
                    return Image(width, height, bytes(out), left, top)
                x.XFree(image.data)
                x.XFree(image_ptr)
        args = ["import", "-display", self.display_name, "-window", "root", "-depth", "8"]
        args += ["-crop", "%dx%d+%d+%d" % (width, height, left, top), "ppm:-"]
        blob = subprocess.run(args, capture_output=True, check=True, timeout=60).stdout
        return Image.from_ppm(blob, left, top)


# --------------------------------------------------------------------------
# OCR


def _text_as_dark_on_light(image, ink, background, binary):
    """Each pixel's place between the background and the ink colour, as a
    grey from white (background) to black (ink), so that light and dark
    texts on any colour read alike."""
    axis = [a - b for a, b in zip(ink, background)]
    length = sum(a * a for a in axis) or 1
    out = bytearray()
    for i in range(0, len(image.data), 3):
        t = sum((image.data[i + k] - background[k]) * axis[k] for k in range(3)) / length
        t = min(1.0, max(0.0, t))
        if binary:
            t = 1.0 if t >= 0.5 else 0.0
        level = int(round(255 * (1 - t)))
        out += bytes((level, level, level))
    return Image(image.width, image.height, bytes(out))


def ocr_text(image, ink, background, scales=None, expected=None):
    """Reads one line of text from a label crop, trying the text both in its
    antialiased greys and thresholded, at several scales, until one reading
    equals the expected text when that is given. Returns the readings."""
    tesseract = shutil.which("tesseract")
    if tesseract is None:
        raise E2EFailure("tesseract is not installed")
    if scales is None:
        # Tesseract reads lines best when they are about 80 pixels high.
        candidates = (1, 1.5, 2, 3, 4, 6, 8)
        scales = sorted(candidates, key=lambda s: abs(image.height * s - 80))[:4]
    variants = [(False, scale) for scale in scales] + [(True, scale) for scale in scales]
    prepared = {}
    readings = []
    with tempfile.TemporaryDirectory() as work:
        for binary, scale in variants:
            if binary not in prepared:
                prepared[binary] = _text_as_dark_on_light(image, ink, background, binary)
            path = os.path.join(work, "line.png")
            # A white margin helps tesseract find the line.
            args = [convert_binary(), "ppm:-", "-bordercolor", "white", "-border", "10"]
            args += ["-filter", "triangle", "-resize", "%d%%" % int(scale * 100), path]
            subprocess.run(args, input=prepared[binary].to_ppm(), check=True, timeout=60)
            result = subprocess.run(
                [tesseract, path, "stdout", "--psm", "7", "-l", "eng"], capture_output=True, text=True, timeout=60
            )
            readings.append(" ".join(result.stdout.split()))
            if expected is None or readings[-1] == expected:
                break
    return readings


def ocr_words(image, scale=3):
    """Words with their boxes in screen coordinates (tesseract TSV)."""
    tesseract = shutil.which("tesseract")
    if tesseract is None:
        raise E2EFailure("tesseract is not installed")
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "block.png")
        args = [convert_binary(), "ppm:-", "-colorspace", "gray"]
        args += ["-filter", "triangle", "-resize", "%d%%" % (scale * 100), path]
        subprocess.run(args, input=image.to_ppm(), check=True, timeout=60)
        result = subprocess.run(
            [tesseract, path, "stdout", "--psm", "6", "-l", "eng", "tsv"], capture_output=True, text=True, timeout=60
        )
    words = []
    for line in result.stdout.splitlines()[1:]:
        cells = line.split("\t")
        if len(cells) < 12 or not cells[11].strip():
            continue
        left, top, width, height = (int(c) for c in cells[6:10])
        words.append(
            {
                "text": cells[11].strip(),
                "left": image.left + left // scale,
                "top": image.top + top // scale,
                "right": image.left + (left + width) // scale,
                "bottom": image.top + (top + height) // scale,
            }
        )
    return words


# --------------------------------------------------------------------------
# Processes


def stop_process(process):
    if process is not None and process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(timeout=10)


# The label's diagnostic lines (its debug mode): the sampled colour, then the
# appearance values computed for it.
SAMPLE_LINE = re.compile(r"R: (\d+) G: (\d+) B: (\d+) - ")
APPEARANCE_LINE = re.compile(r"j: (-?\d+) c: (-?\d+) h: (-?\d+) ")


class LabelRun:
    """One run of a label program, its output kept in a log file: the
    colours it sampled, their appearance values and how it ended. start(log)
    starts the program with its diagnostic output going to the open log file
    and returns the process; a platform overrides diagnostics() when its
    log wraps the label's lines, and ask_to_end() when the label is ended
    otherwise than by SIGTERM."""

    EXIT_TIMEOUT = 15

    def __init__(self, log_path, start):
        self.log_path = log_path
        self.log = open(log_path, "wb")
        self.process = start(self.log)
        self.exit_code = None

    def log_text(self):
        self.log.flush()
        with open(self.log_path, "rb") as handle:
            return handle.read().decode("utf-8", errors="replace")

    def diagnostics(self):
        return self.log_text()

    def samples(self):
        """The colours for which the pipeline ran, in order, as (r, g, b)."""
        return [tuple(int(v) for v in m.groups()) for m in SAMPLE_LINE.finditer(self.diagnostics())]

    def appearances(self):
        """The (J, C, H) lines, truncated as the label prints them, in order."""
        return [tuple(int(v) for v in m.groups()) for m in APPEARANCE_LINE.finditer(self.diagnostics())]

    def wait_exit(self, timeout=None):
        timeout = timeout or self.EXIT_TIMEOUT
        try:
            self.exit_code = self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise E2EFailure("the label did not end within %d s" % timeout)
        return self.exit_code

    def ask_to_end(self):
        self.process.terminate()

    def stop(self):
        """Ends the run whatever state it is in (used on every path out)."""
        if self.process.poll() is None:
            try:
                self.ask_to_end()
                self.process.wait(timeout=10)
            except (subprocess.TimeoutExpired, E2EFailure):
                self.process.kill()
                self.process.wait(timeout=10)
        self.log.close()


class ScenarioContext:
    """What one scenario holds, whatever the platform: its arguments, the
    artefact folder, the label runs it started (all ended by finish()) and
    its notes."""

    def __init__(self, args, name):
        self.args = args
        self.name = name
        self.artifacts = os.path.abspath(args.artifacts)
        os.makedirs(self.artifacts, exist_ok=True)
        self.runs = []
        self.notes = []

    def log_path(self, log_name):
        return os.path.join(self.artifacts, log_name)

    def save(self, image, tag):
        """The picture as tag.png and, four times enlarged, tag-x4.png."""
        image.save_png(os.path.join(self.artifacts, "%s.png" % tag))
        image.save_png(os.path.join(self.artifacts, "%s-x4.png" % tag), scale=4)

    def note(self, text):
        print("  " + text)
        self.notes.append(text)

    def finish(self):
        for run in self.runs:
            try:
                run.stop()
            except Exception as error:  # keep ending the others
                self.notes.append("stopping the label: %s" % error)
