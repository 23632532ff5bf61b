// The settings store against a real registry (Wine's, in a prefix of the
// test's own) and a real window.
#include <windows.h>

#include <sddl.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "settings_store.h"

namespace tintora {
namespace {

constexpr wchar_t kParentKeyPath[] = L"SOFTWARE\\MossVane";
constexpr wchar_t kPosX[] = L"iWindowPosX";
constexpr wchar_t kPosY[] = L"iWindowPosY";
constexpr wchar_t kRunValue[] = L"Tintora";
constexpr wchar_t kWindowClass[] = L"TintoraSettingsTestWindow";

// ---- Registry helpers --------------------------------------------------------

struct StoredValue {
  bool exists = false;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

bool KeyExists(const wchar_t* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

StoredValue ReadValue(const wchar_t* path, const wchar_t* name) {
  StoredValue value;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return value;
  }
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    value.data.resize(size);
    if (RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size) ==
        ERROR_SUCCESS) {
      value.exists = true;
      value.data.resize(size);
    }
  }
  RegCloseKey(key);
  return value;
}

void WriteValue(const wchar_t* path, const wchar_t* name, DWORD type, const void* data,
                DWORD size) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

void WriteDword(const wchar_t* name, std::uint32_t pattern) {
  WriteValue(SettingsKeyPath, name, REG_DWORD, &pattern, sizeof(pattern));
}

void WriteRunString(DWORD type, const std::wstring& text) {
  WriteValue(RunKeyPath, kRunValue, type, text.c_str(),
             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

std::uint32_t DwordOf(const StoredValue& value) {
  std::uint32_t pattern = 0;
  if (value.data.size() == sizeof(pattern)) {
    std::memcpy(&pattern, value.data.data(), sizeof(pattern));
  }
  return pattern;
}

std::wstring TextOf(const StoredValue& value) {
  std::wstring text(value.data.size() / sizeof(wchar_t), L'\0');
  if (!text.empty()) {
    std::memcpy(&text[0], value.data.data(), text.size() * sizeof(wchar_t));
  }
  return text;  // keeps the stored terminator, so callers see it is there
}

void DeleteRunValue() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, RunKeyPath, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
    RegDeleteValueW(key, kRunValue);
    RegCloseKey(key);
  }
}

void DeleteSettingsKeys() { RegDeleteTreeW(HKEY_CURRENT_USER, kParentKeyPath); }

std::wstring OwnPath() {
  std::vector<wchar_t> buffer(32768);
  const DWORD length =
      GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  return std::wstring(buffer.data(), length);
}

// ---- Window helpers ----------------------------------------------------------

RECT NormalRect(HWND window) {
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof(placement);
  EXPECT_TRUE(GetWindowPlacement(window, &placement));
  return placement.rcNormalPosition;
}

void ExpectRect(const RECT& actual, LONG left, LONG top, LONG right, LONG bottom) {
  EXPECT_EQ(actual.left, left);
  EXPECT_EQ(actual.top, top);
  EXPECT_EQ(actual.right, right);
  EXPECT_EQ(actual.bottom, bottom);
}

class SettingsStoreTest : public testing::Test {
 protected:
  static constexpr LONG kLeft = 100, kTop = 120, kWidth = 180, kHeight = 60;

  static void SetUpTestSuite() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassW(&windowClass);
  }

  void SetUp() override {
    DeleteSettingsKeys();
    DeleteRunValue();
    // A hidden borderless window like the label; restoring a placement may show it.
    window_ = CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, L"", WS_POPUP, kLeft, kTop, kWidth,
                              kHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
  }

  void TearDown() override {
    if (window_ != nullptr) {
      DestroyWindow(window_);
    }
    DeleteSettingsKeys();
    DeleteRunValue();
  }

  void MoveWindowTo(LONG left, LONG top, LONG width = kWidth, LONG height = kHeight) {
    ASSERT_TRUE(
        SetWindowPos(window_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE));
  }

  void ExpectUnmoved() {
    ExpectRect(NormalRect(window_), kLeft, kTop, kLeft + kWidth, kTop + kHeight);
  }

  HWND window_ = nullptr;
};

// ---- Window position ---------------------------------------------------------

TEST_F(SettingsStoreTest, FirstRunRestoresNothingAndSaveCreatesBothValues) {
  EXPECT_EQ(RestoreWindowPosition(window_), 0);
  ExpectUnmoved();
  EXPECT_FALSE(KeyExists(SettingsKeyPath)) << "restoring must not create the key";

  EXPECT_EQ(SaveWindowPosition(window_), 1);
  const StoredValue x = ReadValue(SettingsKeyPath, kPosX);
  const StoredValue y = ReadValue(SettingsKeyPath, kPosY);
  ASSERT_TRUE(x.exists);
  ASSERT_TRUE(y.exists);
  EXPECT_EQ(x.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(y.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(x.data.size(), 4u);
  EXPECT_EQ(y.data.size(), 4u);
  EXPECT_EQ(DwordOf(x), static_cast<std::uint32_t>(kLeft));
  EXPECT_EQ(DwordOf(y), static_cast<std::uint32_t>(kTop));
}

TEST_F(SettingsStoreTest, SaveThenRestoreMovesBackKeepingTheSize) {
  ASSERT_EQ(SaveWindowPosition(window_), 1);
  MoveWindowTo(400, 300, 250, 90);
  EXPECT_EQ(RestoreWindowPosition(window_), 1);
  ExpectRect(NormalRect(window_), kLeft, kTop, kLeft + 250, kTop + 90);
}

TEST_F(SettingsStoreTest, NegativeCoordinatesRoundTrip) {
  // Large enough to stay partly on the one test monitor, so the system does
  // not pull it back on screen: as if on a monitor left of and above the primary.
  MoveWindowTo(-1500, -300, 2000, 1000);
  ASSERT_EQ(SaveWindowPosition(window_), 1);
  EXPECT_EQ(DwordOf(ReadValue(SettingsKeyPath, kPosX)), 0xFFFFFA24u);
  EXPECT_EQ(DwordOf(ReadValue(SettingsKeyPath, kPosY)), 0xFFFFFED4u);

  MoveWindowTo(10, 20, 2000, 1000);
  EXPECT_EQ(RestoreWindowPosition(window_), 1);
  ExpectRect(NormalRect(window_), -1500, -300, 500, 700);
}

TEST_F(SettingsStoreTest, OnlyXPresentAppliesNothing) {
  WriteDword(kPosX, 300);
  EXPECT_EQ(RestoreWindowPosition(window_), 0);
  ExpectUnmoved();
}

TEST_F(SettingsStoreTest, OnlyYPresentAppliesNothing) {
  WriteDword(kPosY, 300);
  EXPECT_EQ(RestoreWindowPosition(window_), 0);
  ExpectUnmoved();
}

TEST_F(SettingsStoreTest, PositionsThatWouldOverflowAreNotSaved) {
  const struct {
    const char* what;
    std::uint32_t x;
    std::uint32_t y;
  } cases[] = {
      {"x at INT_MAX", 0x7FFFFFFFu, 50},
      {"y at INT_MAX", 50, 0x7FFFFFFFu},
      {"both at INT_MAX", 0x7FFFFFFFu, 0x7FFFFFFFu},
      {"right edge one past INT_MAX", static_cast<std::uint32_t>(INT_MAX - kWidth + 1), 50},
      {"bottom edge one past INT_MAX", 50, static_cast<std::uint32_t>(INT_MAX - kHeight + 1)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteDword(kPosX, c.x);
    WriteDword(kPosY, c.y);
    EXPECT_EQ(RestoreWindowPosition(window_), 0);
    ExpectUnmoved();
  }
}

TEST_F(SettingsStoreTest, SaveReplacesValuesOfTheWrongType) {
  WriteValue(SettingsKeyPath, kPosX, REG_SZ, L"12", 6);
  WriteValue(SettingsKeyPath, kPosY, REG_BINARY, "\x01\x02", 2);
  ASSERT_EQ(SaveWindowPosition(window_), 1);
  const StoredValue x = ReadValue(SettingsKeyPath, kPosX);
  const StoredValue y = ReadValue(SettingsKeyPath, kPosY);
  EXPECT_EQ(x.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(y.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(DwordOf(x), static_cast<std::uint32_t>(kLeft));
  EXPECT_EQ(DwordOf(y), static_cast<std::uint32_t>(kTop));
}

// Every type and size a position value may have been left with. Only a
// four-byte REG_DWORD or REG_BINARY is a position.
struct StoredCase {
  const char* what;
  DWORD type;
  std::vector<BYTE> data;
  bool accepted;
};

std::vector<StoredCase> StoredCases() {
  // -30 as a little-endian two's-complement pattern, then padding.
  const std::vector<BYTE> bytes = {0xE2, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00};
  auto first = [&bytes](std::size_t n) {
    return std::vector<BYTE>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
  };
  auto text = [](const wchar_t* s, std::size_t units) {
    const BYTE* p = reinterpret_cast<const BYTE*>(s);
    return std::vector<BYTE>(p, p + units * sizeof(wchar_t));
  };
  std::vector<StoredCase> cases = {
      {"REG_DWORD of 4 bytes", REG_DWORD, first(4), true},
      {"REG_BINARY of 4 bytes", REG_BINARY, first(4), true},
      {"REG_NONE of 0 bytes", REG_NONE, {}, false},
      {"REG_NONE of 4 bytes", REG_NONE, first(4), false},
      {"REG_SZ", REG_SZ, text(L"-30", 4), false},
      {"REG_SZ of 4 bytes", REG_SZ, first(4), false},
      {"REG_EXPAND_SZ", REG_EXPAND_SZ, text(L"-30", 4), false},
      {"REG_MULTI_SZ", REG_MULTI_SZ, text(L"-30\0", 5), false},
      {"REG_QWORD of 8 bytes", REG_QWORD, first(8), false},
      {"REG_QWORD of 4 bytes", REG_QWORD, first(4), false},
      {"REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN, first(4), false},
      {"REG_DWORD of 0 bytes", REG_DWORD, {}, false},
      {"REG_DWORD of 2 bytes", REG_DWORD, first(2), false},
      {"REG_DWORD of 3 bytes", REG_DWORD, first(3), false},
      {"REG_DWORD of 8 bytes", REG_DWORD, first(8), false},
  };
  for (std::size_t n = 0; n <= 8; ++n) {
    if (n != 4) {
      cases.push_back({"REG_BINARY of another size", REG_BINARY, first(n), false});
    }
  }
  return cases;
}

TEST_F(SettingsStoreTest, PositionValuesOfEveryTypeAndSize) {
  for (const wchar_t* badName : {kPosX, kPosY}) {
    for (const StoredCase& c : StoredCases()) {
      SCOPED_TRACE(testing::Message() << (badName == kPosX ? "iWindowPosX: " : "iWindowPosY: ")
                                      << c.what << " (" << c.data.size() << " bytes)");
      MoveWindowTo(kLeft, kTop);
      const wchar_t* goodName = badName == kPosX ? kPosY : kPosX;
      WriteDword(goodName, 50);
      WriteValue(SettingsKeyPath, badName, c.type, c.data.empty() ? nullptr : c.data.data(),
                 static_cast<DWORD>(c.data.size()));
      EXPECT_EQ(RestoreWindowPosition(window_), c.accepted ? 1 : 0);
      if (c.accepted) {
        const LONG left = badName == kPosX ? -30 : 50;
        const LONG top = badName == kPosX ? 50 : -30;
        ExpectRect(NormalRect(window_), left, top, left + kWidth, top + kHeight);
      } else {
        ExpectUnmoved();
      }
    }
  }
}

// ---- Startup entry -----------------------------------------------------------

TEST_F(SettingsStoreTest, EnableWritesTheQuotedWholePath) {
  EXPECT_EQ(IsAutostartEnabled(), 0);
  ASSERT_EQ(EnableAutostart(), 1);
  const StoredValue value = ReadValue(RunKeyPath, kRunValue);
  ASSERT_TRUE(value.exists);
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
  const std::wstring expected = L"\"" + OwnPath() + L"\"";
  EXPECT_EQ(TextOf(value), expected + L'\0') << "quoted, with its terminator, nothing more";
  EXPECT_EQ(IsAutostartEnabled(), 1);

  EXPECT_EQ(DisableAutostart(), 1);
  EXPECT_FALSE(ReadValue(RunKeyPath, kRunValue).exists);
  EXPECT_EQ(IsAutostartEnabled(), 0);
}

TEST_F(SettingsStoreTest, DisableWithoutAValueSucceeds) {
  EXPECT_EQ(DisableAutostart(), 1);
  EXPECT_EQ(DisableAutostart(), 1);
  EXPECT_FALSE(ReadValue(RunKeyPath, kRunValue).exists);
}

TEST_F(SettingsStoreTest, EnableRewritesAnExistingValueWithTheCurrentPath) {
  WriteRunString(REG_SZ, L"C:\\Old Place\\tintora.exe");
  ASSERT_EQ(IsAutostartEnabled(), 1);
  ASSERT_EQ(EnableAutostart(), 1);
  const StoredValue value = ReadValue(RunKeyPath, kRunValue);
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(TextOf(value), L"\"" + OwnPath() + L"\"" + L'\0');
}

TEST_F(SettingsStoreTest, AnUnquotedEntryStillCounts) {
  WriteRunString(REG_SZ, L"C:\\Program Files\\Tintora\\tintora.exe");
  EXPECT_EQ(IsAutostartEnabled(), 1);
  WriteRunString(REG_SZ, L"");
  EXPECT_EQ(IsAutostartEnabled(), 1) << "only the value's existence and type count";
}

TEST_F(SettingsStoreTest, AnEntryOfAnotherTypeIsAbsentAndGetsReplaced) {
  const std::uint32_t number = 1;
  const struct {
    const char* what;
    DWORD type;
    const void* data;
    DWORD size;
  } cases[] = {
      {"REG_EXPAND_SZ", REG_EXPAND_SZ, L"%SystemRoot%\\tintora.exe", 50},
      {"REG_DWORD", REG_DWORD, &number, 4},
      {"REG_MULTI_SZ", REG_MULTI_SZ, L"a\0", 6},
      {"REG_BINARY", REG_BINARY, &number, 4},
      {"REG_NONE", REG_NONE, nullptr, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteValue(RunKeyPath, kRunValue, c.type, c.data, c.size);
    EXPECT_EQ(IsAutostartEnabled(), 0);
    ASSERT_EQ(EnableAutostart(), 1);
    const StoredValue value = ReadValue(RunKeyPath, kRunValue);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(TextOf(value), L"\"" + OwnPath() + L"\"" + L'\0');
    EXPECT_EQ(IsAutostartEnabled(), 1);
    DeleteRunValue();
  }
}

// Makes GetModuleFileNameW(NULL) report another path while it lives, by
// pointing the loader's record of the main module at it: no real folder
// deeper than MAX_PATH can start a program under Wine.
class FakeModulePath {
 public:
  explicit FakeModulePath(const std::wstring& path) : path_(path) {
    entry_ = MainModuleEntry();
    if (entry_ == nullptr || path_.size() > 32767) {
      return;
    }
    saved_ = entry_->FullDllName;
    const std::size_t bytes = path_.size() * sizeof(wchar_t);
    entry_->FullDllName.Buffer = path_.empty() ? nullptr : &path_[0];
    entry_->FullDllName.Length = static_cast<USHORT>(bytes);
    entry_->FullDllName.MaximumLength = static_cast<USHORT>(bytes + 2 > 65534 ? 65534 : bytes + 2);
    installed_ = true;
  }
  ~FakeModulePath() {
    if (installed_) {
      entry_->FullDllName = saved_;
    }
  }
  FakeModulePath(const FakeModulePath&) = delete;
  FakeModulePath& operator=(const FakeModulePath&) = delete;

  // Whether GetModuleFileNameW now gives the fake path.
  bool Works() const { return installed_ && OwnPath() == path_; }

 private:
  static LDR_DATA_TABLE_ENTRY* MainModuleEntry() {
    PROCESS_BASIC_INFORMATION basic = {};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic,
                                  sizeof(basic), nullptr) != 0) {
      return nullptr;
    }
    const PEB* peb = basic.PebBaseAddress;
    if (peb == nullptr || peb->Ldr == nullptr) {
      return nullptr;
    }
    const void* base = GetModuleHandleW(nullptr);
    LIST_ENTRY* head = &peb->Ldr->InMemoryOrderModuleList;
    for (LIST_ENTRY* link = head->Flink; link != head; link = link->Flink) {
      LDR_DATA_TABLE_ENTRY* entry =
          CONTAINING_RECORD(link, LDR_DATA_TABLE_ENTRY, InMemoryOrderLinks);
      if (entry->DllBase == base) {
        return entry;
      }
    }
    return nullptr;
  }

  std::wstring path_;
  LDR_DATA_TABLE_ENTRY* entry_ = nullptr;
  UNICODE_STRING saved_ = {};
  bool installed_ = false;
};

// An executable path of exactly `units` code units, with spaces in it.
std::wstring PathOfLength(std::size_t units) {
  const std::wstring head = L"C:\\Program Files\\Tintora Test\\";
  const std::wstring tail = L"\\tintora.exe";
  std::wstring path = head;
  path.append(units > head.size() + tail.size() ? units - head.size() - tail.size() : 0, L'd');
  path += tail;
  return path;
}

TEST_F(SettingsStoreTest, LongPathsAreStoredWholeOrNotAtAll) {
  const std::wstring old = std::wstring(L"C:\\Old Place\\tintora.exe");
  for (std::size_t units : {std::size_t{259}, std::size_t{260}, std::size_t{261}, std::size_t{300},
                            std::size_t{1000}, std::size_t{32766}, std::size_t{32767}}) {
    SCOPED_TRACE(units);
    const std::wstring path = PathOfLength(units);
    ASSERT_EQ(path.size(), units);
    WriteRunString(REG_SZ, old);
    int result = 0;
    {
      FakeModulePath fake(path);
      if (!fake.Works() && units < 32767) {
        GTEST_SKIP() << "cannot stand in another module path here";
      }
      result = EnableAutostart();
    }
    const StoredValue value = ReadValue(RunKeyPath, kRunValue);
    ASSERT_TRUE(value.exists);
    if (units < 32767) {
      EXPECT_EQ(result, 1);
    }
    // The longest path may not come back whole (Wine caps the copy at 32767
    // units with its terminator): then nothing is written.
    if (result == 1) {
      EXPECT_EQ(TextOf(value), L"\"" + path + L"\"" + L'\0');
    } else {
      EXPECT_EQ(TextOf(value), old + L'\0') << "a path that cannot be had whole changes nothing";
    }
  }
}

TEST_F(SettingsStoreTest, NoModulePathWritesNothing) {
  WriteRunString(REG_SZ, L"C:\\Old Place\\tintora.exe");
  {
    FakeModulePath fake(L"");
    if (!fake.Works()) {
      GTEST_SKIP() << "cannot stand in another module path here";
    }
    EXPECT_EQ(EnableAutostart(), 0);
  }
  EXPECT_EQ(TextOf(ReadValue(RunKeyPath, kRunValue)),
            std::wstring(L"C:\\Old Place\\tintora.exe") + L'\0');
}

// ---- Keys that cannot be opened --------------------------------------------

// Replaces a key's access list for the duration of a test and puts the old
// one back afterwards.
class KeySecurity {
 public:
  explicit KeySecurity(const wchar_t* path) : path_(path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path_, 0, READ_CONTROL, &key) != ERROR_SUCCESS) {
      return;
    }
    DWORD size = 0;
    RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
    saved_.resize(size);
    if (size == 0 ||
        RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, saved_.data(), &size) != ERROR_SUCCESS) {
      saved_.clear();
    }
    RegCloseKey(key);
  }
  ~KeySecurity() {
    if (!changed_) {
      return;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path_, 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
      if (!saved_.empty()) {
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, saved_.data());
      } else {
        Apply(key, L"D:(A;;KA;;;WD)");
      }
      RegCloseKey(key);
    }
  }
  KeySecurity(const KeySecurity&) = delete;
  KeySecurity& operator=(const KeySecurity&) = delete;

  // Allows everyone only to read, to change the access list and to delete.
  bool MakeReadOnly() {
    HKEY key = nullptr;
    if (saved_.empty() ||
        RegOpenKeyExW(HKEY_CURRENT_USER, path_, 0, WRITE_DAC, &key) != ERROR_SUCCESS) {
      return false;
    }
    changed_ = Apply(key, L"D:P(A;;0x70019;;;WD)");
    RegCloseKey(key);
    return changed_;
  }

  // Whether the registry now refuses KEY_ALL_ACCESS; some systems do not
  // enforce key security.
  bool Enforced() const {
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExW(HKEY_CURRENT_USER, path_, 0, KEY_ALL_ACCESS, &key);
    if (opened == ERROR_SUCCESS) {
      RegCloseKey(key);
    }
    return opened == ERROR_ACCESS_DENIED;
  }

 private:
  static bool Apply(HKEY key, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
      return false;
    }
    const bool applied =
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    LocalFree(descriptor);
    return applied;
  }

  const wchar_t* path_;
  std::vector<BYTE> saved_;
  bool changed_ = false;
};

TEST_F(SettingsStoreTest, SettingsKeyThatCannotBeOpenedChangesNothing) {
  WriteDword(kPosX, 300);
  WriteDword(kPosY, 400);
  KeySecurity security(SettingsKeyPath);
  ASSERT_TRUE(security.MakeReadOnly());
  if (!security.Enforced()) {
    GTEST_SKIP() << "this registry does not enforce key security";
  }
  EXPECT_EQ(RestoreWindowPosition(window_), 0);
  ExpectUnmoved();
  MoveWindowTo(10, 20);
  EXPECT_EQ(SaveWindowPosition(window_), 0);
  EXPECT_EQ(DwordOf(ReadValue(SettingsKeyPath, kPosX)), 300u) << "nothing half-written";
  EXPECT_EQ(DwordOf(ReadValue(SettingsKeyPath, kPosY)), 400u);
}

TEST_F(SettingsStoreTest, RunKeyThatCannotBeWrittenChangesNothing) {
  WriteRunString(REG_SZ, L"C:\\Old Place\\tintora.exe");
  KeySecurity security(RunKeyPath);
  ASSERT_TRUE(security.MakeReadOnly());
  if (!security.Enforced()) {
    GTEST_SKIP() << "this registry does not enforce key security";
  }
  EXPECT_EQ(EnableAutostart(), 0);
  EXPECT_EQ(DisableAutostart(), 0);
  // Asking for write access, the check cannot see the entry either.
  EXPECT_EQ(IsAutostartEnabled(), 0);
  const StoredValue value = ReadValue(RunKeyPath, kRunValue);
  ASSERT_TRUE(value.exists);
  EXPECT_EQ(TextOf(value), std::wstring(L"C:\\Old Place\\tintora.exe") + L'\0');
}

}  // namespace
}  // namespace tintora
