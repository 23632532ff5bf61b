"""The Windows label under Wine: Wine processes, the tests' helper programs
(the probe and the patch painter) and one run of tintora.exe with its
debugger output. Python standard library only.

The session's environment (DISPLAY, WINEPREFIX, WINE, WINEDLLOVERRIDES) comes
from the Wine test desktop; see scripts/wine-desktop.sh.
"""

import json
import os
import select
import shutil
import subprocess
import time

from e2e_lib import E2EFailure, LabelRun, check


class Wine:
    def __init__(self, artifacts):
        for name in ("DISPLAY", "WINEPREFIX"):
            if not os.environ.get(name):
                raise E2EFailure(
                    "%s is not set: run through the Wine test desktop (ctest, or scripts/wine-run.sh --host)" % name
                )
        self.wine = os.environ.get("WINE") or shutil.which("wine") or "wine"
        self.env = dict(os.environ)
        self.env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
        self.env["WINEDEBUG"] = "-all"
        self.artifacts = artifacts

    def command(self, exe, args):
        return [self.wine, exe] + [str(a) for a in args]

    def run(self, exe, *args, timeout=60, debug=None):
        env = self.env if debug is None else dict(self.env, WINEDEBUG=debug)
        return subprocess.run(
            self.command(exe, args), capture_output=True, text=True, env=env, timeout=timeout, cwd=self.artifacts
        )

    def start(self, exe, *args, stdout=None, stderr=None, debug=None):
        env = self.env if debug is None else dict(self.env, WINEDEBUG=debug)
        return subprocess.Popen(
            self.command(exe, args), stdout=stdout, stderr=stderr, stdin=subprocess.DEVNULL, env=env, cwd=self.artifacts
        )

    @staticmethod
    def windows_path(unix_path):
        return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


class Helpers:
    """The probe and the patch painter."""

    def __init__(self, wine, probe, painter):
        self.wine = wine
        self.probe_exe = probe
        self.painter_exe = painter

    def probe(self, *args, allow_fail=False, timeout=60, attempts=3):
        # Every path of the probe prints an answer or a usage line, so a run
        # that printed nothing at all most likely never reached the probe's
        # code (seen rarely while other Wine programs start beside it): it is
        # run again, and said so.
        what = " ".join(map(str, args))
        for attempt in range(1, attempts + 1):
            result = self.wine.run(self.probe_exe, *args, timeout=timeout)
            if result.stdout.strip() or result.stderr.strip() or attempt == attempts:
                break
            print("  probe %s ended (exit %d) before printing anything; running it again" % (what, result.returncode))
            time.sleep(0.5)
        lines = [line for line in result.stdout.splitlines() if line.startswith("{")]
        if not lines:
            raise E2EFailure(
                "probe %s printed nothing (exit %d, run %d time(s)): %s"
                % (what, result.returncode, attempt, result.stderr.strip())
            )
        answer = json.loads(lines[-1])
        if result.returncode != 0 and not allow_fail:
            raise E2EFailure("probe %s failed: %s" % (what, lines[-1]))
        return answer

    def start_painter(self, patches, background="808080", title="E2E Painter"):
        args = ["--bg", background, "--title", title]
        for x, y, w, h, colour in patches:
            args += [x, y, w, h, colour]
        process = self.wine.start(self.painter_exe, *args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        ready, _, _ = select.select([process.stdout], [], [], 60)
        line = process.stdout.readline().decode(errors="replace") if ready else ""
        if not line.startswith("ready"):
            process.kill()
            raise E2EFailure("the patch painter did not start")
        return process


class Tintora(LabelRun):
    """One run of tintora.exe with its debugger output captured."""

    EXIT_TIMEOUT = 20

    def __init__(self, wine, helpers, exe, log_path, extra_debug=""):
        self.helpers = helpers
        debug = "-all,warn+seh" + extra_debug
        super().__init__(log_path, lambda log: wine.start(exe, stdout=subprocess.DEVNULL, stderr=log, debug=debug))

    def window(self, timeout_ms=20000):
        info = self.helpers.probe("window", "--wait", timeout_ms, allow_fail=True)
        check(info.get("found") == 1, "the Tintora window did not appear")
        return info

    def debug_text(self):
        """The label's OutputDebugString texts and the whole Wine log."""
        raw = self.log_text()
        # Each OutputDebugString line: ...:warn:seh:OutputDebugStringA "text"
        texts = []
        for line in raw.splitlines():
            marker = 'OutputDebugStringA "'
            at = line.find(marker)
            if at >= 0 and line.endswith('"'):
                texts.append(line[at + len(marker) : -1].replace("\\n", "\n"))
        return texts, raw

    def diagnostics(self):
        return "\n".join(self.debug_text()[0])

    def ask_to_end(self):
        self.helpers.probe("about", "--dismiss", allow_fail=True, timeout=20)
        self.helpers.probe("menu", "--dismiss", allow_fail=True, timeout=20)
        self.helpers.probe("close", allow_fail=True, timeout=20)
