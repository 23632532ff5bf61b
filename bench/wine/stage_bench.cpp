// tintora-stagebench.exe: wall-clock cost of each stage of one raw mouse
// event of the label, timed with QueryPerformanceCounter. Under Wine most
// USER and GDI calls are round trips to the wineserver (and to the X server
// for screen reads), so wall time, not this process's CPU time, is the cost.
//
//   tintora-stagebench.exe [--iterations N] [--fonts DIR]
//
// --fonts DIR registers DIR\*.ttf privately first (the label's two faces), so
// the paint stage draws with the same fonts as the label.
//
// Output: one line per stage, "stage=<name> us_per_call=<median> min=<min>
// own_cpu_us=<cpu> calls=<n>": the median and minimum wall time per call over
// five batches, and this process's own CPU time per call.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "colour_pipeline.h"
#include "debug_output.h"

namespace {

using tintora::ColorRef;

LARGE_INTEGER gFrequency;
volatile unsigned gSink = 0;  // keeps results alive

double NowUs() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(gFrequency.QuadPart);
}

// This process's CPU time (user + kernel) in microseconds. What a call costs
// beyond it was spent waiting: in the wineserver or the X server.
double ProcessCpuUs() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0.0;
  ULARGE_INTEGER k, u;
  k.LowPart = kernel.dwLowDateTime;
  k.HighPart = kernel.dwHighDateTime;
  u.LowPart = user.dwLowDateTime;
  u.HighPart = user.dwHighDateTime;
  return static_cast<double>(k.QuadPart + u.QuadPart) / 10.0;
}

template <typename Body>
void Stage(const char* name, int calls, Body body) {
  for (int i = 0; i < std::max(calls / 10, 10); ++i) body(i);  // warm-up
  std::vector<double> batches;
  const double cpuFrom = ProcessCpuUs();
  for (int b = 0; b < 5; ++b) {
    const double from = NowUs();
    for (int i = 0; i < calls; ++i) body(i);
    batches.push_back((NowUs() - from) / calls);
  }
  const double cpuPerCall = (ProcessCpuUs() - cpuFrom) / (5.0 * calls);
  std::sort(batches.begin(), batches.end());
  std::printf("stage=%-36s us_per_call=%9.2f min=%9.2f own_cpu_us=%8.2f calls=%d\n", name,
              batches[2], batches[0], cpuPerCall, calls * 5);
  std::fflush(stdout);
}

BITMAPINFO SampleHeader() {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 11;
  info.bmiHeader.biHeight = 11;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// The label's sample as designed: everything created and released per call.
ColorRef SampleAsDesigned(int x, int y) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = SampleHeader();
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, dib);
  BitBlt(memory, 0, 0, 11, 11, screen, x - 5, y - 5, SRCCOPY);
  ColorRef result = 0;
  if (bits != nullptr) {
    const unsigned char* p = static_cast<const unsigned char*>(bits) + 240;
    result = static_cast<ColorRef>(p[2] | (p[1] << 8) | (p[0] << 16));
  }
  SelectObject(memory, previous);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  DeleteObject(dib);
  return result;
}

// --- the paint, composed like the label's -----------------------------------

struct PaintState {
  HFONT nameFont = nullptr;
  HFONT qualifierFont = nullptr;
  ColorRef colour = 0;
  const wchar_t* name = L"Orange";
  const wchar_t* qualifier = L"Reddish";
  int averageWidth = 7;
  int descent = 4;
};
PaintState gPaint;

void Compose(HDC target, int w, int h) {
  HDC memory = CreateCompatibleDC(target);
  HBITMAP bitmap = CreateCompatibleBitmap(target, w, h);
  HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
  HBRUSH brush = CreateSolidBrush(gPaint.colour);
  const unsigned r = GetRValue(gPaint.colour), g = GetGValue(gPaint.colour),
                 b = GetBValue(gPaint.colour);
  HPEN pen = CreatePen(
      PS_INSIDEFRAME, 1,
      RGB(static_cast<int>(r * 0.9), static_cast<int>(g * 0.9), static_cast<int>(b * 0.9)));
  SelectObject(memory, pen);
  SelectObject(memory, brush);
  Rectangle(memory, 0, 0, w, h);
  SetBkMode(memory, TRANSPARENT);
  SetTextColor(memory, RGB(255, 255, 255));
  RECT measure{0, 0, 0, 0};
  SelectObject(memory, gPaint.nameFont);
  DrawTextW(memory, gPaint.name, -1, &measure, DT_CALCRECT);
  const int nW = measure.right;
  measure = RECT{0, 0, 0, 0};
  SelectObject(memory, gPaint.qualifierFont);
  DrawTextW(memory, gPaint.qualifier, -1, &measure, DT_CALCRECT);
  const int qW = measure.right;
  const int m = (w - qW - nW - gPaint.averageWidth) / 2;
  const int half = gPaint.averageWidth / 2;
  RECT nameRect{m + half, 0, w - m - qW, h - 3};
  SelectObject(memory, gPaint.nameFont);
  DrawTextW(memory, gPaint.name, -1, &nameRect, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
  RECT qualifierRect{w + half - m - qW, static_cast<int>(gPaint.descent * 1.9), w + half - m, h};
  SelectObject(memory, gPaint.qualifierFont);
  DrawTextW(memory, gPaint.qualifier, -1, &qualifierRect, DT_SINGLELINE | DT_VCENTER);
  BitBlt(target, 0, 0, w, h, memory, 0, 0, SRCCOPY);
  SelectObject(memory, oldBitmap);
  SelectObject(memory, GetStockObject(NULL_BRUSH));
  SelectObject(memory, GetStockObject(NULL_PEN));
  DeleteDC(memory);
  DeleteObject(bitmap);
  DeleteObject(brush);
  DeleteObject(pen);
}

LRESULT CALLBACK BenchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      if (dc == nullptr) return 0;
      RECT client;
      GetClientRect(window, &client);
      Compose(dc, client.right, client.bottom);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

void RegisterFonts(const std::wstring& dir) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((dir + L"\\*.ttf").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    std::printf("fonts=none found\n");
    return;
  }
  do {
    HANDLE file = CreateFileW((dir + L"\\" + found.cFileName).c_str(), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) continue;
    const DWORD size = GetFileSize(file, nullptr);
    std::vector<char> bytes(size);
    DWORD read = 0;
    if (size != INVALID_FILE_SIZE && ReadFile(file, bytes.data(), size, &read, nullptr) &&
        read == size) {
      DWORD faces = 0;
      if (AddFontMemResourceEx(bytes.data(), size, nullptr, &faces) != nullptr) {
        std::printf("font=%ls faces=%lu\n", found.cFileName, faces);
      }
    }
    CloseHandle(file);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

void DiscardLine(const tintora::Utf16Char* line, void*) {
  gSink = gSink + static_cast<unsigned>(line[0]);
}
void DebuggerLine(const tintora::Utf16Char* line, void*) {
  OutputDebugStringW(reinterpret_cast<const wchar_t*>(line));
}

void RunPipeline(int i) {
  // Two colours in turn, as the injector's patches give them.
  const ColorRef c =
      (i % 2 == 0) ? tintora::MakeColorRef(200, 50, 40) : tintora::MakeColorRef(40, 100, 200);
  const tintora::LabelTexts texts =
      tintora::NameColor(tintora::XyzToAppearance(tintora::SrgbToXyz(c)));
  gSink = gSink + static_cast<unsigned>(texts.name[0]);
}

}  // namespace

int wmain() {
  // Plain \n line ends, and each line out at once: the scripts read along.
  _setmode(_fileno(stdout), _O_BINARY);
  std::setvbuf(stdout, nullptr, _IOLBF, 4096);
  QueryPerformanceFrequency(&gFrequency);
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  int calls = 2000;
  std::wstring fontDir;
  for (int i = 1; argv != nullptr && i + 1 < argc; i += 2) {
    const std::wstring name = argv[i];
    if (name == L"--iterations") {
      calls = std::max(10, _wtoi(argv[i + 1]));
    } else if (name == L"--fonts") {
      fontDir = argv[i + 1];
    } else {
      std::printf("usage: tintora-stagebench.exe [--iterations N] [--fonts DIR]\n");
      return 1;
    }
  }
  if (argv != nullptr) LocalFree(argv);
  if (!fontDir.empty()) RegisterFonts(fontDir);

  const int x = GetSystemMetrics(SM_CXSCREEN) / 3;
  const int y = GetSystemMetrics(SM_CYSCREEN) / 3;

  // --- screen capture --------------------------------------------------------
  Stage("sample_as_designed", calls,
        [&](int i) { gSink = gSink + SampleAsDesigned(x + (i & 1), y); });
  Stage("getdc_releasedc", calls, [](int) {
    HDC screen = GetDC(nullptr);
    ReleaseDC(nullptr, screen);
  });
  HDC screen = GetDC(nullptr);
  Stage("createcompatibledc_deletedc", calls, [&](int) { DeleteDC(CreateCompatibleDC(screen)); });
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = SampleHeader();
  Stage("createdibsection_deleteobject", calls, [&](int) {
    void* bits = nullptr;
    DeleteObject(CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  });
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, dib);
  Stage("bitblt_11x11_cached_dc_dib", calls,
        [&](int i) { BitBlt(memory, 0, 0, 11, 11, screen, x - 5 + (i & 1), y - 5, SRCCOPY); });
  Stage("bitblt_1x1_cached_dc_dib", calls,
        [&](int i) { BitBlt(memory, 0, 0, 1, 1, screen, x + (i & 1), y, SRCCOPY); });
  Stage("getpixel_cached_screen_dc", calls,
        [&](int i) { gSink = gSink + GetPixel(screen, x + (i & 1), y); });
  SelectObject(memory, previous);
  DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  // --- the colour pipeline ---------------------------------------------------
  // Two lines per new colour go to the debugger output by default.
  tintora::SetDebugSink(DebuggerLine, nullptr);
  Stage("pipeline_diagnostics_to_debugger", calls, RunPipeline);
  tintora::SetDebugSink(DiscardLine, nullptr);
  Stage("pipeline_diagnostics_formatted_only", calls, RunPipeline);
  tintora::SetDebugSink(nullptr, nullptr);
  Stage("pipeline_no_diagnostics", calls, RunPipeline);
  Stage("outputdebugstringw_one_line", calls,
        [](int) { OutputDebugStringW(L"R: 200 G: 50 B: 40 - "); });

  // --- the per-event window queries ------------------------------------------
  WNDCLASSW wc{};
  wc.lpfnWndProc = BenchWindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  wc.lpszClassName = L"TintoraStageBench";
  RegisterClassW(&wc);
  const int w = 200, h = 40;
  HWND window =
      CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"TintoraStageBench",
                      L"stage bench", WS_POPUP, GetSystemMetrics(SM_CXSCREEN) - w - 20, 20, w, h,
                      nullptr, nullptr, wc.hInstance, nullptr);
  if (window == nullptr) {
    std::printf("error=no window\n");
    return 2;
  }
  SetWindowRgn(window, CreateRectRgn(0, 0, w, h), TRUE);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  UpdateWindow(window);
  Stage("getwindowrect_getwindowrgnbox", calls, [&](int) {
    RECT r, box;
    GetWindowRect(window, &r);
    GetWindowRgnBox(window, &box);
    gSink = gSink + static_cast<unsigned>(r.left + box.bottom);
  });
  // With the pointer still for over 100 ms Wine asks the X server where it
  // is (a round trip); while the mouse moves the wineserver's copy is used.
  Stage("getphysicalcursorpos_pointer_still", calls, [](int) {
    POINT p;
    GetPhysicalCursorPos(&p);
    gSink = gSink + static_cast<unsigned>(p.x);
  });
  Stage("heap_alloc_free_48_bytes", calls, [](int) {
    void* p = std::malloc(48);
    gSink = gSink + (p != nullptr ? 1u : 0u);
    std::free(p);
  });

  // --- the paint -------------------------------------------------------------
  gPaint.nameFont = CreateFontW(30, 0, 0, 0, 900, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                FF_MODERN | DEFAULT_PITCH, L"Encode Sans Condensed");
  gPaint.qualifierFont = CreateFontW(18, 0, 0, 0, 700, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                     FF_MODERN | DEFAULT_PITCH, L"Encode Sans Condensed");
  Stage("update_window_full_paint", calls / 4, [&](int i) {
    gPaint.colour = (i % 2 == 0) ? RGB(200, 50, 40) : RGB(40, 100, 200);
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
  });
  Stage("update_window_nothing_invalid", calls, [&](int) { UpdateWindow(window); });
  HDC windowDc = GetDC(window);
  Stage("compose_offscreen_and_copy", calls / 4, [&](int i) {
    gPaint.colour = (i % 2 == 0) ? RGB(200, 50, 40) : RGB(40, 100, 200);
    Compose(windowDc, w, h);
  });
  HDC offscreen = CreateCompatibleDC(windowDc);
  HBITMAP offBitmap = CreateCompatibleBitmap(windowDc, w, h);
  HGDIOBJ oldOff = SelectObject(offscreen, offBitmap);
  Stage("compose_offscreen_only", calls / 4, [&](int i) {
    gPaint.colour = (i % 2 == 0) ? RGB(200, 50, 40) : RGB(40, 100, 200);
    Compose(offscreen, w, h);
  });
  Stage("bitblt_label_to_window", calls / 4,
        [&](int) { BitBlt(windowDc, 0, 0, w, h, offscreen, 0, 0, SRCCOPY); });
  Stage("drawtextw_measure_name", calls, [&](int) {
    RECT r{0, 0, 0, 0};
    SelectObject(offscreen, gPaint.nameFont);
    DrawTextW(offscreen, gPaint.name, -1, &r, DT_CALCRECT);
    gSink = gSink + static_cast<unsigned>(r.right);
  });
  SelectObject(offscreen, oldOff);
  DeleteObject(offBitmap);
  DeleteDC(offscreen);
  ReleaseDC(window, windowDc);
  DeleteObject(gPaint.nameFont);
  DeleteObject(gPaint.qualifierFont);
  DestroyWindow(window);
  std::printf("done=%u\n", gSink & 1u);
  return 0;
}
