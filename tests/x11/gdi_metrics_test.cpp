// The X11 label's sizes come from the Black face's file through GDI's rules
// (font_file_metrics.h); here, under Windows or Wine, GDI itself measures
// the same embedded faces at the cell heights the labels ask for, and both
// must agree, so that the two labels have the same sizes at every scale.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "font_file_metrics.h"
#include "label_layout.h"
#include "label_window.h"

namespace tintora {
namespace {

std::vector<unsigned char> ReadFontFile(const char* name) {
  std::ifstream in(std::string(TINTORA_FONT_DIR) + "/" + name, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

TEXTMETRICW Measure(const Utf16Char* face, int weight, int cellHeight) {
  HFONT font = CreateFontW(cellHeight, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                           FF_MODERN | DEFAULT_PITCH, reinterpret_cast<const wchar_t*>(face));
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, font);
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, previous);
  DeleteDC(dc);
  DeleteObject(font);
  return metrics;
}

std::string Utf8(const Utf16Char* text) {
  std::string out;
  for (; *text != 0; ++text) out += static_cast<char>(*text < 0x80 ? *text : '?');
  return out;
}

class EmbeddedFaces : public ::testing::Environment {
 public:
  void SetUp() override { RegisterEmbeddedFaces(GetModuleHandleW(nullptr)); }
  void TearDown() override {
    RemovePrivateFont(BoldFaceHandle);
    RemovePrivateFont(BlackFaceHandle);
  }
};

const ::testing::Environment* const kFaces = ::testing::AddGlobalTestEnvironment(new EmbeddedFaces);

void ExpectSameMetrics(const Utf16Char* face, int weight, const char* file, int cellHeight) {
  const std::vector<unsigned char> bytes = ReadFontFile(file);
  const std::optional<FontFileInfo> info = ReadFontFileInfo(bytes.data(), bytes.size());
  ASSERT_TRUE(info) << file;
  const TEXTMETRICW gdi = Measure(face, weight, cellHeight);
  const GdiFontMetrics computed = GdiMetricsForCellHeight(*info, cellHeight);
  EXPECT_EQ(computed.label.height, gdi.tmHeight) << file << " at " << cellHeight;
  EXPECT_EQ(computed.ascent, gdi.tmAscent) << file << " at " << cellHeight;
  EXPECT_EQ(computed.label.descent, gdi.tmDescent) << file << " at " << cellHeight;
  EXPECT_EQ(computed.label.internalLeading, gdi.tmInternalLeading) << file << " at " << cellHeight;
  EXPECT_EQ(computed.label.aveCharWidth, gdi.tmAveCharWidth) << file << " at " << cellHeight;
}

TEST(GdiMetrics, TheFileGivesWhatGdiMeasures) {
  ASSERT_NE(BlackFaceHandle, nullptr);
  ASSERT_NE(BoldFaceHandle, nullptr);
  const char* black = "EncodeSansCondensed_900Black.ttf";
  const char* bold = "EncodeSansCondensed_700Bold.ttf";
  // The reference font (default height), then the name and qualifier fonts
  // at the scales 1, 1.25, 1.5 and 2.
  const std::vector<unsigned char> bytes = ReadFontFile(black);
  const std::optional<FontFileInfo> info = ReadFontFileInfo(bytes.data(), bytes.size());
  ASSERT_TRUE(info);
  const LabelMetrics base = GdiMetricsForCellHeight(*info, 0).label;
  ExpectSameMetrics(kBlackFaceName, kBlackFaceRequestWeight, black, 0);
  for (const float scale : {1.0f, 1.25f, 1.5f, 2.0f}) {
    ExpectSameMetrics(kBlackFaceName, kBlackFaceRequestWeight, black, LabelHeight(base, scale));
    ExpectSameMetrics(kBoldFaceName, kBoldFaceRequestWeight, bold,
                      QualifierFontHeight(base, scale));
  }
}

// Width of a text as the Windows label measures it (DT_CALCRECT).
int GdiTextWidth(const Utf16Char* face, int weight, int cellHeight, const Utf16Char* text) {
  HFONT font = CreateFontW(cellHeight, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                           FF_MODERN | DEFAULT_PITCH, reinterpret_cast<const wchar_t*>(face));
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, font);
  RECT bounds = {0, 0, 0, 0};
  DrawTextW(dc, reinterpret_cast<const wchar_t*>(text), -1, &bounds, DT_CALCRECT);
  SelectObject(dc, previous);
  DeleteDC(dc);
  DeleteObject(font);
  return bounds.right;
}

TEST(GdiMetrics, TextWidthsAsDrawTextMeasuresThem) {
  const char* files[] = {"EncodeSansCondensed_900Black.ttf", "EncodeSansCondensed_700Bold.ttf"};
  const Utf16Char* faces[] = {kBlackFaceName, kBoldFaceName};
  const int weights[] = {kBlackFaceRequestWeight, kBoldFaceRequestWeight};
  const Utf16Char* texts[] = {u"Mossvane",  u"Orange",  u"Brown", u"Yellowish", u"Grey",
                              u"Violetish", u"56%",     u"White", u"Cyan",      u"Greenish",
                              u"Bluish",    u"Reddish", u"Pink",  u"Black",     u"7%"};
  const std::vector<unsigned char> black = ReadFontFile(files[0]);
  const LabelMetrics base =
      GdiMetricsForCellHeight(*ReadFontFileInfo(black.data(), black.size()), 0).label;
  for (int f = 0; f < 2; ++f) {
    const std::vector<unsigned char> bytes = ReadFontFile(files[f]);
    const std::optional<FontFileInfo> info = ReadFontFileInfo(bytes.data(), bytes.size());
    ASSERT_TRUE(info);
    for (const float scale : {1.0f, 1.5f, 2.0f}) {
      const int cell = f == 0 ? LabelHeight(base, scale) : QualifierFontHeight(base, scale);
      const int ppem = PixelsPerEmForCellHeight(*info, cell);
      for (const Utf16Char* text : texts) {
        std::uint32_t points[32];
        std::size_t n = 0;
        while (text[n] != 0) {
          points[n] = text[n];
          ++n;
        }
        EXPECT_EQ(TextWidth(bytes.data(), *info, ppem, points, n),
                  GdiTextWidth(faces[f], weights[f], cell, text))
            << files[f] << " at " << cell << ": " << Utf8(text);
      }
    }
  }
}

TEST(GdiMetrics, BothLabelsHaveTheSameSizes) {
  const std::vector<unsigned char> black = ReadFontFile("EncodeSansCondensed_900Black.ttf");
  const LabelMetrics fromFile =
      GdiMetricsForCellHeight(*ReadFontFileInfo(black.data(), black.size()), 0).label;
  ASSERT_TRUE(MeasureBaseMetrics().measured);
  const LabelMetrics fromGdi = BaseLabelMetrics();
  for (const unsigned dpi : {96u, 120u, 144u, 192u}) {
    const float scale = UiScaleFromDpi(dpi);
    const LabelSize windows = LabelSizeAt(fromGdi, GetSystemMetrics(SM_CXBORDER), scale);
    const LabelSize x11 = LabelSizeAt(fromFile, 1, scale);
    EXPECT_EQ(windows.width, x11.width) << dpi;
    EXPECT_EQ(windows.height, x11.height) << dpi;
    EXPECT_EQ(QualifierFontHeight(fromGdi, scale), QualifierFontHeight(fromFile, scale)) << dpi;
  }
}

}  // namespace
}  // namespace tintora
