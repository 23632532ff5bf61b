#include "drive_core.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace tintora {
namespace drive {

PatchLayout LayoutPatches(int screenWidth, int screenHeight) {
  const int split = screenHeight - screenHeight / 4;
  const int middle = screenWidth / 2;
  PatchLayout layout{};
  layout.left = Rect{0, 0, middle, split};
  layout.right = Rect{middle, 0, screenWidth, split};
  layout.marker = Rect{0, split, screenWidth, screenHeight};
  return layout;
}

std::vector<Point> CandidatePoints(const Rect& area, const std::vector<Rect>& avoid, int margin) {
  std::vector<Point> points;
  const int left = area.left + margin;
  const int top = area.top + margin;
  const int right = area.right - margin;  // exclusive
  const int bottom = area.bottom - margin;
  if (left >= right || top >= bottom) return points;
  // A coarse grid is enough: the patches are large and only windows are avoided.
  const int step = 16;
  for (int y = top; y < bottom; y += step) {
    for (int x = left; x < right; x += step) {
      bool clear = true;
      for (const Rect& r : avoid) {
        const Rect grown{r.left - margin, r.top - margin, r.right + margin, r.bottom + margin};
        if (Contains(grown, Point{x, y})) {
          clear = false;
          break;
        }
      }
      if (clear) points.push_back(Point{x, y});
    }
  }
  const long long cx = (static_cast<long long>(area.left) + area.right) / 2;
  const long long cy = (static_cast<long long>(area.top) + area.bottom) / 2;
  // Nearest first; equal distances keep the row-major order they were made in
  // (a plain sort with that tie-break: libstdc++'s stable_sort draws a
  // deprecation warning from clang).
  std::sort(points.begin(), points.end(), [cx, cy](const Point& a, const Point& b) {
    const long long da = (a.x - cx) * (a.x - cx) + (a.y - cy) * (a.y - cy);
    const long long db = (b.x - cx) * (b.x - cx) + (b.y - cy) * (b.y - cy);
    if (da != db) return da < db;
    return a.y != b.y ? a.y < b.y : a.x < b.x;
  });
  return points;
}

int NormalisedFromPixel(int pixel, int extent) {
  if (extent <= 0) return 0;
  if (pixel < 0) pixel = 0;
  if (pixel >= extent) pixel = extent - 1;
  // Centre of the pixel: (pixel + 0.5) * 65536 / extent, in integers.
  const long long value = ((2LL * pixel + 1) * 65536LL) / (2LL * extent);
  return static_cast<int>(std::min<long long>(value, 65535));
}

int PixelFromNormalised(int normalised, int extent) {
  return static_cast<int>((static_cast<long long>(normalised) * extent) >> 16);
}

bool ParseRgb(const std::string& text, std::uint32_t* rgb) {
  std::string digits = text;
  if (!digits.empty() && digits[0] == '#') digits.erase(0, 1);
  if (digits.size() != 6) return false;
  std::uint32_t value = 0;
  for (char c : digits) {
    unsigned d;
    if (c >= '0' && c <= '9') {
      d = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      d = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      d = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
    value = (value << 4) | d;
  }
  *rgb = value;
  return true;
}

namespace {

bool ParseCount(const std::string& text, long long minimum, long long* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end == nullptr || *end != '\0' || value < minimum) return false;
  *out = value;
  return true;
}

bool ParseRate(const std::string& text, double* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (errno != 0 || end == nullptr || *end != '\0' || !(value >= 0.0) || value > 1e7) return false;
  *out = value;
  return true;
}

}  // namespace

bool ParseInjectOptions(const std::vector<std::string>& args, InjectOptions* options,
                        std::string* error) {
  InjectOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* v) {
      if (i + 1 >= args.size()) {
        *error = a + " needs a value";
        return false;
      }
      *v = args[++i];
      return true;
    };
    std::string v;
    if (a == "--no-label") {
      o.needLabel = false;
    } else if (a == "--sink") {
      o.needSink = true;
    } else if (a == "--lockstep") {
      o.lockstep = true;
    } else if (a == "--events" || a == "--sync-every" || a == "--ping-every" || a == "--warmup" ||
               a == "--sync-timeout-ms") {
      if (!value(&v)) return false;
      long long n = 0;
      const long long minimum = (a == "--events" || a == "--sync-timeout-ms") ? 1 : 0;
      if (!ParseCount(v, minimum, &n) || n > 1000000000LL) {
        *error = "bad number for " + a + ": " + v;
        return false;
      }
      if (a == "--events") o.events = n;
      if (a == "--sync-every") o.syncEvery = n;
      if (a == "--ping-every") o.pingEvery = n;
      if (a == "--warmup") o.warmupEvents = n;
      if (a == "--sync-timeout-ms") {
        if (n > 3600000) {
          *error = "bad number for " + a + ": " + v;
          return false;
        }
        o.syncTimeoutMs = static_cast<int>(n);
      }
    } else if (a == "--rate") {
      if (!value(&v)) return false;
      if (!ParseRate(v, &o.rate)) {
        *error = "bad rate: " + v;
        return false;
      }
    } else if (a == "--mode") {
      if (!value(&v)) return false;
      if (v == "change") {
        o.colour = ColourMode::kChange;
      } else if (v == "same") {
        o.colour = ColourMode::kSame;
      } else {
        *error = "--mode is change or same, not " + v;
        return false;
      }
    } else if (a == "--move") {
      if (!value(&v)) return false;
      if (v == "absolute") {
        o.move = MoveMode::kAbsolute;
      } else if (v == "relative") {
        o.move = MoveMode::kRelative;
      } else {
        *error = "--move is absolute or relative, not " + v;
        return false;
      }
    } else if (a == "--left" || a == "--right" || a == "--marker") {
      if (!value(&v)) return false;
      std::uint32_t rgb = 0;
      if (!ParseRgb(v, &rgb)) {
        *error = "bad colour for " + a + ": " + v;
        return false;
      }
      if (a == "--left") o.leftRgb = rgb;
      if (a == "--right") o.rightRgb = rgb;
      if (a == "--marker") o.markerRgb = rgb;
    } else {
      *error = "unknown argument: " + a;
      return false;
    }
  }
  if (o.lockstep && (o.colour != ColourMode::kChange || !o.needLabel)) {
    *error = "--lockstep needs --mode change and a label";
    return false;
  }
  if (o.leftRgb == o.rightRgb || o.leftRgb == o.markerRgb || o.rightRgb == o.markerRgb) {
    *error = "the three patch colours must differ";
    return false;
  }
  *options = o;
  return true;
}

std::vector<Target> PlanEvents(long long events, long long syncEvery) {
  std::vector<Target> plan;
  if (events <= 0) return plan;
  const long long markers = syncEvery > 0 ? (events - 1) / syncEvery + 1 : 1;
  plan.reserve(static_cast<std::size_t>(events + markers));
  for (long long i = 0; i < events; ++i) {
    plan.push_back((i % 2 == 0) ? Target::kFirst : Target::kSecond);
    const bool last = i + 1 == events;
    if (last || (syncEvery > 0 && (i + 1) % syncEvery == 0)) plan.push_back(Target::kMarker);
  }
  return plan;
}

long long ExpectedColourChanges(const std::vector<Target>& plan, std::uint32_t firstRgb,
                                std::uint32_t secondRgb, std::uint32_t markerRgb,
                                std::uint32_t lastRgb) {
  long long changes = 0;
  std::uint32_t last = lastRgb;
  for (Target t : plan) {
    const std::uint32_t c = t == Target::kFirst    ? firstRgb
                            : t == Target::kSecond ? secondRgb
                                                   : markerRgb;
    if (c != last) {
      ++changes;
      last = c;
    }
  }
  return changes;
}

FlatVerdict JudgeFlat(const std::vector<Sample>& samples, long long warmupEvents,
                      long long absoluteSlack, double relativeSlack) {
  FlatVerdict v;
  int after = 0;
  for (const Sample& s : samples) {
    if (s.events < warmupEvents) continue;
    if (after == 0) {
      v.reference = s.value;
      v.maximum = s.value;
    }
    v.maximum = std::max(v.maximum, s.value);
    ++after;
  }
  if (after < 2) return v;
  v.measured = true;
  const long long relative =
      static_cast<long long>(static_cast<double>(v.reference) * relativeSlack);
  v.allowed = v.reference + std::max(absoluteSlack, relative);
  v.flat = v.maximum <= v.allowed;
  return v;
}

long long DueMicroseconds(long long index, double rate) {
  if (!(rate > 0.0)) return 0;
  return static_cast<long long>(static_cast<double>(index) * 1e6 / rate);
}

}  // namespace drive
}  // namespace tintora
