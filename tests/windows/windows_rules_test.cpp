#include "windows_rules.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace tintora {
namespace {

TEST(WindowMessages, DpiChangedCarriesTheVerticalDpiInTheHighWord) {
  EXPECT_EQ(DpiFromDpiChangedWParam((144u << 16) | 120u), 144u);
  EXPECT_EQ(DpiFromDpiChangedWParam(96u), 0u);
}

TEST(WindowMessages, MenuPositionIsSignedSixteenBitPerAxis) {
  const Point inPrimary = MenuPositionFromLParam((300 << 16) | 200);
  EXPECT_EQ(inPrimary.x, 200);
  EXPECT_EQ(inPrimary.y, 300);
  // A monitor left of and above the primary one: x = -5, y = -20.
  const Point negative = MenuPositionFromLParam(static_cast<std::intptr_t>(0xFFECFFFBu));
  EXPECT_EQ(negative.x, -5);
  EXPECT_EQ(negative.y, -20);
  const Point extremes = MenuPositionFromLParam(static_cast<std::intptr_t>(0x80007FFFu));
  EXPECT_EQ(extremes.x, 32767);
  EXPECT_EQ(extremes.y, -32768);
}

TEST(WindowMessages, OnlyAnEndingSessionSavesThePosition) {
  EXPECT_TRUE(EndSessionSavesPosition(1));   // TRUE: the session ends
  EXPECT_FALSE(EndSessionSavesPosition(0));  // FALSE: the end was cancelled
}

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
                      ReadCase{kWhole, kWhole - 4, true, false}, ReadCase{kWhole, 0, true, false},
                      // The read failed: nothing was filled.
                      ReadCase{kWhole, kRawInputError, true, false},
                      // A count beyond the buffer says nothing about what was filled.
                      ReadCase{kWhole, kWhole + 4, true, false}));

TEST(RawInputBuffer, ReportsFollowEachOtherAtEightByteBoundaries) {
  constexpr std::uint32_t kHeader = 24;  // RAWINPUTHEADER of a 64-bit build
  // A mouse report of 48 bytes ends on a boundary; one of 44 is padded to it.
  EXPECT_EQ(NextRawInputBlock(0, 48, kHeader, 480), std::optional<std::size_t>(48));
  EXPECT_EQ(NextRawInputBlock(48, 44, kHeader, 480), std::optional<std::size_t>(96));
  EXPECT_EQ(NextRawInputBlock(432, 48, kHeader, 480), std::optional<std::size_t>(480));
  // A report that would reach past the buffer, or too small for its header.
  EXPECT_FALSE(NextRawInputBlock(440, 48, kHeader, 480).has_value());
  EXPECT_FALSE(NextRawInputBlock(0, 8, kHeader, 480).has_value());
  EXPECT_FALSE(NextRawInputBlock(496, 24, kHeader, 480).has_value());
  EXPECT_FALSE(NextRawInputBlock(8, 0xFFFFFFFFu, kHeader, 480).has_value());
}

TEST(LabelExtent, RegionCutsTheWindowBottom) {
  const Rect window{100, 200, 239, 240};
  const Rect visible = VisibleLabelRect(window, Rect{0, 0, 139, 24});
  EXPECT_EQ(visible.left, 100);
  EXPECT_EQ(visible.top, 200);
  EXPECT_EQ(visible.right, 239);
  EXPECT_EQ(visible.bottom, 224);
  // On a monitor above the primary one.
  const Rect above = VisibleLabelRect(Rect{-50, -300, 89, -260}, Rect{0, 0, 139, 37});
  EXPECT_EQ(above.bottom, -263);
}

}  // namespace
}  // namespace tintora
