// The published sRGB and CIECAM02 values that the pipeline must reproduce.
#include <gtest/gtest.h>

#include <cmath>

#include "test_support.h"

namespace {

using namespace tintora;
using tintora_test::AppearanceOf;
using tintora_test::DebugSilence;

struct XyzCase {
  unsigned r, g, b;
  double x, y, z;
};

// The coefficients are single-precision, so the values agree to about 1e-5.
const XyzCase kXyzCases[] = {
    {0, 0, 0, 0.0, 0.0, 0.0},        {255, 255, 255, 95.05, 100.0, 108.9},
    {255, 0, 0, 41.24, 21.26, 1.93}, {0, 255, 0, 35.76, 71.52, 11.92},
    {0, 0, 255, 18.05, 7.22, 95.05},
};

TEST(SrgbToXyz, ReproducesThePrimariesAndWhite) {
  DebugSilence quiet;
  for (const XyzCase& c : kXyzCases) {
    const XyzColor xyz = SrgbToXyz(MakeColorRef(c.r, c.g, c.b));
    SCOPED_TRACE(testing::Message() << c.r << "," << c.g << "," << c.b);
    EXPECT_NEAR(xyz.v[kX], c.x, 2e-5);
    EXPECT_NEAR(xyz.v[kY], c.y, 2e-5);
    EXPECT_NEAR(xyz.v[kZ], c.z, 2e-5);
    EXPECT_EQ(xyz.v[3], 1.0);
  }
}

TEST(SrgbToXyz, UsesTheSinglePrecisionConstantsExactly) {
  DebugSilence quiet;
  // Channel 10 lies below the threshold: 10/255 / 12.92f * 100 * 0.4124f.
  const double linear10 = 10.0 / 255.0 / static_cast<double>(12.92f) * 100.0;
  EXPECT_DOUBLE_EQ(SrgbToXyz(MakeColorRef(10, 0, 0)).v[kX],
                   static_cast<double>(0.4124f) * linear10);
  // Channel 11 lies above it and takes the power curve.
  const double c11 = 11.0 / 255.0;
  const double linear11 =
      std::pow((c11 + static_cast<double>(0.055f)) / static_cast<double>(1.055f),
               static_cast<double>(2.4f)) *
      100.0;
  EXPECT_DOUBLE_EQ(SrgbToXyz(MakeColorRef(0, 11, 0)).v[kY],
                   static_cast<double>(0.7152f) * linear11);
  EXPECT_NE(linear11, c11 / static_cast<double>(12.92f) * 100.0);
}

TEST(SrgbToXyz, IgnoresTheTopByte) {
  DebugSilence quiet;
  const XyzColor plain = SrgbToXyz(0x00336699u);
  const XyzColor flagged = SrgbToXyz(0xFF336699u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(plain.v[i], flagged.v[i]);
}

struct AppearanceCase {
  unsigned r, g, b;
  double j, c, h;
};

const AppearanceCase kAppearanceCases[] = {
    {0, 0, 0, 0.000, 0.000, 380.214},        {255, 255, 255, 100.000, 0.475, 270.743},
    {128, 128, 128, 43.447, 0.316, 270.744}, {255, 0, 0, 47.434, 112.736, 15.631},
    {0, 255, 0, 79.972, 105.004, 169.766},   {0, 0, 255, 21.212, 90.902, 309.892},
    {255, 255, 0, 95.770, 80.366, 126.829},
};

TEST(XyzToAppearance, ReproducesTheWorkedCorrelates) {
  DebugSilence quiet;
  for (const AppearanceCase& c : kAppearanceCases) {
    const AppearanceColor jch = AppearanceOf(c.r, c.g, c.b);
    SCOPED_TRACE(testing::Message() << c.r << "," << c.g << "," << c.b);
    EXPECT_NEAR(jch.v[kJ], c.j, 5e-4);
    EXPECT_NEAR(jch.v[kC], c.c, 5e-4);
    EXPECT_NEAR(jch.v[kH], c.h, 5e-4);
    EXPECT_EQ(jch.v[3], 1.0);
  }
}

TEST(XyzToAppearance, IgnoresTheFourthComponent) {
  DebugSilence quiet;
  XyzColor xyz = SrgbToXyz(MakeColorRef(12, 200, 99));
  const AppearanceColor first = XyzToAppearance(xyz);
  xyz.v[3] = -1e300;
  const AppearanceColor second = XyzToAppearance(xyz);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(first.v[i], second.v[i]);
}

struct QuadratureCase {
  double angle, quadrature;
};

// The unique hues land on the round quadratures; an angle of exactly 20.14
// is not raised by 360 and gives 0; an angle of 0 counts as 360.
const QuadratureCase kQuadratureCases[] = {
    {20.14, 0.0},
    {90.0, 100.0},
    {164.25, 200.0},
    {237.53, 300.0},
    {0.0, 300.0 + 100.0 * (122.47 / 1.2) / (122.47 / 1.2 + 20.14 / 0.8)},
    {20.139999, 400.0},
    {32.347, 100.0 * (12.207 / 0.8) / (12.207 / 0.8 + 57.653 / 0.7)},
};

TEST(HueQuadrature, FollowsTheUniqueHueSegments) {
  for (const QuadratureCase& c : kQuadratureCases) {
    SCOPED_TRACE(c.angle);
    EXPECT_NEAR(HueQuadrature(c.angle), c.quadrature, 1e-4);
  }
}

}  // namespace
