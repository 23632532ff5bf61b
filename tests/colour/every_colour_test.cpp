// Walks the whole 24-bit colour space through the pipeline. The sanitizer
// build passes a stride to keep its run short.
#include <gtest/gtest.h>

#include <cmath>
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

const char16_t* const kKnownWords[] = {u"",         u"Reddish", u"Orangish", u"Yellowish",
                                       u"Greenish", u"Cyanish", u"Bluish",   u"Violetish",
                                       u"Pinkish",  u"Violet",  u"Redish",   u"Brownish"};

bool Same(const char16_t* a, const char16_t* b) {
  while (*a != 0 && *a == *b) ++a, ++b;
  return *a == *b;
}

int NameIndex(const char16_t* name) {
  for (int i = 0; i < kNameCount; ++i)
    if (Same(name, kKnownNames[i])) return i;
  return -1;
}

bool KnownQualifier(const char16_t* q) {
  for (const char16_t* word : kKnownWords)
    if (Same(q, word)) return true;
  // A grey percentage: 1 to 99 followed by '%', no leading zero.
  const std::size_t length = Utf16Length(q);
  if (length < 2 || length > 3 || q[length - 1] != u'%' || q[0] < u'1' || q[0] > u'9') return false;
  return length == 2 || (q[1] >= u'0' && q[1] <= u'9');
}

TEST(EveryColour, StaysInRangeAndGetsAKnownName) {
  DebugSilence quiet;
  unsigned long namesSeen[kNameCount] = {};
  const unsigned stride = Stride();
  unsigned long failures = 0;
  for (ColorRef color = 0; color <= 0xFFFFFFu; color += stride) {
    const AppearanceColor jch = XyzToAppearance(SrgbToXyz(color));
    const double j = jch.v[kJ], c = jch.v[kC], h = jch.v[kH];
    const bool inRange = std::isfinite(j) && std::isfinite(c) && std::isfinite(h) && j >= 0.0 &&
                         j <= 100.0 && c >= 0.0 && c < 113.0 && h >= 0.0 && h < 400.0;
    const bool matched = LastMatchingRule(jch) >= 0;
    NameColor(jch);
    const int name = NameIndex(NameText);
    const bool namedWell =
        name >= 0 && KnownQualifier(QualifierText) && Utf16Length(QualifierText) <= 9;
    if (!inRange || !matched || !namedWell) {
      if (++failures <= 10)
        ADD_FAILURE() << std::hex << "colour 0x" << color << std::dec << ": J=" << j << " C=" << c
                      << " H=" << h << " row=" << LastMatchingRule(jch) << " name=\""
                      << Narrow(NameText) << "\" qualifier=\"" << Narrow(QualifierText) << "\"";
    }
    if (name >= 0) ++namesSeen[name];
  }
  EXPECT_EQ(failures, 0u);
  if (stride == 1) {
    // Every name of the table is reachable from some screen colour.
    for (int i = 0; i < kNameCount; ++i) EXPECT_GT(namesSeen[i], 0u) << Narrow(kKnownNames[i]);
  }
}

}  // namespace
