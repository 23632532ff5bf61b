// tintora-rawsink.exe: the smallest program that receives the same raw mouse
// input as the label: one small window, registered with RIDEV_INPUTSINK, that
// returns 0 from WM_INPUT. Its CPU time per event is the floor that any
// raw-input program pays on this system; the label's cost is compared to it.
//
//   tintora-rawsink.exe [--read]   --read also fetches each event's data with
//                                  GetRawInputData (size query + read), as the
//                                  label does before it looks at the event.
// A sent message kQueryCount answers the number of WM_INPUT messages so far.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

constexpr UINT kQueryCount = WM_APP + 1;

long long gInputCount = 0;
bool gReadData = false;

void ReadEvent(LPARAM lParam) {
  UINT size = 0;
  HRAWINPUT handle = reinterpret_cast<HRAWINPUT>(lParam);
  if (GetRawInputData(handle, RID_INPUT, nullptr, &size, sizeof(RAWINPUTHEADER)) != 0) return;
  alignas(8) unsigned char buffer[256];
  if (size == 0 || size > sizeof buffer) return;
  GetRawInputData(handle, RID_INPUT, buffer, &size, sizeof(RAWINPUTHEADER));
}

LRESULT CALLBACK SinkWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INPUT:
      ++gInputCount;
      if (gReadData) ReadEvent(lParam);
      return 0;
    case kQueryCount:
      return static_cast<LRESULT>(gInputCount);
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int wmain() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  const wchar_t* commandLine = GetCommandLineW();
  gReadData = commandLine != nullptr && std::wcsstr(commandLine, L"--read") != nullptr;
  WNDCLASSW wc{};
  wc.lpfnWndProc = SinkWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  wc.lpszClassName = L"TintoraRawSink";
  if (RegisterClassW(&wc) == 0) return 2;
  // A visible 8 x 8 window in the bottom-right corner, like the label a
  // background window of its own; the injector keeps the pointer off it.
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  HWND window =
      CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"TintoraRawSink", L"Tintora raw sink",
                      WS_POPUP, width - 8, height - 8, 8, 8, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 3;
  ShowWindow(window, SW_SHOWNOACTIVATE);
  UpdateWindow(window);

  RAWINPUTDEVICE device{};
  device.usUsagePage = 0x01;
  device.usUsage = 0x02;
  device.dwFlags = RIDEV_INPUTSINK;
  device.hwndTarget = window;
  if (!RegisterRawInputDevices(&device, 1, sizeof device)) return 4;
  std::printf("ready\n");
  std::fflush(stdout);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
