// Types shared by the colour pipeline: sample -> XYZ -> CIECAM02 -> names.
#pragma once

#include <cstddef>
#include <cstdint>

#include "utf_text.h"

namespace tintora {

// A 32-bit screen colour laid out like Win32's COLORREF: red in bits 0-7,
// green in 8-15, blue in 16-23, bits 24-31 zero.
using ColorRef = std::uint32_t;

constexpr ColorRef MakeColorRef(unsigned red, unsigned green, unsigned blue) {
  return static_cast<ColorRef>((red & 0xFFu) | ((green & 0xFFu) << 8) | ((blue & 0xFFu) << 16));
}
constexpr unsigned RedOf(ColorRef c) { return c & 0xFFu; }
constexpr unsigned GreenOf(ColorRef c) { return (c >> 8) & 0xFFu; }
constexpr unsigned BlueOf(ColorRef c) { return (c >> 16) & 0xFFu; }

// Four doubles: three components and a fourth that is always 1.0.
struct ColorValue {
  double v[4];
};

// X, Y, Z with the white's Y equal to 100.
using XyzColor = ColorValue;
// CIECAM02 lightness J, chroma C and hue quadrature H.
using AppearanceColor = ColorValue;

constexpr int kX = 0, kY = 1, kZ = 2;
constexpr int kJ = 0, kC = 1, kH = 2;

constexpr std::size_t kLabelTextUnits = 30;    // 29 characters and a terminator
constexpr std::size_t kWorkingTextUnits = 60;  // naming's scratch texts

}  // namespace tintora
