#include "x11_rules.h"

#include <cstring>

namespace tintora {

Options ParseOptions(int argc, const char* const* argv, const char* debugVariable) {
  Options options;
  options.debug =
      debugVariable != nullptr && debugVariable[0] != '\0' && std::strcmp(debugVariable, "0") != 0;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      options.help = true;
    } else if (std::strcmp(arg, "--version") == 0) {
      options.version = true;
    } else if (std::strcmp(arg, "--debug") == 0) {
      options.debug = true;
    } else if (std::strcmp(arg, "--display") == 0) {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        options.error = "--display needs a display name";
        return options;
      }
      options.display = argv[++i];
    } else if (std::strncmp(arg, "--display=", 10) == 0 && arg[10] != '\0') {
      options.display = arg + 10;
    } else {
      options.error = std::string("unknown argument ") + arg;
      return options;
    }
  }
  return options;
}

DisplayVerdict VerdictFromEnvironment(const char* display, const char* waylandDisplay) {
  if (display != nullptr && display[0] != '\0') return DisplayVerdict::Usable;
  if (waylandDisplay != nullptr && waylandDisplay[0] != '\0') return DisplayVerdict::WaylandOnly;
  return DisplayVerdict::NoDisplay;
}

DisplayVerdict VerdictFromServer(bool hasXwaylandExtension, bool hasGenericEvents, bool hasXInput,
                                 int xinputMajor) {
  if (hasXwaylandExtension) return DisplayVerdict::Xwayland;
  if (!hasGenericEvents || !hasXInput || xinputMajor < 2) return DisplayVerdict::NoXInput2;
  return DisplayVerdict::Usable;
}

const char* VerdictMessage(DisplayVerdict verdict) {
  switch (verdict) {
    case DisplayVerdict::NoDisplay:
      return "tintora: cannot open an X display (is $DISPLAY set?); "
             "the label needs an X11 session to read the screen";
    case DisplayVerdict::WaylandOnly:
      return "tintora: this is a Wayland session without X11 ($WAYLAND_DISPLAY is set, $DISPLAY "
             "is not); the label can only read the screen and follow the pointer under X11";
    case DisplayVerdict::Xwayland:
      return "tintora: the X server is Xwayland, where the windows of Wayland programs read as "
             "black; the label would name the wrong colours. Start it in an X11 session";
    case DisplayVerdict::NoXInput2:
      return "tintora: the X server has no XInput 2.0 or later (or no Generic Event extension); "
             "without raw pointer events the label cannot follow the pointer";
    case DisplayVerdict::Usable:
      break;
  }
  return "";
}

int VerdictExitStatus(DisplayVerdict verdict) {
  switch (verdict) {
    case DisplayVerdict::NoDisplay:
    case DisplayVerdict::WaylandOnly:
      return kExitNoDisplay;
    case DisplayVerdict::Xwayland:
      return kExitXwayland;
    case DisplayVerdict::NoXInput2:
      return kExitNoXInput2;
    case DisplayVerdict::Usable:
      break;
  }
  return kExitOk;
}

std::optional<unsigned> XftDpiFromResources(const std::string& resources) {
  std::optional<unsigned> dpi;
  std::size_t start = 0;
  while (start < resources.size()) {
    std::size_t end = resources.find('\n', start);
    if (end == std::string::npos) end = resources.size();
    const std::string line = resources.substr(start, end - start);
    start = end + 1;
    static const char kKey[] = "Xft.dpi:";
    if (line.compare(0, sizeof kKey - 1, kKey) != 0) continue;
    std::size_t i = sizeof kKey - 1;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    unsigned value = 0;
    std::size_t digits = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9' && digits < 6; ++i, ++digits) {
      value = value * 10 + static_cast<unsigned>(line[i] - '0');
    }
    if (i < line.size() && line[i] == '.') {
      ++i;
      while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
    }
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    // A later line overrides an earlier one, a malformed one counts as none.
    if (digits > 0 && i == line.size() && value > 0) {
      dpi = value;
    } else {
      dpi.reset();
    }
  }
  return dpi;
}

bool SavedPositionVisible(std::int32_t x, std::int32_t y, int width, int height,
                          const Rect& screen) {
  const std::int64_t right = static_cast<std::int64_t>(x) + width;
  const std::int64_t bottom = static_cast<std::int64_t>(y) + height;
  return x < screen.right && y < screen.bottom && right > screen.left && bottom > screen.top;
}

}  // namespace tintora
