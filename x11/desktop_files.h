// The label's files on a Linux desktop, as text: where they live (XDG base
// directories), the saved position as a small key file, and the autostart
// entry as a desktop entry. Pure functions; the shell does the file system.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tintora {

// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config; nothing
// when neither gives an absolute directory. Either argument may be null.
std::optional<std::string> ConfigHome(const char* xdgConfigHome, const char* home);

// <config home>/tintora/tintora.conf and <config home>/autostart/tintora.desktop.
std::string SettingsDirectory(const std::string& configHome);
std::string SettingsFilePath(const std::string& configHome);
std::string AutostartDirectory(const std::string& configHome);
std::string AutostartFilePath(const std::string& configHome);

struct SavedPosition {
  std::int32_t x;
  std::int32_t y;
};

// The settings file's text:
//   [Label]
//   X=<left>
//   Y=<top>
std::string FormatSettingsFile(const SavedPosition& position);

// The position in a settings file: both keys of the [Label] group, each a
// decimal 32-bit integer and nothing else. Anything missing, repeated,
// malformed or out of range gives no position. Blank lines, comments (#)
// and other groups and keys are passed over.
std::optional<SavedPosition> ParseSettingsFile(const std::string& text);

// The program's path as one argument of a desktop entry's Exec key: in
// double quotes, with ", `, $ and \ escaped by a backslash and % doubled,
// then with \ escaped again for the string value. Nothing for an empty or
// relative path or one holding a control character (a newline would end
// the key).
std::optional<std::string> QuoteExecArgument(const std::string& path);

// The autostart entry that starts the program at `path` at log-on; nothing
// when the path cannot be quoted.
std::optional<std::string> FormatAutostartEntry(const std::string& path);

}  // namespace tintora
