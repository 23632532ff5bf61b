// The X11 label's window: its creation and window-manager hints, the scale
// from the X resources, where the label is, and the router of the label's
// events.
#include "x11_label.h"

#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <string>

#include "x11_rules.h"
#include "x11_settings.h"

namespace tintora {

namespace {

// Every atom the label uses: its name beside the field it is kept in.
struct AtomName {
  const char* name;
  Atom X11Atoms::*field;
};
constexpr AtomName kAtomNames[] = {
    {"WM_PROTOCOLS", &X11Atoms::wmProtocols},
    {"WM_DELETE_WINDOW", &X11Atoms::wmDeleteWindow},
    {"_NET_WM_NAME", &X11Atoms::netWmName},
    {"UTF8_STRING", &X11Atoms::utf8String},
    {"_NET_WM_WINDOW_TYPE", &X11Atoms::netWmWindowType},
    {"_NET_WM_WINDOW_TYPE_UTILITY", &X11Atoms::netWmWindowTypeUtility},
    {"_NET_WM_STATE", &X11Atoms::netWmState},
    {"_NET_WM_STATE_ABOVE", &X11Atoms::netWmStateAbove},
    {"_NET_WM_STATE_SKIP_TASKBAR", &X11Atoms::netWmStateSkipTaskbar},
    {"_NET_WM_STATE_SKIP_PAGER", &X11Atoms::netWmStateSkipPager},
    {"_NET_WM_STATE_STICKY", &X11Atoms::netWmStateSticky},
    {"_NET_WM_DESKTOP", &X11Atoms::netWmDesktop},
    {"_MOTIF_WM_HINTS", &X11Atoms::motifWmHints},
    {"_NET_WM_MOVERESIZE", &X11Atoms::netWmMoveResize},
    {"_NET_WM_USER_TIME", &X11Atoms::netWmUserTime},
    {"_NET_WM_PID", &X11Atoms::netWmPid},
    {"RESOURCE_MANAGER", &X11Atoms::resourceManager},
};
constexpr int kAtomCount = sizeof kAtomNames / sizeof kAtomNames[0];
static_assert(sizeof(X11Atoms) == kAtomCount * sizeof(Atom), "every atom has a name");

void InternAtoms(Display* display, X11Atoms* atoms) {
  const char* names[kAtomCount];
  for (int i = 0; i < kAtomCount; ++i) names[i] = kAtomNames[i].name;
  Atom values[kAtomCount] = {};
  XInternAtoms(display, const_cast<char**>(names), kAtomCount, False, values);
  for (int i = 0; i < kAtomCount; ++i) atoms->*kAtomNames[i].field = values[i];
}

void SetAtomProperty(const X11Label& label, Atom property, const Atom* values, int count) {
  XChangeProperty(label.display, label.window, property, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(values), count);
}

void SetCardinalProperty(const X11Label& label, Atom property, const long* values, int count) {
  XChangeProperty(label.display, label.window, property, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(values), count);
}

unsigned ReadXftDpi(const X11Label& label) {
  Atom type = None;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  unsigned dpi = kDefaultDpi;
  if (XGetWindowProperty(label.display, label.screen.root, label.atoms.resourceManager, 0, 1 << 20,
                         False, XA_STRING, &type, &format, &items, &after, &data) == Success &&
      data != nullptr && format == 8) {
    const std::optional<unsigned> found =
        XftDpiFromResources(std::string(reinterpret_cast<const char*>(data), items));
    if (found) dpi = *found;
  }
  if (data != nullptr) XFree(data);
  return dpi;
}

void SetSizeHints(const X11Label& label, bool withPosition) {
  XSizeHints* hints = XAllocSizeHints();
  if (hints == nullptr) return;
  // Fixed size; the client area itself stays where it is placed (static
  // gravity), whatever border the window manager adds.
  hints->flags = PMinSize | PMaxSize | PWinGravity;
  if (withPosition) hints->flags |= USPosition | PPosition;
  hints->min_width = hints->max_width = label.surface.width;
  hints->min_height = hints->max_height = label.surface.height;
  hints->win_gravity = StaticGravity;
  XSetWMNormalHints(label.display, label.window, hints);
  XFree(hints);
}

void SetWindowManagerHints(const X11Label& label, bool withPosition) {
  static char kName[] = "Tintora";
  static char kInstance[] = "tintora";
  XTextProperty name{};
  char* list[] = {kName};
  XStringListToTextProperty(list, 1, &name);
  XWMHints* wm = XAllocWMHints();
  XClassHint* klass = XAllocClassHint();
  if (wm != nullptr) {
    wm->flags = InputHint | StateHint;
    wm->input = True;
    wm->initial_state = NormalState;
  }
  if (klass != nullptr) {
    klass->res_name = kInstance;
    klass->res_class = kName;
  }
  XSetWMProperties(label.display, label.window, &name, &name, nullptr, 0, nullptr, wm, klass);
  if (name.value != nullptr) XFree(name.value);
  if (wm != nullptr) XFree(wm);
  if (klass != nullptr) XFree(klass);
  SetSizeHints(label, withPosition);

  const X11Atoms& a = label.atoms;
  XChangeProperty(label.display, label.window, a.netWmName, a.utf8String, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(kName), 7);
  Atom protocols[] = {a.wmDeleteWindow};
  XSetWMProtocols(label.display, label.window, protocols, 1);
  // A utility window: managed and movable, kept above the others, out of
  // the taskbar and the pager, and on every workspace.
  SetAtomProperty(label, a.netWmWindowType, &a.netWmWindowTypeUtility, 1);
  const Atom states[] = {a.netWmStateAbove, a.netWmStateSkipTaskbar, a.netWmStateSkipPager,
                         a.netWmStateSticky};
  SetAtomProperty(label, a.netWmState, states, 4);
  const long allDesktops = 0xFFFFFFFF;
  SetCardinalProperty(label, a.netWmDesktop, &allDesktops, 1);
  // Motif hints: flags = decorations, decorations = none.
  const long motif[5] = {2, 0, 0, 0, 0};
  XChangeProperty(label.display, label.window, a.motifWmHints, a.motifWmHints, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(motif), 5);
  // Mapped without taking the focus from what the user is doing.
  const long userTime = 0;
  SetCardinalProperty(label, a.netWmUserTime, &userTime, 1);
  const long pid = static_cast<long>(getpid());
  SetCardinalProperty(label, a.netWmPid, &pid, 1);
}

void SetLabelOrigin(X11Label* label, int x, int y) {
  label->labelRect = Rect{x, y, x + label->surface.width, y + label->surface.height};
}

// ---- Event handlers ----------------------------------------------------------

void HandleExpose(const X11Label& label, const XExposeEvent& expose) {
  if (expose.window == label.window && expose.count == 0) ShowBackBuffer(label);
}

// A left press anywhere on the label moves it through the window manager's
// own move; a right press opens the menu.
void HandleLabelPress(X11Label* label, const XButtonEvent& press) {
  if (press.window != label->window) return;
  if (press.button == Button1) {
    XUngrabPointer(label->display, press.time);
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = label->window;
    message.xclient.message_type = label->atoms.netWmMoveResize;
    message.xclient.format = 32;
    message.xclient.data.l[0] = press.x_root;
    message.xclient.data.l[1] = press.y_root;
    message.xclient.data.l[2] = 8;  // _NET_WM_MOVERESIZE_MOVE
    message.xclient.data.l[3] = Button1;
    message.xclient.data.l[4] = 1;  // a normal application
    XSendEvent(label->display, label->screen.root, False,
               SubstructureRedirectMask | SubstructureNotifyMask, &message);
    XFlush(label->display);
  }
  if (press.button == Button3) ShowLabelMenu(label, press.x_root, press.y_root, press.time);
}

void HandleConfigure(X11Label* label, const XConfigureEvent& configure) {
  if (configure.window == label->screen.root) {
    label->screen.bounds = Rect{0, 0, configure.width, configure.height};
  } else if (configure.window == label->window) {
    // A synthetic notice from the window manager is in root coordinates; a
    // real one is relative to the frame it put the label in.
    if (configure.send_event) {
      SetLabelOrigin(label, configure.x, configure.y);
    } else {
      const SavedPosition at = CurrentLabelPosition(*label, true);
      SetLabelOrigin(label, at.x, at.y);
    }
  }
}

// Xft.dpi changed: new sizes and fonts, the window resized, painted anew.
void FollowScaleChange(X11Label* label) {
  const float scale = UiScaleFromDpi(ReadXftDpi(*label));
  if (scale == label->uiScale) return;
  label->uiScale = scale;
  ApplyScale(label);
  SetSizeHints(*label, false);
  XResizeWindow(label->display, label->window, static_cast<unsigned>(label->surface.width),
                static_cast<unsigned>(label->surface.height));
  CreateBackBuffer(label);
  PaintLabel(label);
}

void HandleProperty(X11Label* label, const XPropertyEvent& property) {
  if (property.window == label->screen.root && property.atom == label->atoms.resourceManager) {
    FollowScaleChange(label);
  }
}

void HandleClientMessage(X11Label* label, const XClientMessageEvent& message) {
  if (message.message_type == label->atoms.wmProtocols &&
      static_cast<Atom>(message.data.l[0]) == label->atoms.wmDeleteWindow) {
    EndLabel(label);
  }
}

}  // namespace

bool TakeTheDisplaysLabel(Display* display) {
  const int screen = DefaultScreen(display);
  const Window root = RootWindow(display, screen);
  char name[32];
  std::snprintf(name, sizeof name, "_TINTORA_LABEL_S%d", screen);
  const Atom selection = XInternAtom(display, name, False);
  // The selection is owned by a window of this connection and goes with it,
  // however the label ends.
  const Window owner =
      XCreateWindow(display, root, -1, -1, 1, 1, 0, 0, InputOnly, CopyFromParent, 0, nullptr);
  // Looked at and taken under a grab of the server, so that two labels
  // starting at once cannot both find it free.
  XGrabServer(display);
  const bool free = XGetSelectionOwner(display, selection) == None;
  if (free) XSetSelectionOwner(display, selection, owner, CurrentTime);
  XUngrabServer(display);
  XFlush(display);
  if (!free) XDestroyWindow(display, owner);
  return free;
}

bool CreateLabel(X11Label* label, Display* display) {
  label->display = display;
  if (!OpenScreen(display, &label->screen)) return false;
  InternAtoms(display, &label->atoms);
  label->uiScale = UiScaleFromDpi(ReadXftDpi(*label));
  ApplyScale(label);

  const LabelSurface& s = label->surface;
  std::optional<SavedPosition> saved = RestoreWindowPosition();
  if (saved && !SavedPositionVisible(saved->x, saved->y, s.width, s.height, label->screen.bounds)) {
    saved.reset();
  }
  XSetWindowAttributes attributes{};
  attributes.background_pixmap = None;  // the paint covers every pixel
  attributes.event_mask = ExposureMask | ButtonPressMask | StructureNotifyMask;
  const int x = saved ? saved->x : 0;
  const int y = saved ? saved->y : 0;
  label->window = XCreateWindow(display, label->screen.root, x, y, static_cast<unsigned>(s.width),
                                static_cast<unsigned>(s.height), 0, CopyFromParent, InputOutput,
                                CopyFromParent, CWBackPixmap | CWEventMask, &attributes);
  if (label->window == 0) return false;
  SetLabelOrigin(label, x, y);
  SetWindowManagerHints(*label, saved.has_value());
  label->surface.copyGc = XCreateGC(display, label->window, 0, nullptr);
  CreateBackBuffer(label);

  XSelectInput(display, label->screen.root, PropertyChangeMask | StructureNotifyMask);
  XMapWindow(display, label->window);
  PaintLabel(label);
  SelectRawPointerEvents(display, label->screen);
  label->autostartEnabled = IsAutostartEnabled() ? 1 : 0;
  XFlush(display);
  return true;
}

// The routing table: each event the label handles and who handles it.
void HandleLabelEvent(X11Label* label, XEvent* event) {
  switch (event->type) {
    case GenericEvent:
      if (event->xcookie.extension == label->screen.xinputOpcode) {
        HandleRawEvent(label, &event->xcookie);
      }
      break;
    case Expose:
      HandleExpose(*label, event->xexpose);
      break;
    case ButtonPress:
      HandleLabelPress(label, event->xbutton);  // drag or menu
      break;
    case ConfigureNotify:
      HandleConfigure(label, event->xconfigure);  // the screen's size, the label's place
      break;
    case PropertyNotify:
      HandleProperty(label, event->xproperty);  // Xft.dpi
      break;
    case ClientMessage:
      HandleClientMessage(label, event->xclient);  // the window manager's close
      break;
    default:
      break;
  }
}

SavedPosition CurrentLabelPosition(const X11Label& label, bool askServer) {
  if (askServer && label.window != 0) {
    int x = 0;
    int y = 0;
    Window child = 0;
    if (XTranslateCoordinates(label.display, label.window, label.screen.root, 0, 0, &x, &y,
                              &child) != False) {
      return SavedPosition{x, y};
    }
  }
  return SavedPosition{label.labelRect.left, label.labelRect.top};
}

void DestroyLabel(X11Label* label) {
  ReleaseSurface(label);
  CloseScreen(label->display, &label->screen);
  if (label->surface.copyGc != nullptr) XFreeGC(label->display, label->surface.copyGc);
  label->surface.copyGc = nullptr;
  if (label->window != 0) XDestroyWindow(label->display, label->window);
  label->window = 0;
  XFlush(label->display);
  ReleaseLabelFonts(&label->fonts);
}

}  // namespace tintora
