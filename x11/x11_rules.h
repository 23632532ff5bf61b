// Decisions of the X11 label that need no X call: the command line, why the
// label cannot run somewhere, the scale from the X resources, whether a
// saved position can be used, and text conversions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "geometry.h"

namespace tintora {

// Exit statuses of the X11 label.
constexpr int kExitOk = 0;           // Exit, window close, SIGTERM, SIGHUP, SIGINT
constexpr int kExitFailure = 1;      // the window, fonts or GTK could not be set up
constexpr int kExitUsage = 2;        // unknown option
constexpr int kExitNoDisplay = 3;    // no X display to open (e.g. Wayland without Xwayland)
constexpr int kExitNoXInput2 = 4;    // the server has no XInput 2.0 or later
constexpr int kExitXwayland = 5;     // Xwayland: the screen of Wayland windows cannot be read
constexpr int kExitDisplayLost = 6;  // the connection to the X server was lost

struct Options {
  bool help = false;
  bool version = false;
  bool debug = false;
  std::string display;  // --display NAME; empty: $DISPLAY
  std::string error;    // non-empty: the command line was not understood
};

// --help/-h, --version, --debug, --display NAME (or --display=NAME). A
// debug value of TINTORA_DEBUG other than "", "0" turns the debug lines on
// as --debug does.
Options ParseOptions(int argc, const char* const* argv, const char* debugVariable);

// Why the label cannot sample continuously, before anything is opened.
enum class DisplayVerdict { Usable, NoDisplay, WaylandOnly, Xwayland, NoXInput2 };

// From the environment: no DISPLAY (and no --display) is NoDisplay, or
// WaylandOnly when WAYLAND_DISPLAY is set.
DisplayVerdict VerdictFromEnvironment(const char* display, const char* waylandDisplay);

// From the opened server: Xwayland (it has the XWAYLAND extension) reads
// the windows of Wayland programs as black; XInput below 2.0 has no raw
// events, and without the Generic Event extension none can be delivered.
DisplayVerdict VerdictFromServer(bool hasXwaylandExtension, bool hasGenericEvents, bool hasXInput,
                                 int xinputMajor);

// The message on stderr and the exit status for a verdict other than Usable.
const char* VerdictMessage(DisplayVerdict verdict);
int VerdictExitStatus(DisplayVerdict verdict);

// Xft.dpi from the text of the root window's RESOURCE_MANAGER property, as
// GTK and Qt read it: the last "Xft.dpi:" line, a positive number (possibly
// with a fraction, which is truncated). Nothing when absent or malformed.
std::optional<unsigned> XftDpiFromResources(const std::string& resources);

// A saved top-left corner is used only when the label placed there would
// show at least partly on the screen; a screen that shrank or a monitor that
// went away would otherwise hide it.
bool SavedPositionVisible(std::int32_t x, std::int32_t y, int width, int height,
                          const Rect& screen);

}  // namespace tintora
