// Raw mouse input and screen sampling for the label window (Windows only).
#pragma once

#include <windows.h>

namespace tintora {

// Module-level state of the sampling, UI thread only.
extern int SamplingPaused;    // nonzero while the left button is held
extern RECT LabelScreenRect;  // the visible label, physical screen coordinates
extern POINT PointerPos;      // the pointer, physical screen coordinates
extern COLORREF SampleColor;  // the latest sample, read by the paint
extern COLORREF LastColor;    // the sample the label texts describe

// Asks for every mouse report on the desktop, in the background too.
void RegisterRawMouseInput(HWND window);

// WM_INPUT: tracks the left button, samples the pixel under the pointer and
// repaints the label for a new colour. Always answers 0.
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
