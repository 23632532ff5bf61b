#include "label_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <string>

#include "label_core.h"
#include "sample_block.h"

#include "version.h"

namespace tintora {
namespace {

// The reference face of the worked example: tmHeight 16, internal leading 3,
// average width 7, descent 4, border 1.
constexpr LabelMetrics kWorked{16, 4, 3, 7};

TEST(LabelSizes, BaseWidthFromReferenceMetrics) {
  EXPECT_EQ(BaseWidth(kWorked, 1), 139);
  EXPECT_EQ(BaseWidth(kWorked, 2), 141);  // the border counts on both sides
  EXPECT_EQ(BaseWidth(LabelMetrics{0, 0, 0, 0}, 0), 0);
}

struct ScaleCase {
  unsigned dpi;
  int scaledWidth;
  int labelHeight;
  int qualifierHeight;
};

class LabelSizesAtDpi : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(LabelSizesAtDpi, FollowTheScale) {
  const ScaleCase c = GetParam();
  const float scale = UiScaleFromDpi(c.dpi);
  const LabelSize size = LabelSizeAt(kWorked, 1, scale);
  EXPECT_EQ(size.width, c.scaledWidth);
  EXPECT_EQ(size.height, c.labelHeight);
  EXPECT_EQ(QualifierFontHeight(kWorked, scale), c.qualifierHeight);
  // The name font is exactly as high as the label.
  EXPECT_EQ(NameFontRequest(kWorked, scale).height, c.labelHeight);
  EXPECT_EQ(QualifierFontRequest(kWorked, scale).height, c.qualifierHeight);
}

INSTANTIATE_TEST_SUITE_P(WorkedValues, LabelSizesAtDpi,
                         ::testing::Values(ScaleCase{96, 139, 24, 14},   // 13 * 1.15 = 14.95
                                           ScaleCase{120, 173, 30, 18},  // 173.75, 30.875, 18.6875
                                           ScaleCase{144, 208, 37, 22},
                                           ScaleCase{192, 278, 49, 29}));

TEST(LabelSizes, UiScaleFromDpi) {
  EXPECT_EQ(UiScaleFromDpi(96), 1.0f);
  EXPECT_EQ(UiScaleFromDpi(120), 1.25f);  // exact in single precision
  EXPECT_EQ(UiScaleFromDpi(144), 1.5f);
  EXPECT_EQ(UiScaleFromDpi(192), 2.0f);
  // A query that reported no DPI at all keeps the label at its base size.
  EXPECT_EQ(UiScaleFromDpi(0), 1.0f);
}

TEST(LabelSizes, WindowExtentsScaleInSinglePrecisionAndTruncate) {
  EXPECT_EQ(ScaleExtent(139, 1.5f), 208);  // 208.5
  EXPECT_EQ(ScaleExtent(33, 1.25f), 41);   // 41.25
  EXPECT_EQ(ScaleExtent(0, 2.0f), 0);      // the initial zero height stays zero
  EXPECT_EQ(ScaleExtent(-7, 1.5f), -10);   // toward zero, not down
  // Single precision rounds these products up to the whole number that
  // double precision would miss (96.999996 and 74.999997).
  EXPECT_EQ(ScaleExtent(96, UiScaleFromDpi(97)), 97);
  EXPECT_EQ(ScaleExtent(72, UiScaleFromDpi(100)), 75);
}

TEST(LabelSizes, HeightsUseDoublePrecisionOfTheTextHeight) {
  // 100 * 1.15 is 114.99999999999999 in double precision (115 in single).
  EXPECT_EQ(QualifierFontHeight(LabelMetrics{100, 0, 0, 0}, 1.0f), 114);
  EXPECT_EQ(QualifierFontHeight(LabelMetrics{190, 0, 10, 0}, 1.0f), 206);
  EXPECT_EQ(LabelHeight(LabelMetrics{3, 0, 3, 0}, 2.0f), 0);
}

TEST(LabelFonts, RequestsMatchTheLabelFonts) {
  const FontRequest reference = ReferenceFontRequest();
  EXPECT_EQ(reference.height, 0);
  EXPECT_EQ(reference.quality, 5);
  const FontRequest name = NameFontRequest(kWorked, 1.0f);
  EXPECT_EQ(name.quality, 4);
  const FontRequest qualifier = QualifierFontRequest(kWorked, 1.0f);
  EXPECT_EQ(qualifier.quality, 4);
  // The reference font is the name's face, so every size derives from it.
  EXPECT_EQ(std::u16string(reference.face), std::u16string(name.face));
  EXPECT_EQ(reference.weight, name.weight);
  // The Black face is asked for by its own family at normal weight (below
  // the weight at which GDI would embolden it), the Bold face at bold weight.
  EXPECT_EQ(std::u16string(name.face), u"Encode Sans Condensed Black");
  EXPECT_LT(name.weight, 600);
  EXPECT_EQ(std::u16string(qualifier.face), u"Encode Sans Condensed");
  EXPECT_EQ(qualifier.weight, 700);
}

struct ColourCase {
  unsigned r, g, b;
  unsigned frameR, frameG, frameB;
  int grey;
};

class LabelColours : public ::testing::TestWithParam<ColourCase> {};

TEST_P(LabelColours, FrameAndTextGrey) {
  const ColourCase c = GetParam();
  const ColorRef sample = MakeColorRef(c.r, c.g, c.b);
  EXPECT_EQ(FrameColor(sample), MakeColorRef(c.frameR, c.frameG, c.frameB));
  EXPECT_EQ(TextGrey(sample), c.grey);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, LabelColours,
    ::testing::Values(ColourCase{0, 0, 0, 0, 0, 0, 255},              // first paint
                      ColourCase{255, 255, 255, 229, 229, 229, 51},   // white
                      ColourCase{178, 178, 178, 160, 160, 160, 255},  // last light-text grey
                      ColourCase{179, 179, 179, 161, 161, 161, 51},   // first dark-text grey
                      ColourCase{255, 255, 0, 229, 229, 0, 51},       // yellow
                      ColourCase{0, 255, 255, 0, 229, 229, 51},       // cyan: 1 - L = 0.299
                      ColourCase{255, 0, 0, 229, 0, 0, 255},          // red
                      ColourCase{0, 255, 0, 0, 229, 0, 255},          // green
                      ColourCase{0, 0, 255, 0, 0, 229, 255},          // blue
                      ColourCase{255, 0, 255, 229, 0, 229, 255},      // magenta
                      ColourCase{1, 2, 10, 0, 1, 9, 255}));           // frame truncation

// The text grey at its threshold, 1 - L < 0.3 in double precision: every
// 24-bit colour whose luma is exactly the double nearest 0.7 (1 - L is then
// 0.30000000000000004, not below 0.3: white text), and every one whose luma
// is the next double below (white) or above (dark). Colours as 0xRRGGBB.
const std::uint32_t kLumaSevenTenths[] = {
    0x07fbff, 0x12fcdd, 0x1dfdbb, 0x21f3e4, 0x28fe99, 0x30eaeb, 0x33ff77, 0x37f5a0, 0x42f67e,
    0x46eca7, 0x4ae2d0, 0x4df75c, 0x4ed8f9, 0x55e3ae, 0x58f83a, 0x59d9d7, 0x5cee63, 0x63f918,
    0x64dab5, 0x67ef41, 0x68d0de, 0x6be56a, 0x6fdb93, 0x72f01f, 0x73d1bc, 0x76e648, 0x77c7e5,
    0x7adc71, 0x7ed29a, 0x81e726, 0x82c8c3, 0x86beec, 0x89d378, 0x8ce804, 0x8dc9a1, 0x90de2d,
    0x91bfca, 0x95b5f3, 0x9bdf0b, 0x9cc0a8, 0x9fd534, 0xa0b6d1, 0xa3cb5d, 0xa7c186, 0xaad612,
    0xabb7af, 0xaecc3b, 0xafadd8, 0xb2c264, 0xb6b88d, 0xb9cd19, 0xbaaeb6, 0xbdc342, 0xc5af94,
    0xc8c420, 0xc9a5bd, 0xccba49, 0xd0b072, 0xd4a69b, 0xd7bb27, 0xd89cc4, 0xdbb150, 0xdc92ed,
    0xdfa779, 0xe2bc05, 0xe6b22e, 0xee9e80, 0xf1b30c, 0xf294a9, 0xf5a935, 0xf68ad2, 0xf99f5e,
    0xfd9587};
const std::uint32_t kLumaJustBelow[] = {0x2cf4c2, 0x60e48c, 0x94d456, 0xe39da2};
// The luma's terms are added green and red first, then blue: in the
// textbook order (0.299 R + 0.587 G + 0.114 B) / 255 these land below 0.7.
const std::uint32_t kLumaJustAbove[] = {0x3bebc9, 0x3fe1f2, 0x51ed85, 0x85dd4f, 0x98ca7f,
                                        0xa4acfa, 0xbea4df, 0xc1b96b, 0xcd9be6, 0xe793cb,
                                        0xeaa857, 0xeb89f4, 0xfa80fb};

ColorRef FromRgb(std::uint32_t rgb) {
  return MakeColorRef(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// The grey the label paints for a screen pixel: the block's centre pixel
// (blue, green, red, unused) sampled into the label's state.
int PaintedGrey(std::uint32_t rgb) {
  unsigned char block[kSampleBlockBytes] = {};
  block[kCentrePixelOffset] = static_cast<unsigned char>(rgb & 0xFF);
  block[kCentrePixelOffset + 1] = static_cast<unsigned char>((rgb >> 8) & 0xFF);
  block[kCentrePixelOffset + 2] = static_cast<unsigned char>(rgb >> 16);
  LabelState state = InitialLabelState();
  ApplySample(&state, CentrePixelColor(block));
  return TextGrey(state.sampleColor);
}

TEST(LabelColours, TextGreyAtTheLumaThreshold) {
  struct Edge {
    const char* what;
    double luma;
    int grey;
    const std::uint32_t* colours;
    std::size_t count;
  } edges[] = {
      {"exactly 0.7", 0.7, 255, kLumaSevenTenths, std::size(kLumaSevenTenths)},
      {"just below", std::nextafter(0.7, 0.0), 255, kLumaJustBelow, std::size(kLumaJustBelow)},
      {"just above", std::nextafter(0.7, 1.0), 51, kLumaJustAbove, std::size(kLumaJustAbove)},
  };
  for (const Edge& e : edges) {
    for (std::size_t i = 0; i < e.count; ++i) {
      const std::uint32_t rgb = e.colours[i];
      EXPECT_EQ(SampleLuma(FromRgb(rgb)), e.luma) << e.what << " " << std::hex << rgb;
      EXPECT_EQ(PaintedGrey(rgb), e.grey) << e.what << " " << std::hex << rgb;
    }
  }
  // No other colour has one of these lumas.
  std::size_t found[3] = {};
  for (std::uint32_t rgb = 0; rgb <= 0xFFFFFF; ++rgb) {
    const double luma = SampleLuma(FromRgb(rgb));
    for (std::size_t k = 0; k < 3; ++k) found[k] += luma == edges[k].luma ? 1 : 0;
  }
  for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(found[k], edges[k].count) << edges[k].what;
}

TEST(LabelLayout, SingleTextSpansTheLabelAboveTheBottomMargin) {
  const Rect r = SingleTextRect(139, 24);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 139);
  EXPECT_EQ(r.bottom, 21);
}

struct TwoTextCase {
  int width, height, nameWidth, qualifierWidth, aveCharWidth, descent;
  Rect name, qualifier;
};

class TwoTexts : public ::testing::TestWithParam<TwoTextCase> {};

TEST_P(TwoTexts, RectanglesFollowTheMargins) {
  const TwoTextCase c = GetParam();
  const TwoTextLayout layout =
      TwoTextRects(c.width, c.height, c.nameWidth, c.qualifierWidth, c.aveCharWidth, c.descent);
  EXPECT_EQ(layout.name.left, c.name.left);
  EXPECT_EQ(layout.name.top, c.name.top);
  EXPECT_EQ(layout.name.right, c.name.right);
  EXPECT_EQ(layout.name.bottom, c.name.bottom);
  EXPECT_EQ(layout.qualifier.left, c.qualifier.left);
  EXPECT_EQ(layout.qualifier.top, c.qualifier.top);
  EXPECT_EQ(layout.qualifier.right, c.qualifier.right);
  EXPECT_EQ(layout.qualifier.bottom, c.qualifier.bottom);
}

INSTANTIATE_TEST_SUITE_P(Layouts, TwoTexts,
                         ::testing::Values(
                             // The worked example: m = 16, h = 3, qualifier top trunc(4 * 1.9) = 7.
                             TwoTextCase{139, 24, 60, 40, 7, 4, {19, 0, 83, 21}, {86, 7, 126, 24}},
                             // Texts wider than the label: W - qW - nW - A = -3 gives m = -1.
                             TwoTextCase{100, 24, 60, 36, 7, 4, {2, 0, 65, 21}, {68, 7, 104, 24}},
                             // A very negative margin runs the qualifier past the right edge.
                             TwoTextCase{50, 24, 80, 40, 8, 5, {-35, 0, 49, 21}, {53, 9, 93, 24}}));

TEST(LabelLayout, AnEmptyQualifierLeavesTheNameAloneInTheMiddle) {
  const TextPlacement alone = PlaceLabelTexts(126, 20, 70, 0, 6, 3);
  EXPECT_TRUE(alone.nameAlone);
  EXPECT_EQ(alone.single, SingleTextRect(126, 20));
  const TextPlacement both = PlaceLabelTexts(126, 20, 40, 30, 6, 3);
  EXPECT_FALSE(both.nameAlone);
  EXPECT_EQ(both.layout.name, TwoTextRects(126, 20, 40, 30, 6, 3).name);
  EXPECT_EQ(both.layout.qualifier, TwoTextRects(126, 20, 40, 30, 6, 3).qualifier);
}

TEST(LabelLayout, QualifierTopIsTheDescentTimesOnePointNine) {
  // trunc(D * 1.9) in double precision for every reference descent up to
  // 20: a rule that is right at 4 and 5 need not be right at the others.
  const int kTopOfDescent[] = {0,  1,  3,  5,  7,  9,  11, 13, 15, 17, 19,
                               20, 22, 24, 26, 28, 30, 32, 34, 36, 38};
  for (int descent = 0; descent <= 20; ++descent) {
    const TwoTextLayout layout = TwoTextRects(139, 24, 60, 40, 7, descent);
    EXPECT_EQ(layout.qualifier.top, kTopOfDescent[descent]) << "descent " << descent;
  }
}

TEST(LabelMenu, AboutTextHasFiveLines) {
  const std::u16string about(kAboutText);
  EXPECT_EQ(about.substr(0, about.find(u'\n')), u"Tintora Beta " TINTORA_VERSION_STRING);
  size_t breaks = 0;
  for (char16_t c : about) breaks += (c == u'\n') ? 1 : 0;
  EXPECT_EQ(breaks, 4u);
  EXPECT_NE(about.find(u"\n\n"), std::u16string::npos);  // the empty third line
  EXPECT_NE(about.back(), u'\n');
}

}  // namespace
}  // namespace tintora
