#include "sampling_rules.h"

namespace tintora {

int NextSamplingPaused(int paused, std::uint16_t buttonFlags) {
  if (buttonFlags == kLeftButtonDown) return 1;
  if (buttonFlags == kLeftButtonUp) return 0;
  return paused;
}

bool RawInputSizeUsable(std::uint32_t queryResult, std::uint32_t size,
                        std::uint32_t wholeMouseEventBytes) {
  return queryResult == 0 && size >= wholeMouseEventBytes;
}

RawInputReadCheck CheckRawInputRead(std::uint32_t size, std::uint32_t readResult,
                                    std::uint32_t wholeMouseEventBytes) {
  RawInputReadCheck check{};
  check.sizeMismatch = readResult != size;
  // An error result, or a count beyond the buffer, tells nothing about which
  // bytes were filled.
  check.usable = readResult != kRawInputError && readResult <= size &&
                 readResult >= wholeMouseEventBytes;
  return check;
}

ScreenRect VisibleLabelRect(const ScreenRect& windowRect, const ScreenRect& regionBox) {
  ScreenRect visible = windowRect;
  visible.bottom = windowRect.top + regionBox.bottom;
  return visible;
}

ColorRef CentrePixelColor(const unsigned char* block) {
  const unsigned char* pixel = block + kCentrePixelOffset;
  return MakeColorRef(pixel[2], pixel[1], pixel[0]);
}

}  // namespace tintora
