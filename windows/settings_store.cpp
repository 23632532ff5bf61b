#include "settings_store.h"

#include <memory>
#include <new>
#include <optional>

#include "settings_rules.h"

namespace tintora {

// The portable decisions mirror these values of the Windows headers.
static_assert(kErrorInsufficientBuffer == ERROR_INSUFFICIENT_BUFFER, "ERROR_INSUFFICIENT_BUFFER");
static_assert(kInitialModulePathBufferUnits == MAX_PATH, "MAX_PATH");
static_assert(kMaxModulePathUnits == UNICODE_STRING_MAX_CHARS, "UNICODE_STRING_MAX_CHARS");

const wchar_t SettingsKeyPath[] = L"SOFTWARE\\MossVane\\Tintora";
const wchar_t RunKeyPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

namespace {

constexpr wchar_t kPositionXName[] = L"iWindowPosX";
constexpr wchar_t kPositionYName[] = L"iWindowPosY";
constexpr wchar_t kRunValueName[] = L"Tintora";

// The quoted Run value of this executable, ready for RegSetValueExW.
struct RunValue {
  std::unique_ptr<wchar_t[]> text;
  DWORD bytes = 0;
};

// Gets this executable's whole path, growing the buffer while the result is
// cut short, and quotes it. Gives nothing when the path cannot be had in full:
// a truncated path would start some other program at logon.
std::optional<RunValue> OwnRunValue() {
  DWORD units = kInitialModulePathBufferUnits;
  while (units != 0) {
    std::unique_ptr<wchar_t[]> path(new (std::nothrow) wchar_t[units]);
    if (!path) {
      return std::nullopt;
    }
    SetLastError(ERROR_SUCCESS);
    const DWORD length = GetModuleFileNameW(nullptr, path.get(), units);
    const DWORD error = GetLastError();
    switch (ClassifyModulePath(length, units, error)) {
      case ModulePathResult::Whole: {
        const std::size_t valueUnits = RunValueUnits(length);
        RunValue value;
        value.text.reset(new (std::nothrow) wchar_t[valueUnits]);
        if (!value.text) {
          return std::nullopt;
        }
        const std::optional<std::uint32_t> bytes =
            BuildRunValue(reinterpret_cast<const Utf16Char*>(path.get()), length,
                          reinterpret_cast<Utf16Char*>(value.text.get()), valueUnits);
        if (!bytes) {
          return std::nullopt;
        }
        value.bytes = *bytes;
        return value;
      }
      case ModulePathResult::Truncated:
        units = NextModulePathBufferUnits(units);
        break;
      case ModulePathResult::Failed:
        return std::nullopt;
    }
  }
  return std::nullopt;
}

// RRF_NOEXPAND keeps a REG_EXPAND_SZ value from being expanded and then
// reported as REG_SZ: only a real REG_SZ startup value counts.
bool RunValueIsRegSz(HKEY runKey) {
  return RegGetValueW(runKey, nullptr, kRunValueName, RRF_RT_REG_SZ | RRF_NOEXPAND, nullptr,
                      nullptr, nullptr) == ERROR_SUCCESS;
}

std::optional<std::int32_t> ReadPosition(HKEY key, const wchar_t* name) {
  DWORD pattern = 0;
  DWORD size = sizeof(pattern);
  if (RegGetValueW(key, nullptr, name, RRF_RT_DWORD, nullptr, &pattern, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return DecodeStoredPosition(pattern, size);
}

bool WritePosition(HKEY key, const wchar_t* name, LONG position) {
  const DWORD pattern = PatternFromPosition(position);
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&pattern),
                        sizeof(pattern)) == ERROR_SUCCESS;
}

}  // namespace

int EnableAutostart() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, RunKeyPath, 0, KEY_READ | KEY_WRITE, &key) !=
      ERROR_SUCCESS) {
    return 0;
  }
  // The path comes first: when it cannot be had, nothing is deleted or written.
  const std::optional<RunValue> value = OwnRunValue();
  int result = 0;
  if (value) {
    if (RunValueIsRegSz(key)) {
      DisableAutostart();
    }
    result = RegSetValueExW(key, kRunValueName, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value->text.get()),
                            value->bytes) == ERROR_SUCCESS
                 ? 1
                 : 0;
  }
  RegCloseKey(key);
  return result;
}

int DisableAutostart() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, RunKeyPath, 0, KEY_WRITE, &key) != ERROR_SUCCESS) {
    return 0;
  }
  // A value that is not there is no failure; any other refusal is.
  const LONG deleted = RegDeleteValueW(key, kRunValueName);
  RegCloseKey(key);
  return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND ? 1 : 0;
}

int IsAutostartEnabled() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, RunKeyPath, 0, KEY_READ | KEY_WRITE, &key) !=
      ERROR_SUCCESS) {
    return 0;
  }
  const int result = RunValueIsRegSz(key) ? 1 : 0;
  RegCloseKey(key);
  return result;
}

int SaveWindowPosition(HWND window) {
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof(placement);
  if (!GetWindowPlacement(window, &placement)) {
    return 0;
  }
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  // Y only after X: a lone X left by a failed second write is refused on
  // restore, so it never counts as a saved position.
  const int result = WritePosition(key, kPositionXName, placement.rcNormalPosition.left) &&
                             WritePosition(key, kPositionYName, placement.rcNormalPosition.top)
                         ? 1
                         : 0;
  RegCloseKey(key);
  return result;
}

int RestoreWindowPosition(HWND window) {
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof(placement);
  if (!GetWindowPlacement(window, &placement)) {
    return 0;
  }
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKeyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return 0;  // nothing saved yet: the window keeps its creation position
  }
  int result = 0;
  const std::optional<std::int32_t> x = ReadPosition(key, kPositionXName);
  const std::optional<std::int32_t> y = x ? ReadPosition(key, kPositionYName) : std::nullopt;
  if (x && y) {
    const RECT& current = placement.rcNormalPosition;
    const std::optional<Rect> moved =
        MovePlacement(Rect{current.left, current.top, current.right, current.bottom}, *x, *y);
    if (moved) {
      placement.rcNormalPosition = RECT{moved->left, moved->top, moved->right, moved->bottom};
      SetWindowPlacement(window, &placement);  // result deliberately not tested
      result = 1;
    }
  }
  RegCloseKey(key);
  return result;
}

}  // namespace tintora
