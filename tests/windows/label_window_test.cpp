// The label window driven through its real window procedure under Windows
// (or Wine): routing answers, region and fonts after creation and after a DPI
// change, what the paint puts on the screen, the menu commands that need no
// user, and the raw-input handler's reaction to an event it cannot read.
//
// The window's destruction is not run through the label's handler, which
// would store the test's window position in the user's settings.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "debug_output.h"
#include "label_core.h"
#include "label_layout.h"
#include "label_window.h"
#include "screen_sampling.h"

namespace tintora {
namespace {

constexpr WORD kNotAFontResourceId = 777;  // a "BINARY" resource holding no font

std::vector<std::u16string>* CapturedLines = nullptr;

void CaptureLine(const Utf16Char* line, void*) {
  if (CapturedLines != nullptr) CapturedLines->push_back(line);
}

RECT RegionBox(HWND window) {
  RECT box = {0, 0, 0, 0};
  GetWindowRgnBox(window, &box);
  return box;
}

bool TakeQueuedDestroy(HWND window) {
  MSG message = {};
  return PeekMessageW(&message, window, WM_DESTROY, WM_DESTROY, PM_REMOVE) != FALSE;
}

class LabelWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    instance_ = GetModuleHandleW(nullptr);
    RegisterEmbeddedFaces(instance_);
    classRegistered_ = RegisterLabelClass(instance_);
  }

  void SetUp() override {
    ASSERT_TRUE(classRegistered_);
    lines_.clear();
    CapturedLines = &lines_;
    SetDebugSink(CaptureLine, nullptr);
    Label = InitialLabelState();
    const InitialWindowSize size = MeasureBaseMetrics();
    ASSERT_TRUE(size.measured);
    window_ = CreateLabelWindow(instance_, size);
    ASSERT_NE(window_, nullptr);
    SetWindowPos(window_, nullptr, 40, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    UpdateWindow(window_);
  }

  void TearDown() override {
    if (window_ != nullptr) {
      // Bypass the label's destruction handling (see the file comment).
      SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
      DestroyWindow(window_);
      DeleteLabelFonts();
    }
    ResetDebugSink();
    CapturedLines = nullptr;
  }

  // Reads the screen at a point of the label, in label coordinates.
  COLORREF PaintedPixel(int x, int y) {
    RECT r = {0, 0, 0, 0};
    GetWindowRect(window_, &r);
    const ScreenSample sample = SampleColorAt(r.left + x, r.top + y);
    EXPECT_TRUE(sample.taken);
    return sample.color;
  }

  // The system may bring a window's pixels to the screen a little after the
  // paint (Wine flushes window surfaces lazily): keep the message loop going
  // until the pixel shows the colour, or give up after a generous while.
  COLORREF AwaitPixel(int x, int y, COLORREF expected) {
    COLORREF seen = PaintedPixel(x, y);
    for (int round = 0; round < 250 && seen != expected; ++round) {
      MSG message = {};
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
      Sleep(20);
      seen = PaintedPixel(x, y);
    }
    return seen;
  }

  void Repaint(COLORREF color) {
    Label.sampleColor = static_cast<ColorRef>(color);
    InvalidateRect(window_, nullptr, FALSE);
    UpdateWindow(window_);
  }

  static HINSTANCE instance_;
  static bool classRegistered_;
  HWND window_ = nullptr;
  std::vector<std::u16string> lines_;
};

HINSTANCE LabelWindowTest::instance_ = nullptr;
bool LabelWindowTest::classRegistered_ = false;

TEST_F(LabelWindowTest, FixedAnswersOfTheWindowProcedure) {
  EXPECT_EQ(SendMessageW(window_, WM_NCHITTEST, 0, MAKELPARAM(45, 65)), HTCAPTION);
  EXPECT_EQ(SendMessageW(window_, WM_NCHITTEST, 0, MAKELPARAM(5000, 5000)), HTCAPTION);
  EXPECT_EQ(SendMessageW(window_, WM_ERASEBKGND, 0, 0), 1);
  EXPECT_EQ(SendMessageW(window_, WM_DRAWITEM, 0, 0), 0);
  // The label never holds up the end of a session; a cancelled end does
  // nothing. (An ending one saves the position: the end-to-end tests.)
  EXPECT_EQ(SendMessageW(window_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  EXPECT_EQ(SendMessageW(window_, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF), 0);
  EXPECT_TRUE(IsWindow(window_));
  EXPECT_EQ(SendMessageW(window_, WM_COMMAND, 9999, 0), 0);
  // A notification carrying Exit's id in the low word is no menu command.
  EXPECT_EQ(SendMessageW(window_, WM_COMMAND, MAKEWPARAM(kCmdExit, 1), 0), 0);
  EXPECT_FALSE(TakeQueuedDestroy(window_));
  wchar_t title[32] = {};
  GetWindowTextW(window_, title, 32);
  EXPECT_EQ(std::wstring(title), L"Tintora");
}

TEST_F(LabelWindowTest, ExitPostsTheDestruction) {
  EXPECT_EQ(SendMessageW(window_, WM_COMMAND, kCmdExit, 0), 0);
  EXPECT_TRUE(TakeQueuedDestroy(window_));
  EXPECT_TRUE(IsWindow(window_));  // the window itself lives on until the process ends
}

TEST_F(LabelWindowTest, CreationGivesRegionFontsAndNoCaption) {
  const RECT box = RegionBox(window_);
  RECT r = {0, 0, 0, 0};
  GetWindowRect(window_, &r);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.top, 0);
  EXPECT_EQ(box.right, r.right - r.left);
  // The label's own width, not the system's minimum width of a new window.
  EXPECT_EQ(box.right,
            ScaleExtent(BaseWidth(BaseLabelMetrics(), GetSystemMetrics(SM_CXBORDER)), UiScale));
  EXPECT_EQ(box.bottom, LabelHeight(BaseLabelMetrics(), UiScale));
  EXPECT_NE(NameFont, nullptr);
  EXPECT_NE(QualifierFont, nullptr);
  EXPECT_EQ(GetWindowLongW(window_, GWL_STYLE) & WS_CAPTION, 0);
  EXPECT_NE(GetWindowLongW(window_, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  // The caption is gone from the frame too: the client area starts at the
  // window's top-left corner, where the region starts.
  POINT origin = {0, 0};
  ClientToScreen(window_, &origin);
  EXPECT_EQ(origin.x, r.left);
  EXPECT_EQ(origin.y, r.top);
}

TEST_F(LabelWindowTest, DpiChangeTakesOnlyTheSuggestedCorner) {
  HFONT oldName = NameFont;
  RECT suggested = {100, 120, 5000, 5000};
  EXPECT_EQ(SendMessageW(window_, WM_DPICHANGED, MAKEWPARAM(120, 144),
                         reinterpret_cast<LPARAM>(&suggested)),
            0);
  EXPECT_EQ(UiScale, 1.5f);  // the high word, the vertical DPI
  const int width = ScaleExtent(BaseWidth(BaseLabelMetrics(), GetSystemMetrics(SM_CXBORDER)), 1.5f);
  const int height = LabelHeight(BaseLabelMetrics(), 1.5f);
  RECT r = {0, 0, 0, 0};
  GetWindowRect(window_, &r);
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 120);
  EXPECT_EQ(r.right - r.left, width);
  EXPECT_EQ(r.bottom - r.top, height);
  const RECT box = RegionBox(window_);
  EXPECT_EQ(box.right, width);
  EXPECT_EQ(box.bottom, height);
  EXPECT_NE(NameFont, nullptr);
  EXPECT_NE(NameFont, oldName);

  TEXTMETRICW metrics = {};
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, NameFont);
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, previous);
  DeleteDC(dc);
  EXPECT_NEAR(metrics.tmHeight, height, 1);
}

TEST_F(LabelWindowTest, FirstPaintIsWhiteTextOnBlack) {
  Repaint(0);
  const RECT box = RegionBox(window_);
  EXPECT_EQ(AwaitPixel(0, 0, RGB(0, 0, 0)), RGB(0, 0, 0));  // frame of black is black
  EXPECT_EQ(PaintedPixel(2, 2), RGB(0, 0, 0));
  bool sawWhite = false;
  for (int x = 0; x < box.right && !sawWhite; ++x) {
    sawWhite = PaintedPixel(x, (box.bottom - 3) / 2) == RGB(255, 255, 255);
  }
  EXPECT_TRUE(sawWhite) << "no white text pixel on the label's middle row";
}

TEST_F(LabelWindowTest, WhiteSampleHasAGreyFrameAndDarkText) {
  Repaint(RGB(255, 255, 255));
  const RECT box = RegionBox(window_);
  EXPECT_EQ(AwaitPixel(2, 2, RGB(255, 255, 255)), RGB(255, 255, 255));
  EXPECT_EQ(PaintedPixel(0, 0), RGB(229, 229, 229));
  EXPECT_EQ(PaintedPixel(box.right - 1, box.bottom - 1), RGB(229, 229, 229));
  bool sawDark = false;
  for (int x = 0; x < box.right && !sawDark; ++x) {
    sawDark = PaintedPixel(x, (box.bottom - 3) / 2) == RGB(51, 51, 51);
  }
  EXPECT_TRUE(sawDark) << "no text pixel of grey 51 on the label's middle row";
}

TEST_F(LabelWindowTest, SamplingAtTheScreenEdgeReadsThePixelUnderThePointer) {
  // The label's frame pixel at its top-left corner, with the label moved to
  // the screen's corner: most of the block lies outside the screen.
  Repaint(RGB(255, 255, 255));
  SetWindowPos(window_, nullptr, GetSystemMetrics(SM_XVIRTUALSCREEN),
               GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(AwaitPixel(0, 0, RGB(229, 229, 229)), RGB(229, 229, 229));
  EXPECT_EQ(AwaitPixel(2, 2, RGB(255, 255, 255)), RGB(255, 255, 255));
  // No pixel lies under a point off the screen: no sample.
  EXPECT_FALSE(SampleColorAt(GetSystemMetrics(SM_XVIRTUALSCREEN) - 1, 5).taken);
  EXPECT_FALSE(SampleColorAt(-20000, -20000).taken);
}

TEST_F(LabelWindowTest, UnreadableRawInputIsDroppedQuietly) {
  Label.sampleColor = RGB(1, 2, 3);
  EXPECT_EQ(SendMessageW(window_, WM_INPUT, RIM_INPUT, 0), 0);
  EXPECT_EQ(SendMessageW(window_, WM_INPUT, RIM_INPUT, 0x5A5A), 0);
  EXPECT_EQ(Label.sampleColor, RGB(1, 2, 3));
  EXPECT_EQ(Label.samplingPaused, 0);
  EXPECT_TRUE(lines_.empty());
}

TEST_F(LabelWindowTest, KeyboardHasNoCommandsOfItsOwn) {
  EXPECT_EQ(SendMessageW(window_, WM_CHAR, 27, 0), 0);  // Escape
  EXPECT_FALSE(TakeQueuedDestroy(window_));
  EXPECT_TRUE(IsWindowVisible(window_));
}

TEST(PrivateFaces, RegistrationAndRemovalReportFailures) {
  std::vector<std::u16string> lines;
  CapturedLines = &lines;
  SetDebugSink(CaptureLine, nullptr);
  const HINSTANCE instance = GetModuleHandleW(nullptr);

  // A missing resource is skipped silently.
  EXPECT_EQ(RegisterEmbeddedFace(instance, 999), nullptr);
  EXPECT_TRUE(lines.empty());
  // A resource that holds no font fails to register, and says so.
  EXPECT_EQ(RegisterEmbeddedFace(instance, kNotAFontResourceId), nullptr);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], u"Font add fails");
  lines.clear();

  // A null handle is not removed, silently. (A failing removal cannot be
  // provoked here: Wine's RemoveFontMemResourceEx always succeeds.)
  EXPECT_FALSE(RemovePrivateFont(nullptr));
  EXPECT_TRUE(lines.empty());
  HANDLE face = RegisterEmbeddedFace(instance, kBoldFaceResourceId);
  ASSERT_NE(face, nullptr);
  EXPECT_TRUE(RemovePrivateFont(face));
  EXPECT_TRUE(lines.empty());

  ResetDebugSink();
  CapturedLines = nullptr;
}

}  // namespace
}  // namespace tintora
