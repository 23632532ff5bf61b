#include "label_window.h"

#include <shellscalingapi.h>

#include "label_layout.h"
#include "screen_sampling.h"
#include "settings_store.h"
#include "windows_rules.h"

namespace tintora {

const wchar_t kLabelClassName[] = L"Tintora";

LabelState Label = InitialLabelState();
HWND LabelWindow = nullptr;
TEXTMETRICW BaseMetrics = {};
float UiScale = 1.0f;
HFONT NameFont = nullptr;
HFONT QualifierFont = nullptr;
HANDLE BoldFaceHandle = nullptr;
HANDLE BlackFaceHandle = nullptr;
int AutostartEnabled = 0;

namespace {

using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, MONITOR_DPI_TYPE, UINT*, UINT*);

// Resolved once from the system directory only; shcore stays loaded for the
// process lifetime. Null on systems without per-monitor DPI.
GetDpiForMonitorFn ResolveGetDpiForMonitor() {
  static bool resolved = false;
  static GetDpiForMonitorFn function = nullptr;
  if (!resolved) {
    resolved = true;
    HMODULE shcore = LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (shcore != nullptr) {
      // Through void(*)() so the cast says what it means: a typed entry point.
      function = reinterpret_cast<GetDpiForMonitorFn>(
          reinterpret_cast<void (*)()>(GetProcAddress(shcore, "GetDpiForMonitor")));
    }
  }
  return function;
}

// The label's size from the reference metrics, the border width of this
// moment and the current scale.
LabelSize CurrentLabelSize() {
  return LabelSizeAt(BaseLabelMetrics(), GetSystemMetrics(SM_CXBORDER), UiScale);
}

void ApplyLabelRegion(HWND window, int width, int height) {
  HRGN region = CreateRectRgn(0, 0, width, height);
  // On success the system owns the region; on failure it is still ours.
  if (region != nullptr && SetWindowRgn(window, region, TRUE) == 0) DeleteObject(region);
}

LRESULT HandleCreate(HWND window) {
  RestoreWindowPosition(window);
  RECT r = {0, 0, 0, 0};
  GetWindowRect(window, &r);
  UiScale = UiScaleFromDpi(MonitorDpiForWindow(window));
  // The system widens a new overlapped window to its minimum tracking width,
  // which can exceed the label's; the window takes the label's own width.
  // The region takes it too rather than the window's: at a small scale the
  // system can still hold the captioned window wider here.
  const LabelSize label = CurrentLabelSize();
  SetWindowPos(window, nullptr, r.left, r.top, label.width, ScaleExtent(r.bottom - r.top, UiScale),
               SWP_NOZORDER | SWP_NOACTIVATE);
  ApplyLabelRegion(window, label.width, label.height);
  CreateLabelFonts();
  AutostartEnabled = IsAutostartEnabled() != 0 ? 1 : 0;
  return 0;
}

LRESULT HandleDpiChanged(HWND window, WPARAM wParam, LPARAM lParam) {
  UiScale = UiScaleFromDpi(DpiFromDpiChangedWParam(wParam));
  DeleteLabelFonts();
  CreateLabelFonts();
  // Only the suggested top-left corner is taken: the size always follows
  // from the reference metrics and the new scale.
  const LabelSize label = CurrentLabelSize();
  const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
  if (suggested != nullptr) {
    SetWindowPos(window, nullptr, suggested->left, suggested->top, label.width, label.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ApplyLabelRegion(window, label.width, label.height);
  return 0;
}

// The session ends: save now, exactly as the destroy handling would, since
// the destruction may never come. A later destruction saves the same again.
LRESULT HandleEndSession(HWND window, WPARAM wParam) {
  if (EndSessionSavesPosition(wParam)) SaveWindowPosition(window);
  return 0;
}

LRESULT HandleDestroy(HWND window) {
  SaveWindowPosition(window);
  DeleteLabelFonts();
  RemovePrivateFont(BoldFaceHandle);
  RemovePrivateFont(BlackFaceHandle);
  // Forget the released registrations so that nothing removes them twice.
  BoldFaceHandle = nullptr;
  BlackFaceHandle = nullptr;
  PostQuitMessage(0);
  return 0;
}

}  // namespace

bool RegisterLabelClass(HINSTANCE instance) {
  WNDCLASSW windowClass = {};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = LabelWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kAppIconResourceId));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  windowClass.lpszClassName = kLabelClassName;
  return RegisterClassW(&windowClass) != 0;
}

HWND CreateLabelWindow(HINSTANCE instance, const InitialWindowSize& size) {
  HWND window =
      CreateWindowExW(WS_EX_TOPMOST, kLabelClassName, kLabelClassName, WS_SYSMENU, CW_USEDEFAULT,
                      CW_USEDEFAULT, size.width, size.height, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return nullptr;
  SetWindowLongW(window, GWL_STYLE, WS_SYSMENU);
  // The system caches the frame: without a frame change the caption keeps
  // its room and the region would show it instead of the label. Without its
  // caption the window is no longer held to the minimum width of a captioned
  // one, so the same call gives it the label's own width.
  RECT r = {0, 0, 0, 0};
  GetWindowRect(window, &r);
  SetWindowPos(window, nullptr, 0, 0, CurrentLabelSize().width, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  return window;
}

UINT MonitorDpiForWindow(HWND window) {
  UINT dpiX = kDefaultDpi;
  UINT dpiY = kDefaultDpi;
  GetDpiForMonitorFn getDpi = ResolveGetDpiForMonitor();
  if (getDpi != nullptr) {
    HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    if (FAILED(getDpi(monitor, MDT_EFFECTIVE_DPI, &dpiX, &dpiY))) dpiX = kDefaultDpi;
  }
  return dpiX;
}

// The routing table: each message the label handles and what it answers;
// everything else goes to DefWindowProcW.
LRESULT CALLBACK LabelWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return HandleCreate(window);
    case WM_DESTROY:
      return HandleDestroy(window);  // saves the position, releases, quits
    case WM_QUERYENDSESSION:
      return TRUE;  // the label never holds up a logoff, restart or shutdown
    case WM_ENDSESSION:
      return HandleEndSession(window, wParam);  // TRUE saves the position; answers 0
    case WM_DPICHANGED:
      return HandleDpiChanged(window, wParam, lParam);
    case WM_PAINT:
      return PaintLabel(window);
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    case WM_INPUT:
      return HandleRawInput(window, lParam);
    case WM_NCHITTEST:
      return HTCAPTION;  // the whole label drags the window
    case WM_NCRBUTTONDOWN:
      return ShowLabelMenu(window, lParam);
    case WM_COMMAND:
      return HandleMenuCommand(window, wParam);
    case WM_DRAWITEM:
      return 0;
    case WM_DISPLAYCHANGE:
      // Screens added, removed or resized: the sampler asks for the screen's
      // bounds again. The answer is still the default one.
      ForgetScreenBounds();
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_CHAR:  // no keyboard commands of its own
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace tintora
