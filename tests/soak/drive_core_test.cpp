// The load drivers' decisions: where the pointer goes, what the label must
// compute for it, and when a resource series counts as flat.
#include "drive_core.h"

#include <gtest/gtest.h>

namespace tintora {
namespace drive {
namespace {

TEST(PatchLayoutTest, SplitsTheScreenIntoThreeAreasWithoutGaps) {
  const PatchLayout l = LayoutPatches(1024, 768);
  EXPECT_EQ(l.left.left, 0);
  EXPECT_EQ(l.left.right, 512);
  EXPECT_EQ(l.right.left, 512);
  EXPECT_EQ(l.right.right, 1024);
  EXPECT_EQ(l.left.bottom, 576);
  EXPECT_EQ(l.marker.top, 576);
  EXPECT_EQ(l.marker.bottom, 768);
  EXPECT_EQ(l.marker.right, 1024);
}

TEST(CandidatePointsTest, StartAtTheCentreAndKeepClearOfWindows) {
  const Rect area{0, 0, 512, 576};
  const std::vector<Point> free = CandidatePoints(area, {}, 8);
  ASSERT_FALSE(free.empty());
  EXPECT_LE(std::abs(free[0].x - 256), 16);
  EXPECT_LE(std::abs(free[0].y - 288), 16);

  const Rect label{200, 250, 320, 300};
  const std::vector<Point> avoided = CandidatePoints(area, {label}, 8);
  ASSERT_FALSE(avoided.empty());
  for (const Point& p : avoided) {
    EXPECT_FALSE(Contains(Rect{192, 242, 328, 308}, p)) << p.x << "," << p.y;
    EXPECT_TRUE(Contains(Rect{8, 8, 504, 568}, p)) << p.x << "," << p.y;
  }
}

TEST(CandidatePointsTest, NoneWhenTheAreaIsCoveredOrTooSmall) {
  EXPECT_TRUE(CandidatePoints(Rect{0, 0, 100, 100}, {Rect{-10, -10, 200, 200}}, 8).empty());
  EXPECT_TRUE(CandidatePoints(Rect{0, 0, 16, 16}, {}, 8).empty());
}

TEST(NormalisedCoordinateTest, RoundTripsEveryPixelOfCommonAxes) {
  for (int extent : {640, 768, 1024, 1080, 1920, 2560, 3840, 7}) {
    for (int pixel = 0; pixel < extent; ++pixel) {
      const int n = NormalisedFromPixel(pixel, extent);
      ASSERT_GE(n, 0);
      ASSERT_LE(n, 65535);
      ASSERT_EQ(PixelFromNormalised(n, extent), pixel) << extent << " " << pixel;
    }
  }
}

TEST(NormalisedCoordinateTest, ClampsOutsideTheAxis) {
  EXPECT_EQ(NormalisedFromPixel(-5, 1024), NormalisedFromPixel(0, 1024));
  EXPECT_EQ(NormalisedFromPixel(5000, 1024), NormalisedFromPixel(1023, 1024));
  EXPECT_EQ(NormalisedFromPixel(3, 0), 0);
}

TEST(ParseRgbTest, AcceptsSixHexDigitsOnly) {
  struct Case {
    const char* text;
    bool ok;
    std::uint32_t rgb;
  };
  const Case cases[] = {
      {"C83228", true, 0xC83228},
      {"#2864c8", true, 0x2864C8},
      {"000000", true, 0},
      {"FFFFF", false, 0},
      {"GG0000", false, 0},
      {"", false, 0},
      {"#", false, 0},
      {"1234567", false, 0},
      {"12 456", false, 0},
  };
  for (const Case& c : cases) {
    std::uint32_t rgb = 0xDEAD;
    EXPECT_EQ(ParseRgb(c.text, &rgb), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(rgb, c.rgb) << c.text;
    }
  }
}

TEST(ParseInjectOptionsTest, ReadsEveryOption) {
  InjectOptions o;
  std::string error;
  ASSERT_TRUE(ParseInjectOptions({"--events",
                                  "100000",
                                  "--mode",
                                  "same",
                                  "--move",
                                  "relative",
                                  "--rate",
                                  "0",
                                  "--sync-every",
                                  "0",
                                  "--ping-every",
                                  "500",
                                  "--warmup",
                                  "2000",
                                  "--sink",
                                  "--no-label",
                                  "--left",
                                  "112233",
                                  "--sync-timeout-ms",
                                  "9000"},
                                 &o, &error))
      << error;
  EXPECT_EQ(o.events, 100000);
  EXPECT_EQ(o.colour, ColourMode::kSame);
  EXPECT_EQ(o.move, MoveMode::kRelative);
  EXPECT_EQ(o.rate, 0.0);
  EXPECT_EQ(o.syncEvery, 0);
  EXPECT_EQ(o.pingEvery, 500);
  EXPECT_EQ(o.warmupEvents, 2000);
  EXPECT_TRUE(o.needSink);
  EXPECT_FALSE(o.needLabel);
  EXPECT_EQ(o.leftRgb, 0x112233u);
  EXPECT_EQ(o.syncTimeoutMs, 9000);
  EXPECT_FALSE(o.lockstep);
  ASSERT_TRUE(ParseInjectOptions({"--lockstep"}, &o, &error)) << error;
  EXPECT_TRUE(o.lockstep);
}

TEST(ParseInjectOptionsTest, RejectsBadInputWithAReason) {
  const std::vector<std::vector<std::string>> bad = {
      {"--events"},
      {"--events", "0"},
      {"--events", "-3"},
      {"--events", "12x"},
      {"--events", "99999999999999999999"},
      {"--rate", "-1"},
      {"--rate", "fast"},
      {"--mode", "other"},
      {"--move", "teleport"},
      {"--left", "red"},
      {"--left", "2864C8", "--right", "2864C8"},
      {"--frobnicate"},
      {"--sync-timeout-ms", "0"},
      {"--lockstep", "--mode", "same"},  // nothing visible to wait for
      {"--lockstep", "--no-label"},
  };
  for (const auto& args : bad) {
    InjectOptions o;
    o.events = 7;
    std::string error;
    EXPECT_FALSE(ParseInjectOptions(args, &o, &error)) << args[0];
    EXPECT_FALSE(error.empty()) << args[0];
    EXPECT_EQ(o.events, 7) << "options untouched on failure";
  }
}

TEST(PlanEventsTest, AlternatesAndSyncsOnTheMarker) {
  const std::vector<Target> plan = PlanEvents(5, 2);
  const std::vector<Target> expected = {Target::kFirst, Target::kSecond, Target::kMarker,
                                        Target::kFirst, Target::kSecond, Target::kMarker,
                                        Target::kFirst, Target::kMarker};
  EXPECT_EQ(plan, expected);
  EXPECT_EQ(PlanEvents(4, 0).size(), 5u);  // one marker, at the end
  EXPECT_EQ(PlanEvents(4, 0).back(), Target::kMarker);
  EXPECT_EQ(PlanEvents(4, 4).size(), 5u);  // no double marker at the end
  EXPECT_TRUE(PlanEvents(0, 10).empty());
}

TEST(ExpectedColourChangesTest, CountsEveryChangeFromTheLastColour) {
  const std::uint32_t a = 0xC83228, b = 0x2864C8, m = 0x28B43C;
  const std::vector<Target> plan = PlanEvents(6, 3);  // F S F M S F S M
  // Changing colours: every event is a change.
  EXPECT_EQ(ExpectedColourChanges(plan, a, b, m, m), 8);
  // Same colour: only the moves onto and off the marker change it.
  EXPECT_EQ(ExpectedColourChanges(plan, a, a, m, m), 4);
  // A first black sample computes nothing (the label starts at black).
  EXPECT_EQ(ExpectedColourChanges({Target::kFirst, Target::kFirst}, 0, 0, m, 0), 0);
}

TEST(JudgeFlatTest, ComparesThePeakAfterWarmUpWithTheFirstValueAfterIt) {
  struct Case {
    std::vector<Sample> samples;
    bool measured, flat;
    long long reference, maximum;
  };
  const Case cases[] = {
      // growth during warm-up does not count
      {{{0, 100}, {5000, 5000}, {10000, 8000}, {20000, 8100}, {30000, 8050}},
       true,
       true,
       8000,
       8100},
      // steady growth after warm-up does
      {{{10000, 8000}, {20000, 9000}, {30000, 10000}}, true, false, 8000, 10000},
      // a single sample after warm-up cannot be judged
      {{{0, 1}, {10000, 8000}}, false, false, 8000, 8000},
      {{}, false, false, 0, 0},
  };
  for (const Case& c : cases) {
    const FlatVerdict v = JudgeFlat(c.samples, 10000, 500, 0.01);
    EXPECT_EQ(v.measured, c.measured);
    EXPECT_EQ(v.flat, c.flat);
    EXPECT_EQ(v.reference, c.reference);
    EXPECT_EQ(v.maximum, c.maximum);
  }
}

TEST(JudgeFlatTest, SlackIsTheLargerOfAbsoluteAndRelative) {
  const std::vector<Sample> s = {{10000, 100000}, {20000, 101500}};
  EXPECT_TRUE(JudgeFlat(s, 10000, 1024, 0.02).flat);   // 2 % of 100000 = 2000
  EXPECT_FALSE(JudgeFlat(s, 10000, 1024, 0.01).flat);  // 1024 and 1000 < 1500
  EXPECT_TRUE(JudgeFlat(s, 10000, 1500, 0.0).flat);    // exactly at the limit
}

TEST(DueMicrosecondsTest, SpreadsEventsEvenly) {
  EXPECT_EQ(DueMicroseconds(0, 1000.0), 0);
  EXPECT_EQ(DueMicroseconds(1, 1000.0), 1000);
  EXPECT_EQ(DueMicroseconds(3, 250.0), 12000);
  EXPECT_EQ(DueMicroseconds(50, 0.0), 0);  // unpaced
}

}  // namespace
}  // namespace drive
}  // namespace tintora
