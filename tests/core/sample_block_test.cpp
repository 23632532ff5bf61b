#include "sample_block.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tintora {
namespace {

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

struct ClipCase {
  std::int32_t x, y;
  bool centreOnScreen;
  std::int32_t destX, destY, sourceX, sourceY, width, height;
};

class BlockClip : public ::testing::TestWithParam<ClipCase> {};

TEST_P(BlockClip, CopiesOnlyTheOnScreenPartAroundTheCentre) {
  const ClipCase c = GetParam();
  const Rect screen{0, 0, 1024, 768};
  const BlockCopy copy = ClipSampleBlock(c.x, c.y, screen);
  ASSERT_EQ(copy.centreOnScreen, c.centreOnScreen);
  if (!c.centreOnScreen) return;
  EXPECT_EQ(copy.destX, c.destX);
  EXPECT_EQ(copy.destY, c.destY);
  EXPECT_EQ(copy.sourceX, c.sourceX);
  EXPECT_EQ(copy.sourceY, c.sourceY);
  EXPECT_EQ(copy.width, c.width);
  EXPECT_EQ(copy.height, c.height);
  // Whatever is cut, the pointer's pixel lands on the block's centre.
  EXPECT_GE(c.x, copy.sourceX);
  EXPECT_LT(c.x, copy.sourceX + copy.width);
  EXPECT_EQ(c.x - copy.sourceX + copy.destX, kSampleBlockHalf);
  EXPECT_EQ(c.y - copy.sourceY + copy.destY, kSampleBlockHalf);
}

INSTANTIATE_TEST_SUITE_P(
    Screen1024x768, BlockClip,
    ::testing::Values(ClipCase{500, 300, true, 0, 0, 495, 295, 11, 11},  // whole block
                      ClipCase{0, 300, true, 5, 0, 0, 295, 6, 11},       // left edge
                      ClipCase{3, 350, true, 2, 0, 0, 345, 9, 11},
                      ClipCase{1023, 300, true, 0, 0, 1018, 295, 6, 11},  // right edge
                      ClipCase{500, 0, true, 0, 5, 495, 0, 11, 6},        // top edge
                      ClipCase{1023, 767, true, 0, 0, 1018, 762, 6, 6},   // bottom-right corner
                      ClipCase{5, 5, true, 0, 0, 0, 0, 11, 11},           // just inside
                      ClipCase{-1, 300, false, 0, 0, 0, 0, 0, 0},         // off the screen
                      ClipCase{1024, 300, false, 0, 0, 0, 0, 0, 0},
                      ClipCase{500, 768, false, 0, 0, 0, 0, 0, 0}));

TEST(ScreenBounds, AskedAgainWhenUnknownOrThePointerIsOutside) {
  const Rect kept{-1920, 0, 1024, 768};
  EXPECT_TRUE(ScreenBoundsNeedRefresh(false, kept, 0, 0));
  EXPECT_FALSE(ScreenBoundsNeedRefresh(true, kept, -1920, 0));
  EXPECT_FALSE(ScreenBoundsNeedRefresh(true, kept, 1023, 767));
  EXPECT_TRUE(ScreenBoundsNeedRefresh(true, kept, 1024, 100));  // a screen added on the right
  EXPECT_TRUE(ScreenBoundsNeedRefresh(true, kept, 100, -1));    // or above
  EXPECT_TRUE(ScreenBoundsNeedRefresh(true, kept, -1921, 100));
}

TEST(BlockClip, MonitorsLeftOfAndAboveThePrimary) {
  const Rect screen{-1920, -200, 1024, 768};
  const BlockCopy copy = ClipSampleBlock(-1918, -200, screen);
  ASSERT_TRUE(copy.centreOnScreen);
  EXPECT_EQ(copy.sourceX, -1920);
  EXPECT_EQ(copy.destX, 3);
  EXPECT_EQ(copy.width, 8);
  EXPECT_EQ(copy.sourceY, -200);
  EXPECT_EQ(copy.destY, 5);
  EXPECT_EQ(copy.height, 6);
}

TEST(BlockClip, ExtremeCoordinatesDoNotOverflow) {
  const Rect screen{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
  const BlockCopy low = ClipSampleBlock(INT32_MIN, INT32_MIN, screen);
  ASSERT_TRUE(low.centreOnScreen);
  EXPECT_EQ(low.destX, 5);
  EXPECT_EQ(low.width, 6);
  const BlockCopy high = ClipSampleBlock(INT32_MAX - 1, INT32_MAX - 1, screen);
  ASSERT_TRUE(high.centreOnScreen);
  EXPECT_EQ(high.destX, 0);
  EXPECT_EQ(high.width, 6);
}

}  // namespace
}  // namespace tintora
