// The colour pipeline: a sampled screen colour to the two label texts.
#pragma once

#include "colour_types.h"

namespace tintora {

// sRGB (D65) to CIE XYZ, white Y = 100. Writes "R: %d G: %d B: %d - ".
XyzColor SrgbToXyz(ColorRef color);

// Forward CIECAM02 under fixed viewing conditions: J, C, H.
// Writes "j: %d c: %d h: %d \n".
AppearanceColor XyzToAppearance(const XyzColor& xyz);

// Hue quadrature H in [0, 400) from a hue angle h in [0, 360), through the
// unique hues red 20.14, yellow 90, green 164.25, blue 237.53.
double HueQuadrature(double hueAngle);

// One row of the naming table. Lower bounds inclusive, upper exclusive.
struct NamingRule {
  const Utf16Char* name;
  const Utf16Char* qualifier;
  double jMin, jMax;
  double cMin, cMax;
  double hMin, hMax;
};

constexpr int kNamingRuleCount = 40;
extern const NamingRule NamingTable[kNamingRuleCount];

// The two texts the label shows: a colour name and a qualifier, each at most
// 29 characters and a terminator.
struct LabelTexts {
  Utf16Char name[kLabelTextUnits];
  Utf16Char qualifier[kLabelTextUnits];
};

// The texts before the first named colour: "Mossvane" and empty.
LabelTexts InitialLabelTexts();

// Index (0-based) of the last naming row that matches, or -1.
int LastMatchingRule(const AppearanceColor& appearance);

// The texts for the given correlates.
LabelTexts NameColor(const AppearanceColor& appearance);

}  // namespace tintora
