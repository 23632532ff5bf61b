// Checks that the Wine test desktop gives the Windows tests what they rely on:
// a 1024x768 virtual desktop whose real pixels can be read back, raw mouse
// input reaching a background window, and a registry that lives in the test
// prefix of the build tree.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring g_expectedPrefix;  // first command-line argument

constexpr COLORREF kPatchColour = RGB(12, 200, 77);
constexpr wchar_t kSelfTestKey[] = L"Software\\TintoraWineSelfTest";

void PumpMessagesFor(DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  while (GetTickCount64() < end) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

COLORREF ReadScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 1, 1);
  HGDIOBJ old = SelectObject(memory, bitmap);
  COLORREF colour = CLR_INVALID;
  if (BitBlt(memory, 0, 0, 1, 1, screen, x, y, SRCCOPY)) {
    colour = GetPixel(memory, 0, 0);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return colour;
}

LRESULT CALLBACK PatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) {
    return 1;
  }
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    HBRUSH brush = CreateSolidBrush(kPatchColour);
    FillRect(dc, &paint.rcPaint, brush);
    DeleteObject(brush);
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int g_rawMouseEvents = 0;

LRESULT CALLBACK SinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INPUT) {
    RAWINPUT input{};
    UINT size = sizeof(input);
    if (GetRawInputData(reinterpret_cast<HRAWINPUT>(lParam), RID_INPUT, &input, &size,
                        sizeof(RAWINPUTHEADER)) != static_cast<UINT>(-1) &&
        input.header.dwType == RIM_TYPEMOUSE) {
      ++g_rawMouseEvents;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateTestWindow(const wchar_t* className, WNDPROC proc, DWORD exStyle, DWORD style,
                      RECT where) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = className;
  RegisterClassExW(&wc);  // a second registration in the same run fails harmlessly
  return CreateWindowExW(exStyle, className, className, style, where.left, where.top,
                         where.right - where.left, where.bottom - where.top, nullptr, nullptr,
                         wc.hInstance, nullptr);
}

std::wstring ReadRegistryString(HKEY root, const wchar_t* key, const wchar_t* value) {
  wchar_t buffer[256] = {};
  DWORD bytes = sizeof(buffer);
  if (RegGetValueW(root, key, value, RRF_RT_REG_SZ, nullptr, buffer, &bytes) != ERROR_SUCCESS) {
    return L"<missing>";
  }
  return buffer;
}

std::string Narrow(const std::wstring& text) {
  return std::string(text.begin(), text.end());  // test paths are ASCII
}

TEST(WineDesktop, IsTheVirtualDesktopOfTheTestSession) {
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
  EXPECT_EQ(Narrow(ReadRegistryString(HKEY_CURRENT_USER, L"Software\\Wine\\Explorer", L"Desktop")),
            "Default");
  EXPECT_EQ(Narrow(ReadRegistryString(HKEY_CURRENT_USER, L"Software\\Wine\\Explorer\\Desktops",
                                      L"Default")),
            "1024x768");
}

TEST(WineDesktop, ScreenReadsReturnThePixelsOfAWindow) {
  const RECT where{200, 150, 280, 210};
  HWND patch = CreateTestWindow(L"TintoraSelfTestPatch", PatchProc,
                                WS_EX_TOPMOST | WS_EX_TOOLWINDOW, WS_POPUP, where);
  ASSERT_NE(patch, nullptr);
  ShowWindow(patch, SW_SHOWNOACTIVATE);
  UpdateWindow(patch);

  // The X server composes asynchronously: poll instead of waiting a fixed time.
  COLORREF seen = CLR_INVALID;
  for (int attempt = 0; attempt < 100 && seen != kPatchColour; ++attempt) {
    PumpMessagesFor(50);
    seen = ReadScreenPixel(240, 180);
  }
  EXPECT_EQ(seen, kPatchColour);
  const COLORREF outside = ReadScreenPixel(where.right + 5, where.top);
  EXPECT_NE(outside, CLR_INVALID);
  EXPECT_NE(outside, kPatchColour);
  DestroyWindow(patch);
}

// Under Wine a background window gets raw input only while some window is in
// the foreground; the session keeps one there even after the active window
// goes away, as the shell does on Windows. Destroy an active window first.
void ActivateAndDestroyAWindow() {
  HWND active = CreateTestWindow(L"TintoraSelfTestActive", DefWindowProcW, 0, WS_POPUP | WS_VISIBLE,
                                 RECT{300, 300, 340, 340});
  ASSERT_NE(active, nullptr);
  SetForegroundWindow(active);
  PumpMessagesFor(100);
  DestroyWindow(active);
  PumpMessagesFor(100);
}

TEST(WineDesktop, RawMouseInputReachesABackgroundWindow) {
  ActivateAndDestroyAWindow();
  HWND sink = CreateTestWindow(L"TintoraSelfTestSink", SinkProc,
                               WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, WS_POPUP, RECT{0, 0, 10, 10});
  ASSERT_NE(sink, nullptr);
  ASSERT_NE(GetForegroundWindow(), sink);
  RAWINPUTDEVICE device{};
  device.usUsagePage = 0x01;  // generic desktop
  device.usUsage = 0x02;      // mouse
  device.dwFlags = RIDEV_INPUTSINK;
  device.hwndTarget = sink;
  ASSERT_TRUE(RegisterRawInputDevices(&device, 1, sizeof(device)));

  g_rawMouseEvents = 0;
  INPUT moves[2] = {};
  moves[0].type = INPUT_MOUSE;
  moves[0].mi.dx = 7;
  moves[0].mi.dy = 5;
  moves[0].mi.dwFlags = MOUSEEVENTF_MOVE;
  moves[1] = moves[0];
  moves[1].mi.dx = -7;
  moves[1].mi.dy = -5;
  for (int attempt = 0; attempt < 50 && g_rawMouseEvents == 0; ++attempt) {
    SendInput(2, moves, sizeof(INPUT));
    PumpMessagesFor(100);
  }
  EXPECT_GT(g_rawMouseEvents, 0);

  device.dwFlags = RIDEV_REMOVE;
  device.hwndTarget = nullptr;
  RegisterRawInputDevices(&device, 1, sizeof(device));
  DestroyWindow(sink);
}

TEST(WineDesktop, RegistryLivesInTheTestPrefix) {
  ASSERT_FALSE(g_expectedPrefix.empty()) << "pass the expected WINEPREFIX as the first argument";
  wchar_t prefix[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH), 0u);
  EXPECT_EQ(Narrow(prefix), Narrow(g_expectedPrefix));

  // Drive C: (and with it the registry files next to it) maps into that prefix.
  using UnixName = char*(CDECL*)(const wchar_t*);
  const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  ASSERT_NE(unixName, nullptr) << "not running under Wine";
  char* drive = unixName(L"C:\\");
  ASSERT_NE(drive, nullptr);
  EXPECT_EQ(std::string(drive).rfind(Narrow(g_expectedPrefix) + "/", 0), 0u) << drive;
  HeapFree(GetProcessHeap(), 0, drive);

  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSelfTestKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  const DWORD written = 0x5EED;
  EXPECT_EQ(RegSetValueExW(key, L"iProbe", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&written),
                           sizeof(written)),
            ERROR_SUCCESS);
  RegCloseKey(key);
  DWORD read = 0;
  DWORD bytes = sizeof(read);
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kSelfTestKey, L"iProbe", RRF_RT_REG_DWORD, nullptr,
                         &read, &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(read, written);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, kSelfTestKey), ERROR_SUCCESS);
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc > 1) {
    const std::string arg = argv[1];
    g_expectedPrefix.assign(arg.begin(), arg.end());
  }
  return RUN_ALL_TESTS();
}
