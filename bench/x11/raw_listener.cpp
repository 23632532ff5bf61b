// The smallest XInput 2 raw-event program: the baseline beside which the
// label's cost per event is measured. It selects the same raw events on the
// root window from every master device and only counts them; on SIGTERM or
// SIGINT it prints the count and ends.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <poll.h>

#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t Stop = 0;

void OnStop(int) { Stop = 1; }

}  // namespace

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "raw_listener: no display\n");
    return 1;
  }
  int opcode = 0;
  int event = 0;
  int error = 0;
  int major = 2;
  int minor = 2;
  if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &error) ||
      XIQueryVersion(display, &major, &minor) != Success) {
    std::fprintf(stderr, "raw_listener: no XInput 2\n");
    return 1;
  }
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(bits, XI_RawMotion);
  XISetMask(bits, XI_RawButtonPress);
  XISetMask(bits, XI_RawButtonRelease);
  XIEventMask mask{};
  mask.deviceid = XIAllMasterDevices;
  mask.mask_len = sizeof bits;
  mask.mask = bits;
  XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
  XSync(display, False);
  std::signal(SIGTERM, OnStop);
  std::signal(SIGINT, OnStop);
  std::printf("ready\n");
  std::fflush(stdout);

  unsigned long count = 0;
  pollfd watch{ConnectionNumber(display), POLLIN, 0};
  while (Stop == 0) {
    while (XPending(display) > 0) {
      XEvent e;
      XNextEvent(display, &e);
      if (e.type == GenericEvent && e.xcookie.extension == opcode) ++count;
    }
    poll(&watch, 1, 100);
  }
  std::printf("%lu\n", count);
  XCloseDisplay(display);
  return 0;
}
