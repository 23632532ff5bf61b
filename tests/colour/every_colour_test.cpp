// Walks the whole 24-bit colour space through the pipeline: every value in
// range, every colour named, and (for the whole walk) the number of colours
// that show each name and qualifier. The sanitizer build passes a stride to
// keep its run short.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "test_support.h"
#include "wide_format.h"

namespace {

using namespace tintora;
using tintora_test::DebugSilence;
using tintora_test::Narrow;

unsigned Stride() {
  const char* text = std::getenv("TINTORA_COLOUR_STRIDE");
  const long value = text != nullptr ? std::strtol(text, nullptr, 10) : 1;
  return value > 0 ? static_cast<unsigned>(value) : 1u;
}

const char16_t* const kKnownNames[] = {u"Red",    u"Brown", u"Pink",  u"Orange",
                                       u"Yellow", u"Green", u"Cyan",  u"Blue",
                                       u"Violet", u"Grey",  u"White", u"Black"};
constexpr int kNameCount = 12;

// The qualifiers, and last a grey percentage of any value ("%").
const char16_t* const kKnownQualifiers[] = {
    u"",          u"Reddish", u"Orangish", u"Yellowish", u"Greenish", u"Cyanish", u"Bluish",
    u"Violetish", u"Pinkish", u"Violet",   u"Redish",    u"Brownish", u"%"};
constexpr int kQualifierCount = 13;
constexpr int kPercentQualifier = kQualifierCount - 1;

bool Same(const char16_t* a, const char16_t* b) {
  while (*a != 0 && *a == *b) ++a, ++b;
  return *a == *b;
}

int NameIndex(const char16_t* name) {
  for (int i = 0; i < kNameCount; ++i)
    if (Same(name, kKnownNames[i])) return i;
  return -1;
}

bool IsGreyPercentage(const char16_t* q) {
  // 1 to 99 followed by '%', no leading zero.
  const std::size_t length = Utf16Length(q);
  if (length < 2 || length > 3 || q[length - 1] != u'%' || q[0] < u'1' || q[0] > u'9') return false;
  return length == 2 || (q[1] >= u'0' && q[1] <= u'9');
}

int QualifierIndex(const char16_t* q) {
  if (IsGreyPercentage(q)) return kPercentQualifier;
  for (int i = 0; i < kPercentQualifier; ++i)
    if (Same(q, kKnownQualifiers[i])) return i;
  return -1;
}

// How many of the 16,777,216 colours show each name and qualifier, as the
// namer gave them when every colour had been checked against independent
// computations. A change to the naming that renames any colour changes a
// count or the digest below; pairs not listed show on no colour.
struct PairCount {
  const char16_t* name;
  const char16_t* qualifier;
  unsigned long count;
};

const PairCount kPairCounts[] = {
    {u"Black", u"", 31},
    {u"Blue", u"", 2310994},
    {u"Blue", u"Cyanish", 97785},
    {u"Blue", u"Violetish", 92980},
    {u"Brown", u"", 505654},
    {u"Brown", u"Reddish", 72047},
    {u"Brown", u"Yellowish", 568345},
    {u"Cyan", u"Bluish", 325127},
    {u"Cyan", u"Greenish", 352226},
    {u"Green", u"", 4522267},
    {u"Green", u"Cyanish", 376910},
    {u"Green", u"Yellowish", 164752},
    {u"Grey", u"%", 30923},
    {u"Grey", u"Bluish", 64247},
    {u"Grey", u"Brownish", 138234},
    {u"Grey", u"Cyanish", 34472},
    {u"Grey", u"Greenish", 150493},
    {u"Grey", u"Orangish", 25286},
    {u"Grey", u"Pinkish", 49681},
    {u"Grey", u"Redish", 17318},
    {u"Grey", u"Violetish", 98361},
    {u"Grey", u"Yellowish", 13716},
    {u"Orange", u"", 499120},
    {u"Orange", u"Reddish", 107535},
    {u"Orange", u"Yellowish", 59864},
    {u"Pink", u"", 1072831},
    {u"Pink", u"Reddish", 204094},
    {u"Pink", u"Violet", 108022},
    {u"Red", u"", 685805},
    {u"Red", u"Orangish", 59152},
    {u"Violet", u"", 3028024},
    {u"Violet", u"Bluish", 171370},
    {u"Violet", u"Pinkish", 287505},
    {u"White", u"", 244},
    {u"Yellow", u"", 405065},
    {u"Yellow", u"Greenish", 36403},
    {u"Yellow", u"Orangish", 40333},
};

// FNV-1a over "name\tqualifier\n" of every colour in order, percentages
// included: it moves when any colour's texts change.
constexpr std::uint64_t kTextsDigest = 0x81FC52F3CAF1268Eu;

void AddToDigest(std::uint64_t& digest, const char16_t* text, char16_t end) {
  for (const char16_t* p = text;; ++p) {
    const char16_t unit = *p != 0 ? *p : end;
    digest = (digest ^ unit) * 0x100000001B3u;
    if (*p == 0) break;
  }
}

TEST(EveryColour, StaysInRangeAndGetsAKnownName) {
  DebugSilence quiet;
  unsigned long pairsSeen[kNameCount][kQualifierCount] = {};
  std::uint64_t digest = 0xCBF29CE484222325u;
  const unsigned stride = Stride();
  unsigned long failures = 0;
  for (ColorRef color = 0; color <= 0xFFFFFFu; color += stride) {
    const AppearanceColor jch = XyzToAppearance(SrgbToXyz(color));
    const double j = jch.v[kJ], c = jch.v[kC], h = jch.v[kH];
    const bool inRange = std::isfinite(j) && std::isfinite(c) && std::isfinite(h) && j >= 0.0 &&
                         j <= 100.0 && c >= 0.0 && c < 113.0 && h >= 0.0 && h < 400.0;
    const bool matched = LastMatchingRule(jch) >= 0;
    const LabelTexts texts = NameColor(jch);
    const int name = NameIndex(texts.name);
    const int qualifier = QualifierIndex(texts.qualifier);
    const bool namedWell = name >= 0 && qualifier >= 0 && Utf16Length(texts.qualifier) <= 9;
    if (!inRange || !matched || !namedWell) {
      if (++failures <= 10)
        ADD_FAILURE() << std::hex << "colour 0x" << color << std::dec << ": J=" << j << " C=" << c
                      << " H=" << h << " row=" << LastMatchingRule(jch) << " name=\""
                      << Narrow(texts.name) << "\" qualifier=\"" << Narrow(texts.qualifier) << "\"";
    }
    if (namedWell) ++pairsSeen[name][qualifier];
    AddToDigest(digest, texts.name, u'\t');
    AddToDigest(digest, texts.qualifier, u'\n');
  }
  EXPECT_EQ(failures, 0u);
  if (stride != 1) return;  // the counts hold for the whole walk only
  for (int n = 0; n < kNameCount; ++n)
    for (int q = 0; q < kQualifierCount; ++q) {
      unsigned long expected = 0;
      for (const PairCount& pair : kPairCounts)
        if (Same(pair.name, kKnownNames[n]) && Same(pair.qualifier, kKnownQualifiers[q]))
          expected = pair.count;
      EXPECT_EQ(pairsSeen[n][q], expected)
          << '"' << Narrow(kKnownNames[n]) << "\" \"" << Narrow(kKnownQualifiers[q]) << '"';
    }
  EXPECT_EQ(digest, kTextsDigest) << std::hex << "0x" << digest;
}

}  // namespace
