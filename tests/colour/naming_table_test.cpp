// The naming table held in place: a point inside every row that no later
// row overrides, and both sides of every limit that decides a name. The
// expected texts are read off the table by hand; the points keep C >= 16 and
// 1 <= J <= 99 so that a row's own texts show, except where the dull and
// near-neutral bands are meant.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "test_support.h"

namespace {

using namespace tintora;
using tintora_test::Appearance;
using tintora_test::Narrow;

struct Texts {
  const char* name;
  const char* qualifier;
};

void ExpectTexts(double j, double c, double h, const Texts& expected) {
  const LabelTexts texts = NameColor(Appearance(j, c, h));
  EXPECT_EQ(Narrow(texts.name), expected.name) << "J=" << j << " C=" << c << " H=" << h;
  EXPECT_EQ(Narrow(texts.qualifier), expected.qualifier) << "J=" << j << " C=" << c << " H=" << h;
}

struct RowPoint {
  int row;  // 1-based, as the table is numbered
  double j, c, h;
  Texts texts;
};

// Row 29 (plain "Cyan") has an empty hue range; it has no point of its own.
const RowPoint kRowPoints[] = {
    {1, 60, 60, 399.5, {"Red", ""}},
    {2, 10, 50, 399.5, {"Brown", "Reddish"}},
    {3, 30, 17, 399.5, {"Brown", "Reddish"}},
    {4, 30, 25, 399.5, {"Brown", "Reddish"}},
    {5, 60, 30, 399.5, {"Pink", "Reddish"}},
    {6, 60, 60, 10, {"Red", ""}},
    {7, 60, 60, 19, {"Red", "Orangish"}},
    {8, 10, 50, 10, {"Brown", "Reddish"}},
    {9, 30, 17, 10, {"Brown", "Reddish"}},
    {10, 30, 25, 10, {"Brown", "Reddish"}},
    {11, 60, 30, 10, {"Pink", "Reddish"}},
    {12, 80, 60, 50, {"Orange", ""}},
    {13, 80, 60, 23, {"Orange", "Reddish"}},
    {14, 80, 60, 77, {"Orange", "Yellowish"}},
    {15, 60, 20, 50, {"Brown", ""}},
    {16, 60, 29, 50, {"Brown", ""}},
    {17, 45, 40, 50, {"Brown", ""}},
    {18, 35, 60, 50, {"Brown", ""}},
    {19, 90, 60, 100, {"Yellow", ""}},
    {20, 90, 60, 84, {"Yellow", "Orangish"}},
    {21, 90, 60, 129, {"Yellow", "Greenish"}},
    {22, 70, 20, 100, {"Brown", "Yellowish"}},
    {23, 70, 35, 100, {"Brown", "Yellowish"}},
    {24, 60, 45, 100, {"Brown", "Yellowish"}},
    {25, 60, 60, 100, {"Brown", "Yellowish"}},
    {26, 50, 50, 180, {"Green", ""}},
    {27, 50, 50, 132, {"Green", "Yellowish"}},
    {28, 50, 50, 230, {"Green", "Cyanish"}},
    {30, 50, 50, 250, {"Cyan", "Greenish"}},
    {31, 50, 50, 265, {"Cyan", "Bluish"}},
    {32, 50, 50, 300, {"Blue", ""}},
    {33, 50, 50, 277, {"Blue", "Cyanish"}},
    {34, 50, 50, 317.5, {"Blue", "Violetish"}},
    {35, 50, 50, 340, {"Violet", ""}},
    {36, 50, 50, 319, {"Violet", "Bluish"}},
    {37, 50, 50, 367, {"Violet", "Pinkish"}},
    {38, 50, 50, 380, {"Pink", ""}},
    {39, 50, 50, 371, {"Pink", "Violet"}},
    {40, 50, 50, 396, {"Pink", "Reddish"}},
};

TEST(NamingTable, EveryRowNamesAPointInsideIt) {
  for (const RowPoint& p : kRowPoints) {
    SCOPED_TRACE(testing::Message() << "row " << p.row);
    EXPECT_EQ(LastMatchingRule(Appearance(p.j, p.c, p.h)), p.row - 1);
    ExpectTexts(p.j, p.c, p.h, p.texts);
  }
}

TEST(NamingTable, TheEmptyCyanRowNeverMatches) {
  // At its own hue 258 the "Bluish" row wins; just below it the "Greenish".
  EXPECT_EQ(LastMatchingRule(Appearance(50, 50, 258)), 30);
  ExpectTexts(50, 50, 258, {"Cyan", "Bluish"});
  ExpectTexts(50, 50, std::nextafter(258.0, 0.0), {"Cyan", "Greenish"});
}

enum Axis { kOnJ, kOnC, kOnH };

// One limit: the point (J, C, H) lies on it, and the texts are those one step
// below the limit on the given axis and those at the limit itself. A lower
// limit includes the point at it, an upper one leaves it out.
struct LimitCase {
  double j, c, h;
  Axis axis;
  Texts below, at;
};

double Above(double value) {
  return std::nextafter(value, std::numeric_limits<double>::infinity());
}

// Hue limits between the rows that span all lightness and chroma, at a
// lightness and chroma that no dark or dull row covers.
const LimitCase kHueLimits[] = {
    {80, 60, 0, kOnH, {"Color Not In Range", ""}, {"Red", ""}},
    {80, 60, 18, kOnH, {"Red", ""}, {"Red", "Orangish"}},
    {80, 60, 20, kOnH, {"Red", "Orangish"}, {"Orange", "Reddish"}},
    {80, 60, 26, kOnH, {"Orange", "Reddish"}, {"Orange", ""}},
    {80, 60, 74, kOnH, {"Orange", ""}, {"Orange", "Yellowish"}},
    {80, 60, 80, kOnH, {"Orange", "Yellowish"}, {"Yellow", "Orangish"}},
    {80, 60, 88, kOnH, {"Yellow", "Orangish"}, {"Yellow", ""}},
    {80, 60, 128, kOnH, {"Yellow", ""}, {"Yellow", "Greenish"}},
    {80, 60, 130, kOnH, {"Yellow", "Greenish"}, {"Green", "Yellowish"}},
    {80, 60, 135, kOnH, {"Green", "Yellowish"}, {"Green", ""}},
    {80, 60, 220, kOnH, {"Green", ""}, {"Green", "Cyanish"}},
    {80, 60, 240, kOnH, {"Green", "Cyanish"}, {"Cyan", "Greenish"}},
    {80, 60, 275, kOnH, {"Cyan", "Bluish"}, {"Blue", "Cyanish"}},
    {80, 60, 280, kOnH, {"Blue", "Cyanish"}, {"Blue", ""}},
    {80, 60, 317, kOnH, {"Blue", ""}, {"Blue", "Violetish"}},
    {80, 60, 318, kOnH, {"Blue", "Violetish"}, {"Violet", "Bluish"}},
    {80, 60, 320, kOnH, {"Violet", "Bluish"}, {"Violet", ""}},
    {80, 60, 365, kOnH, {"Violet", ""}, {"Violet", "Pinkish"}},
    {80, 60, 370, kOnH, {"Violet", "Pinkish"}, {"Pink", "Violet"}},
    {80, 60, 372, kOnH, {"Pink", "Violet"}, {"Pink", ""}},
    {80, 60, 395, kOnH, {"Pink", ""}, {"Pink", "Reddish"}},
    {80, 60, 398, kOnH, {"Pink", "Reddish"}, {"Red", ""}},
};

// The lightness and chroma limits of the dark and dull reds (rows 2-5 and
// 8-11), checked at both ends of the hue circle.
const LimitCase kRedOverrideLimits[] = {
    {17, 50, 0, kOnJ, {"Brown", "Reddish"}, {"Red", ""}},           // row 2 jMax
    {17, 17, 0, kOnJ, {"Brown", "Reddish"}, {"Brown", "Reddish"}},  // row 3 jMin
    {53, 17, 0, kOnJ, {"Brown", "Reddish"}, {"Red", ""}},           // row 3 jMax
    {48, 19, 0, kOnC, {"Brown", "Reddish"}, {"Red", ""}},           // row 3 cMax
    {17, 25, 0, kOnJ, {"Brown", "Reddish"}, {"Brown", "Reddish"}},  // row 4 jMin
    {44, 25, 0, kOnJ, {"Brown", "Reddish"}, {"Red", ""}},           // row 4 jMax
    {30, 19, 0, kOnC, {"Brown", "Reddish"}, {"Brown", "Reddish"}},  // row 4 cMin
    {30, 32, 0, kOnC, {"Brown", "Reddish"}, {"Red", ""}},           // row 4 cMax
    {53, 30, 0, kOnJ, {"Red", ""}, {"Pink", "Reddish"}},            // row 5 jMin
    {60, 19, 0, kOnC, {"Red", ""}, {"Pink", "Reddish"}},            // row 5 cMin
    {60, 49, 0, kOnC, {"Pink", "Reddish"}, {"Red", ""}},            // row 5 cMax
    // In the dull band the row's name shows as the hue hint.
    {53, 10, 0, kOnJ, {"Grey", "Brownish"}, {"Grey", "Redish"}},  // row 3 jMax
};

void ExpectLimit(const LimitCase& l) {
  const double j = l.axis == kOnJ ? std::nextafter(l.j, -1.0) : l.j;
  const double c = l.axis == kOnC ? std::nextafter(l.c, -1.0) : l.c;
  const double h = l.axis == kOnH ? std::nextafter(l.h, -1.0) : l.h;
  ExpectTexts(j, c, h, l.below);
  ExpectTexts(l.j, l.c, l.h, l.at);
}

TEST(NamingTable, HueLimitsBetweenTheGeneralRows) {
  for (const LimitCase& l : kHueLimits) ExpectLimit(l);
}

TEST(NamingTable, DarkAndDullRedsAtBothEndsOfTheHueCircle) {
  for (double hue : {10.0, 399.5}) {
    SCOPED_TRACE(testing::Message() << "H=" << hue);
    for (LimitCase l : kRedOverrideLimits) {
      l.h = hue;
      ExpectLimit(l);
    }
  }
}

// Every other limit that decides a name: the dark and dull oranges (rows
// 15-18) and yellows (rows 22-25), the hue edges of all override rows, and
// the chroma and lightness bands of the naming step.
const LimitCase kLimits[] = {
    {72, 20, 50, kOnJ, {"Brown", ""}, {"Orange", ""}},                    // row 15 jMax
    {68, 28, 50, kOnC, {"Brown", ""}, {"Orange", ""}},                    // row 15 cMax
    {65, 29, 50, kOnJ, {"Brown", ""}, {"Orange", ""}},                    // row 16 jMax
    {60, 28, 50, kOnC, {"Brown", ""}, {"Brown", ""}},                     // row 16 cMin
    {60, 30, 50, kOnC, {"Brown", ""}, {"Orange", ""}},                    // row 16 cMax
    {51, 40, 50, kOnJ, {"Brown", ""}, {"Orange", ""}},                    // row 17 jMax
    {45, 30, 50, kOnC, {"Brown", ""}, {"Brown", ""}},                     // row 17 cMin
    {45, 53, 50, kOnC, {"Brown", ""}, {"Orange", ""}},                    // row 17 cMax
    {42, 60, 50, kOnJ, {"Brown", ""}, {"Orange", ""}},                    // row 18 jMax
    {40, 53, 50, kOnC, {"Brown", ""}, {"Brown", ""}},                     // row 18 cMin
    {40, 68, 50, kOnC, {"Brown", ""}, {"Orange", ""}},                    // row 18 cMax
    {72, 10, 50, kOnJ, {"Grey", "Brownish"}, {"Grey", "Orangish"}},       // row 15 jMax, dull
    {82, 20, 100, kOnJ, {"Brown", "Yellowish"}, {"Yellow", ""}},          // row 22 jMax
    {78, 30, 100, kOnC, {"Brown", "Yellowish"}, {"Yellow", ""}},          // row 22 cMax
    {74, 35, 100, kOnJ, {"Brown", "Yellowish"}, {"Yellow", ""}},          // row 23 jMax
    {70, 30, 100, kOnC, {"Brown", "Yellowish"}, {"Brown", "Yellowish"}},  // row 23 cMin
    {70, 43, 100, kOnC, {"Brown", "Yellowish"}, {"Yellow", ""}},          // row 23 cMax
    {68, 45, 100, kOnJ, {"Brown", "Yellowish"}, {"Yellow", ""}},          // row 24 jMax
    {66, 30, 100, kOnC, {"Brown", "Yellowish"}, {"Brown", "Yellowish"}},  // row 24 cMin
    {66, 53, 100, kOnC, {"Brown", "Yellowish"}, {"Yellow", ""}},          // row 24 cMax
    {64, 60, 100, kOnJ, {"Brown", "Yellowish"}, {"Yellow", ""}},          // row 25 jMax
    {60, 53, 100, kOnC, {"Brown", "Yellowish"}, {"Brown", "Yellowish"}},  // row 25 cMin
    {82, 10, 100, kOnJ, {"Grey", "Brownish"}, {"Grey", "Yellowish"}},     // row 22 jMax, dull
    // Hue edges of the dark and dull reds: rows 2-5 start at 398 ...
    {10, 50, 398, kOnH, {"Pink", "Reddish"}, {"Brown", "Reddish"}},
    {30, 17, 398, kOnH, {"Pink", "Reddish"}, {"Brown", "Reddish"}},
    {30, 25, 398, kOnH, {"Pink", "Reddish"}, {"Brown", "Reddish"}},
    {60, 30, 398, kOnH, {"Pink", "Reddish"}, {"Pink", "Reddish"}},
    // ... rows 8-11 start at 0 and end at 20, where the dark oranges begin.
    {10, 50, 0, kOnH, {"Color Not In Range", ""}, {"Brown", "Reddish"}},
    {30, 17, 0, kOnH, {"Color Not In Range", ""}, {"Brown", "Reddish"}},
    {30, 25, 0, kOnH, {"Color Not In Range", ""}, {"Brown", "Reddish"}},
    {60, 30, 0, kOnH, {"Color Not In Range", ""}, {"Pink", "Reddish"}},
    {10, 50, 20, kOnH, {"Brown", "Reddish"}, {"Brown", ""}},
    {30, 17, 20, kOnH, {"Brown", "Reddish"}, {"Brown", ""}},
    {30, 25, 20, kOnH, {"Brown", "Reddish"}, {"Brown", ""}},
    {60, 30, 20, kOnH, {"Pink", "Reddish"}, {"Orange", "Reddish"}},
    // Rows 15-18 span 20 to 80 ...
    {60, 20, 20, kOnH, {"Pink", "Reddish"}, {"Brown", ""}},
    {60, 29, 20, kOnH, {"Pink", "Reddish"}, {"Brown", ""}},
    {45, 40, 20, kOnH, {"Red", "Orangish"}, {"Brown", ""}},
    {35, 60, 20, kOnH, {"Red", "Orangish"}, {"Brown", ""}},
    {60, 20, 80, kOnH, {"Brown", ""}, {"Brown", "Yellowish"}},
    {60, 29, 80, kOnH, {"Brown", ""}, {"Brown", "Yellowish"}},
    {45, 40, 80, kOnH, {"Brown", ""}, {"Brown", "Yellowish"}},
    {35, 60, 80, kOnH, {"Brown", ""}, {"Brown", "Yellowish"}},
    // ... and rows 22-25 80 to 130.
    {70, 20, 80, kOnH, {"Brown", ""}, {"Brown", "Yellowish"}},
    {70, 35, 80, kOnH, {"Orange", "Yellowish"}, {"Brown", "Yellowish"}},
    {60, 45, 80, kOnH, {"Orange", "Yellowish"}, {"Brown", "Yellowish"}},
    {60, 60, 80, kOnH, {"Orange", "Yellowish"}, {"Brown", "Yellowish"}},
    {70, 20, 130, kOnH, {"Brown", "Yellowish"}, {"Green", "Yellowish"}},
    {70, 35, 130, kOnH, {"Brown", "Yellowish"}, {"Green", "Yellowish"}},
    {60, 45, 130, kOnH, {"Brown", "Yellowish"}, {"Green", "Yellowish"}},
    {60, 60, 130, kOnH, {"Brown", "Yellowish"}, {"Green", "Yellowish"}},
    // The bands: below chroma 4 a grey percentage, below 16 a hue hint ...
    {50, 4, 300, kOnC, {"Grey", "50%"}, {"Grey", "Bluish"}},
    {50, 16, 300, kOnC, {"Grey", "Bluish"}, {"Blue", ""}},
    // ... and black below lightness 1 in each of them ...
    {1, 2, 300, kOnJ, {"Black", ""}, {"Grey", "99%"}},
    {1, 10, 300, kOnJ, {"Black", ""}, {"Grey", "Bluish"}},
    {1, 50, 300, kOnJ, {"Black", ""}, {"Blue", ""}},
    // ... and white above 99 (the point one step above, 99 itself below).
    {Above(99), 2, 300, kOnJ, {"Grey", "1%"}, {"White", ""}},
    {Above(99), 10, 300, kOnJ, {"Grey", "Bluish"}, {"White", ""}},
    {Above(99), 50, 300, kOnJ, {"Blue", ""}, {"White", ""}},
};

TEST(NamingTable, LimitsOfTheOverridesAndTheBands) {
  for (const LimitCase& l : kLimits) ExpectLimit(l);
}

}  // namespace
