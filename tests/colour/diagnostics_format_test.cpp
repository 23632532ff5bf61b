// The two diagnostic lines and the bounded formatter that produces all text.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "debug_output.h"
#include "test_support.h"
#include "wide_format.h"

namespace {

using namespace tintora;
using tintora_test::DebugCapture;

TEST(Diagnostics, EachStageWritesItsLineExactly) {
  DebugCapture capture;
  const XyzColor xyz = SrgbToXyz(MakeColorRef(255, 128, 0));
  XyzToAppearance(xyz);  // J 60.9, C 74.8, H 47.9
  ASSERT_EQ(capture.Lines().size(), 2u);
  EXPECT_EQ(capture.Lines()[0], u"R: 255 G: 128 B: 0 - ");
  EXPECT_EQ(capture.Lines()[1], u"j: 60 c: 74 h: 47 \n");
}

TEST(Diagnostics, NamingWritesNothing) {
  DebugCapture capture;
  NameColor(AppearanceColor{{50, 50, 100, 1}});
  EXPECT_TRUE(capture.Lines().empty());
}

TEST(Diagnostics, NonNumbersPrintAsTheIndefiniteInteger) {
  DebugCapture capture;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  XyzToAppearance(XyzColor{{nan, nan, nan, 1.0}});
  ASSERT_EQ(capture.Lines().size(), 1u);
  EXPECT_EQ(capture.Lines()[0], u"j: -2147483648 c: -2147483648 h: -2147483648 \n");
}

void CountLine(const char16_t*, void* count) { ++*static_cast<int*>(count); }

TEST(Diagnostics, ResettingTheSinkDropsThePreviousOne) {
  int lines = 0;
  SetDebugSink(CountLine, &lines);
  WriteDebugOutput(u"kept");
  ResetDebugSink();
  WriteDebugOutput(u"not for the old sink");
  SrgbToXyz(MakeColorRef(1, 2, 3));
  EXPECT_EQ(lines, 1);
  EXPECT_FALSE(DebugOutputActive());  // without a sink, silence
}

std::u16string Format(std::size_t capacityBytes, const char16_t* format, int value) {
  char16_t buffer[64];
  for (char16_t& unit : buffer) unit = u'#';
  FormatWide(buffer, capacityBytes, format, value);
  return buffer;
}

struct FormatCase {
  std::size_t capacityBytes;
  const char16_t* format;
  int value;
  const char16_t* expected;
};

const FormatCase kFormatCases[] = {
    {120, u"%d", INT_MIN, u"-2147483648"},
    {120, u"%i", 0, u"0"},
    {120, u"%i%%", 56, u"56%"},
    {120, u"%q%", 1, u"%q%"},    // unknown and trailing conversions stay as text
    {8, u"%d", 123456, u"123"},  // 4 units: three characters and the terminator
    {7, u"%d", 123456, u"12"},   // an odd byte count rounds down to whole units
    {2, u"%d", 5, u""},
};

TEST(FormatWide, TruncatesToTheCapacityInBytes) {
  for (const FormatCase& c : kFormatCases) {
    SCOPED_TRACE(c.capacityBytes);
    EXPECT_EQ(Format(c.capacityBytes, c.format, c.value), c.expected);
  }
}

TEST(FormatWide, WritesNothingIntoNoRoomAndCopiesWideStrings) {
  char16_t untouched[2] = {u'x', 0};
  EXPECT_EQ(FormatWide(untouched, 1, u"%d", 7), 0u);
  EXPECT_EQ(untouched[0], u'x');

  char16_t label[kLabelTextUnits];
  const char16_t* longText = u"abcdefghijklmnopqrstuvwxyz0123456789";
  EXPECT_EQ(FormatWide(label, sizeof label, u"%s", longText), kLabelTextUnits - 1);
  EXPECT_EQ(std::u16string(label), std::u16string(longText).substr(0, kLabelTextUnits - 1));
  EXPECT_EQ(FormatWide(label, sizeof label, u"%sish", static_cast<const char16_t*>(nullptr)), 3u);
}

struct TruncateCase {
  double value;
  int expected;
};

const TruncateCase kTruncateCases[] = {
    {43.9, 43},
    {-43.9, -43},
    {2147483647.9, INT_MAX},
    {-2147483648.9, INT_MIN},
    {2147483648.0, INT_MIN},
    {-1e300, INT_MIN},
    {std::numeric_limits<double>::infinity(), INT_MIN},
    {std::numeric_limits<double>::quiet_NaN(), INT_MIN},
};

TEST(TruncateToInt, TruncatesTowardZeroAndNeverOverflows) {
  for (const TruncateCase& c : kTruncateCases)
    EXPECT_EQ(TruncateToInt(c.value), c.expected) << c.value;
}

}  // namespace
