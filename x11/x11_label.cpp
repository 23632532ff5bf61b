#include "x11_label.h"

#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <cairo-ft.h>
#include <cairo-xlib.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <cstring>
#include <string>

#include "colour_pipeline.h"
#include "font_file_metrics.h"
#include "sampling_rules.h"
#include "x11_rules.h"
#include "x11_settings.h"

namespace tintora {

Display* LabelDisplay = nullptr;
Window LabelWindow = 0;
int AutostartEnabled = 0;

namespace {

// GetSystemMetrics(SM_CXBORDER) of the Windows label: the width of a thin
// border, which is part of the label's width formula.
constexpr int kBorderWidth = 1;

Window Root = 0;
int XiOpcode = -1;
Visual* RootVisual = nullptr;
int RootDepth = 0;

// The visual's channel masks, as shifts and widths (computed once).
struct Channel {
  unsigned long mask;
  int shift;
  int bits;
};
Channel RedChannel, GreenChannel, BlueChannel;

struct Face {
  const unsigned char* data = nullptr;  // the embedded file
  FT_Face ft = nullptr;
  cairo_font_face_t* cairo = nullptr;
  FontFileInfo info{};
};
FT_Library FreeType = nullptr;
Face BlackFace, BoldFace;

// BaseMetrics: the Black face at the default height, as GDI measures it.
LabelMetrics BaseMetrics{};
float UiScale = 1.0f;

struct LabelFont {
  cairo_scaled_font_t* scaled = nullptr;
  GdiFontMetrics metrics{};
  const Face* face = nullptr;
};
LabelFont NameFont, QualifierFont;

int LabelWidth = 0;
int LabelHeightPx = 0;
Pixmap BackBuffer = 0;
cairo_surface_t* BackSurface = nullptr;
cairo_t* BackContext = nullptr;
GC CopyGc = nullptr;

// Sampling state.
int SamplingPaused = 0;
ColorRef SampleColor = 0;
ColorRef LastColor = 0;
Rect ScreenBounds{0, 0, 0, 0};
// The label on the screen, root coordinates, as the server last reported it.
Rect LabelRect{0, 0, 0, 0};

struct Atoms {
  Atom wmProtocols, wmDeleteWindow, netWmName, utf8String, netWmWindowType, netWmWindowTypeUtility,
      netWmState, netWmStateAbove, netWmStateSkipTaskbar, netWmStateSkipPager, netWmStateSticky,
      netWmDesktop, motifWmHints, netWmMoveResize, netWmUserTime, netWmPid, resourceManager;
};
Atoms A{};

Channel ChannelOf(unsigned long mask) {
  Channel c{mask, 0, 0};
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

unsigned ChannelValue(unsigned long pixel, const Channel& c) {
  if (c.bits == 0) return 0;
  const unsigned long value = (pixel & c.mask) >> c.shift;
  if (c.bits >= 8) return static_cast<unsigned>(value >> (c.bits - 8));
  // Fewer than 8 bits: stretched to the full range.
  const unsigned long top = (1ul << c.bits) - 1;
  return static_cast<unsigned>((value * 255 + top / 2) / top);
}

bool LoadFace(const unsigned char* data, std::size_t size, Face* face) {
  const std::optional<FontFileInfo> info = ReadFontFileInfo(data, size);
  if (!info) return false;
  face->info = *info;
  face->data = data;
  if (FT_New_Memory_Face(FreeType, data, static_cast<FT_Long>(size), 0, &face->ft) != 0) {
    return false;
  }
  face->cairo = cairo_ft_font_face_create_for_ft_face(face->ft, 0);
  return cairo_font_face_status(face->cairo) == CAIRO_STATUS_SUCCESS;
}

void CreateFont(const Face& face, int cellHeight, LabelFont* font) {
  if (font->scaled != nullptr) cairo_scaled_font_destroy(font->scaled);
  font->face = &face;
  font->metrics = GdiMetricsForCellHeight(face.info, cellHeight);
  cairo_matrix_t size;
  cairo_matrix_init_scale(&size, font->metrics.pixelsPerEm, font->metrics.pixelsPerEm);
  cairo_matrix_t identity;
  cairo_matrix_init_identity(&identity);
  cairo_font_options_t* options = cairo_font_options_create();
  // Grey antialiasing with the face's own hinting, as the Windows label's
  // ANTIALIASED_QUALITY fonts; glyphs are placed at whole pixels by the
  // label itself.
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
  font->scaled = cairo_scaled_font_create(face.cairo, &size, &identity, options);
  cairo_font_options_destroy(options);
}

// Glyphs of a label text laid out from x = 0 on the baseline y = 0; gives
// the width as DrawTextW measures it: the sum of the whole-pixel advances.
constexpr std::size_t kMaxGlyphs = kLabelTextUnits;

int LayoutText(const LabelFont& font, const Utf16Char* text, cairo_glyph_t* glyphs, int* count) {
  std::uint32_t codePoints[kMaxGlyphs];
  const std::size_t n = CodePointsFromUtf16(text, codePoints, kMaxGlyphs);
  const FontFileInfo& info = font.face->info;
  int x = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned glyph = GlyphIndex(font.face->data, info, codePoints[i]);
    glyphs[i].index = glyph;
    glyphs[i].x = x;
    glyphs[i].y = 0;
    x += ScaleAdvance(AdvanceUnits(font.face->data, info, glyph), info.unitsPerEm,
                      font.metrics.pixelsPerEm);
  }
  *count = static_cast<int>(n);
  return x;
}

void DrawGlyphs(cairo_t* cr, const LabelFont& font, cairo_glyph_t* glyphs, int count,
                Point cellOrigin) {
  const double baseline = cellOrigin.y + font.metrics.ascent;
  for (int i = 0; i < count; ++i) {
    glyphs[i].x += cellOrigin.x;
    glyphs[i].y = baseline;
  }
  cairo_set_scaled_font(cr, font.scaled);
  cairo_show_glyphs(cr, glyphs, count);
}

void SetSourceColour(cairo_t* cr, ColorRef c) {
  cairo_set_source_rgb(cr, RedOf(c) / 255.0, GreenOf(c) / 255.0, BlueOf(c) / 255.0);
}

// Composes the label in the back buffer and copies it to the window in one
// transfer.
void PaintLabel() {
  if (BackContext == nullptr) return;
  cairo_t* cr = BackContext;
  const int w = LabelWidth;
  const int h = LabelHeightPx;
  // The frame: one pixel in the 0.9 shade along every edge, the sample inside.
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  SetSourceColour(cr, FrameColor(SampleColor));
  cairo_paint(cr);
  SetSourceColour(cr, SampleColor);
  cairo_rectangle(cr, 1, 1, w - 2, h - 2);
  cairo_fill(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);

  const double grey = TextGrey(SampleColor) / 255.0;
  cairo_set_source_rgb(cr, grey, grey, grey);
  cairo_glyph_t nameGlyphs[kMaxGlyphs];
  cairo_glyph_t qualifierGlyphs[kMaxGlyphs];
  int nameCount = 0;
  int qualifierCount = 0;
  const int nameWidth = LayoutText(NameFont, NameText, nameGlyphs, &nameCount);
  const int qualifierWidth =
      LayoutText(QualifierFont, QualifierText, qualifierGlyphs, &qualifierCount);
  const int nameHeight = NameFont.metrics.label.height;
  if (qualifierWidth == 0) {
    const Point at =
        SingleLineOrigin(SingleTextRect(w, h), nameWidth, nameHeight, HorizontalAlign::Centre);
    DrawGlyphs(cr, NameFont, nameGlyphs, nameCount, at);
  } else {
    const TwoTextLayout layout = TwoTextRects(w, h, nameWidth, qualifierWidth,
                                              BaseMetrics.aveCharWidth, BaseMetrics.descent);
    DrawGlyphs(cr, NameFont, nameGlyphs, nameCount,
               SingleLineOrigin(layout.name, nameWidth, nameHeight, HorizontalAlign::Right));
    // The qualifier is clipped to its rectangle, the name is not.
    const Rect& q = layout.qualifier;
    cairo_save(cr);
    cairo_rectangle(cr, q.left, q.top, q.right - q.left, q.bottom - q.top);
    cairo_clip(cr);
    DrawGlyphs(cr, QualifierFont, qualifierGlyphs, qualifierCount,
               SingleLineOrigin(q, qualifierWidth, QualifierFont.metrics.label.height,
                                HorizontalAlign::Left));
    cairo_restore(cr);
  }
  cairo_surface_flush(BackSurface);
  XCopyArea(LabelDisplay, BackBuffer, LabelWindow, CopyGc, 0, 0, static_cast<unsigned>(w),
            static_cast<unsigned>(h), 0, 0);
  XFlush(LabelDisplay);
}

void ReleaseBackBuffer() {
  if (BackContext != nullptr) cairo_destroy(BackContext);
  if (BackSurface != nullptr) cairo_surface_destroy(BackSurface);
  if (BackBuffer != 0) XFreePixmap(LabelDisplay, BackBuffer);
  BackContext = nullptr;
  BackSurface = nullptr;
  BackBuffer = 0;
}

void CreateBackBuffer() {
  ReleaseBackBuffer();
  BackBuffer =
      XCreatePixmap(LabelDisplay, LabelWindow, static_cast<unsigned>(LabelWidth),
                    static_cast<unsigned>(LabelHeightPx), static_cast<unsigned>(RootDepth));
  BackSurface =
      cairo_xlib_surface_create(LabelDisplay, BackBuffer, RootVisual, LabelWidth, LabelHeightPx);
  BackContext = cairo_create(BackSurface);
}

// Sizes and fonts for the current scale.
void ApplyScale() {
  const LabelSize size = LabelSizeAt(BaseMetrics, kBorderWidth, UiScale);
  LabelWidth = size.width;
  LabelHeightPx = size.height;
  if (LabelWidth < 3) LabelWidth = 3;
  if (LabelHeightPx < 3) LabelHeightPx = 3;
  CreateFont(BlackFace, LabelHeight(BaseMetrics, UiScale), &NameFont);
  CreateFont(BoldFace, QualifierFontHeight(BaseMetrics, UiScale), &QualifierFont);
}

unsigned ReadXftDpi() {
  Atom type = None;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  unsigned dpi = kDefaultDpi;
  if (XGetWindowProperty(LabelDisplay, Root, A.resourceManager, 0, 1 << 20, False, XA_STRING, &type,
                         &format, &items, &after, &data) == Success &&
      data != nullptr && format == 8) {
    const std::optional<unsigned> found =
        XftDpiFromResources(std::string(reinterpret_cast<const char*>(data), items));
    if (found) dpi = *found;
  }
  if (data != nullptr) XFree(data);
  return dpi;
}

void SetSizeHints(bool withPosition) {
  XSizeHints* hints = XAllocSizeHints();
  if (hints == nullptr) return;
  // Fixed size; the client area itself stays where it is placed (static
  // gravity), whatever border the window manager adds.
  hints->flags = PMinSize | PMaxSize | PWinGravity;
  if (withPosition) hints->flags |= USPosition | PPosition;
  hints->min_width = hints->max_width = LabelWidth;
  hints->min_height = hints->max_height = LabelHeightPx;
  hints->win_gravity = StaticGravity;
  XSetWMNormalHints(LabelDisplay, LabelWindow, hints);
  XFree(hints);
}

void FollowScaleChange() {
  const float scale = UiScaleFromDpi(ReadXftDpi());
  if (scale == UiScale) return;
  UiScale = scale;
  ApplyScale();
  SetSizeHints(false);
  XResizeWindow(LabelDisplay, LabelWindow, static_cast<unsigned>(LabelWidth),
                static_cast<unsigned>(LabelHeightPx));
  CreateBackBuffer();
  PaintLabel();
}

void RefreshScreenBounds() {
  XWindowAttributes root{};
  if (XGetWindowAttributes(LabelDisplay, Root, &root) != 0) {
    ScreenBounds = Rect{0, 0, root.width, root.height};
  }
}

void SetLabelOrigin(int x, int y) { LabelRect = Rect{x, y, x + LabelWidth, y + LabelHeightPx}; }

// The 11 x 11 block in memory shared with the server, made once: a whole
// block is read into it without any allocation. Null where the server
// cannot share memory (a remote display).
XImage* SharedBlock = nullptr;
XShmSegmentInfo SharedBlockSegment{};

bool ProbeFailed = false;
int OnProbeError(Display*, XErrorEvent*) {
  ProbeFailed = true;
  return 0;
}

void CreateSharedBlock() {
  if (XShmQueryExtension(LabelDisplay) == False) return;
  XImage* image =
      XShmCreateImage(LabelDisplay, RootVisual, static_cast<unsigned>(RootDepth), ZPixmap, nullptr,
                      &SharedBlockSegment, kSampleBlockSide, kSampleBlockSide);
  if (image == nullptr) return;
  const std::size_t bytes = static_cast<std::size_t>(image->bytes_per_line) * kSampleBlockSide;
  SharedBlockSegment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (SharedBlockSegment.shmid < 0) {
    XDestroyImage(image);
    return;
  }
  void* memory = shmat(SharedBlockSegment.shmid, nullptr, 0);
  bool attached = memory != reinterpret_cast<void*>(-1);
  if (attached) {
    SharedBlockSegment.shmaddr = image->data = static_cast<char*>(memory);
    SharedBlockSegment.readOnly = False;
    // A server that cannot attach it (on another host) answers with an
    // error, which here only means: no shared block.
    ProbeFailed = false;
    int (*previous)(Display*, XErrorEvent*) = XSetErrorHandler(OnProbeError);
    attached = XShmAttach(LabelDisplay, &SharedBlockSegment) != False;
    XSync(LabelDisplay, False);
    attached = attached && !ProbeFailed;
    XSetErrorHandler(previous);
  }
  // Marked for removal at once, so the segment goes with the process
  // however it ends.
  shmctl(SharedBlockSegment.shmid, IPC_RMID, nullptr);
  if (!attached) {
    if (memory != reinterpret_cast<void*>(-1)) shmdt(memory);
    image->data = nullptr;
    XDestroyImage(image);
    return;
  }
  SharedBlock = image;
}

ColorRef ColorOfPixel(unsigned long pixel) {
  return MakeColorRef(ChannelValue(pixel, RedChannel), ChannelValue(pixel, GreenChannel),
                      ChannelValue(pixel, BlueChannel));
}

// The colour under (x, y): the 11 x 11 block around it, cut to the screen,
// and its centre pixel. Nothing when the point is off the screen or the
// server gives no image.
std::optional<ColorRef> SampleColorAt(int x, int y) {
  const BlockCopy copy = ClipSampleBlock(x, y, ScreenBounds);
  if (!copy.centreOnScreen) return std::nullopt;
  const bool whole = copy.width == kSampleBlockSide && copy.height == kSampleBlockSide;
  if (whole && SharedBlock != nullptr) {
    if (XShmGetImage(LabelDisplay, Root, SharedBlock, copy.sourceX, copy.sourceY, AllPlanes) ==
        False) {
      return std::nullopt;
    }
    return ColorOfPixel(XGetPixel(SharedBlock, kSampleBlockHalf, kSampleBlockHalf));
  }
  // At the screen's edges only the part on the screen can be read.
  XImage* image =
      XGetImage(LabelDisplay, Root, copy.sourceX, copy.sourceY, static_cast<unsigned>(copy.width),
                static_cast<unsigned>(copy.height), AllPlanes, ZPixmap);
  if (image == nullptr) return std::nullopt;
  const unsigned long pixel =
      XGetPixel(image, kSampleBlockHalf - copy.destX, kSampleBlockHalf - copy.destY);
  XDestroyImage(image);
  return ColorOfPixel(pixel);
}

void HandleRawEvent(XGenericEventCookie* cookie) {
  std::uint16_t transition = 0;
  if (cookie->evtype == XI_RawButtonPress || cookie->evtype == XI_RawButtonRelease) {
    // Only the button events' data is read: the motion's is never needed.
    if (XGetEventData(LabelDisplay, cookie) != 0) {
      const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
      if (raw->detail == Button1) {
        transition = cookie->evtype == XI_RawButtonPress ? kLeftButtonDown : kLeftButtonUp;
      }
      XFreeEventData(LabelDisplay, cookie);
    }
  } else if (cookie->evtype != XI_RawMotion) {
    return;
  }
  SamplingPaused = NextSamplingPaused(SamplingPaused, transition);
  if (SamplingPaused != 0) return;

  Window rootReturn = 0;
  Window child = 0;
  int x = 0;
  int y = 0;
  int windowX = 0;
  int windowY = 0;
  unsigned mask = 0;
  // False: the pointer is on another screen of the display.
  if (XQueryPointer(LabelDisplay, Root, &rootReturn, &child, &x, &y, &windowX, &windowY, &mask) ==
      False) {
    return;
  }
  if (Contains(LabelRect, Point{x, y})) return;
  if (ScreenBoundsNeedRefresh(ScreenBounds.right > 0, ScreenBounds, x, y)) RefreshScreenBounds();
  const std::optional<ColorRef> sample = SampleColorAt(x, y);
  if (!sample) return;
  SampleColor = *sample;
  if (SampleColor == LastColor) return;
  LastColor = SampleColor;
  NameColor(XyzToAppearance(SrgbToXyz(SampleColor)));
  PaintLabel();
}

// A left press anywhere on the label moves it through the window
// manager's own move.
void StartWindowManagerMove(const XButtonEvent& press) {
  XUngrabPointer(LabelDisplay, press.time);
  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.window = LabelWindow;
  message.xclient.message_type = A.netWmMoveResize;
  message.xclient.format = 32;
  message.xclient.data.l[0] = press.x_root;
  message.xclient.data.l[1] = press.y_root;
  message.xclient.data.l[2] = 8;  // _NET_WM_MOVERESIZE_MOVE
  message.xclient.data.l[3] = Button1;
  message.xclient.data.l[4] = 1;  // a normal application
  XSendEvent(LabelDisplay, Root, False, SubstructureRedirectMask | SubstructureNotifyMask,
             &message);
  XFlush(LabelDisplay);
}

void InternAtoms() {
  const char* names[] = {"WM_PROTOCOLS",
                         "WM_DELETE_WINDOW",
                         "_NET_WM_NAME",
                         "UTF8_STRING",
                         "_NET_WM_WINDOW_TYPE",
                         "_NET_WM_WINDOW_TYPE_UTILITY",
                         "_NET_WM_STATE",
                         "_NET_WM_STATE_ABOVE",
                         "_NET_WM_STATE_SKIP_TASKBAR",
                         "_NET_WM_STATE_SKIP_PAGER",
                         "_NET_WM_STATE_STICKY",
                         "_NET_WM_DESKTOP",
                         "_MOTIF_WM_HINTS",
                         "_NET_WM_MOVERESIZE",
                         "_NET_WM_USER_TIME",
                         "_NET_WM_PID",
                         "RESOURCE_MANAGER"};
  constexpr int kCount = sizeof names / sizeof names[0];
  Atom atoms[kCount] = {};
  XInternAtoms(LabelDisplay, const_cast<char**>(names), kCount, False, atoms);
  Atom* fields[kCount] = {
      &A.wmProtocols,           &A.wmDeleteWindow,         &A.netWmName,        &A.utf8String,
      &A.netWmWindowType,       &A.netWmWindowTypeUtility, &A.netWmState,       &A.netWmStateAbove,
      &A.netWmStateSkipTaskbar, &A.netWmStateSkipPager,    &A.netWmStateSticky, &A.netWmDesktop,
      &A.motifWmHints,          &A.netWmMoveResize,        &A.netWmUserTime,    &A.netWmPid,
      &A.resourceManager};
  for (int i = 0; i < kCount; ++i) *fields[i] = atoms[i];
}

void SetAtomProperty(Atom property, const Atom* values, int count) {
  XChangeProperty(LabelDisplay, LabelWindow, property, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(values), count);
}

void SetCardinalProperty(Atom property, const long* values, int count) {
  XChangeProperty(LabelDisplay, LabelWindow, property, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(values), count);
}

void SetWindowManagerHints(bool withPosition) {
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
  XSetWMProperties(LabelDisplay, LabelWindow, &name, &name, nullptr, 0, nullptr, wm, klass);
  if (name.value != nullptr) XFree(name.value);
  if (wm != nullptr) XFree(wm);
  if (klass != nullptr) XFree(klass);
  SetSizeHints(withPosition);

  XChangeProperty(LabelDisplay, LabelWindow, A.netWmName, A.utf8String, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(kName), 7);
  Atom protocols[] = {A.wmDeleteWindow};
  XSetWMProtocols(LabelDisplay, LabelWindow, protocols, 1);
  // A utility window: managed and movable, kept above the others, out of
  // the taskbar and the pager, and on every workspace.
  SetAtomProperty(A.netWmWindowType, &A.netWmWindowTypeUtility, 1);
  const Atom states[] = {A.netWmStateAbove, A.netWmStateSkipTaskbar, A.netWmStateSkipPager,
                         A.netWmStateSticky};
  SetAtomProperty(A.netWmState, states, 4);
  const long allDesktops = 0xFFFFFFFF;
  SetCardinalProperty(A.netWmDesktop, &allDesktops, 1);
  // Motif hints: flags = decorations, decorations = none.
  const long motif[5] = {2, 0, 0, 0, 0};
  XChangeProperty(LabelDisplay, LabelWindow, A.motifWmHints, A.motifWmHints, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(motif), 5);
  // Mapped without taking the focus from what the user is doing.
  const long userTime = 0;
  SetCardinalProperty(A.netWmUserTime, &userTime, 1);
  const long pid = static_cast<long>(getpid());
  SetCardinalProperty(A.netWmPid, &pid, 1);
}

void SelectRawPointerEvents() {
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(bits, XI_RawMotion);
  XISetMask(bits, XI_RawButtonPress);
  XISetMask(bits, XI_RawButtonRelease);
  XIEventMask mask{};
  mask.deviceid = XIAllMasterDevices;
  mask.mask_len = sizeof bits;
  mask.mask = bits;
  XISelectEvents(LabelDisplay, Root, &mask, 1);
}

}  // namespace

bool LoadLabelFonts() {
  if (FT_Init_FreeType(&FreeType) != 0) return false;
  if (!LoadFace(kBlackFaceData, kBlackFaceSize, &BlackFace) ||
      !LoadFace(kBoldFaceData, kBoldFaceSize, &BoldFace)) {
    return false;
  }
  BaseMetrics = GdiMetricsForCellHeight(BlackFace.info, 0).label;
  return true;
}

int CheckServer(Display* display) {
  int opcode = 0;
  int event = 0;
  int error = 0;
  const bool xwayland = XQueryExtension(display, "XWAYLAND", &opcode, &event, &error) != False;
  const bool generic =
      XQueryExtension(display, "Generic Event Extension", &opcode, &event, &error) != False;
  const bool xinput =
      XQueryExtension(display, "XInputExtension", &XiOpcode, &event, &error) != False;
  int major = 2;
  int minor = 2;  // 2.1 and later deliver raw events during other clients' grabs too
  if (xinput && XIQueryVersion(display, &major, &minor) != Success) major = 0;
  const DisplayVerdict verdict = VerdictFromServer(xwayland, generic, xinput, xinput ? major : 0);
  if (verdict == DisplayVerdict::Usable) return 0;
  std::fprintf(stderr, "%s\n", VerdictMessage(verdict));
  return VerdictExitStatus(verdict);
}

bool CreateLabel(Display* display) {
  LabelDisplay = display;
  const int screen = DefaultScreen(display);
  Root = RootWindow(display, screen);
  RootVisual = DefaultVisual(display, screen);
  RootDepth = DefaultDepth(display, screen);
  if (RootVisual->c_class != TrueColor && RootVisual->c_class != DirectColor) {
    std::fprintf(stderr, "tintora: the screen has no true-colour visual\n");
    return false;
  }
  RedChannel = ChannelOf(RootVisual->red_mask);
  GreenChannel = ChannelOf(RootVisual->green_mask);
  BlueChannel = ChannelOf(RootVisual->blue_mask);
  InternAtoms();
  RefreshScreenBounds();
  CreateSharedBlock();

  UiScale = UiScaleFromDpi(ReadXftDpi());
  ApplyScale();

  std::optional<SavedPosition> saved = RestoreWindowPosition();
  if (saved && !SavedPositionVisible(saved->x, saved->y, LabelWidth, LabelHeightPx, ScreenBounds)) {
    saved.reset();
  }
  XSetWindowAttributes attributes{};
  attributes.background_pixmap = None;  // the paint covers every pixel
  attributes.event_mask = ExposureMask | ButtonPressMask | StructureNotifyMask;
  LabelWindow = XCreateWindow(display, Root, saved ? saved->x : 0, saved ? saved->y : 0,
                              static_cast<unsigned>(LabelWidth),
                              static_cast<unsigned>(LabelHeightPx), 0, CopyFromParent, InputOutput,
                              CopyFromParent, CWBackPixmap | CWEventMask, &attributes);
  if (LabelWindow == 0) return false;
  SetLabelOrigin(saved ? saved->x : 0, saved ? saved->y : 0);
  SetWindowManagerHints(saved.has_value());
  CopyGc = XCreateGC(display, LabelWindow, 0, nullptr);
  CreateBackBuffer();

  XSelectInput(display, Root, PropertyChangeMask | StructureNotifyMask);
  XMapWindow(display, LabelWindow);
  PaintLabel();
  SelectRawPointerEvents();
  AutostartEnabled = IsAutostartEnabled() ? 1 : 0;
  XFlush(display);
  return true;
}

void HandleLabelEvent(XEvent* event) {
  switch (event->type) {
    case GenericEvent:
      if (event->xcookie.extension == XiOpcode) HandleRawEvent(&event->xcookie);
      break;
    case Expose:
      if (event->xexpose.window == LabelWindow && event->xexpose.count == 0 && BackBuffer != 0) {
        XCopyArea(LabelDisplay, BackBuffer, LabelWindow, CopyGc, 0, 0,
                  static_cast<unsigned>(LabelWidth), static_cast<unsigned>(LabelHeightPx), 0, 0);
      }
      break;
    case ButtonPress:
      if (event->xbutton.window != LabelWindow) break;
      if (event->xbutton.button == Button1) StartWindowManagerMove(event->xbutton);
      if (event->xbutton.button == Button3) {
        ShowLabelMenu(event->xbutton.x_root, event->xbutton.y_root, event->xbutton.time);
      }
      break;
    case ConfigureNotify:
      if (event->xconfigure.window == Root) {
        ScreenBounds = Rect{0, 0, event->xconfigure.width, event->xconfigure.height};
      } else if (event->xconfigure.window == LabelWindow) {
        // A synthetic notice from the window manager is in root coordinates;
        // a real one is relative to the frame it put the label in.
        if (event->xconfigure.send_event) {
          SetLabelOrigin(event->xconfigure.x, event->xconfigure.y);
        } else {
          const SavedPosition at = CurrentLabelPosition(true);
          SetLabelOrigin(at.x, at.y);
        }
      }
      break;
    case PropertyNotify:
      if (event->xproperty.window == Root && event->xproperty.atom == A.resourceManager) {
        FollowScaleChange();
      }
      break;
    case ClientMessage:
      if (event->xclient.message_type == A.wmProtocols &&
          static_cast<Atom>(event->xclient.data.l[0]) == A.wmDeleteWindow) {
        EndLabel();
      }
      break;
    default:
      break;
  }
}

SavedPosition CurrentLabelPosition(bool askServer) {
  if (askServer && LabelWindow != 0) {
    int x = 0;
    int y = 0;
    Window child = 0;
    if (XTranslateCoordinates(LabelDisplay, LabelWindow, Root, 0, 0, &x, &y, &child) != False) {
      return SavedPosition{x, y};
    }
  }
  return SavedPosition{LabelRect.left, LabelRect.top};
}

void DestroyLabel() {
  ReleaseBackBuffer();
  if (SharedBlock != nullptr) {
    XShmDetach(LabelDisplay, &SharedBlockSegment);
    shmdt(SharedBlockSegment.shmaddr);
    SharedBlock->data = nullptr;
    XDestroyImage(SharedBlock);
    SharedBlock = nullptr;
  }
  if (NameFont.scaled != nullptr) cairo_scaled_font_destroy(NameFont.scaled);
  if (QualifierFont.scaled != nullptr) cairo_scaled_font_destroy(QualifierFont.scaled);
  NameFont.scaled = QualifierFont.scaled = nullptr;
  if (CopyGc != nullptr) XFreeGC(LabelDisplay, CopyGc);
  CopyGc = nullptr;
  if (LabelWindow != 0) XDestroyWindow(LabelDisplay, LabelWindow);
  LabelWindow = 0;
  XFlush(LabelDisplay);
  ReleaseLabelFonts();
}

void ReleaseLabelFonts() {
  for (Face* face : {&BlackFace, &BoldFace}) {
    if (face->cairo != nullptr) cairo_font_face_destroy(face->cairo);
    if (face->ft != nullptr) FT_Done_Face(face->ft);
    face->cairo = nullptr;
    face->ft = nullptr;
  }
  if (FreeType != nullptr) FT_Done_FreeType(FreeType);
  FreeType = nullptr;
}

}  // namespace tintora
