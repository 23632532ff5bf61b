// tintora-floor.exe: the cost floor of the label's design. A label-sized,
// top-most window with the label's region and fonts that, on every raw mouse
// event, makes exactly the calls the design requires of the label and no
// other:
//
//   GetRawInputData twice (size, then the data into a heap buffer); on a mouse
//   event GetWindowRect + GetWindowRgnBox, GetPhysicalCursorPos; the 11 x 11
//   capture (GetDC, CreateCompatibleDC, CreateDIBSection, SelectObject,
//   BitBlt, the centre pixel, SelectObject back, DeleteDC, ReleaseDC,
//   DeleteObject); on a changed colour the colour pipeline with its two
//   debugger lines and InvalidateRect; UpdateWindow always. The paint:
//   BeginPaint, GetWindowRgnBox, a memory DC and a compatible bitmap, a brush
//   and a pen, Rectangle, SetBkMode, SetTextColor, two DT_CALCRECT measures,
//   the one or two DrawTextW calls, BitBlt, the release, EndPaint.
//
// The pause and over-the-label rules are kept (they cost nothing). The window
// has the label's class and title, so the injector drives it as it drives the
// label. scripts/event-cost.sh compares the label's CPU per event with it.
//
//   tintora-floor.exe [--fonts DIR]   DIR\*.ttf registered privately first
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "colour_pipeline.h"
#include "debug_output.h"
#include "label_layout.h"

namespace {

using tintora::ColorRef;

HFONT gNameFont = nullptr;
HFONT gQualifierFont = nullptr;
TEXTMETRICW gMetrics = {};
int gPaused = 0;
COLORREF gSample = 0;
COLORREF gLast = 0;
tintora::LabelTexts gTexts = tintora::InitialLabelTexts();

const wchar_t* Wide(const tintora::Utf16Char* text) {
  return reinterpret_cast<const wchar_t*>(text);
}

HFONT MakeFont(const tintora::FontRequest& r) {
  return CreateFontW(r.height, 0, 0, 0, r.weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, static_cast<DWORD>(r.quality),
                     FF_MODERN | DEFAULT_PITCH, Wide(r.face));
}

tintora::LabelMetrics Metrics() {
  return tintora::LabelMetrics{gMetrics.tmHeight, gMetrics.tmDescent, gMetrics.tmInternalLeading,
                               gMetrics.tmAveCharWidth};
}

COLORREF Capture(int x, int y) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 11;
  info.bmiHeader.biHeight = 11;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, section);
  BitBlt(memory, 0, 0, 11, 11, screen, x - 5, y - 5, SRCCOPY);
  COLORREF colour = gSample;
  if (pixels != nullptr) {
    const unsigned char* p = static_cast<const unsigned char*>(pixels) + 240;
    colour = static_cast<COLORREF>(tintora::MakeColorRef(p[2], p[1], p[0]));
  }
  SelectObject(memory, previous);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  DeleteObject(section);
  return colour;
}

void HandleInput(HWND window, LPARAM lParam) {
  HRAWINPUT handle = reinterpret_cast<HRAWINPUT>(lParam);
  UINT size = 0;
  GetRawInputData(handle, RID_INPUT, nullptr, &size, sizeof(RAWINPUTHEADER));
  if (size < sizeof(RAWINPUTHEADER) + sizeof(RAWMOUSE)) return;
  void* buffer = std::malloc(size);
  if (buffer == nullptr) return;
  GetRawInputData(handle, RID_INPUT, buffer, &size, sizeof(RAWINPUTHEADER));
  const RAWINPUT* input = static_cast<const RAWINPUT*>(buffer);
  if (input->header.dwType == RIM_TYPEMOUSE) {
    const USHORT flags = input->data.mouse.usButtonFlags;
    if (flags == RI_MOUSE_LEFT_BUTTON_DOWN) gPaused = 1;
    if (flags == RI_MOUSE_LEFT_BUTTON_UP) gPaused = 0;
    RECT label = {0, 0, 0, 0};
    RECT box = {0, 0, 0, 0};
    GetWindowRect(window, &label);
    GetWindowRgnBox(window, &box);
    label.bottom = label.top + box.bottom;
    POINT pointer = {0, 0};
    GetPhysicalCursorPos(&pointer);
    if (gPaused == 0 && !PtInRect(&label, pointer)) {
      gSample = Capture(pointer.x, pointer.y);
      if (gSample != gLast) {
        gLast = gSample;
        gTexts = tintora::NameColor(
            tintora::XyzToAppearance(tintora::SrgbToXyz(static_cast<ColorRef>(gSample))));
        InvalidateRect(window, nullptr, FALSE);
      }
      UpdateWindow(window);
    }
  }
  std::free(buffer);
}

int MeasureText(HDC dc, HFONT font, const tintora::Utf16Char* text) {
  SelectObject(dc, font);
  RECT r = {0, 0, 0, 0};
  DrawTextW(dc, Wide(text), -1, &r, DT_CALCRECT);
  return r.right;
}

void DrawText(HDC dc, HFONT font, const tintora::Utf16Char* text, const tintora::Rect& p,
              UINT format) {
  SelectObject(dc, font);
  RECT r = {p.left, p.top, p.right, p.bottom};
  DrawTextW(dc, Wide(text), -1, &r, format);
}

void Paint(HWND window) {
  PAINTSTRUCT ps;
  HDC target = BeginPaint(window, &ps);
  if (target == nullptr) return;
  RECT box = {0, 0, 0, 0};
  GetWindowRgnBox(window, &box);
  HDC memory = CreateCompatibleDC(target);
  HBITMAP canvas = CreateCompatibleBitmap(target, box.right, box.bottom);
  HGDIOBJ previous = SelectObject(memory, canvas);
  const ColorRef sample = static_cast<ColorRef>(gSample);
  HBRUSH brush = CreateSolidBrush(gSample);
  HPEN pen = CreatePen(PS_INSIDEFRAME, 1, static_cast<COLORREF>(tintora::FrameColor(sample)));
  SelectObject(memory, pen);
  SelectObject(memory, brush);
  Rectangle(memory, box.left, box.top, box.right, box.bottom);
  const unsigned grey = static_cast<unsigned>(tintora::TextGrey(sample));
  SetBkMode(memory, TRANSPARENT);
  SetTextColor(memory, static_cast<COLORREF>(tintora::MakeColorRef(grey, grey, grey)));
  const int nameWidth = MeasureText(memory, gNameFont, gTexts.name);
  const int qualifierWidth = MeasureText(memory, gQualifierFont, gTexts.qualifier);
  if (qualifierWidth == 0) {
    DrawText(memory, gNameFont, gTexts.name, tintora::SingleTextRect(box.right, box.bottom),
             DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
  } else {
    const tintora::TwoTextLayout layout =
        tintora::TwoTextRects(box.right, box.bottom, nameWidth, qualifierWidth,
                              gMetrics.tmAveCharWidth, gMetrics.tmDescent);
    DrawText(memory, gNameFont, gTexts.name, layout.name,
             DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
    DrawText(memory, gQualifierFont, gTexts.qualifier, layout.qualifier,
             DT_SINGLELINE | DT_VCENTER);
  }
  BitBlt(target, 0, 0, box.right, box.bottom, memory, 0, 0, SRCCOPY);
  SelectObject(memory, previous);
  SelectObject(memory, GetStockObject(NULL_BRUSH));
  SelectObject(memory, GetStockObject(NULL_PEN));
  DeleteDC(memory);
  DeleteObject(canvas);
  DeleteObject(brush);
  DeleteObject(pen);
  EndPaint(window, &ps);
}

LRESULT CALLBACK FloorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INPUT:
      HandleInput(window, lParam);
      return 0;
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_NCHITTEST:
      return HTCAPTION;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

void RegisterFonts(const std::wstring& dir) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((dir + L"\\*.ttf").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    HANDLE file = CreateFileW((dir + L"\\" + found.cFileName).c_str(), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) continue;
    const DWORD size = GetFileSize(file, nullptr);
    if (size != INVALID_FILE_SIZE && size > 0) {
      // Kept for the process lifetime, as the label keeps its resources.
      char* bytes = static_cast<char*>(std::malloc(size));
      DWORD read = 0;
      DWORD faces = 0;
      if (bytes != nullptr && ReadFile(file, bytes, size, &read, nullptr) && read == size)
        AddFontMemResourceEx(bytes, size, nullptr, &faces);
    }
    CloseHandle(file);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

void DebuggerLine(const tintora::Utf16Char* line, void*) { OutputDebugStringW(Wide(line)); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // The label's two debugger lines per new colour, as the label writes them.
  tintora::SetDebugSink(DebuggerLine, nullptr);
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::wcscmp(argv[i], L"--fonts") == 0) RegisterFonts(argv[i + 1]);
  }
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HDC info = CreateICW(L"DISPLAY", nullptr, nullptr, nullptr);
  HFONT reference = MakeFont(tintora::ReferenceFontRequest());
  HGDIOBJ previous = SelectObject(info, reference);
  GetTextMetricsW(info, &gMetrics);
  SelectObject(info, previous);
  DeleteDC(info);
  DeleteObject(reference);
  gNameFont = MakeFont(tintora::NameFontRequest(Metrics(), 1.0f));
  gQualifierFont = MakeFont(tintora::QualifierFontRequest(Metrics(), 1.0f));

  WNDCLASSW wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = FloorWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  wc.lpszClassName = L"Tintora";
  if (RegisterClassW(&wc) == 0) return 2;
  const tintora::LabelSize size =
      tintora::LabelSizeAt(Metrics(), GetSystemMetrics(SM_CXBORDER), 1.0f);
  const int width = size.width;
  const int height = size.height;
  HWND window = CreateWindowExW(WS_EX_TOPMOST, L"Tintora", L"Tintora", WS_POPUP, 100, 100, width,
                                height, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 3;
  SetWindowRgn(window, CreateRectRgn(0, 0, width, height), TRUE);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  UpdateWindow(window);

  RAWINPUTDEVICE device = {};
  device.usUsagePage = 0x01;
  device.usUsage = 0x02;
  device.dwFlags = RIDEV_INPUTSINK;
  device.hwndTarget = window;
  RegisterRawInputDevices(&device, 1, sizeof device);
  std::printf("ready\n");
  std::fflush(stdout);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
