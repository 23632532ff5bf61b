// The X11 label: its state and the parts of its one event loop. Xlib for
// the window, the raw pointer events and the screen; cairo and FreeType for
// the text; GTK for the menu and the About box. What the label does comes
// from the label core; these files gather inputs, call it and apply it.
#pragma once

// The project's headers come first: Xlib defines None, Bool and Status as
// macros.
#include "desktop_files.h"
#include "font_file_metrics.h"
#include "label_core.h"
#include "label_layout.h"

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <glib.h>

#include <cstddef>
#include <optional>

namespace tintora {

// The embedded faces (generated from resources/fonts).
extern const unsigned char kBoldFaceData[];
extern const std::size_t kBoldFaceSize;
extern const unsigned char kBlackFaceData[];
extern const std::size_t kBlackFaceSize;

// ---- State ----------------------------------------------------------------

// The atoms the label uses, each interned once (x11_window.cpp holds the
// one list of their names).
struct X11Atoms {
  Atom wmProtocols, wmDeleteWindow, netWmName, utf8String, netWmWindowType, netWmWindowTypeUtility,
      netWmState, netWmStateAbove, netWmStateSkipTaskbar, netWmStateSkipPager, netWmStateSticky,
      netWmDesktop, motifWmHints, netWmMoveResize, netWmUserTime, netWmPid, resourceManager;
};

// One channel of the screen's visual, as a mask's shift and width.
struct VisualChannel {
  unsigned long mask;
  int shift;
  int bits;
};

// The screen the label reads: the root window, its visual and bounds, and
// the 11 x 11 block shared with the server (null where memory cannot be
// shared, as with a remote display).
struct X11Screen {
  Window root = 0;
  Visual* visual = nullptr;
  int depth = 0;
  VisualChannel red{}, green{}, blue{};
  int xinputOpcode = -1;
  Rect bounds{0, 0, 0, 0};
  XImage* sharedBlock = nullptr;
  XShmSegmentInfo segment{};
};

struct FontFace {
  const unsigned char* data = nullptr;  // the embedded file
  FT_Face ft = nullptr;
  cairo_font_face_t* cairo = nullptr;
  FontFileInfo info{};
};

struct LabelFont {
  cairo_scaled_font_t* scaled = nullptr;
  GdiFontMetrics metrics{};
  const FontFace* face = nullptr;
};

// The faces, the reference metrics and the two label fonts at the scale.
struct LabelFonts {
  FT_Library freeType = nullptr;
  FontFace black, bold;
  LabelMetrics base{};  // the Black face at the default height, as GDI measures it
  LabelFont name, qualifier;
};

// The label's pixels: composed off screen, copied to the window whole.
struct LabelSurface {
  int width = 0;
  int height = 0;
  Pixmap backBuffer = 0;
  cairo_surface_t* surface = nullptr;
  cairo_t* context = nullptr;
  GC copyGc = nullptr;
};

struct X11Label {
  Display* display = nullptr;
  Window window = 0;
  X11Atoms atoms{};
  X11Screen screen;
  LabelFonts fonts;
  LabelSurface surface;
  float uiScale = 1.0f;
  LabelState core = InitialLabelState();
  Rect labelRect{0, 0, 0, 0};  // the label on the screen, as the server last reported it
  int autostartEnabled = 0;
  GMainLoop* mainLoop = nullptr;
  bool ending = false;
};

// ---- x11_window.cpp: the window and its window-manager hints ----------------

// One label per display: takes the display's label selection for the life of
// the connection; false when another label holds it.
bool TakeTheDisplaysLabel(Display* display);

// Creates and maps the label window at the saved position (when it shows on
// the screen), paints it once and selects the raw pointer events.
bool CreateLabel(X11Label* label, Display* display);

// Handles one event of the label's connection: the router.
void HandleLabelEvent(X11Label* label, XEvent* event);

// The label's top-left corner on the screen: asked of the server when it can
// answer, else the last one it reported.
SavedPosition CurrentLabelPosition(const X11Label& label, bool askServer);

// Releases the window, surfaces, the shared block and the fonts.
void DestroyLabel(X11Label* label);

// ---- x11_screen.cpp: the server's checks, raw input and screen reads --------

// Whether the server can serve the label; the exit status when it cannot
// (with the message written to stderr), 0 when it can. Keeps the XInput
// opcode for the event loop.
int CheckServer(Display* display, X11Screen* screen);

// The root window, its visual's channels, bounds and the shared block;
// false when the screen has no true-colour visual.
bool OpenScreen(Display* display, X11Screen* screen);
void RefreshScreenBounds(Display* display, X11Screen* screen);
void CloseScreen(Display* display, X11Screen* screen);

// Raw motion and button events of every master device, on the root window.
void SelectRawPointerEvents(Display* display, const X11Screen& screen);

// One raw event, a pointer report: its transitions to the core.
void HandleRawEvent(X11Label* label, XGenericEventCookie* cookie);

// Once every event already queued has been read: the sample the core asks
// for, at the pointer as it is now, and a repaint for a new colour.
void SampleAfterReports(X11Label* label);

// ---- x11_paint.cpp: fonts and the paint --------------------------------------

// Loads the faces and measures the reference metrics; false when the
// embedded faces cannot be read.
bool LoadLabelFonts(LabelFonts* fonts);
// Releases the faces and FreeType (also when start-up stops before the window).
void ReleaseLabelFonts(LabelFonts* fonts);

// Sizes and fonts for the label's current scale; a new back buffer when the
// window exists.
void ApplyScale(X11Label* label);
void CreateBackBuffer(X11Label* label);
void ReleaseSurface(X11Label* label);

// Composes the label in the back buffer and copies it to the window.
void PaintLabel(X11Label* label);
// Copies the last composed label to the window (an exposure).
void ShowBackBuffer(const X11Label& label);

// ---- x11_menu.cpp ------------------------------------------------------------

// The right-click menu at a screen point; `time` is the press's.
void ShowLabelMenu(X11Label* label, int x, int y, Time time);

// ---- x11_main.cpp ------------------------------------------------------------

// Saves the position and ends the loop: Exit, the window manager's close,
// SIGTERM, SIGHUP, SIGINT.
void EndLabel(X11Label* label);

}  // namespace tintora
