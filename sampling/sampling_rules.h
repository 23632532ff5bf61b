// Decisions of the raw-mouse sampling that need no Windows call: the pause
// rule, the checks on the raw-input sizes, the visible label's extent and the
// centre pixel of the captured block.
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

// RI_MOUSE_LEFT_BUTTON_DOWN / RI_MOUSE_LEFT_BUTTON_UP.
constexpr std::uint16_t kLeftButtonDown = 0x0001;
constexpr std::uint16_t kLeftButtonUp = 0x0002;

// The pause flag after an event with the given button flags. Only an event
// that is exactly the left press pauses and exactly the left release resumes;
// combined transitions leave the flag as it was.
int NextSamplingPaused(int paused, std::uint16_t buttonFlags);

// GetRawInputData's error result, (UINT)-1.
constexpr std::uint32_t kRawInputError = 0xFFFFFFFFu;

// Whether the size query (result and reported size) leaves room for a whole
// mouse event. A failed query or a smaller size drops the event before any
// buffer is read.
bool RawInputSizeUsable(std::uint32_t queryResult, std::uint32_t size,
                        std::uint32_t wholeMouseEventBytes);

struct RawInputReadCheck {
  bool sizeMismatch;  // report "GetRawInputData does not return correct size !\n"
  bool usable;        // the buffer holds a whole mouse event that was filled
};

// Judges the data read: a count different from the queried size is reported;
// the event is used only when the bytes filled cover a whole mouse event.
RawInputReadCheck CheckRawInputRead(std::uint32_t size, std::uint32_t readResult,
                                    std::uint32_t wholeMouseEventBytes);

// The visible label on screen: the window rectangle cut to the window
// region, whose box starts at the window's top-left corner.
Rect VisibleLabelRect(const Rect& windowRect, const Rect& regionBox);

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
