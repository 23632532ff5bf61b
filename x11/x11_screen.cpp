// What the X11 label reads from the server: whether it can serve the label
// at all, the raw pointer events of every device, the pointer's place and
// the pixels under it.
#include "x11_label.h"

#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdint>
#include <cstdio>

#include "sample_block.h"
#include "x11_rules.h"
#ifdef TINTORA_SLOW_SCREEN_READ
#include "screen_read_delay.h"
#endif

namespace tintora {

namespace {

VisualChannel ChannelOf(unsigned long mask) {
  VisualChannel c{mask, 0, 0};
  while (mask != 0 && (mask & 1u) == 0) {
    mask >>= 1;
    ++c.shift;
  }
  while ((mask & 1u) != 0) {
    mask >>= 1;
    ++c.bits;
  }
  return c;
}

unsigned ChannelValue(unsigned long pixel, const VisualChannel& c) {
  if (c.bits == 0) return 0;
  const unsigned long value = (pixel & c.mask) >> c.shift;
  if (c.bits >= 8) return static_cast<unsigned>(value >> (c.bits - 8));
  // Fewer than 8 bits: stretched to the full range.
  const unsigned long top = (1ul << c.bits) - 1;
  return static_cast<unsigned>((value * 255 + top / 2) / top);
}

ColorRef ColorOfPixel(const X11Screen& screen, unsigned long pixel) {
  return MakeColorRef(ChannelValue(pixel, screen.red), ChannelValue(pixel, screen.green),
                      ChannelValue(pixel, screen.blue));
}

bool ProbeFailed = false;  // set by the error handler of one probe, read right after it
int OnProbeError(Display*, XErrorEvent*) {
  ProbeFailed = true;
  return 0;
}

// The 11 x 11 block in memory shared with the server, made once: a whole
// block is read into it without any allocation.
void CreateSharedBlock(Display* display, X11Screen* screen) {
  if (XShmQueryExtension(display) == False) return;
  XShmSegmentInfo& segment = screen->segment;
  XImage* image = XShmCreateImage(display, screen->visual, static_cast<unsigned>(screen->depth),
                                  ZPixmap, nullptr, &segment, kSampleBlockSide, kSampleBlockSide);
  if (image == nullptr) return;
  const std::size_t bytes = static_cast<std::size_t>(image->bytes_per_line) * kSampleBlockSide;
  segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (segment.shmid < 0) {
    XDestroyImage(image);
    return;
  }
  void* memory = shmat(segment.shmid, nullptr, 0);
  bool attached = memory != reinterpret_cast<void*>(-1);
  if (attached) {
    segment.shmaddr = image->data = static_cast<char*>(memory);
    segment.readOnly = False;
    // A server that cannot attach it (on another host) answers with an
    // error, which here only means: no shared block.
    ProbeFailed = false;
    int (*previous)(Display*, XErrorEvent*) = XSetErrorHandler(OnProbeError);
    attached = XShmAttach(display, &segment) != False;
    XSync(display, False);
    attached = attached && !ProbeFailed;
    XSetErrorHandler(previous);
  }
  // Marked for removal at once, so the segment goes with the process
  // however it ends.
  shmctl(segment.shmid, IPC_RMID, nullptr);
  if (!attached) {
    if (memory != reinterpret_cast<void*>(-1)) shmdt(memory);
    image->data = nullptr;
    XDestroyImage(image);
    return;
  }
  screen->sharedBlock = image;
}

// The colour under (x, y): the 11 x 11 block around it, cut to the screen,
// and its centre pixel. Nothing when the point is off the screen or the
// server gives no image.
std::optional<ColorRef> SampleColorAt(Display* display, const X11Screen& screen, int x, int y) {
  const BlockCopy copy = ClipSampleBlock(x, y, screen.bounds);
  if (!copy.centreOnScreen) return std::nullopt;
#ifdef TINTORA_SLOW_SCREEN_READ
  SpendScreenReadDelay();
#endif
  const bool whole = copy.width == kSampleBlockSide && copy.height == kSampleBlockSide;
  if (whole && screen.sharedBlock != nullptr) {
    if (XShmGetImage(display, screen.root, screen.sharedBlock, copy.sourceX, copy.sourceY,
                     AllPlanes) == False) {
      return std::nullopt;
    }
    return ColorOfPixel(screen, XGetPixel(screen.sharedBlock, kSampleBlockHalf, kSampleBlockHalf));
  }
  // At the screen's edges only the part on the screen can be read.
  XImage* image =
      XGetImage(display, screen.root, copy.sourceX, copy.sourceY, static_cast<unsigned>(copy.width),
                static_cast<unsigned>(copy.height), AllPlanes, ZPixmap);
  if (image == nullptr) return std::nullopt;
  const unsigned long pixel =
      XGetPixel(image, kSampleBlockHalf - copy.destX, kSampleBlockHalf - copy.destY);
  XDestroyImage(image);
  return ColorOfPixel(screen, pixel);
}

// The left button's transitions of a raw event, in the core's terms; 0 for
// a motion or another button.
std::uint16_t ButtonTransition(Display* display, XGenericEventCookie* cookie) {
  std::uint16_t transition = 0;
  // Only the button events' data is read: the motion's is never needed.
  if (XGetEventData(display, cookie) != 0) {
    const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
    if (raw->detail == Button1) {
      transition = cookie->evtype == XI_RawButtonPress ? kLeftButtonDown : kLeftButtonUp;
    }
    XFreeEventData(display, cookie);
  }
  return transition;
}

}  // namespace

int CheckServer(Display* display, X11Screen* screen) {
  int opcode = 0;
  int event = 0;
  int error = 0;
  const bool xwayland = XQueryExtension(display, "XWAYLAND", &opcode, &event, &error) != False;
  const bool generic =
      XQueryExtension(display, "Generic Event Extension", &opcode, &event, &error) != False;
  const bool xinput =
      XQueryExtension(display, "XInputExtension", &screen->xinputOpcode, &event, &error) != False;
  int major = 2;
  int minor = 2;  // 2.1 and later deliver raw events during other clients' grabs too
  if (xinput && XIQueryVersion(display, &major, &minor) != Success) major = 0;
  const DisplayVerdict verdict = VerdictFromServer(xwayland, generic, xinput, xinput ? major : 0);
  if (verdict == DisplayVerdict::Usable) return 0;
  std::fprintf(stderr, "%s\n", VerdictMessage(verdict));
  return VerdictExitStatus(verdict);
}

bool OpenScreen(Display* display, X11Screen* screen) {
  const int number = DefaultScreen(display);
  screen->root = RootWindow(display, number);
  screen->visual = DefaultVisual(display, number);
  screen->depth = DefaultDepth(display, number);
  if (screen->visual->c_class != TrueColor && screen->visual->c_class != DirectColor) {
    std::fprintf(stderr, "tintora: the screen has no true-colour visual\n");
    return false;
  }
  screen->red = ChannelOf(screen->visual->red_mask);
  screen->green = ChannelOf(screen->visual->green_mask);
  screen->blue = ChannelOf(screen->visual->blue_mask);
  RefreshScreenBounds(display, screen);
  CreateSharedBlock(display, screen);
  return true;
}

void RefreshScreenBounds(Display* display, X11Screen* screen) {
  XWindowAttributes root{};
  if (XGetWindowAttributes(display, screen->root, &root) != 0) {
    screen->bounds = Rect{0, 0, root.width, root.height};
  }
}

void CloseScreen(Display* display, X11Screen* screen) {
  if (screen->sharedBlock == nullptr) return;
  XShmDetach(display, &screen->segment);
  shmdt(screen->segment.shmaddr);
  screen->sharedBlock->data = nullptr;
  XDestroyImage(screen->sharedBlock);
  screen->sharedBlock = nullptr;
}

void SelectRawPointerEvents(Display* display, const X11Screen& screen) {
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(bits, XI_RawMotion);
  XISetMask(bits, XI_RawButtonPress);
  XISetMask(bits, XI_RawButtonRelease);
  XIEventMask mask{};
  mask.deviceid = XIAllMasterDevices;
  mask.mask_len = sizeof bits;
  mask.mask = bits;
  XISelectEvents(display, screen.root, &mask, 1);
}

void HandleRawEvent(X11Label* label, XGenericEventCookie* cookie) {
  std::uint16_t transition = 0;
  if (cookie->evtype == XI_RawButtonPress || cookie->evtype == XI_RawButtonRelease) {
    transition = ButtonTransition(label->display, cookie);
  } else if (cookie->evtype != XI_RawMotion) {
    return;
  }
  ApplyPointerReport(&label->core, transition);
}

void SampleAfterReports(X11Label* label) {
  LabelState& core = label->core;
  // Paused, or no report since the last sample: no need to ask for the pointer.
  if (!SampleWanted(core)) return;
  X11Screen& screen = label->screen;
  Window rootReturn = 0;
  Window child = 0;
  int x = 0;
  int y = 0;
  int windowX = 0;
  int windowY = 0;
  unsigned mask = 0;
  // False: the pointer is on another screen of the display.
  if (XQueryPointer(label->display, screen.root, &rootReturn, &child, &x, &y, &windowX, &windowY,
                    &mask) == False) {
    return;
  }
  const std::optional<Point> at = PointToSample(&core, label->labelRect, Point{x, y});
  if (!at) return;
  if (ScreenBoundsNeedRefresh(screen.bounds.right > 0, screen.bounds, at->x, at->y)) {
    RefreshScreenBounds(label->display, &screen);
  }
  const std::optional<ColorRef> sample = SampleColorAt(label->display, screen, at->x, at->y);
  if (sample && ApplySample(&core, *sample)) PaintLabel(label);
}

}  // namespace tintora
