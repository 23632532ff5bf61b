// The X11 label's settings on disk: the saved position in
// $XDG_CONFIG_HOME/tintora/tintora.conf and the autostart entry in
// $XDG_CONFIG_HOME/autostart/tintora.desktop. Each file is written whole or
// not at all.
#pragma once

#include <optional>
#include <string>

#include "desktop_files.h"

namespace tintora {

// The configuration directory of the user; nothing when neither
// $XDG_CONFIG_HOME, $HOME nor the password database gives one.
std::optional<std::string> UserConfigHome();

// Writes `content` to `path` through a temporary file in the same directory,
// synced and renamed into place; makes the directory (mode 0700) first when
// it is missing. False, with nothing changed at `path`, on any failure.
bool WriteFileWhole(const std::string& directory, const std::string& path,
                    const std::string& content);

bool SaveWindowPosition(const SavedPosition& position);
std::optional<SavedPosition> RestoreWindowPosition();

// The program's own absolute path, from /proc/self/exe.
std::optional<std::string> OwnExecutablePath();

// True when the autostart entry exists as a regular file.
bool IsAutostartEnabled();
// Writes the entry for this program (again, when it exists).
bool EnableAutostart();
// Removes the entry; an entry that is not there is no failure.
bool DisableAutostart();

}  // namespace tintora
