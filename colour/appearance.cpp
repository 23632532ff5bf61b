#include <cmath>

#include "colour_pipeline.h"
#include "debug_output.h"
#include "wide_format.h"

namespace tintora {

namespace {

constexpr double kPi = 3.141592653589793;

// The fixed viewing conditions.
constexpr double kAdaptingLuminance = 200.0;  // L_A, in cd/m2
constexpr double kBackgroundY = 20.0;         // Y_b
constexpr double kWhiteY = 100.0;             // Y_w
// Average surround.
constexpr double kSurroundF = 1.0;   // F, the degree of adaptation's factor
constexpr double kSurroundC = 0.69;  // c, the impact of the surround
constexpr double kSurroundNc = 1.0;  // N_c, the chromatic induction factor

// The adopted white in CAT02 space: the CAT02 matrix applied to X_w = 95.05,
// Y_w = 100, Z_w = 108.88 gives these exact decimals. Worked out in double
// precision, R_w and G_w would come out one unit in the last place away, so
// the decimals are written as they stand.
constexpr double kWhiteR = 94.930528;
constexpr double kWhiteG = 103.536988;
constexpr double kWhiteB = 108.717742;

// Y_w / R_w, Y_w / G_w, Y_w / B_w, the full adaptation of each channel. The
// green one is kept as written: it lies one unit in the last place below the
// quotient as double precision forms it.
constexpr double kWhiteYOverR = kWhiteY / kWhiteR;  // 1.053401915135245
constexpr double kWhiteYOverG = 0.9658384112931698;
constexpr double kWhiteYOverB = kWhiteY / kWhiteB;  // 0.9198130697011717

// n = Y_b / Y_w, and 1 / n.
constexpr double kBackgroundRatio = kBackgroundY / kWhiteY;         // 0.2
constexpr double kInverseBackgroundRatio = kWhiteY / kBackgroundY;  // 5

// The exponent of the degree of adaptation, (-L_A - 42) / 92.
constexpr double kAdaptationExponent = (-kAdaptingLuminance - 42.0) / 92.0;  // -2.630434782608696
// k = 1 / (5 L_A + 1) of the luminance-level adaptation factor.
constexpr double kLuminanceK = 1.0 / (5.0 * kAdaptingLuminance + 1.0);  // 0.000999000999000999

// The chroma step's factor (1/4) (50000/13) N_c: the 1/4 of the eccentricity
// e_t = (cos(h + 2) + 3.8) / 4, folded in.
constexpr double kChromaScale = 0.25 * (50000.0 / 13.0) * kSurroundNc;  // 961.5384615384615

// The opponent signals: a = R'a - 12 G'a / 11 + B'a / 11, b = (R'a + G'a - 2 B'a) / 9.
constexpr double kTwelveElevenths = 12.0 / 11.0;  // 1.0909090909090908
constexpr double kOneEleventh = 1.0 / 11.0;       // 0.09090909090909091
constexpr double kOneNinth = 1.0 / 9.0;           // 0.1111111111111111

// The unique hues: hue angle h_i, eccentricity e_i and quadrature H_i of red,
// yellow, green, blue and red again.
constexpr int kUniqueHueCount = 5;
constexpr double kUniqueHueAngle[kUniqueHueCount] = {20.14, 90.00, 164.25, 237.53, 380.14};
constexpr double kUniqueHueEccentricity[kUniqueHueCount] = {0.8, 0.7, 1.0, 1.2, 0.8};
constexpr double kUniqueHueQuadrature[kUniqueHueCount] = {0.0, 100.0, 200.0, 300.0, 400.0};

// Derived from the viewing conditions once (see Viewing()).
struct ViewingConstants {
  double d;                       // degree of adaptation D
  double fl;                      // luminance-level adaptation factor F_L
  double nbb;                     // N_bb = N_cb
  double z;                       // base exponent of lightness
  double adaptR, adaptG, adaptB;  // D * Y_w/R_w + 1 - D per CAT02 channel
  double aw;                      // achromatic response of the adapted white
  double chromaFactor;            // (1.64 - 0.29^n)^0.73
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
  // D = F (1 - (1/3.6) exp((-L_A - 42) / 92)).
  k.d = kSurroundF * (1.0 - (1.0 / 3.6) * std::exp(kAdaptationExponent));
  // F_L = 0.1 (1 - k^4)^2 (5 L_A)^(1/3) + 0.2 k^4 (5 L_A), the last term
  // multiplied in the order k^4 * 0.2 * 5 * L_A.
  const double k4 = std::pow(kLuminanceK, 4.0);
  k.fl = 0.1 * std::pow(1.0 - k4, 2.0) * std::pow(5.0 * kAdaptingLuminance, 1.0 / 3.0) +
         k4 * 0.2 * 5.0 * kAdaptingLuminance;
  // N_bb = N_cb = 0.725 (1/n)^0.2; z = 1.48 + n^0.5.
  k.nbb = 0.725 * std::pow(kInverseBackgroundRatio, 0.2);
  k.z = 1.48 + std::pow(kBackgroundRatio, 0.5);
  k.adaptR = k.d * kWhiteYOverR + 1.0 - k.d;
  k.adaptG = k.d * kWhiteYOverG + 1.0 - k.d;
  k.adaptB = k.d * kWhiteYOverB + 1.0 - k.d;
  const Triple white{kWhiteR * k.adaptR, kWhiteG * k.adaptG, kWhiteB * k.adaptB};
  k.aw = AchromaticResponse(CompressAll(ToHpe(white), k.fl), k.nbb);
  k.chromaFactor = std::pow(1.64 - std::pow(0.29, kBackgroundRatio), 0.73);
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
  const double* const hue = kUniqueHueAngle;
  const double hp = h < hue[0] ? h + 360.0 : h;
  // The segment that h' lies in, from one unique hue up to the next; the
  // first (red to yellow) for anything else.
  int i = 0;
  for (int s = 1; s + 1 < kUniqueHueCount; ++s)
    if (hp >= hue[s] && hp < hue[s + 1]) i = s;
  const double toStart = (hp - hue[i]) / kUniqueHueEccentricity[i];
  const double toEnd = (hue[i + 1] - hp) / kUniqueHueEccentricity[i + 1];
  return kUniqueHueQuadrature[i] + 100.0 * toStart / (toStart + toEnd);
}

AppearanceColor XyzToAppearance(const XyzColor& xyz) {
  const ViewingConstants& k = Viewing();
  const double x = xyz.v[kX], y = xyz.v[kY], z = xyz.v[kZ];

  const Triple cone{0.7328 * x + 0.4296 * y - 0.1624 * z, -0.7036 * x + 1.6975 * y + 0.0061 * z,
                    0.0030 * x + 0.0136 * y + 0.9834 * z};
  const Triple adapted{cone.r * k.adaptR, cone.g * k.adaptG, cone.b * k.adaptB};
  const Triple ra = CompressAll(ToHpe(adapted), k.fl);

  const double a = ra.r - kTwelveElevenths * ra.g + kOneEleventh * ra.b;
  const double b = (ra.r + ra.g - 2.0 * ra.b) * kOneNinth;
  const double h = HueAngleDegrees(a, b);

  AppearanceColor out;
  const double achromatic = AchromaticResponse(ra, k.nbb);
  const double j = 100.0 * std::pow(achromatic / k.aw, kSurroundC * k.z);
  // The cosine takes the hue angle h, not the raised h' of the quadrature.
  const double t = (std::cos(h * kPi / 180.0 + 2.0) + 3.8) * (k.nbb * kChromaScale) *
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
