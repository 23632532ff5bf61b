// The screen sample: an 11 x 11 block of pixels centred on the pointer, of
// which the centre pixel is the sampled colour. Where the block lies on the
// screen, and how its centre pixel is read, the same for every shell.
#pragma once

#include <cstddef>
#include <cstdint>

#include "colour_types.h"
#include "geometry.h"

namespace tintora {

// The captured block: 11 x 11 pixels of 4 bytes (blue, green, red, unused),
// centred on the pointer.
constexpr int kSampleBlockSide = 11;
constexpr int kSampleBlockHalf = kSampleBlockSide / 2;
constexpr std::size_t kSampleBlockBytes =
    static_cast<std::size_t>(kSampleBlockSide) * kSampleBlockSide * 4;
// Pixel (11 * 11) / 2: row 5, column 5 from either end.
constexpr std::size_t kCentrePixelOffset =
    static_cast<std::size_t>(kSampleBlockSide * kSampleBlockSide / 2) * 4;

// The part of the block centred on (x, y) that lies on the screen: copy the
// width x height pixels at (sourceX, sourceY) of the screen to (destX, destY)
// of the block. Copying only that part keeps the centre pixel right at a
// screen edge, where a copy that reaches past the screen may copy nothing.
struct BlockCopy {
  bool centreOnScreen;  // false: no pixel under (x, y), nothing to copy
  std::int32_t destX;
  std::int32_t destY;
  std::int32_t sourceX;
  std::int32_t sourceY;
  std::int32_t width;
  std::int32_t height;
};

BlockCopy ClipSampleBlock(std::int32_t x, std::int32_t y, const Rect& screen);

// The screen's bounds are kept between samples (asking for them is a round
// trip into the system on some platforms); they are asked for again when not
// yet known or when the pointer lies outside them. A display change makes
// them unknown.
bool ScreenBoundsNeedRefresh(bool known, const Rect& kept, std::int32_t x, std::int32_t y);

// The colour of the block's centre pixel as a COLORREF. The block must hold
// at least kSampleBlockBytes bytes.
ColorRef CentrePixelColor(const unsigned char* block);

}  // namespace tintora
