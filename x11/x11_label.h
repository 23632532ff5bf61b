// The X11 label: its module-level state and the handlers of its one event
// loop (Xlib for the window, the raw pointer events and the screen; cairo
// and FreeType for the text; GTK for the menu and the About box).
#pragma once

// The project's headers come first: Xlib defines None, Bool and Status as
// macros.
#include "desktop_files.h"
#include "label_layout.h"

#include <X11/Xlib.h>

#include <cstdint>

namespace tintora {

// The embedded faces (generated from resources/fonts).
extern const unsigned char kBoldFaceData[];
extern const std::size_t kBoldFaceSize;
extern const unsigned char kBlackFaceData[];
extern const std::size_t kBlackFaceSize;

// State of the label, owned by the one thread.
extern Display* LabelDisplay;
extern Window LabelWindow;
extern int AutostartEnabled;

// ---- x11_label.cpp ----

// Loads the faces and measures the reference metrics; false when the
// embedded faces cannot be read.
bool LoadLabelFonts();

// Whether the server can serve the label; the exit status when it cannot
// (with the message written to stderr), 0 when it can. Keeps the XInput
// opcode for the event loop.
int CheckServer(Display* display);

// Creates and maps the label window at the saved position (when it shows
// on the screen), paints it once and selects the raw pointer events.
bool CreateLabel(Display* display);

// Handles one event of the label's connection.
void HandleLabelEvent(XEvent* event);

// The label's top-left corner on the screen: asked of the server when it
// can answer, else the last one it reported.
SavedPosition CurrentLabelPosition(bool askServer);

// Releases the window, fonts and surfaces.
void DestroyLabel();

// Releases the faces and FreeType (also when start-up stops before the window).
void ReleaseLabelFonts();

// ---- x11_menu.cpp ----

// The right-click menu at a screen point; `time` is the press's.
void ShowLabelMenu(int x, int y, Time time);

// ---- x11_main.cpp ----

// Saves the position and ends the loop: Exit, the window manager's close,
// SIGTERM, SIGHUP, SIGINT.
void EndLabel();

}  // namespace tintora
