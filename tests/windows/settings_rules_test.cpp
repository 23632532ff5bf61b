#include "settings_rules.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace tintora {
namespace {

// ---- Stored position patterns ---------------------------------------------

struct PatternCase {
  std::uint32_t pattern;
  std::int32_t position;
};

TEST(StoredPosition, PatternsDecodeAsTwosComplement) {
  const PatternCase cases[] = {
      {0x00000000u, 0},         {0x00000001u, 1},         {0x000004B0u, 1200},
      {0x7FFFFFFFu, INT32_MAX}, {0x80000000u, INT32_MIN}, {0x80000001u, INT32_MIN + 1},
      {0xFFFFFFFFu, -1},        {0xFFFFFA24u, -1500},     {0xFFFFFED4u, -300},
      {0xFFFFF800u, -2048},
  };
  for (const PatternCase& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(PositionFromPattern(c.pattern), c.position);
    EXPECT_EQ(PatternFromPosition(c.position), c.pattern);
    EXPECT_EQ(PositionFromPattern(PatternFromPosition(c.position)), c.position);
  }
}

TEST(StoredPosition, OnlyFourByteValuesCount) {
  EXPECT_EQ(DecodeStoredPosition(0xFFFFFA24u, 4), std::optional<std::int32_t>(-1500));
  EXPECT_EQ(DecodeStoredPosition(0u, 4), std::optional<std::int32_t>(0));
  for (std::uint32_t size : {0u, 1u, 2u, 3u, 5u, 8u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(size);
    EXPECT_FALSE(DecodeStoredPosition(0x12u, size).has_value());
  }
}

// ---- Moving the placement --------------------------------------------------

struct MoveCase {
  const char* what;
  Rect current;
  std::int32_t x;
  std::int32_t y;
  bool applies;
  Rect expected;
};

TEST(MovePlacement, KeepsSizeAndRefusesOverflow) {
  const MoveCase cases[] = {
      {"plain move", {10, 20, 210, 70}, 300, 400, true, {300, 400, 500, 450}},
      {"same place", {10, 20, 210, 70}, 10, 20, true, {10, 20, 210, 70}},
      {"monitor left and above", {0, 0, 180, 60}, -1500, -300, true, {-1500, -300, -1320, -240}},
      {"from negative to positive", {-1500, -300, -1320, -240}, 5, 6, true, {5, 6, 185, 66}},
      {"empty rectangle", {7, 7, 7, 7}, -3, 9, true, {-3, 9, -3, 9}},
      {"right edge lands on INT_MAX",
       {0, 0, 100, 50},
       INT32_MAX - 100,
       0,
       true,
       {INT32_MAX - 100, 0, INT32_MAX, 50}},
      {"bottom edge lands on INT_MAX",
       {0, 0, 100, 50},
       0,
       INT32_MAX - 50,
       true,
       {0, INT32_MAX - 50, 100, INT32_MAX}},
      {"left at INT_MIN",
       {0, 0, 100, 50},
       INT32_MIN,
       INT32_MIN,
       true,
       {INT32_MIN, INT32_MIN, INT32_MIN + 100, INT32_MIN + 50}},
      {"x at INT_MAX", {0, 0, 100, 50}, INT32_MAX, 0, false, {}},
      {"y at INT_MAX", {0, 0, 100, 50}, 0, INT32_MAX, false, {}},
      {"right one past INT_MAX", {0, 0, 100, 50}, INT32_MAX - 99, 0, false, {}},
      {"bottom one past INT_MAX", {0, 0, 100, 50}, 0, INT32_MAX - 49, false, {}},
      // An inverted rectangle has a negative size; moving it can go below INT_MIN.
      {"inverted below INT_MIN", {100, 0, 0, 50}, INT32_MIN, 0, false, {}},
      {"inverted stays inside",
       {100, 50, 0, 0},
       INT32_MIN + 100,
       INT32_MIN + 50,
       true,
       {INT32_MIN + 100, INT32_MIN + 50, INT32_MIN, INT32_MIN}},
      // The current size itself exceeds 32 bits; only the result must fit.
      {"full-range width",
       {INT32_MIN, 0, INT32_MAX, 10},
       INT32_MIN,
       0,
       true,
       {INT32_MIN, 0, INT32_MAX, 10}},
      {"full-range width moved", {INT32_MIN, 0, INT32_MAX, 10}, INT32_MIN + 1, 0, false, {}},
  };
  for (const MoveCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<Rect> moved = MovePlacement(c.current, c.x, c.y);
    ASSERT_EQ(moved.has_value(), c.applies);
    if (c.applies) {
      EXPECT_TRUE(*moved == c.expected);
      EXPECT_EQ(static_cast<std::int64_t>(moved->right) - moved->left,
                static_cast<std::int64_t>(c.current.right) - c.current.left);
      EXPECT_EQ(static_cast<std::int64_t>(moved->bottom) - moved->top,
                static_cast<std::int64_t>(c.current.bottom) - c.current.top);
    }
  }
}

// ---- Module path results ---------------------------------------------------

struct PathCase {
  const char* what;
  std::uint32_t returned;
  std::uint32_t buffer;
  std::uint32_t lastError;
  ModulePathResult result;
};

TEST(ModulePath, WholeOnlyWhenShorterThanTheBuffer) {
  constexpr std::uint32_t kInsufficient = 122;
  const PathCase cases[] = {
      {"no path", 0, 260, 0, ModulePathResult::Failed},
      {"no path, error set", 0, 260, 6, ModulePathResult::Failed},
      {"short path", 30, 260, 0, ModulePathResult::Whole},
      {"259 units fit MAX_PATH", 259, 260, 0, ModulePathResult::Whole},
      {"260 units fill MAX_PATH", 260, 260, kInsufficient, ModulePathResult::Truncated},
      // Older systems report the cut without setting the error code.
      {"filled buffer, no error", 260, 260, 0, ModulePathResult::Truncated},
      {"insufficient buffer reported", 100, 260, kInsufficient, ModulePathResult::Truncated},
      {"longest path in the largest buffer", 32767, 32768, 0, ModulePathResult::Whole},
      {"largest buffer filled", 32768, 32768, kInsufficient, ModulePathResult::Truncated},
      {"zero-size buffer", 0, 0, 0, ModulePathResult::Failed},
  };
  for (const PathCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ClassifyModulePath(c.returned, c.buffer, c.lastError), c.result);
  }
}

TEST(ModulePath, BufferGrowsToTheLimitThenStops) {
  std::vector<std::uint32_t> sizes;
  for (std::uint32_t units = kInitialModulePathBufferUnits; units != 0;
       units = NextModulePathBufferUnits(units)) {
    sizes.push_back(units);
    ASSERT_LT(sizes.size(), 32u) << "the buffer must stop growing";
  }
  ASSERT_GE(sizes.size(), 2u);
  EXPECT_EQ(sizes.front(), 260u);
  EXPECT_EQ(sizes.back(), kMaxModulePathBufferUnits);
  for (std::size_t i = 1; i < sizes.size(); ++i) {
    EXPECT_GT(sizes[i], sizes[i - 1]);
  }
  EXPECT_EQ(NextModulePathBufferUnits(0), kInitialModulePathBufferUnits);
  EXPECT_EQ(NextModulePathBufferUnits(kMaxModulePathBufferUnits - 1), kMaxModulePathBufferUnits);
  EXPECT_EQ(NextModulePathBufferUnits(kMaxModulePathBufferUnits + 5), 0u);
}

// ---- The quoted Run value ----------------------------------------------------

std::u16string PathOfLength(std::size_t units) {
  std::u16string path = u"C:\\Program Files\\";
  while (path.size() + 4 < units) {
    path += u'd';
  }
  path.resize(units >= 4 ? units - 4 : units, u'x');
  if (units >= 4) {
    path += u".exe";
  }
  return path;
}

TEST(RunValue, PathIsQuotedAndTerminated) {
  const std::u16string path = u"C:\\Program Files\\Tintora\\tintora.exe";
  std::vector<Utf16Char> dest(RunValueUnits(path.size()), u'#');
  const std::optional<std::uint32_t> bytes =
      BuildRunValue(path.data(), path.size(), dest.data(), dest.size());
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(std::u16string(dest.data()), u"\"C:\\Program Files\\Tintora\\tintora.exe\"");
  EXPECT_EQ(*bytes, 2u * (path.size() + 3));
  EXPECT_EQ(dest.back(), u'\0');
}

TEST(RunValue, LengthsUpToTheLongestPath) {
  for (std::size_t units : {std::size_t{1}, std::size_t{259}, std::size_t{260}, std::size_t{261},
                            std::size_t{1000}, std::size_t{32766}, std::size_t{32767}}) {
    SCOPED_TRACE(units);
    const std::u16string path = PathOfLength(units);
    ASSERT_EQ(path.size(), units);
    std::vector<Utf16Char> dest(RunValueUnits(units), u'#');
    const std::optional<std::uint32_t> bytes =
        BuildRunValue(path.data(), units, dest.data(), dest.size());
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, 2u * (units + 3));
    const std::u16string value(dest.data());
    EXPECT_EQ(value, u"\"" + path + u"\"") << "the whole path, never cut short";
  }
}

TEST(RunValue, RefusesWhatCannotBeStoredWhole) {
  const std::u16string good = u"C:\\Tintora\\tintora.exe";
  const std::u16string tooLong = PathOfLength(kMaxModulePathUnits + 1);
  const std::u16string quoted = u"C:\\a\"b\\tintora.exe";
  const std::u16string withNull(u"C:\\a\0b\\tintora.exe", 18);
  struct RefuseCase {
    const char* what;
    const Utf16Char* path;
    std::size_t units;
    std::size_t destUnits;
  };
  const RefuseCase cases[] = {
      {"empty path", good.data(), 0, 16},
      {"no path", nullptr, 5, 16},
      {"longer than any module path", tooLong.data(), tooLong.size(), tooLong.size() + 3},
      {"path with a quote", quoted.data(), quoted.size(), quoted.size() + 3},
      {"path with a null", withNull.data(), withNull.size(), withNull.size() + 3},
      {"no room for the closing quote", good.data(), good.size(), good.size() + 1},
      {"no room for the terminator", good.data(), good.size(), good.size() + 2},
  };
  for (const RefuseCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Utf16Char> dest(c.destUnits, u'#');
    EXPECT_FALSE(BuildRunValue(c.path, c.units, dest.data(), dest.size()).has_value());
    EXPECT_EQ(dest[0], u'\0') << "a refused value leaves an empty text";
  }
  EXPECT_FALSE(BuildRunValue(good.data(), good.size(), nullptr, 0).has_value());
}

}  // namespace
}  // namespace tintora
