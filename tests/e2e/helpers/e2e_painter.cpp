// Paints colour patches at known desktop coordinates and stays until closed.
//
//   e2e_painter [--bg rrggbb] [--title T] [X Y W H rrggbb]...
//
// The window covers the whole virtual screen, has no frame and is not top-most,
// so the label under test stays above it; a later painter covers an earlier one. "ready <hwnd>" is
// printed on stdout once the first paint has been made, so a driver can wait for it.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "e2e_common.h"
#include "e2e_dpi.h"

namespace {

struct Patch {
  RECT rect;
  COLORREF colour;
};

COLORREF g_background = RGB(128, 128, 128);
std::vector<Patch> g_patches;
bool g_announced = false;

void PaintPatches(HDC dc, const RECT& client) {
  HBRUSH background = CreateSolidBrush(g_background);
  FillRect(dc, &client, background);
  DeleteObject(background);
  for (const Patch& patch : g_patches) {
    HBRUSH brush = CreateSolidBrush(patch.colour);
    FillRect(dc, &patch.rect, brush);
    DeleteObject(brush);
  }
}

LRESULT CALLBACK PainterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      if (dc != nullptr) {
        RECT client;
        GetClientRect(window, &client);
        PaintPatches(dc, client);
        EndPaint(window, &ps);
      }
      if (!g_announced) {
        g_announced = true;
        std::printf("ready %llu\n",
                    static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
        std::fflush(stdout);
      }
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEACTIVATE:
      // Clicks on the patches must not raise the painter over other windows.
      return MA_NOACTIVATE;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int main() {
  using namespace tintora::e2e;
  BecomeDpiAware();
  const std::vector<std::wstring> words = CommandWords();
  std::wstring title = L"E2E Painter";
  size_t i = 0;
  while (i < words.size()) {
    if (words[i] == L"--bg" && i + 1 < words.size()) {
      if (!ParseHexColour(words[i + 1], &g_background)) {
        return Fail("painter: bad --bg colour");
      }
      i += 2;
    } else if (words[i] == L"--title" && i + 1 < words.size()) {
      title = words[i + 1];
      i += 2;
    } else if (i + 5 <= words.size()) {
      long x = 0;
      long y = 0;
      long w = 0;
      long h = 0;
      Patch patch{};
      if (!ParseLong(words[i], &x) || !ParseLong(words[i + 1], &y) ||
          !ParseLong(words[i + 2], &w) || !ParseLong(words[i + 3], &h) ||
          !ParseHexColour(words[i + 4], &patch.colour)) {
        return Fail("painter: a patch is X Y W H rrggbb");
      }
      patch.rect = RECT{x, y, x + w, y + h};
      g_patches.push_back(patch);
      i += 5;
    } else {
      return Fail("usage: e2e_painter [--bg rrggbb] [--title T] [X Y W H rrggbb]...");
    }
  }

  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  wc.lpfnWndProc = PainterProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = L"E2EPainter";
  if (RegisterClassW(&wc) == 0) {
    return Fail("painter: RegisterClassW failed");
  }
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  // Patch coordinates are desktop coordinates; the client origin is the
  // virtual screen's origin.
  for (Patch& patch : g_patches) {
    OffsetRect(&patch.rect, -left, -top);
  }
  HWND window =
      CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, wc.lpszClassName, title.c_str(),
                      WS_POPUP, left, top, width, height, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    return Fail("painter: CreateWindowExW failed");
  }
  ShowWindow(window, SW_SHOWNOACTIVATE);
  UpdateWindow(window);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
