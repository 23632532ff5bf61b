#include "screen_sampling.h"

#include <cstdlib>

#include "colour_pipeline.h"
#include "debug_output.h"
#include "sampling_rules.h"

namespace tintora {

// The portable decisions mirror these values of the Windows headers.
static_assert(kLeftButtonDown == RI_MOUSE_LEFT_BUTTON_DOWN, "RI_MOUSE_LEFT_BUTTON_DOWN");
static_assert(kLeftButtonUp == RI_MOUSE_LEFT_BUTTON_UP, "RI_MOUSE_LEFT_BUTTON_UP");
static_assert(kRawInputError == static_cast<UINT>(-1), "GetRawInputData's error result");
static_assert(sizeof(ColorRef) == sizeof(COLORREF) &&
                  MakeColorRef(0x12, 0x34, 0x56) == RGB(0x12, 0x34, 0x56),
              "COLORREF layout");

int SamplingPaused = 0;
RECT LabelScreenRect = {0, 0, 0, 0};
POINT PointerPos = {0, 0};
COLORREF SampleColor = 0;
COLORREF LastColor = 0;

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

void RefreshLabelScreenRect(HWND window) {
  RECT windowRect = {0, 0, 0, 0};
  RECT regionBox = {0, 0, 0, 0};
  GetWindowRect(window, &windowRect);
  GetWindowRgnBox(window, &regionBox);
  const Rect visible = VisibleLabelRect(ToScreenRect(windowRect), ToScreenRect(regionBox));
  LabelScreenRect = RECT{visible.left, visible.top, visible.right, visible.bottom};
}

// Steps 5 to 12 on an event already known to be a whole mouse report.
void HandleMouseEvent(HWND window, const RAWINPUT& input) {
  SamplingPaused = NextSamplingPaused(SamplingPaused, input.data.mouse.usButtonFlags);
  RefreshLabelScreenRect(window);
  GetPhysicalCursorPos(&PointerPos);
  if (SamplingPaused != 0) return;
  if (PtInRect(&LabelScreenRect, PointerPos)) return;

  const ScreenSample sample = SampleColorAt(PointerPos.x, PointerPos.y);
  if (sample.taken) {
    SampleColor = sample.color;
    if (SampleColor != LastColor) {
      LastColor = SampleColor;
      NameColor(XyzToAppearance(SrgbToXyz(static_cast<ColorRef>(SampleColor))));
      InvalidateRect(window, nullptr, FALSE);
    }
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
  if (check.usable) {
    const RAWINPUT* input = static_cast<const RAWINPUT*>(buffer);
    if (input->header.dwType == RIM_TYPEMOUSE) HandleMouseEvent(window, *input);
  }
  std::free(buffer);
  return 0;
}

void ForgetScreenBounds() { ScreenBoundsKnown = false; }

ScreenSample SampleColorAt(int x, int y) {
  ScreenSample result = {false, 0};
  const BlockCopy copy = ClipSampleBlock(x, y, ScreenBoundsAround(x, y));
  if (!copy.centreOnScreen) return result;

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
