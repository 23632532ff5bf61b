#include "sampling_rules.h"

#include <gtest/gtest.h>

#include <vector>

namespace tintora {
namespace {

struct PauseCase {
  int paused;
  std::uint16_t flags;
  int expected;
};

class PauseRule : public ::testing::TestWithParam<PauseCase> {};

TEST_P(PauseRule, OnlyExactLeftTransitionsChangeTheFlag) {
  const PauseCase c = GetParam();
  EXPECT_EQ(NextSamplingPaused(c.paused, c.flags), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    ButtonFlags, PauseRule,
    ::testing::Values(PauseCase{0, 0x0001, 1},   // left press pauses
                      PauseCase{1, 0x0001, 1},
                      PauseCase{1, 0x0002, 0},   // left release resumes
                      PauseCase{0, 0x0002, 0},
                      PauseCase{0, 0x0000, 0},   // plain move
                      PauseCase{1, 0x0000, 1},
                      PauseCase{0, 0x0005, 0},   // left and right pressed together
                      PauseCase{1, 0x0006, 1},   // left release with right press
                      PauseCase{1, 0x0008, 1},   // right release
                      PauseCase{0, 0x0400, 0},   // wheel
                      PauseCase{1, 0x0400, 1}));

constexpr std::uint32_t kWhole = 48;  // header + mouse data of a 64-bit build

TEST(RawInputSizes, SizeQueryMustAllowAWholeMouseEvent) {
  EXPECT_TRUE(RawInputSizeUsable(0, kWhole, kWhole));
  EXPECT_TRUE(RawInputSizeUsable(0, kWhole + 8, kWhole));
  EXPECT_FALSE(RawInputSizeUsable(0, kWhole - 1, kWhole));  // too short to hold the event
  EXPECT_FALSE(RawInputSizeUsable(0, 0, kWhole));
  EXPECT_FALSE(RawInputSizeUsable(kRawInputError, kWhole, kWhole));  // the query failed
}

struct ReadCase {
  std::uint32_t size;
  std::uint32_t read;
  bool mismatch;
  bool usable;
};

class RawInputRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(RawInputRead, MismatchIsReportedAndShortDataDropped) {
  const ReadCase c = GetParam();
  const RawInputReadCheck check = CheckRawInputRead(c.size, c.read, kWhole);
  EXPECT_EQ(check.sizeMismatch, c.mismatch);
  EXPECT_EQ(check.usable, c.usable);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, RawInputRead,
    ::testing::Values(ReadCase{kWhole, kWhole, false, true},
                      // Fewer bytes than queried but still a whole event: report, go on.
                      ReadCase{kWhole + 8, kWhole, true, true},
                      // Fewer bytes than a mouse event: report, drop.
                      ReadCase{kWhole, kWhole - 4, true, false},
                      ReadCase{kWhole, 0, true, false},
                      // The read failed: nothing was filled.
                      ReadCase{kWhole, kRawInputError, true, false},
                      // A count beyond the buffer says nothing about what was filled.
                      ReadCase{kWhole, kWhole + 4, true, false}));

TEST(LabelExtent, RegionCutsTheWindowBottom) {
  const ScreenRect window{100, 200, 239, 240};
  const ScreenRect visible = VisibleLabelRect(window, ScreenRect{0, 0, 139, 24});
  EXPECT_EQ(visible.left, 100);
  EXPECT_EQ(visible.top, 200);
  EXPECT_EQ(visible.right, 239);
  EXPECT_EQ(visible.bottom, 224);
  // On a monitor above the primary one.
  const ScreenRect above = VisibleLabelRect(ScreenRect{-50, -300, 89, -260}, ScreenRect{0, 0, 139, 37});
  EXPECT_EQ(above.bottom, -263);
}

TEST(SampleBlock, GeometryOfTheCentrePixel) {
  EXPECT_EQ(kSampleBlockBytes, 484u);
  EXPECT_EQ(kCentrePixelOffset, 240u);  // row 5, column 5 of 44-byte rows
  EXPECT_EQ(kSampleBlockHalf, 5);
}

TEST(SampleBlock, CentrePixelIsReadAsBlueGreenRed) {
  std::vector<unsigned char> block(kSampleBlockBytes, 0xEE);
  block[240] = 0x30;  // blue
  block[241] = 0x20;  // green
  block[242] = 0x10;  // red
  block[243] = 0xFF;  // reserved byte must not reach the colour
  EXPECT_EQ(CentrePixelColor(block.data()), MakeColorRef(0x10, 0x20, 0x30));
  EXPECT_EQ(CentrePixelColor(block.data()), 0x00302010u);
}

}  // namespace
}  // namespace tintora
