#include "colour_pipeline.h"
#include "wide_format.h"

namespace tintora {

// The last matching row wins, so the dark and dull overrides of a hue come
// after its general rows. Row 29 has an empty hue range and never matches:
// the cyan hues always carry "Greenish" or "Bluish".
const NamingRule NamingTable[kNamingRuleCount] = {
    {u"Red", u"", 0, 1000, 0, 1000, 398, 401},
    {u"Brown", u"Reddish", 0, 17, 0, 1000, 398, 401},
    {u"Brown", u"Reddish", 17, 53, 0, 19, 398, 401},
    {u"Brown", u"Reddish", 17, 44, 19, 32, 398, 401},
    {u"Pink", u"Reddish", 53, 1000, 19, 49, 398, 401},
    {u"Red", u"", 0, 1000, 0, 1000, 0, 18},
    {u"Red", u"Orangish", 0, 1000, 0, 1000, 18, 20},
    {u"Brown", u"Reddish", 0, 17, 0, 1000, 0, 20},
    {u"Brown", u"Reddish", 17, 53, 0, 19, 0, 20},
    {u"Brown", u"Reddish", 17, 44, 19, 32, 0, 20},
    {u"Pink", u"Reddish", 53, 1000, 19, 49, 0, 20},
    {u"Orange", u"", 0, 1000, 0, 1000, 26, 74},
    {u"Orange", u"Reddish", 0, 1000, 0, 1000, 20, 26},
    {u"Orange", u"Yellowish", 0, 1000, 0, 1000, 74, 80},
    {u"Brown", u"", 0, 72, 0, 28, 20, 80},
    {u"Brown", u"", 0, 65, 28, 30, 20, 80},
    {u"Brown", u"", 0, 51, 30, 53, 20, 80},
    {u"Brown", u"", 0, 42, 53, 68, 20, 80},
    {u"Yellow", u"", 0, 1000, 0, 1000, 88, 128},
    {u"Yellow", u"Orangish", 0, 1000, 0, 1000, 80, 88},
    {u"Yellow", u"Greenish", 0, 1000, 0, 1000, 128, 130},
    {u"Brown", u"Yellowish", 0, 82, 0, 30, 80, 130},
    {u"Brown", u"Yellowish", 0, 74, 30, 43, 80, 130},
    {u"Brown", u"Yellowish", 0, 68, 30, 53, 80, 130},
    {u"Brown", u"Yellowish", 0, 64, 53, 1000, 80, 130},
    {u"Green", u"", 0, 1000, 0, 1000, 135, 220},
    {u"Green", u"Yellowish", 0, 1000, 0, 1000, 130, 135},
    {u"Green", u"Cyanish", 0, 1000, 0, 1000, 220, 240},
    {u"Cyan", u"", 0, 1000, 0, 1000, 258, 258},
    {u"Cyan", u"Greenish", 0, 1000, 0, 1000, 240, 258},
    {u"Cyan", u"Bluish", 0, 1000, 0, 1000, 258, 275},
    {u"Blue", u"", 0, 1000, 0, 1000, 280, 317},
    {u"Blue", u"Cyanish", 0, 1000, 0, 1000, 275, 280},
    {u"Blue", u"Violetish", 0, 1000, 0, 1000, 317, 318},
    {u"Violet", u"", 0, 1000, 0, 1000, 320, 365},
    {u"Violet", u"Bluish", 0, 1000, 0, 1000, 318, 320},
    {u"Violet", u"Pinkish", 0, 1000, 0, 1000, 365, 370},
    {u"Pink", u"", 0, 1000, 0, 1000, 372, 395},
    {u"Pink", u"Violet", 0, 1000, 0, 1000, 370, 372},
    {u"Pink", u"Reddish", 0, 1000, 0, 1000, 395, 398},
};

namespace {

constexpr std::size_t kWorkingBytes = kWorkingTextUnits * sizeof(Utf16Char);
constexpr std::size_t kLabelBytes = kLabelTextUnits * sizeof(Utf16Char);

bool Matches(const NamingRule& rule, double j, double c, double h) {
  return rule.hMin <= h && h < rule.hMax && rule.jMin <= j && j < rule.jMax && rule.cMin <= c &&
         c < rule.cMax;
}

}  // namespace

int LastMatchingRule(const AppearanceColor& appearance) {
  const double j = appearance.v[kJ], c = appearance.v[kC], h = appearance.v[kH];
  int last = -1;
  for (int i = 0; i < kNamingRuleCount; ++i)
    if (Matches(NamingTable[i], j, c, h)) last = i;
  return last;
}

LabelTexts NameColor(const AppearanceColor& appearance) {
  const double j = appearance.v[kJ], c = appearance.v[kC];
  // The working name and qualifier point at constant texts until a rule has
  // to compose one; the result is the same as copying them at each step.
  const Utf16Char* name = u"Color Not In Range";
  const Utf16Char* qualifier = u"";
  Utf16Char composed[kWorkingTextUnits];

  const int row = LastMatchingRule(appearance);
  if (row >= 0) {
    name = NamingTable[row].name;
    qualifier = NamingTable[row].qualifier;
  }

  // The lightness extremes win in every chroma band; strict comparisons, so
  // J of exactly 99 is not white and exactly 1 is not black.
  const bool chromaKnown = c < 4.0 || c >= 4.0;  // false only for a non-number
  if (chromaKnown && j > 99.0) {
    name = u"White";
    qualifier = u"";
  } else if (chromaKnown && j < 1.0) {
    name = u"Black";
    qualifier = u"";
  } else if (c < 4.0) {
    FormatWide(composed, kWorkingBytes, u"%i%%", TruncateToInt(100.0 - j));
    name = u"Grey";
    qualifier = composed;
  } else if (c < 16.0) {
    // "Orange" gives "Orangish", "Blue" "Bluish": a final lowercase "e" goes.
    FormatWide(composed, kWorkingBytes, u"%s", name);
    const std::size_t length = Utf16Length(composed);
    if (length > 0 && composed[length - 1] == u'e') composed[length - 1] = 0;
    Utf16Char stem[kWorkingTextUnits];
    FormatWide(stem, kWorkingBytes, u"%s", composed);
    FormatWide(composed, kWorkingBytes, u"%sish", stem);
    name = u"Grey";
    qualifier = composed;
  }

  LabelTexts texts{};  // zero past the terminators, as a fresh buffer is
  FormatWide(texts.name, kLabelBytes, u"%s", name);
  FormatWide(texts.qualifier, kLabelBytes, u"%s", qualifier);
  return texts;
}

LabelTexts InitialLabelTexts() {
  LabelTexts texts{};  // zero past the terminators, as a fresh buffer is
  FormatWide(texts.name, kLabelBytes, u"%s", u"Mossvane");
  texts.qualifier[0] = 0;
  return texts;
}

}  // namespace tintora
