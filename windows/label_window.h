// The label window: its module-level state, the window procedure and the
// handlers that plug into it (Windows only).
#pragma once

#include <windows.h>

#include "label_core.h"
#include "label_layout.h"
#include "resource_ids.h"

namespace tintora {

extern const wchar_t kLabelClassName[];  // "Tintora", also the title

// Module-level state of the label window, UI thread only.
extern LabelState Label;  // the core's state: sample, texts, pause, pointer
extern HWND LabelWindow;
extern TEXTMETRICW BaseMetrics;
extern float UiScale;
extern HFONT NameFont;
extern HFONT QualifierFont;
extern HANDLE BoldFaceHandle;
extern HANDLE BlackFaceHandle;
extern int AutostartEnabled;

LRESULT CALLBACK LabelWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---- Fonts (label_fonts.cpp) ----

// The four fields of BaseMetrics that the label's sizes derive from.
LabelMetrics BaseLabelMetrics();

struct InitialWindowSize {
  int width;      // BaseWidth
  int height;     // always 0
  bool measured;  // false: no display context or no metrics; BaseMetrics unusable
};

// Measures the reference font into BaseMetrics.
InitialWindowSize MeasureBaseMetrics();

// Creates NameFont and QualifierFont from BaseMetrics and UiScale; deletes
// nothing, so callers delete the previous fonts first.
void CreateLabelFonts();

// Deletes both label fonts and forgets their handles.
void DeleteLabelFonts();

// Registers one embedded face (a "BINARY" resource) for this process only.
// Null when the resource is missing (silently) or the registration fails
// ("Font add fails").
HANDLE RegisterEmbeddedFace(HINSTANCE instance, WORD resourceId);

// Registers the Bold face into BoldFaceHandle, then the Black face into
// BlackFaceHandle.
void RegisterEmbeddedFaces(HINSTANCE instance);

// True when the registration was removed; false silently for a null handle,
// false with "Font remove fails" when removal fails. Leaves the handle as is.
bool RemovePrivateFont(HANDLE handle);

// ---- Window lifetime (label_window.cpp) ----

// Registers the window class "Tintora" with LabelWindowProc; false when the
// class cannot be registered.
bool RegisterLabelClass(HINSTANCE instance);

// Creates the top-most label window (WM_CREATE runs inside) and takes away
// its caption and border. Null when the window cannot be created.
HWND CreateLabelWindow(HINSTANCE instance, const InitialWindowSize& size);

// Effective DPI of the window's monitor; 96 when the query is unavailable or
// fails.
UINT MonitorDpiForWindow(HWND window);

// ---- Painting (label_paint.cpp) ----

LRESULT PaintLabel(HWND window);

// ---- Interaction (label_menu.cpp) ----

LRESULT ShowLabelMenu(HWND window, LPARAM lParam);
LRESULT HandleMenuCommand(HWND window, WPARAM wParam);

}  // namespace tintora
