// Colour names and qualifiers: the worked samples, the rules' boundaries,
// and values the model never produces.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "test_support.h"
#include "wide_format.h"

namespace {

using namespace tintora;
using tintora_test::Appearance;
using tintora_test::AppearanceOf;
using tintora_test::DebugSilence;
using tintora_test::Narrow;

struct NamedSample {
  unsigned r, g, b;
  const char* name;
  const char* qualifier;
};

const NamedSample kNamedSamples[] = {
    {255, 0, 0, "Red", ""},
    {0, 255, 0, "Green", ""},
    {0, 0, 255, "Blue", ""},
    {255, 255, 0, "Yellow", ""},
    {0, 255, 255, "Cyan", "Greenish"},
    {255, 0, 255, "Violet", ""},
    {255, 128, 0, "Orange", ""},
    {128, 64, 0, "Brown", ""},
    {128, 128, 0, "Brown", "Yellowish"},
    {255, 192, 203, "Pink", ""},
    {255, 255, 255, "White", ""},
    {254, 254, 254, "White", ""},
    {0, 0, 0, "Black", ""},
    {1, 1, 1, "Grey", "98%"},
    {128, 128, 128, "Grey", "56%"},
    {240, 240, 240, "Grey", "7%"},
    {100, 100, 110, "Grey", "Violetish"},
    // One colour for each of the other names and qualifiers the label shows.
    {0, 160, 192, "Blue", "Cyanish"},
    {64, 64, 160, "Blue", "Violetish"},
    {64, 0, 0, "Brown", "Reddish"},
    {0, 224, 255, "Cyan", "Bluish"},
    {0, 224, 192, "Green", "Cyanish"},
    {176, 192, 0, "Green", "Yellowish"},
    {160, 176, 192, "Grey", "Bluish"},
    {128, 96, 96, "Grey", "Brownish"},
    {224, 255, 255, "Grey", "Cyanish"},
    {16, 32, 16, "Grey", "Greenish"},
    {208, 192, 176, "Grey", "Orangish"},
    {24, 8, 16, "Grey", "Pinkish"},
    {192, 160, 160, "Grey", "Redish"},
    {224, 224, 192, "Grey", "Yellowish"},
    {255, 64, 0, "Orange", "Reddish"},
    {192, 128, 0, "Orange", "Yellowish"},
    {255, 192, 192, "Pink", "Reddish"},
    {96, 0, 64, "Pink", "Violet"},
    {192, 32, 0, "Red", "Orangish"},
    {64, 0, 192, "Violet", "Bluish"},
    {255, 0, 192, "Violet", "Pinkish"},
    {224, 232, 88, "Yellow", "Greenish"},
    {255, 192, 64, "Yellow", "Orangish"},
};

TEST(NameColor, NamesTheWorkedSamples) {
  DebugSilence quiet;
  for (const NamedSample& s : kNamedSamples) {
    const LabelTexts texts = NameColor(AppearanceOf(s.r, s.g, s.b));
    SCOPED_TRACE(testing::Message() << s.r << "," << s.g << "," << s.b);
    EXPECT_EQ(Narrow(texts.name), s.name);
    EXPECT_EQ(Narrow(texts.qualifier), s.qualifier);
  }
}

// Every grey percentage a screen colour can show, 1% to 98%: the level n of
// a neutral grey (n, n, n) that shows it.
const unsigned kGreyLevelOfPercent[99] = {
    0,   251, 249, 247, 245, 243, 241, 239, 237, 234, 232, 230, 228, 226, 224, 222, 219,
    217, 215, 213, 211, 209, 206, 204, 202, 200, 198, 195, 193, 191, 189, 186, 184, 182,
    180, 177, 175, 173, 170, 168, 166, 163, 161, 159, 156, 154, 152, 149, 147, 145, 142,
    140, 137, 135, 132, 130, 127, 125, 122, 120, 117, 115, 112, 110, 107, 104, 102, 99,
    96,  94,  91,  88,  85,  83,  80,  77,  74,  71,  68,  65,  62,  59,  56,  53,  50,
    47,  44,  40,  37,  33,  30,  26,  22,  18,  14,  10,  6,   3,   1};

TEST(NameColor, NamesEveryGreyPercentage) {
  DebugSilence quiet;
  for (int percent = 1; percent <= 98; ++percent) {
    const unsigned n = kGreyLevelOfPercent[percent];
    const LabelTexts texts = NameColor(AppearanceOf(n, n, n));
    EXPECT_EQ(Narrow(texts.name), "Grey") << n;
    EXPECT_EQ(Narrow(texts.qualifier), std::to_string(percent) + "%") << n;
  }
}

struct RuleCase {
  double j, c, h;
  const char* name;
  const char* qualifier;
};

// Boundaries of the rules, fed straight to the namer.
const RuleCase kRuleCases[] = {
    {50, 50, 0, "Red", ""},           // lower bounds are inclusive
    {50, 50, 18, "Red", "Orangish"},  // upper bounds are exclusive
    {50, 50, 398, "Red", ""},
    {10, 50, 399, "Brown", "Reddish"},  // a dark red is brown
    {60, 30, 10, "Pink", "Reddish"},    // a light dull red is pink
    {50, 50, 257.9, "Cyan", "Greenish"},
    {50, 50, 258, "Cyan", "Bluish"},  // the plain cyan row never matches
    {50, 50, 371, "Pink", "Violet"},
    {50, 50, 319, "Violet", "Bluish"},
    {50, 50, 400.5, "Red", ""},
    {99, 50, 100, "Yellow", ""},  // 99 is not white
    {99.0001, 50, 100, "White", ""},
    {1, 50, 300, "Blue", ""},  // 1 is not black
    {0.9999, 50, 300, "Black", ""},
    {43.4, 3.9999, 150, "Grey", "56%"},  // below chroma 4: a grey percentage
    {80, 4, 50, "Grey", "Orangish"},     // the "e" goes before "ish"
    {43.4, 4, 50, "Grey", "Brownish"},   // a dark dull orange is a brown
    {43.4, 4, 300, "Grey", "Bluish"},
    {43.4, 4, 10, "Grey", "Brownish"},  // a brown override gives "Brownish"
    {60, 4, 10, "Grey", "Redish"},
    {43.4, 15.999, 150, "Grey", "Greenish"},
    {43.4, 16, 150, "Green", ""},
    {50, 50, 401, "Color Not In Range", ""},  // beyond every hue range
    {50, 10, -1, "Grey", "Color Not In Rangish"},
    {50, 2, -1, "Grey", "50%"},
    {99.5, 2, 500, "White", ""},
    {0.5, 10, 500, "Black", ""},
};

TEST(NameColor, AppliesTheRuleBoundaries) {
  for (const RuleCase& c : kRuleCases) {
    const LabelTexts texts = NameColor(Appearance(c.j, c.c, c.h));
    SCOPED_TRACE(testing::Message() << "J=" << c.j << " C=" << c.c << " H=" << c.h);
    EXPECT_EQ(Narrow(texts.name), c.name);
    EXPECT_EQ(Narrow(texts.qualifier), c.qualifier);
  }
}

TEST(NamingTable, GeneralHueRowsCoverEveryHueWithoutGaps) {
  // Rows spanning all lightness and chroma: their hue ranges tile [0, 401).
  for (double h = 0.0; h < 401.0; h += 0.01) {
    bool covered = false;
    for (const NamingRule& rule : NamingTable)
      if (rule.jMin == 0 && rule.jMax == 1000 && rule.cMin == 0 && rule.cMax == 1000 &&
          rule.hMin <= h && h < rule.hMax)
        covered = true;
    ASSERT_TRUE(covered) << "hue " << h;
  }
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct OddCase {
  double j, c, h;
  const char* name;  // nullptr: anything terminated and short enough
};

const OddCase kOddCases[] = {
    {kNaN, kNaN, kNaN, "Color Not In Range"},
    {50, kNaN, 100, "Color Not In Range"},  // no chroma band applies
    {kNaN, 50, 100, "Color Not In Range"},
    {kInf, 50, 100, "White"},
    {-kInf, 50, 100, "Black"},
    {50, kInf, 100, "Color Not In Range"},
    {50, -kInf, 100, "Grey"},
    {kNaN, 2, 100, "Grey"},
    {50, 50, kInf, "Color Not In Range"},
    {1e308, -1e308, 1e308, "White"},
    {-1e308, 1e308, -1e308, "Black"},
};

TEST(NameColor, SurvivesValuesOutsideTheModel) {
  for (const OddCase& c : kOddCases) {
    const LabelTexts texts = NameColor(Appearance(c.j, c.c, c.h));
    SCOPED_TRACE(testing::Message() << "J=" << c.j << " C=" << c.c << " H=" << c.h);
    EXPECT_LE(Utf16Length(texts.name), kLabelTextUnits - 1);
    EXPECT_LE(Utf16Length(texts.qualifier), kLabelTextUnits - 1);
    if (c.name != nullptr) {
      EXPECT_EQ(Narrow(texts.name), c.name);
    }
  }
}

TEST(XyzToAppearance, SurvivesNonNumbersAndHugeValues) {
  DebugSilence quiet;
  const double odd[] = {kNaN, kInf, -kInf, 1e308, -1e308, 0.0, -5.0, 5e-324};
  for (double x : odd)
    for (double y : odd)
      for (double z : odd) {
        const AppearanceColor jch = XyzToAppearance(XyzColor{{x, y, z, 1.0}});
        const LabelTexts texts = NameColor(jch);
        ASSERT_LE(Utf16Length(texts.name), kLabelTextUnits - 1);
        ASSERT_LE(Utf16Length(texts.qualifier), kLabelTextUnits - 1);
        ASSERT_EQ(texts.name[kLabelTextUnits - 1], 0);
      }
  const LabelTexts texts = NameColor(XyzToAppearance(XyzColor{{kNaN, kNaN, kNaN, 1.0}}));
  EXPECT_EQ(Narrow(texts.name), "Color Not In Range");
  EXPECT_EQ(Narrow(texts.qualifier), "");
}

TEST(LabelTexts, StartAsMossvane) {
  const LabelTexts texts = InitialLabelTexts();
  EXPECT_EQ(Narrow(texts.name), "Mossvane");
  EXPECT_EQ(Narrow(texts.qualifier), "");
}

}  // namespace
