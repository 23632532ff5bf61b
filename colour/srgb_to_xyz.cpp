#include <cmath>

#include "colour_pipeline.h"
#include "debug_output.h"
#include "wide_format.h"

namespace tintora {

namespace {

// The transfer-curve constants and the matrix are single-precision values,
// widened to double where they are used; their exact values are those of the
// nearest floats (0.055 is 0.054999999701976776).
constexpr float kOffset = 0.055f;
constexpr float kScale = 1.055f;
constexpr float kGamma = 2.4f;
constexpr float kLinearSlope = 12.92f;
constexpr float kThresholdFloat = 0.04045f;
constexpr double kThresholdDouble = 0.04045;  // the green channel's threshold

constexpr float kXFromG = 0.3576f, kXFromR = 0.4124f, kXFromB = 0.1805f;
constexpr float kYFromG = 0.7152f, kYFromR = 0.2126f, kYFromB = 0.0722f;
constexpr float kZFromG = 0.1192f, kZFromR = 0.0193f, kZFromB = 0.9505f;

double Linearise(double c, double threshold) {
  if (c > threshold)
    return std::pow((c + static_cast<double>(kOffset)) / static_cast<double>(kScale),
                    static_cast<double>(kGamma));
  return c / static_cast<double>(kLinearSlope);
}

// An 8-bit channel has 256 values, so the curve is worked out once per value
// with the same arithmetic; the results are bit-for-bit those of computing it
// per sample.
struct LinearTable {
  double value[256];
};

LinearTable MakeLinearTable(double threshold) {
  LinearTable table{};
  for (unsigned i = 0; i < 256; ++i) table.value[i] = Linearise(i / 255.0, threshold) * 100.0;
  return table;
}

const LinearTable& RedBlueTable() {
  static const LinearTable table = MakeLinearTable(static_cast<double>(kThresholdFloat));
  return table;
}

const LinearTable& GreenTable() {
  static const LinearTable table = MakeLinearTable(kThresholdDouble);
  return table;
}

void WriteSampleLine(unsigned red, unsigned green, unsigned blue) {
  if (!DebugOutputActive()) return;
  Utf16Char line[120 / sizeof(Utf16Char)];
  FormatWide(line, 120, u"R: %d G: %d B: %d - ", static_cast<int>(red), static_cast<int>(green),
             static_cast<int>(blue));
  WriteDebugOutput(line);
}

}  // namespace

XyzColor SrgbToXyz(ColorRef color) {
  const unsigned red = RedOf(color);
  const unsigned green = GreenOf(color);
  const unsigned blue = BlueOf(color);
  WriteSampleLine(red, green, blue);

  const double r = RedBlueTable().value[red];
  const double g = GreenTable().value[green];
  const double b = RedBlueTable().value[blue];

  XyzColor xyz;
  xyz.v[kX] = static_cast<double>(kXFromG) * g + static_cast<double>(kXFromR) * r +
              static_cast<double>(kXFromB) * b;
  xyz.v[kY] = static_cast<double>(kYFromG) * g + static_cast<double>(kYFromR) * r +
              static_cast<double>(kYFromB) * b;
  xyz.v[kZ] = static_cast<double>(kZFromG) * g + static_cast<double>(kZFromR) * r +
              static_cast<double>(kZFromB) * b;
  xyz.v[3] = 1.0;
  return xyz;
}

}  // namespace tintora
