// tintora-inject.exe: drives raw mouse events at the label and watches it.
//
// Moves the pointer (SendInput, absolute or relative) between two points of
// the colour patches, so that every event samples a new colour (--mode
// change) or the same one (--mode same). After every --sync-every events it
// moves onto the marker strip and waits until the label shows the marker
// colour: the label has then handled every event sent so far. At each such
// point it records the label process's memory and GUI object counts, and
// every --ping-every events it checks that the label still answers
// (SendMessageTimeoutW WM_NULL).
//
// Output (stdout, one "key=value" per line; "checkpoint,..." CSV rows):
//   checkpoint,<events>,<elapsed ms>,<sync wait ms>,<pagefile KiB>,<working set KiB>,<gdi>,<user>
//   events_sent=, expected_pipeline_runs=, pings_ok=, pings_failed=, ...
// Exit code: 0 all well, 1 bad arguments, 2 set-up failed (a window or a
// patch not found), 3 the label stopped answering or fell behind, 4 the
// label's memory grew after warm-up.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <psapi.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "drive_core.h"

namespace {

using namespace tintora::drive;

constexpr UINT kSinkQueryCount = WM_APP + 1;  // answered by tintora-rawsink.exe

struct Session {
  InjectOptions options;
  HWND label = nullptr;
  HWND sink = nullptr;
  HANDLE labelProcess = nullptr;
  HDC screen = nullptr;
  int width = 0, height = 0;
  Point first{}, second{}, marker{};
  Point current{};
  POINT probe{};  // a pixel of the label's fill, away from its text
  LARGE_INTEGER frequency{};
  LARGE_INTEGER start{};
  long long sent = 0;      // SendInput calls that went through
  long long sinkBase = 0;  // the sink's count before the first of them
  long long pingsOk = 0, pingsFailed = 0;
  double maxPingMs = 0.0;
  long long syncFailures = 0;
  double maxSyncMs = 0.0;
  double maxStepMs = 0.0;  // longest lock-step wait
  long long resent = 0;    // moves sent again after an echo undid them
  bool gdiImplemented = true;
  std::vector<Sample> pagefile, workingSet, gdi, user;
};

double MillisecondsSince(const Session& s, const LARGE_INTEGER& from) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart - from.QuadPart) * 1000.0 /
         static_cast<double>(s.frequency.QuadPart);
}

std::uint32_t ScreenRgb(const Session& s, int x, int y) {
  const COLORREF c = GetPixel(s.screen, x, y);
  if (c == CLR_INVALID) return 0xFFFFFFFFu;
  return (static_cast<std::uint32_t>(GetRValue(c)) << 16) |
         (static_cast<std::uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
}

HWND WaitForWindow(const wchar_t* className, const wchar_t* title, int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += 100) {
    HWND w = FindWindowW(className, title);
    if (w != nullptr && IsWindowVisible(w)) return w;
    Sleep(100);
  }
  return nullptr;
}

Rect ToRect(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }

// The first candidate of `area` that shows `rgb` on the screen, waiting for
// the patch window to paint; other than `not` by at least 32 pixels.
bool FindPatchPoint(const Session& s, const Rect& area, const std::vector<Rect>& avoid,
                    std::uint32_t rgb, const Point* notNear, Point* out) {
  const std::vector<Point> candidates = CandidatePoints(area, avoid, 8);
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (const Point& p : candidates) {
      if (notNear != nullptr && std::abs(p.x - notNear->x) + std::abs(p.y - notNear->y) < 32)
        continue;
      if (ScreenRgb(s, p.x, p.y) == rgb) {
        *out = p;
        return true;
      }
    }
    Sleep(100);
  }
  return false;
}

bool SendMove(Session& s, Point to) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  if (s.options.move == MoveMode::kAbsolute) {
    input.mi.dx = NormalisedFromPixel(to.x, s.width);
    input.mi.dy = NormalisedFromPixel(to.y, s.height);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  } else {
    input.mi.dx = to.x - s.current.x;
    input.mi.dy = to.y - s.current.y;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;
  }
  if (SendInput(1, &input, sizeof input) != 1) return false;
  s.current = to;
  ++s.sent;
  return true;
}

// Under Wine in a virtual desktop every SendInput move warps the X pointer,
// and the X server's echo of that warp comes back as a second mouse event.
// When the echo of an earlier move arrives late, it puts the pointer back
// for a moment, and the label may sample there. So while waiting, send the
// move to `target` again when the pointer is elsewhere (counted as resent;
// each resend is one more raw event for the label).
bool WaitForLabelColour(Session& s, std::uint32_t rgb, Point target, bool isSync) {
  LARGE_INTEGER from;
  QueryPerformanceCounter(&from);
  double nextCheckMs = 50.0;
  double lastResendMs = 0.0;
  for (;;) {
    if (ScreenRgb(s, s.probe.x, s.probe.y) == rgb) break;
    const double waited = MillisecondsSince(s, from);
    if (waited > s.options.syncTimeoutMs) {
      ++s.syncFailures;
      std::printf("error=the label did not show %06X within %d ms after %lld events\n", rgb,
                  s.options.syncTimeoutMs, s.sent);
      return false;
    }
    if (waited > nextCheckMs) {
      nextCheckMs = waited + 50.0;
      // Resending adds echoes of its own, so only when the pointer was put
      // back, or when the label has shown nothing new for a long while.
      POINT at{};
      const bool known = GetCursorPos(&at) != 0;
      const bool movedBack = known && (at.x != target.x || at.y != target.y);
      if (movedBack || waited - lastResendMs > 500.0) {
        if (known) s.current = Point{at.x, at.y};  // relative moves start from here
        if (SendMove(s, target)) ++s.resent;
        lastResendMs = waited;
      }
    }
    Sleep(1);
  }
  const double waited = MillisecondsSince(s, from);
  if (isSync && waited > s.maxSyncMs) s.maxSyncMs = waited;
  if (!isSync && waited > s.maxStepMs) s.maxStepMs = waited;
  return true;
}

long long SinkCount(const Session& s) {
  DWORD_PTR result = 0;
  if (SendMessageTimeoutW(s.sink, kSinkQueryCount, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) == 0)
    return -1;
  return static_cast<long long>(result);
}

bool WaitForSink(Session& s, long long expected) {
  LARGE_INTEGER from;
  QueryPerformanceCounter(&from);
  long long seen = -1;
  while (MillisecondsSince(s, from) <= s.options.syncTimeoutMs) {
    seen = SinkCount(s);
    if (seen >= expected) return true;
    Sleep(1);
  }
  ++s.syncFailures;
  std::printf("error=the raw-input sink counted %lld of %lld events\n", seen, expected);
  return false;
}

void Ping(Session& s) {
  LARGE_INTEGER from;
  QueryPerformanceCounter(&from);
  DWORD_PTR result = 0;
  if (SendMessageTimeoutW(s.label, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0) {
    ++s.pingsOk;
  } else {
    ++s.pingsFailed;
    std::printf("error=the label did not answer WM_NULL after %lld events\n", s.sent);
  }
  const double ms = MillisecondsSince(s, from);
  if (ms > s.maxPingMs) s.maxPingMs = ms;
}

void Checkpoint(Session& s, long long events, double syncMs) {
  long long pagefileKiB = -1, workingSetKiB = -1, gdiCount = -1, userCount = -1;
  if (s.labelProcess != nullptr) {
    PROCESS_MEMORY_COUNTERS pm{};
    pm.cb = sizeof pm;
    if (GetProcessMemoryInfo(s.labelProcess, &pm, sizeof pm)) {
      pagefileKiB = static_cast<long long>(pm.PagefileUsage / 1024);
      workingSetKiB = static_cast<long long>(pm.WorkingSetSize / 1024);
      s.pagefile.push_back(Sample{events, pagefileKiB});
      s.workingSet.push_back(Sample{events, workingSetKiB});
    }
    SetLastError(0);
    const DWORD g = GetGuiResources(s.labelProcess, GR_GDIOBJECTS);
    if (g == 0 && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
      s.gdiImplemented = false;
    } else {
      gdiCount = g;
      userCount = GetGuiResources(s.labelProcess, GR_USEROBJECTS);
      s.gdi.push_back(Sample{events, gdiCount});
      s.user.push_back(Sample{events, userCount});
    }
  }
  std::printf("checkpoint,%lld,%.1f,%.1f,%lld,%lld,%lld,%lld\n", events,
              MillisecondsSince(s, s.start), syncMs, pagefileKiB, workingSetKiB, gdiCount,
              userCount);
  std::fflush(stdout);
}

// Marker move, then wait until the receivers have handled everything.
bool Sync(Session& s, long long events) {
  LARGE_INTEGER from;
  QueryPerformanceCounter(&from);
  bool ok = true;
  if (s.label != nullptr) ok = WaitForLabelColour(s, s.options.markerRgb, s.marker, true) && ok;
  if (s.sink != nullptr) ok = WaitForSink(s, s.sinkBase + s.sent) && ok;
  Checkpoint(s, events, MillisecondsSince(s, from));
  return ok;
}

void PrintVerdict(const char* name, const FlatVerdict& v, long long slackKiB, double slack) {
  if (!v.measured) {
    std::printf("%s=not-measured\n", name);
    return;
  }
  std::printf("%s=%s reference=%lld max=%lld allowed=%lld (slack max(%lld, %.0f%%))\n", name,
              v.flat ? "flat" : "GROWS", v.reference, v.maximum, v.allowed, slackKiB,
              slack * 100.0);
}

int Run(Session& s) {
  const InjectOptions& o = s.options;
  s.screen = GetDC(nullptr);
  s.width = GetSystemMetrics(SM_CXSCREEN);
  s.height = GetSystemMetrics(SM_CYSCREEN);
  std::printf("screen=%dx%d\n", s.width, s.height);

  std::vector<Rect> avoid;
  if (o.needLabel) {
    s.label = WaitForWindow(L"Tintora", L"Tintora", 30000);
    if (s.label == nullptr) {
      std::printf("error=no label window (class and title \"Tintora\")\n");
      return 2;
    }
    RECT window{}, region{};
    GetWindowRect(s.label, &window);
    if (GetWindowRgnBox(s.label, &region) == ERROR)
      region = RECT{0, 0, window.right - window.left, 8};
    avoid.push_back(ToRect(window));
    // A fill pixel of the visible label: inside the frame, left of any text.
    s.probe.x = window.left + 2;
    s.probe.y = window.top + 2;
    if (s.probe.x < 0) s.probe.x = 0;
    if (s.probe.y < 0) s.probe.y = 0;
    std::printf("label=%ld,%ld,%ld,%ld region_bottom=%ld probe=%ld,%ld\n", window.left, window.top,
                window.right, window.bottom, region.bottom, s.probe.x, s.probe.y);
    DWORD pid = 0;
    GetWindowThreadProcessId(s.label, &pid);
    s.labelProcess = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  }
  if (o.needSink) {
    s.sink = WaitForWindow(L"TintoraRawSink", nullptr, 30000);
    if (s.sink == nullptr) {
      std::printf("error=no raw-input sink window\n");
      return 2;
    }
    RECT r{};
    GetWindowRect(s.sink, &r);
    avoid.push_back(ToRect(r));
  }
  HWND patches = WaitForWindow(L"TintoraPatches", nullptr, 30000);
  if (patches == nullptr) {
    std::printf("error=no patch window\n");
    return 2;
  }
  // Wine delivers raw input, to input sinks too, only while the desktop has
  // a foreground window; when the foreground program has ended there is
  // none, and no WM_INPUT reaches anybody. The patch window then takes it.
  if (GetForegroundWindow() == nullptr) {
    SetForegroundWindow(patches);
    bool taken = false;
    for (int waited = 0; waited < 2000 && !taken; waited += 10) {
      taken = GetForegroundWindow() == patches;
      Sleep(10);
    }
    std::printf("foreground=none, given to the patch window: %s\n", taken ? "yes" : "NO");
  }
  const PatchLayout layout = LayoutPatches(s.width, s.height);
  const bool change = o.colour == ColourMode::kChange;
  const std::uint32_t secondRgb = change ? o.rightRgb : o.leftRgb;
  if (!FindPatchPoint(s, layout.left, avoid, o.leftRgb, nullptr, &s.first) ||
      !FindPatchPoint(s, change ? layout.right : layout.left, avoid, secondRgb, &s.first,
                      &s.second) ||
      !FindPatchPoint(s, layout.marker, avoid, o.markerRgb, nullptr, &s.marker)) {
    std::printf("error=the patches are not on the screen in the expected colours\n");
    return 2;
  }
  std::printf("points=%d,%d %d,%d marker=%d,%d mode=%s%s move=%s rate=%.0f\n", s.first.x, s.first.y,
              s.second.x, s.second.y, s.marker.x, s.marker.y, change ? "change" : "same",
              o.lockstep ? " lockstep" : "",
              o.move == MoveMode::kAbsolute ? "absolute" : "relative", o.rate);

  QueryPerformanceFrequency(&s.frequency);
  QueryPerformanceCounter(&s.start);
  if (s.sink != nullptr) s.sinkBase = SinkCount(s);
  // The pointer starts wherever it is; an absolute move puts it on the marker
  // (relative moves are measured from there), and the label shows the marker.
  {
    const MoveMode wanted = s.options.move;
    s.options.move = MoveMode::kAbsolute;
    const bool moved = SendMove(s, s.marker);
    s.options.move = wanted;
    if (!moved) {
      std::printf("error=SendInput failed (%lu)\n", GetLastError());
      return 2;
    }
  }
  if (!Sync(s, 0)) return 3;
  if (o.move == MoveMode::kRelative) {
    POINT at{};
    GetCursorPos(&at);
    std::printf("relative_start=%ld,%ld\n", at.x, at.y);
  }

  const std::vector<Target> plan = PlanEvents(o.events, o.syncEvery);
  // The pre-roll marker move above is a colour change of its own.
  const std::uint32_t planFirst = o.leftRgb;
  const long long expectedRuns =
      ExpectedColourChanges(plan, planFirst, secondRgb, o.markerRgb, o.markerRgb) + 1;

  LARGE_INTEGER stretch;
  QueryPerformanceCounter(&stretch);
  long long inStretch = 0;
  long long events = 0;
  int failure = 0;
  for (Target t : plan) {
    if (t == Target::kMarker) {
      if (!SendMove(s, s.marker)) {
        std::printf("error=SendInput failed (%lu)\n", GetLastError());
        failure = 3;
        break;
      }
      if (!Sync(s, events)) {
        failure = 3;
        break;
      }
      QueryPerformanceCounter(&stretch);
      inStretch = 0;
      continue;
    }
    if (o.rate > 0.0) {
      const long long due = DueMicroseconds(inStretch, o.rate);
      for (;;) {
        const double aheadMs = static_cast<double>(due) / 1000.0 - MillisecondsSince(s, stretch);
        if (aheadMs <= 0.0) break;
        if (aheadMs >= 2.0) Sleep(1);
      }
    }
    if (!SendMove(s, t == Target::kFirst ? s.first : s.second)) {
      std::printf("error=SendInput failed (%lu)\n", GetLastError());
      failure = 3;
      break;
    }
    ++inStretch;
    ++events;
    const bool toFirst = t == Target::kFirst;
    if (o.lockstep && !WaitForLabelColour(s, toFirst ? o.leftRgb : secondRgb,
                                          toFirst ? s.first : s.second, false)) {
      failure = 3;
      break;
    }
    if (s.label != nullptr && o.pingEvery > 0 && events % o.pingEvery == 0) Ping(s);
  }
  const double elapsedMs = MillisecondsSince(s, s.start);
  if (s.label != nullptr) {
    POINT at{};
    GetCursorPos(&at);
    if (at.x != s.current.x || at.y != s.current.y) {
      std::printf("warning=pointer at %ld,%ld, expected %d,%d\n", at.x, at.y, s.current.x,
                  s.current.y);
    }
  }

  std::printf("events=%lld\n", events);
  std::printf("events_sent=%lld\n", s.sent);
  std::printf("expected_pipeline_runs=%lld\n", s.label != nullptr ? expectedRuns : 0);
  std::printf("elapsed_ms=%.0f\n", elapsedMs);
  std::printf("rate_achieved=%.0f\n",
              elapsedMs > 0 ? static_cast<double>(events) * 1000.0 / elapsedMs : 0.0);
  if (s.label != nullptr) {
    std::printf("pings_ok=%lld\npings_failed=%lld\nmax_ping_ms=%.1f\n", s.pingsOk, s.pingsFailed,
                s.maxPingMs);
    std::printf("max_sync_ms=%.1f\n", s.maxSyncMs);
    if (o.lockstep) std::printf("max_lockstep_ms=%.1f\n", s.maxStepMs);
  }
  if (s.sink != nullptr) std::printf("sink_count=%lld\n", SinkCount(s) - s.sinkBase);
  std::printf("sync_failures=%lld\n", s.syncFailures);
  std::printf("moves_resent=%lld\n", s.resent);

  // Flat after warm-up: allow max(1 MiB, 2 %) over the first figure after it.
  constexpr long long kSlackKiB = 1024;
  constexpr double kSlack = 0.02;
  const FlatVerdict pf = JudgeFlat(s.pagefile, o.warmupEvents, kSlackKiB, kSlack);
  PrintVerdict("pagefile_kib", pf, kSlackKiB, kSlack);
  PrintVerdict("workingset_kib", JudgeFlat(s.workingSet, o.warmupEvents, kSlackKiB, kSlack),
               kSlackKiB, kSlack);
  if (s.label != nullptr && !s.gdiImplemented) {
    std::printf(
        "gdi_objects=not-implemented (GetGuiResources fails with ERROR_CALL_NOT_IMPLEMENTED)\n");
  } else if (s.label != nullptr) {
    const FlatVerdict g = JudgeFlat(s.gdi, o.warmupEvents, 0, 0.0);
    PrintVerdict("gdi_objects", g, 0, 0.0);
    PrintVerdict("user_objects", JudgeFlat(s.user, o.warmupEvents, 0, 0.0), 0, 0.0);
    if (g.measured && !g.flat && failure == 0) failure = 4;
  }
  if (failure == 0 && (s.pingsFailed > 0 || s.syncFailures > 0)) failure = 3;
  if (failure == 0 && pf.measured && !pf.flat) failure = 4;
  std::printf("result=%s\n", failure == 0 ? "ok" : "FAILED");
  return failure;
}

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; *text != 0; ++text) out.push_back(*text < 128 ? static_cast<char>(*text) : '?');
  return out;
}

}  // namespace

int wmain() {
  // Plain \n line ends, and each line out at once: the scripts read along.
  _setmode(_fileno(stdout), _O_BINARY);
  std::setvbuf(stdout, nullptr, _IOLBF, 4096);
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 1; argv != nullptr && i < argc; ++i) args.push_back(Narrow(argv[i]));
  if (argv != nullptr) LocalFree(argv);

  Session s;
  std::string error;
  if (!ParseInjectOptions(args, &s.options, &error)) {
    std::printf("error=%s\n", error.c_str());
    std::printf(
        "usage: tintora-inject.exe [--events N] [--mode change|same] [--move absolute|relative]\n"
        "       [--rate EVENTS_PER_S (0: unpaced)] [--sync-every N] [--ping-every N] [--warmup N]\n"
        "       [--lockstep] [--sink] [--no-label] [--left RRGGBB] [--right RRGGBB] [--marker "
        "RRGGBB]\n");
    return 1;
  }
  const int rc = Run(s);
  if (s.screen != nullptr) ReleaseDC(nullptr, s.screen);
  if (s.labelProcess != nullptr) CloseHandle(s.labelProcess);
  std::fflush(stdout);
  return rc;
}
