/* Keeps a window of the Wine test desktop in the foreground.
 *
 * Under Wine, raw mouse input reaches a background window registered with
 * RIDEV_INPUTSINK only while some window of the desktop is the foreground
 * one; once the active window is destroyed (or its process killed) Wine can
 * leave the desktop without any, and from then on no background program gets
 * WM_INPUT. On Windows the shell is always there to take the foreground. This
 * 1x1 window, off the visible desktop, plays that part: it takes the
 * foreground back whenever nothing holds it, and never covers a pixel.
 *
 * Built by scripts/lib/wine-session.sh and started with every session. */
#include <windows.h>

static LRESULT CALLBACK KeeperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (GetForegroundWindow() == NULL) {
        SetForegroundWindow(window);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
  WNDCLASSW windowClass;
  HWND window;
  MSG msg;
  (void)previous;
  (void)commandLine;
  (void)show;
  ZeroMemory(&windowClass, sizeof(windowClass));
  windowClass.lpfnWndProc = KeeperProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"TintoraTestDesktopForeground";
  if (!RegisterClassW(&windowClass)) {
    return 1;
  }
  window = CreateWindowExW(WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"Tintora test desktop",
                           WS_POPUP, -100, -100, 1, 1, NULL, NULL, instance, NULL);
  if (window == NULL) {
    return 1;
  }
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  SetTimer(window, 1, 100, NULL);
  while (GetMessageW(&msg, NULL, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
