// Program entry of the X11 label: the command line, the checks that the
// screen can be sampled, and the one main loop that carries the label's X
// connection, GTK's and the end signals.
#include "debug_output.h"
#include "version.h"
#include "x11_label.h"
#include "x11_rules.h"
#include "x11_settings.h"

#include <X11/Xlib.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tintora {

namespace {

// The one label of the process. Xlib's error handlers take no context, so
// they reach it through this pointer; everything else is handed the label.
X11Label* RunningLabel = nullptr;

void DebugToStderr(const Utf16Char* line, void*) {
  const std::string text = Utf8FromUtf16(line);
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

// ---- The label's X connection as a source of the main loop ----

struct XSource {
  GSource base;
  GPollFD poll;
  X11Label* label;
};

X11Label* LabelOfSource(GSource* source) { return reinterpret_cast<XSource*>(source)->label; }

gboolean XSourcePrepare(GSource* source, gint* timeout) {
  *timeout = -1;
  Display* display = LabelOfSource(source)->display;
  XFlush(display);
  return XEventsQueued(display, QueuedAlready) > 0;
}

gboolean XSourceCheck(GSource* source) {
  const auto* x = reinterpret_cast<XSource*>(source);
  return (x->poll.revents & G_IO_IN) != 0 || XEventsQueued(x->label->display, QueuedAlready) > 0;
}

gboolean XSourceDispatch(GSource* source, GSourceFunc, gpointer) {
  // Every event that has arrived, in order; when none is left queued, not
  // even on the connection, the one sample of the reports read.
  X11Label* label = LabelOfSource(source);
  Display* display = label->display;
  while (!label->ending && XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    HandleLabelEvent(label, &event);
    if (!label->ending && XEventsQueued(display, QueuedAfterReading) == 0) {
      SampleAfterReports(label);
    }
  }
  return G_SOURCE_CONTINUE;
}

GSourceFuncs XSourceFuncs = {XSourcePrepare, XSourceCheck, XSourceDispatch,
                             nullptr,        nullptr,      nullptr};

void AttachXSource(X11Label* label) {
  GSource* source = g_source_new(&XSourceFuncs, sizeof(XSource));
  auto* x = reinterpret_cast<XSource*>(source);
  x->label = label;
  x->poll.fd = ConnectionNumber(label->display);
  x->poll.events = G_IO_IN | G_IO_HUP | G_IO_ERR;
  g_source_add_poll(source, &x->poll);
  g_source_set_can_recurse(source, FALSE);
  g_source_attach(source, nullptr);
  g_source_unref(source);
}

gboolean OnEndSignal(gpointer label) {
  EndLabel(static_cast<X11Label*>(label));
  return G_SOURCE_CONTINUE;
}

int (*GdkErrorHandler)(Display*, XErrorEvent*) = nullptr;

// A request of the label's that fails (a screen read just as the screen
// shrank, a window that went away) is passed over: the next event samples
// afresh. GTK's connection keeps GTK's own handling.
int OnXError(Display* display, XErrorEvent* error) {
  if (RunningLabel != nullptr && display == RunningLabel->display) return 0;
  return GdkErrorHandler != nullptr ? GdkErrorHandler(display, error) : 0;
}

// The server went away (the session ended, the server crashed): keep the
// last position it reported, then end. Xlib ends the process when this
// returns, so it ends it itself.
int OnDisplayLost(Display*) {
  if (RunningLabel != nullptr && RunningLabel->window != 0) {
    SaveWindowPosition(CurrentLabelPosition(*RunningLabel, false));
  }
  std::fflush(stderr);
  _exit(kExitDisplayLost);
}

void PrintHelp() {
  std::printf(
      "Usage: tintora [--debug] [--display NAME]\n"
      "Shows a small label that names the colour under the mouse pointer.\n"
      "\n"
      "  --debug          print the sampled colour and its CIECAM02 values on stderr\n"
      "                   (also when TINTORA_DEBUG=1)\n"
      "  --display NAME   the X display to use instead of $DISPLAY\n"
      "  --help           show this help and exit\n"
      "  --version        show the version and exit\n"
      "\n"
      "Drag the label with the left button; right-click it for its menu.\n"
      "Settings: $XDG_CONFIG_HOME/tintora/tintora.conf (default ~/.config);\n"
      "startup entry: $XDG_CONFIG_HOME/autostart/tintora.desktop.\n"
      "\n"
      "Exit status: 0 ended normally (Exit, close, SIGTERM, SIGHUP, SIGINT); 1 could not\n"
      "set up; 2 bad arguments; 3 no X display; 4 no XInput 2; 5 Xwayland; 6 X\n"
      "connection lost.\n");
}

}  // namespace

void EndLabel(X11Label* label) {
  if (label->ending) return;
  label->ending = true;
  SaveWindowPosition(CurrentLabelPosition(*label, true));
  if (label->mainLoop != nullptr) g_main_loop_quit(label->mainLoop);
}

int Main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv, std::getenv("TINTORA_DEBUG"));
  if (!options.error.empty()) {
    std::fprintf(stderr, "tintora: %s (see --help)\n", options.error.c_str());
    return kExitUsage;
  }
  if (options.help) {
    PrintHelp();
    return kExitOk;
  }
  if (options.version) {
    std::printf("tintora %s\n", TINTORA_VERSION_STRING);
    return kExitOk;
  }
  if (options.debug) SetDebugSink(DebugToStderr, nullptr);

  const char* displayName =
      options.display.empty() ? std::getenv("DISPLAY") : options.display.c_str();
  const DisplayVerdict fromEnvironment =
      VerdictFromEnvironment(displayName, std::getenv("WAYLAND_DISPLAY"));
  if (fromEnvironment != DisplayVerdict::Usable) {
    std::fprintf(stderr, "%s\n", VerdictMessage(fromEnvironment));
    return VerdictExitStatus(fromEnvironment);
  }
  Display* display = XOpenDisplay(displayName);
  if (display == nullptr) {
    std::fprintf(stderr, "tintora: cannot open the X display \"%s\"\n", displayName);
    return kExitNoDisplay;
  }
  X11Label label;
  const int refused = CheckServer(display, &label.screen);
  if (refused != 0) {
    XCloseDisplay(display);
    return refused;
  }
  if (!TakeTheDisplaysLabel(display)) {
    std::fprintf(stderr, "tintora: a label is already running on the display \"%s\"\n",
                 displayName);
    XCloseDisplay(display);
    return kExitOk;
  }
  if (!LoadLabelFonts(&label.fonts)) {
    std::fprintf(stderr, "tintora: the embedded fonts cannot be read\n");
    ReleaseLabelFonts(&label.fonts);
    XCloseDisplay(display);
    return kExitFailure;
  }

  // GTK on the same display, for the menu and the About box only.
  setenv("DISPLAY", displayName, 1);
  gdk_set_allowed_backends("x11");
  // A menu and a message need no OpenGL: without this GDK loads the GL
  // drivers at start-up to choose visuals, some 50 MB of resident memory.
  g_setenv("GDK_GL", "disable", FALSE);
  g_set_prgname("tintora");  // WM_CLASS tintora/Tintora for the menu and the About box
  int gtkArgc = 1;
  char* gtkArgvStore[] = {argv[0], nullptr};
  char** gtkArgv = gtkArgvStore;
  if (!gtk_init_check(&gtkArgc, &gtkArgv)) {
    std::fprintf(stderr, "tintora: GTK cannot use the display \"%s\"\n", displayName);
    ReleaseLabelFonts(&label.fonts);
    XCloseDisplay(display);
    return kExitFailure;
  }
  // After GTK, whose own handler would end the process without saving.
  RunningLabel = &label;
  XSetIOErrorHandler(OnDisplayLost);
  GdkErrorHandler = XSetErrorHandler(OnXError);
  // A write to a server that has gone must reach the handler above rather
  // than end the process on SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  // Past a file size limit a save fails (EFBIG) and keeps the old file,
  // rather than SIGXFSZ ending the label with its temporary file left behind.
  std::signal(SIGXFSZ, SIG_IGN);

  if (!CreateLabel(&label, display)) {
    std::fprintf(stderr, "tintora: the label window cannot be created\n");
    DestroyLabel(&label);
    RunningLabel = nullptr;
    XCloseDisplay(display);
    return kExitFailure;
  }
  label.mainLoop = g_main_loop_new(nullptr, FALSE);
  AttachXSource(&label);
  g_unix_signal_add(SIGTERM, OnEndSignal, &label);
  g_unix_signal_add(SIGHUP, OnEndSignal, &label);
  g_unix_signal_add(SIGINT, OnEndSignal, &label);
  g_main_loop_run(label.mainLoop);
  g_main_loop_unref(label.mainLoop);
  label.mainLoop = nullptr;
  DestroyLabel(&label);
  RunningLabel = nullptr;
  XCloseDisplay(display);
  gdk_display_close(gdk_display_get_default());
  return kExitOk;
}

}  // namespace tintora

int main(int argc, char** argv) { return tintora::Main(argc, argv); }
