// Raw mouse input and screen sampling for the label window (Windows only).
#pragma once

#include <windows.h>

namespace tintora {

// Asks for every mouse report on the desktop, in the background too.
void RegisterRawMouseInput(HWND window);

// WM_INPUT: hands the message's report and every report queued behind it
// to the label's core, in order, then samples the pixel under the pointer
// once when the core asks for it, and repaints the label for a new colour.
// Always answers 0.
LRESULT HandleRawInput(HWND window, LPARAM lParam);

struct ScreenSample {
  bool taken;      // false: no device context or pixel buffer could be had
  COLORREF color;  // valid only when taken
};

// The screen pixel at physical screen coordinates (x, y).
ScreenSample SampleColorAt(int x, int y);

// Called when the display configuration changes: the kept screen bounds are
// asked for again at the next sample.
void ForgetScreenBounds();

}  // namespace tintora
