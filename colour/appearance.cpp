#include <cmath>

#include "colour_pipeline.h"
#include "debug_output.h"
#include "wide_format.h"

namespace tintora {

namespace {

constexpr double kPi = 3.141592653589793;

// Viewing conditions: L_A = 200 cd/m2, Y_b = 20, average surround.
struct ViewingConstants {
  double d;                       // degree of adaptation
  double fl;                      // luminance-level adaptation factor
  double nbb;                     // N_bb = N_cb
  double z;                       // base exponent of lightness
  double adaptR, adaptG, adaptB;  // D * Y_w/X_w' + 1 - D per CAT02 channel
  double aw;                      // achromatic response of the adapted white
  double chromaFactor;            // (1.64 - 0.29^0.2)^0.73
};

struct Triple {
  double r, g, b;
};

// Inverse CAT02 followed by Hunt-Pointer-Estevez.
Triple ToHpe(const Triple& c) {
  const double x = 1.096124 * c.r + -0.278869 * c.g + 0.182745 * c.b;
  const double y = 0.454369 * c.r + 0.473533 * c.g + 0.072098 * c.b;
  const double z = -0.009628 * c.r + -0.005698 * c.g + 1.015326 * c.b;
  return {0.38971 * x + 0.68898 * y + -0.07868 * z, -0.22981 * x + 1.18340 * y + 0.04641 * z,
          0.0 * x + 0.0 * y + 1.0 * z};
}

double Compress(double v, double fl) {
  const double x = std::pow(fl * std::fabs(v) / 100.0, 0.42);
  if (v < 0.0) return 0.1 - 400.0 * x / (x + 27.13);
  return 400.0 * x / (x + 27.13) + 0.1;
}

Triple CompressAll(const Triple& c, double fl) {
  return {Compress(c.r, fl), Compress(c.g, fl), Compress(c.b, fl)};
}

double AchromaticResponse(const Triple& a, double nbb) {
  return (2.0 * a.r + a.g + 0.05 * a.b - 0.305) * nbb;
}

ViewingConstants ComputeViewingConstants() {
  ViewingConstants k{};
  k.d = 1.0 - 0.2777777777777778 * std::exp(-2.630434782608696);
  const double k4 = std::pow(0.000999000999000999, 4.0);
  k.fl =
      0.1 * std::pow(1.0 - k4, 2.0) * std::pow(1000.0, 0.3333333333333333) + k4 * 0.2 * 5.0 * 200.0;
  k.nbb = 0.725 * std::pow(5.0, 0.2);
  k.z = 1.48 + std::pow(0.2, 0.5);
  k.adaptR = k.d * 1.053401915135245 + 1.0 - k.d;
  k.adaptG = k.d * 0.9658384112931698 + 1.0 - k.d;
  k.adaptB = k.d * 0.9198130697011717 + 1.0 - k.d;
  const Triple white{94.930528 * k.adaptR, 103.536988 * k.adaptG, 108.717742 * k.adaptB};
  k.aw = AchromaticResponse(CompressAll(ToHpe(white), k.fl), k.nbb);
  k.chromaFactor = std::pow(1.64 - std::pow(0.29, 0.2), 0.73);
  return k;
}

// The constants depend on nothing but the fixed viewing conditions, so they
// are worked out once; the values are the same as computing them per call.
const ViewingConstants& Viewing() {
  static const ViewingConstants constants = ComputeViewingConstants();
  return constants;
}

double HueAngleDegrees(double a, double b) {
  const double theta = std::atan2(b, a);
  double h = theta > 0.0 ? theta / kPi * 180.0 : 360.0 - std::fabs(theta) / kPi * 180.0;
  if (h < 0.0)
    h += 360.0;
  else if (h >= 360.0)
    h -= 360.0;
  return h;
}

void WriteAppearanceLine(double j, double c, double h) {
  if (!DebugOutputActive()) return;
  Utf16Char line[120 / sizeof(Utf16Char)];
  FormatWide(line, 120, u"j: %d c: %d h: %d \n", TruncateToInt(j), TruncateToInt(c),
             TruncateToInt(h));
  WriteDebugOutput(line);
}

}  // namespace

double HueQuadrature(double h) {
  static const double kHue[5] = {20.14, 90.00, 164.25, 237.53, 380.14};
  static const double kEccentricity[5] = {0.8, 0.7, 1.0, 1.2, 0.8};
  static const double kQuadrature[5] = {0.0, 100.0, 200.0, 300.0, 400.0};
  const double hp = h < 20.14 ? h + 360.0 : h;
  int i = 0;  // zero-based segment index
  if (hp >= 237.53 && hp < 380.14)
    i = 3;
  else if (hp >= 164.25 && hp < 237.53)
    i = 2;
  else if (hp >= 90.0 && hp < 164.25)
    i = 1;
  const double toStart = (hp - kHue[i]) / kEccentricity[i];
  const double toEnd = (kHue[i + 1] - hp) / kEccentricity[i + 1];
  return kQuadrature[i] + 100.0 * toStart / (toStart + toEnd);
}

AppearanceColor XyzToAppearance(const XyzColor& xyz) {
  const ViewingConstants& k = Viewing();
  const double x = xyz.v[kX], y = xyz.v[kY], z = xyz.v[kZ];

  const Triple cone{0.7328 * x + 0.4296 * y - 0.1624 * z, -0.7036 * x + 1.6975 * y + 0.0061 * z,
                    0.0030 * x + 0.0136 * y + 0.9834 * z};
  const Triple adapted{cone.r * k.adaptR, cone.g * k.adaptG, cone.b * k.adaptB};
  const Triple ra = CompressAll(ToHpe(adapted), k.fl);

  const double a = ra.r - 1.0909090909090908 * ra.g + 0.09090909090909091 * ra.b;
  const double b = (ra.r + ra.g - 2.0 * ra.b) * 0.1111111111111111;
  const double h = HueAngleDegrees(a, b);

  AppearanceColor out;
  const double achromatic = AchromaticResponse(ra, k.nbb);
  const double j = 100.0 * std::pow(achromatic / k.aw, 0.69 * k.z);
  const double t = (std::cos(h * kPi / 180.0 + 2.0) + 3.8) * (k.nbb * 961.5384615384615) *
                   std::pow(b * b + a * a, 0.5) / (1.05 * ra.b + (ra.r + ra.g));
  const double c = std::pow(t, 0.9) * std::pow(j / 100.0, 0.5) * k.chromaFactor;
  out.v[kJ] = j;
  out.v[kC] = c;
  out.v[kH] = HueQuadrature(h);
  out.v[3] = 1.0;
  WriteAppearanceLine(out.v[kJ], out.v[kC], out.v[kH]);
  return out;
}

}  // namespace tintora
