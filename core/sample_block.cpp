#include "sample_block.h"

namespace tintora {

namespace {

// One axis of the clip: the block spans [first, first + side).
void ClipAxis(std::int64_t first, std::int64_t low, std::int64_t high, std::int32_t* dest,
              std::int32_t* source, std::int32_t* length) {
  const std::int64_t begin = first < low ? low : first;
  const std::int64_t end = first + kSampleBlockSide > high ? high : first + kSampleBlockSide;
  *source = static_cast<std::int32_t>(begin);
  *dest = static_cast<std::int32_t>(begin - first);
  *length = static_cast<std::int32_t>(end > begin ? end - begin : 0);
}

}  // namespace

bool ScreenBoundsNeedRefresh(bool known, const Rect& kept, std::int32_t x, std::int32_t y) {
  return !known || x < kept.left || x >= kept.right || y < kept.top || y >= kept.bottom;
}

BlockCopy ClipSampleBlock(std::int32_t x, std::int32_t y, const Rect& screen) {
  BlockCopy copy{};
  copy.centreOnScreen =
      x >= screen.left && x < screen.right && y >= screen.top && y < screen.bottom;
  if (!copy.centreOnScreen) return copy;
  // 64-bit so that a pointer near the ends of the coordinate range cannot
  // overflow the block's edges.
  ClipAxis(static_cast<std::int64_t>(x) - kSampleBlockHalf, screen.left, screen.right, &copy.destX,
           &copy.sourceX, &copy.width);
  ClipAxis(static_cast<std::int64_t>(y) - kSampleBlockHalf, screen.top, screen.bottom, &copy.destY,
           &copy.sourceY, &copy.height);
  return copy;
}

ColorRef CentrePixelColor(const unsigned char* block) {
  const unsigned char* pixel = block + kCentrePixelOffset;
  return MakeColorRef(pixel[2], pixel[1], pixel[0]);
}

}  // namespace tintora
