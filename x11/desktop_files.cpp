#include "desktop_files.h"

#include <cstdlib>

namespace tintora {

namespace {

constexpr char kSettingsGroup[] = "[Label]";

bool IsAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return std::string();
  const std::size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// A decimal 32-bit integer with an optional minus sign and nothing else.
std::optional<std::int32_t> ParseInt32(const std::string& text) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) i = 1;
  if (i >= text.size() || text.size() - i > 10) return std::nullopt;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::optional<std::string> ConfigHome(const char* xdgConfigHome, const char* home) {
  // The base-directory rules: a relative $XDG_CONFIG_HOME is ignored.
  if (IsAbsolute(xdgConfigHome)) return WithoutTrailingSlashes(xdgConfigHome);
  if (IsAbsolute(home)) {
    std::string base = WithoutTrailingSlashes(home);
    if (base != "/") base += '/';
    return base + ".config";
  }
  return std::nullopt;
}

std::string SettingsDirectory(const std::string& configHome) { return configHome + "/tintora"; }
std::string SettingsFilePath(const std::string& configHome) {
  return SettingsDirectory(configHome) + "/tintora.conf";
}
std::string AutostartDirectory(const std::string& configHome) { return configHome + "/autostart"; }
std::string AutostartFilePath(const std::string& configHome) {
  return AutostartDirectory(configHome) + "/tintora.desktop";
}

std::string FormatSettingsFile(const SavedPosition& position) {
  return std::string(kSettingsGroup) + "\nX=" + std::to_string(position.x) +
         "\nY=" + std::to_string(position.y) + "\n";
}

std::optional<SavedPosition> ParseSettingsFile(const std::string& text) {
  std::optional<std::int32_t> x;
  std::optional<std::int32_t> y;
  bool inLabel = false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trimmed(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      inLabel = line == kSettingsGroup;
      continue;
    }
    if (!inLabel) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) return std::nullopt;  // not a key file line
    const std::string key = Trimmed(line.substr(0, equals));
    if (key != "X" && key != "Y") continue;
    std::optional<std::int32_t>& slot = key == "X" ? x : y;
    if (slot) return std::nullopt;  // the same key twice: which one holds?
    slot = ParseInt32(Trimmed(line.substr(equals + 1)));
    if (!slot) return std::nullopt;
  }
  if (!x || !y) return std::nullopt;
  return SavedPosition{*x, *y};
}

std::optional<std::string> QuoteExecArgument(const std::string& path) {
  if (path.empty() || path[0] != '/') return std::nullopt;
  std::string quoted = "\"";
  for (const char c : path) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return std::nullopt;
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';  // a field code otherwise
    quoted += c;
  }
  quoted += '"';
  // The Exec key is a string value, whose own escape is the backslash.
  std::string value;
  for (const char c : quoted) {
    if (c == '\\') value += '\\';
    value += c;
  }
  return value;
}

std::optional<std::string> FormatAutostartEntry(const std::string& path) {
  const std::optional<std::string> exec = QuoteExecArgument(path);
  if (!exec) return std::nullopt;
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Tintora\n"
         "Comment=Names the colour under the mouse pointer\n"
         "Exec=" +
         *exec +
         "\n"
         "Icon=tintora\n"
         "Terminal=false\n";
}

}  // namespace tintora
