#include "label_core.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tintora {
namespace {

std::u16string Text(const Utf16Char* text) { return std::u16string(text); }

struct PauseCase {
  int paused;
  std::uint16_t flags;
  int expected;
};

class PauseRule : public ::testing::TestWithParam<PauseCase> {};

TEST_P(PauseRule, OnlyExactLeftTransitionsChangeTheFlag) {
  const PauseCase c = GetParam();
  EXPECT_EQ(NextSamplingPaused(c.paused, c.flags), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    ButtonFlags, PauseRule,
    ::testing::Values(PauseCase{0, 0x0001, 1},                           // left press pauses
                      PauseCase{1, 0x0001, 1}, PauseCase{1, 0x0002, 0},  // left release resumes
                      PauseCase{0, 0x0002, 0}, PauseCase{0, 0x0000, 0},  // plain move
                      PauseCase{1, 0x0000, 1},
                      PauseCase{0, 0x0005, 0},  // left and right pressed together
                      PauseCase{1, 0x0006, 1},  // left release with right press
                      PauseCase{1, 0x0008, 1},  // right release
                      PauseCase{0, 0x0400, 0},  // wheel
                      PauseCase{1, 0x0400, 1}));

TEST(LabelState, StartsBlackWithTheProgramsName) {
  const LabelState state = InitialLabelState();
  EXPECT_EQ(state.sampleColor, 0u);
  EXPECT_EQ(state.lastColor, 0u);
  EXPECT_EQ(state.samplingPaused, 0);
  EXPECT_EQ(Text(state.texts.name), u"Mossvane");
  EXPECT_EQ(Text(state.texts.qualifier), u"");
}

// Where the label samples, for a pointer around a label at (100, 200)-(226, 220).
struct PointCase {
  int paused;
  Point pointer;
  bool samples;
};

class SamplePoint : public ::testing::TestWithParam<PointCase> {};

TEST_P(SamplePoint, NoneWhilePausedOrOverTheLabel) {
  const PointCase c = GetParam();
  LabelState state = InitialLabelState();
  state.samplingPaused = c.paused;
  ApplyPointerReport(&state, 0);  // a move
  const Rect label{100, 200, 226, 220};
  const std::optional<Point> at = PointToSample(&state, label, c.pointer);
  ASSERT_EQ(at.has_value(), c.samples);
  if (at) {
    EXPECT_EQ(at->x, c.pointer.x);
    EXPECT_EQ(at->y, c.pointer.y);
  }
  // The label and the pointer are kept, paused or not.
  EXPECT_EQ(state.labelScreenRect, label);
  EXPECT_EQ(state.pointerPos.x, c.pointer.x);
  EXPECT_EQ(state.pointerPos.y, c.pointer.y);
}

INSTANTIATE_TEST_SUITE_P(
    AroundTheLabel, SamplePoint,
    ::testing::Values(PointCase{0, {50, 50}, true}, PointCase{1, {50, 50}, false},
                      PointCase{0, {100, 200}, false},  // left and top edges are the label's
                      PointCase{0, {225, 219}, false},
                      PointCase{0, {226, 210}, true},  // right and bottom edges are not
                      PointCase{0, {150, 220}, true}, PointCase{0, {99, 210}, true}));

TEST(LabelSample, OnlyANewColourIsNamedAndRepainted) {
  LabelState state = InitialLabelState();
  // The first sample of pure black names nothing: black is the starting colour.
  EXPECT_FALSE(ApplySample(&state, MakeColorRef(0, 0, 0)));
  EXPECT_EQ(Text(state.texts.name), u"Mossvane");
  EXPECT_TRUE(ApplySample(&state, MakeColorRef(255, 128, 0)));
  EXPECT_EQ(Text(state.texts.name), u"Orange");
  EXPECT_EQ(state.lastColor, MakeColorRef(255, 128, 0));
  EXPECT_FALSE(ApplySample(&state, MakeColorRef(255, 128, 0)));
  EXPECT_TRUE(ApplySample(&state, MakeColorRef(128, 128, 128)));
  EXPECT_EQ(Text(state.texts.name), u"Grey");
  EXPECT_EQ(Text(state.texts.qualifier), u"56%");
  EXPECT_EQ(state.sampleColor, MakeColorRef(128, 128, 128));
}

// A burst: the reports read before the label samples, in order, and where
// the pointer is when the burst ends.
struct BurstCase {
  const char* what;
  int pausedBefore;
  std::vector<std::uint16_t> reports;
  Point pointerAtEnd;
  bool samples;
  int pausedAfter;
};

constexpr std::uint16_t kMove = 0;
constexpr Rect kLabel{0, 0, 126, 20};
constexpr Point kAway{500, 300};
constexpr Point kOnLabel{60, 10};

class Burst : public ::testing::TestWithParam<BurstCase> {};

TEST_P(Burst, EveryTransitionInOrderThenOneSample) {
  const BurstCase c = GetParam();
  LabelState state = InitialLabelState();
  state.samplingPaused = c.pausedBefore;
  for (std::uint16_t flags : c.reports) ApplyPointerReport(&state, flags);
  // Whether to look for the pointer at all: a report came and nothing holds the button.
  EXPECT_EQ(SampleWanted(state), !c.reports.empty() && c.pausedAfter == 0);
  EXPECT_EQ(PointToSample(&state, kLabel, c.pointerAtEnd).has_value(), c.samples);
  EXPECT_EQ(state.samplingPaused, c.pausedAfter);
  // One sample per burst: without a new report there is nothing more to do.
  EXPECT_FALSE(PointToSample(&state, kLabel, c.pointerAtEnd).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Reports, Burst,
    ::testing::Values(
        BurstCase{"one move", 0, {kMove}, kAway, true, 0},
        BurstCase{"no report", 0, {}, kAway, false, 0},
        BurstCase{"many moves", 0, {kMove, kMove, kMove, kMove}, kAway, true, 0},
        BurstCase{"the press pauses", 0, {kMove, kLeftButtonDown, kMove}, kAway, false, 1},
        BurstCase{"press and release", 0, {kLeftButtonDown, kMove, kLeftButtonUp}, kAway, true, 0},
        BurstCase{"the release samples", 1, {kMove, kLeftButtonUp}, kAway, true, 0},
        BurstCase{"release, press again", 1, {kLeftButtonUp, kLeftButtonDown}, kAway, false, 1},
        BurstCase{"moves while held", 1, {kMove, kMove}, kAway, false, 1},
        BurstCase{"ends over the label", 0, {kMove, kMove}, kOnLabel, false, 0},
        BurstCase{"left and right pressed together", 0, {0x0005}, kAway, true, 0},
        BurstCase{"wheel and right button", 0, {0x0400, 0x0004, 0x0008}, kAway, true, 0}),
    [](const ::testing::TestParamInfo<BurstCase>& test) {
      std::string name;
      for (const char* p = test.param.what; *p != 0; ++p)
        if ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z')) name += *p;
      return name;
    });

TEST(LabelMenu, CommandsCompareTheWholeIdentifier) {
  EXPECT_EQ(MenuCommandFromId(2001), MenuCommand::Exit);
  EXPECT_EQ(MenuCommandFromId(2002), MenuCommand::About);
  EXPECT_EQ(MenuCommandFromId(2003), MenuCommand::ToggleAutostart);
  EXPECT_EQ(MenuCommandFromId(0), MenuCommand::None);
  EXPECT_EQ(MenuCommandFromId(2004), MenuCommand::None);
  // A notification code in the high word is not a menu command.
  EXPECT_EQ(MenuCommandFromId((1u << 16) | 2001u), MenuCommand::None);
}

TEST(LabelMenu, ItemsAndTheAutostartToggle) {
  ASSERT_EQ(kLabelMenuItemCount, 3);
  EXPECT_EQ(kLabelMenuItems[0].id, kCmdLaunchOnStartup);
  EXPECT_EQ(Text(kLabelMenuItems[0].text), u"Launch on startup");
  EXPECT_EQ(Text(kLabelMenuItems[1].text), u"About");
  EXPECT_EQ(Text(kLabelMenuItems[2].text), u"Exit");
  EXPECT_EQ(MenuCommandFromId(kLabelMenuItems[2].id), MenuCommand::Exit);
  const AutostartToggle on = ToggleAutostart(0);
  EXPECT_TRUE(on.enable);
  EXPECT_EQ(on.flagAfter, 1);
  const AutostartToggle off = ToggleAutostart(1);
  EXPECT_FALSE(off.enable);
  EXPECT_EQ(off.flagAfter, 0);
}

TEST(Utf16Text, ConversionsToUtf8AndCodePoints) {
  EXPECT_EQ(Utf8FromUtf16(u"Grey 56%"), "Grey 56%");
  EXPECT_EQ(Utf8FromUtf16(u"\u00A9 \u20AC \U0001F600"), "\xC2\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
  const Utf16Char unpaired[] = {u'a', 0xD800, u'b', 0};
  EXPECT_EQ(Utf8FromUtf16(unpaired),
            "a\xEF\xBF\xBD"
            "b");
  std::uint32_t points[3] = {};
  EXPECT_EQ(CodePointsFromUtf16(u"Pink", points, 3), 3u);  // bounded by the capacity
  EXPECT_EQ(points[2], static_cast<std::uint32_t>(u'n'));
}

}  // namespace
}  // namespace tintora
