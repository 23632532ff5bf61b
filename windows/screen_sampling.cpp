#include "screen_sampling.h"

#include <cstdint>
#include <cstdlib>
#include <optional>

#include "debug_output.h"
#include "label_core.h"
#include "label_window.h"
#include "sample_block.h"
#include "windows_rules.h"
#ifdef TINTORA_SLOW_SCREEN_READ
#include "screen_read_delay.h"
#endif

namespace tintora {

// The portable decisions mirror these values of the Windows headers.
static_assert(kLeftButtonDown == RI_MOUSE_LEFT_BUTTON_DOWN, "RI_MOUSE_LEFT_BUTTON_DOWN");
static_assert(kLeftButtonUp == RI_MOUSE_LEFT_BUTTON_UP, "RI_MOUSE_LEFT_BUTTON_UP");
static_assert(kRawInputError == static_cast<UINT>(-1), "GetRawInputData's error result");
static_assert(sizeof(ColorRef) == sizeof(COLORREF) &&
                  MakeColorRef(0x12, 0x34, 0x56) == RGB(0x12, 0x34, 0x56),
              "COLORREF layout");

namespace {

constexpr UINT kWholeMouseEventBytes = static_cast<UINT>(sizeof(RAWINPUTHEADER) + sizeof(RAWMOUSE));

Rect ToScreenRect(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }

// The virtual screen's bounds, kept between samples: under Wine each query
// costs about 0.2 ms, more than the rest of a sample.
bool ScreenBoundsKnown = false;
Rect KeptScreenBounds = {0, 0, 0, 0};

const Rect& ScreenBoundsAround(int x, int y) {
  if (ScreenBoundsNeedRefresh(ScreenBoundsKnown, KeptScreenBounds, x, y)) {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    KeptScreenBounds = Rect{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                            top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    ScreenBoundsKnown = true;
  }
  return KeptScreenBounds;
}

// The visible label: the window rectangle cut to the window region.
Rect LabelScreenRectOf(HWND window) {
  RECT windowRect = {0, 0, 0, 0};
  RECT regionBox = {0, 0, 0, 0};
  GetWindowRect(window, &windowRect);
  GetWindowRgnBox(window, &regionBox);
  return VisibleLabelRect(ToScreenRect(windowRect), ToScreenRect(regionBox));
}

// A mouse report read from the message or from the queue.
bool IsWholeMouseReport(const RAWINPUT& input) {
  return input.header.dwType == RIM_TYPEMOUSE && input.header.dwSize >= kWholeMouseEventBytes;
}

// The reports queued behind this message's own, read in batches until none
// is left; each mouse report's transitions go to the core, in order. A failed
// read (-1) ends the reading as an empty queue does.
void ApplyQueuedReports() {
  constexpr std::size_t kBatch = 16;
  // 8-byte aligned, as the reports in it are.
  std::uint64_t buffer[kBatch * sizeof(RAWINPUT) / sizeof(std::uint64_t) + 1];
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(buffer);
  constexpr std::uint32_t kHeaderBytes = sizeof(RAWINPUTHEADER);
  for (;;) {
    UINT size = sizeof buffer;  // the call may change it: set before every call
    const UINT count =
        GetRawInputBuffer(reinterpret_cast<RAWINPUT*>(buffer), &size, sizeof(RAWINPUTHEADER));
    if (count == 0 || count == kRawInputError) return;
    std::size_t offset = 0;
    for (UINT i = 0; i < count && offset <= sizeof buffer - kHeaderBytes; ++i) {
      const RAWINPUT* input = reinterpret_cast<const RAWINPUT*>(bytes + offset);
      const std::optional<std::size_t> next =
          NextRawInputBlock(offset, input->header.dwSize, kHeaderBytes, sizeof buffer);
      if (!next) break;
      if (IsWholeMouseReport(*input)) ApplyPointerReport(&Label, input->data.mouse.usButtonFlags);
      offset = *next;
    }
  }
}

// The end of the burst: the sample the core asks for, with the label and
// the pointer as they are now, and the repaint of a new colour.
void SampleAfterReports(HWND window) {
  const Rect labelRect = LabelScreenRectOf(window);
  // A failed read leaves the pointer where it was last seen.
  POINT pointer = {Label.pointerPos.x, Label.pointerPos.y};
  GetPhysicalCursorPos(&pointer);
  const std::optional<Point> at = PointToSample(&Label, labelRect, Point{pointer.x, pointer.y});
  if (!at) return;
  const ScreenSample sample = SampleColorAt(at->x, at->y);
  if (sample.taken && ApplySample(&Label, static_cast<ColorRef>(sample.color))) {
    InvalidateRect(window, nullptr, FALSE);
  }
  UpdateWindow(window);
}

}  // namespace

void RegisterRawMouseInput(HWND window) {
  RAWINPUTDEVICE device = {};
  device.usUsagePage = 0x01;  // generic desktop controls
  device.usUsage = 0x02;      // mouse
  device.dwFlags = RIDEV_INPUTSINK;
  device.hwndTarget = window;
  RegisterRawInputDevices(&device, 1, sizeof(RAWINPUTDEVICE));
}

LRESULT HandleRawInput(HWND window, LPARAM lParam) {
  HRAWINPUT handle = reinterpret_cast<HRAWINPUT>(lParam);
  UINT size = 0;
  const UINT queried = GetRawInputData(handle, RID_INPUT, nullptr, &size, sizeof(RAWINPUTHEADER));
  if (!RawInputSizeUsable(queried, size, kWholeMouseEventBytes)) return 0;

  // RAWINPUT holds pointers, so the buffer must be suitably aligned: malloc's is.
  void* buffer = std::malloc(size);
  if (buffer == nullptr) return 0;

  const UINT read = GetRawInputData(handle, RID_INPUT, buffer, &size, sizeof(RAWINPUTHEADER));
  const RawInputReadCheck check = CheckRawInputRead(size, read, kWholeMouseEventBytes);
  if (check.sizeMismatch) WriteDebugOutput(u"GetRawInputData does not return correct size !\n");
  const RAWINPUT* input = static_cast<const RAWINPUT*>(buffer);
  const bool mouse = check.usable && input->header.dwType == RIM_TYPEMOUSE;
  if (mouse) ApplyPointerReport(&Label, input->data.mouse.usButtonFlags);
  std::free(buffer);
  if (!mouse) return 0;
  // Every report already queued is read before the one sample: a label that
  // samples more slowly than the mouse reports does not fall behind.
  ApplyQueuedReports();
  SampleAfterReports(window);
  return 0;
}

void ForgetScreenBounds() { ScreenBoundsKnown = false; }

ScreenSample SampleColorAt(int x, int y) {
  ScreenSample result = {false, 0};
  const BlockCopy copy = ClipSampleBlock(x, y, ScreenBoundsAround(x, y));
  if (!copy.centreOnScreen) return result;

#ifdef TINTORA_SLOW_SCREEN_READ
  SpendScreenReadDelay();
#endif
  HDC screenDc = GetDC(nullptr);
  if (screenDc == nullptr) return result;
  HDC memory = CreateCompatibleDC(screenDc);
  if (memory == nullptr) {
    ReleaseDC(nullptr, screenDc);
    return result;
  }

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kSampleBlockSide;
  info.bmiHeader.biHeight = kSampleBlockSide;  // positive: rows bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (section != nullptr && pixels != nullptr) {
    HGDIOBJ previous = SelectObject(memory, section);
    BitBlt(memory, copy.destX, copy.destY, copy.width, copy.height, screenDc, copy.sourceX,
           copy.sourceY, SRCCOPY);
    // BitBlt wrote through GDI; make sure it has reached the section's memory.
    GdiFlush();
    result.color =
        static_cast<COLORREF>(CentrePixelColor(static_cast<const unsigned char*>(pixels)));
    result.taken = true;
    SelectObject(memory, previous);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screenDc);
  if (section != nullptr) DeleteObject(section);
  return result;
}

}  // namespace tintora
