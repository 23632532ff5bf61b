// tintora-patches.exe: a full-screen window of three flat colours (left
// patch, right patch, marker strip) for the mouse injector to move over.
// It is not top-most, so the label stays visible above it. A console
// program, so that it can say on stdout when it has painted.
//
//   tintora-patches.exe [--left RRGGBB] [--right RRGGBB] [--marker RRGGBB] [--seconds N]
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "drive_core.h"

namespace {

using tintora::drive::PatchLayout;

std::uint32_t gLeft = 0xC83228, gRight = 0x2864C8, gMarker = 0x28B43C;

COLORREF ToColorRef(std::uint32_t rgb) {
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

void FillPatch(HDC dc, const tintora::drive::Rect& r, std::uint32_t rgb) {
  const RECT rect{r.left, r.top, r.right, r.bottom};
  HBRUSH brush = CreateSolidBrush(ToColorRef(rgb));
  if (brush == nullptr) return;
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

LRESULT CALLBACK PatchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      if (dc == nullptr) return 0;
      RECT client;
      GetClientRect(window, &client);
      const PatchLayout layout = tintora::drive::LayoutPatches(client.right, client.bottom);
      FillPatch(dc, layout.left, gLeft);
      FillPatch(dc, layout.right, gRight);
      FillPatch(dc, layout.marker, gMarker);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;  // clicks must not raise it over the label
    case WM_TIMER:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; *text != 0; ++text) out.push_back(*text < 128 ? static_cast<char>(*text) : '?');
  return out;
}

}  // namespace

int wmain() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  long long seconds = 0;
  for (int i = 1; argv != nullptr && i + 1 < argc; i += 2) {
    const std::string name = Narrow(argv[i]);
    const std::string value = Narrow(argv[i + 1]);
    std::uint32_t* slot = name == "--left"     ? &gLeft
                          : name == "--right"  ? &gRight
                          : name == "--marker" ? &gMarker
                                               : nullptr;
    if (slot != nullptr) {
      if (!tintora::drive::ParseRgb(value, slot)) return 1;
    } else if (name == "--seconds") {
      seconds = std::atoll(value.c_str());
    } else {
      return 1;
    }
  }
  if (argv != nullptr) LocalFree(argv);

  WNDCLASSW wc{};
  wc.lpfnWndProc = PatchWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = L"TintoraPatches";
  if (RegisterClassW(&wc) == 0) return 2;
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  HWND window =
      CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, L"TintoraPatches", L"Tintora patches",
                      WS_POPUP, 0, 0, width, height, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 3;
  ShowWindow(window, SW_SHOWNOACTIVATE);
  // Below every other window, so the label and the sink stay visible.
  SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  UpdateWindow(window);
  GdiFlush();
  // Windows shown before this full-screen one may not be drawn over it in a
  // Wine virtual desktop, so the scripts start the label only after this line.
  std::printf("ready\n");
  std::fflush(stdout);
  if (seconds > 0 && seconds < 86400)
    SetTimer(window, 1, static_cast<UINT>(seconds * 1000), nullptr);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
