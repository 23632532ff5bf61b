#include "x11_settings.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tintora {

namespace {

// Larger files are not settings of ours.
constexpr std::size_t kMaxSettingsBytes = 64 * 1024;

// mkdir -p with mode 0700 for what it creates.
bool MakeDirectories(const std::string& directory) {
  if (directory.empty()) return false;
  std::string partial;
  std::size_t at = 0;
  while (at != std::string::npos) {
    at = directory.find('/', at + 1);
    partial = directory.substr(0, at);
    if (partial.empty()) continue;
    if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat info {};
  return stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool WriteAll(int fd, const std::string& content) {
  const char* data = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    const ssize_t written = write(fd, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

std::optional<std::string> ReadSmallFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return std::nullopt;
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 || text.size() + static_cast<std::size_t>(got) > kMaxSettingsBytes) {
      close(fd);
      return std::nullopt;
    }
    if (got == 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  close(fd);
  return text;
}

}  // namespace

std::optional<std::string> UserConfigHome() {
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') {
    const struct passwd* entry = getpwuid(getuid());
    home = entry != nullptr ? entry->pw_dir : nullptr;
  }
  return ConfigHome(std::getenv("XDG_CONFIG_HOME"), home);
}

bool WriteFileWhole(const std::string& directory, const std::string& path,
                    const std::string& content) {
  if (!MakeDirectories(directory)) return false;
  std::string pattern = path + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return false;
  // Readable by others like any file of the user's; mkstemp makes it 0600.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, static_cast<mode_t>(0666 & ~mask));
  bool ok = WriteAll(fd, content) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok) ok = rename(name.data(), path.c_str()) == 0;
  if (!ok) {
    unlink(name.data());
    return false;
  }
  // The rename itself reaches the disk with the directory.
  const int dir = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}

bool SaveWindowPosition(const SavedPosition& position) {
  const std::optional<std::string> home = UserConfigHome();
  if (!home) return false;
  return WriteFileWhole(SettingsDirectory(*home), SettingsFilePath(*home),
                        FormatSettingsFile(position));
}

std::optional<SavedPosition> RestoreWindowPosition() {
  const std::optional<std::string> home = UserConfigHome();
  if (!home) return std::nullopt;
  const std::optional<std::string> text = ReadSmallFile(SettingsFilePath(*home));
  if (!text) return std::nullopt;
  return ParseSettingsFile(*text);
}

std::optional<std::string> OwnExecutablePath() {
  std::vector<char> buffer(4096);
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return std::nullopt;
  std::string path(buffer.data(), static_cast<std::size_t>(length));
  // A program replaced while it runs (an upgrade) still lives at its path.
  static const char kDeleted[] = " (deleted)";
  const std::size_t suffix = sizeof kDeleted - 1;
  if (path.size() > suffix && path.compare(path.size() - suffix, suffix, kDeleted) == 0) {
    path.resize(path.size() - suffix);
  }
  return path;
}

bool IsAutostartEnabled() {
  const std::optional<std::string> home = UserConfigHome();
  struct stat info {};
  return home && stat(AutostartFilePath(*home).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool EnableAutostart() {
  const std::optional<std::string> home = UserConfigHome();
  const std::optional<std::string> path = OwnExecutablePath();
  if (!home || !path) return false;
  const std::optional<std::string> entry = FormatAutostartEntry(*path);
  if (!entry) return false;
  return WriteFileWhole(AutostartDirectory(*home), AutostartFilePath(*home), *entry);
}

bool DisableAutostart() {
  const std::optional<std::string> home = UserConfigHome();
  if (!home) return false;
  return unlink(AutostartFilePath(*home).c_str()) == 0 || errno == ENOENT;
}

}  // namespace tintora
