#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "desktop_files.h"
#include "font_file_metrics.h"
#include "label_layout.h"
#include "x11_rules.h"

namespace tintora {
namespace {

std::vector<unsigned char> ReadFontFile(const char* name) {
  std::ifstream in(std::string(TINTORA_FONT_DIR) + "/" + name, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// ---- Metrics of the embedded faces --------------------------------------

TEST(FontFileMetrics, BlackFaceMeasuresAsTheWindowsLabel) {
  const std::vector<unsigned char> black = ReadFontFile("EncodeSansCondensed_900Black.ttf");
  const std::optional<FontFileInfo> info = ReadFontFileInfo(black.data(), black.size());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->unitsPerEm, 2000);
  EXPECT_EQ(info->usWeightClass, 900);
  // Under Wine GDI measured tmHeight 17, tmDescent 3, tmInternalLeading 6
  // and tmAveCharWidth 6 for this face at the default height.
  const GdiFontMetrics base = GdiMetricsForCellHeight(*info, 0);
  EXPECT_EQ(base.label.height, 17);
  EXPECT_EQ(base.label.descent, 3);
  EXPECT_EQ(base.label.internalLeading, 6);
  EXPECT_EQ(base.label.aveCharWidth, 6);
  EXPECT_EQ(base.pixelsPerEm, 10);

  // The same sizes as the Windows label at 96 and 144 DPI.
  struct Size {
    unsigned dpi;
    int width, height, nameEm, qualifierEm;
  };
  for (const Size s : {Size{96, 126, 20, 12, 7}, Size{144, 189, 31, 19, 11}}) {
    const float scale = UiScaleFromDpi(s.dpi);
    EXPECT_EQ(LabelSizeAt(base.label, 1, scale).width, s.width) << s.dpi;
    EXPECT_EQ(LabelSizeAt(base.label, 1, scale).height, s.height) << s.dpi;
    EXPECT_EQ(PixelsPerEmForCellHeight(*info, LabelHeight(base.label, scale)), s.nameEm) << s.dpi;
    EXPECT_EQ(PixelsPerEmForCellHeight(*info, QualifierFontHeight(base.label, scale)),
              s.qualifierEm)
        << s.dpi;
  }
}

TEST(FontFileMetrics, GlyphsAndAdvancesFromTheFile) {
  const std::vector<unsigned char> black = ReadFontFile("EncodeSansCondensed_900Black.ttf");
  const std::optional<FontFileInfo> info = ReadFontFileInfo(black.data(), black.size());
  ASSERT_TRUE(info);
  const unsigned m = GlyphIndex(black.data(), *info, 'M');
  EXPECT_NE(m, 0u);
  EXPECT_NE(GlyphIndex(black.data(), *info, 'o'), m);
  EXPECT_GT(AdvanceUnits(black.data(), *info, m), AdvanceUnits(black.data(), *info, 'i'));
  EXPECT_EQ(GlyphIndex(black.data(), *info, 0x4E00), 0u);   // no CJK in the face
  EXPECT_EQ(GlyphIndex(black.data(), *info, 0x1F600), 0u);  // beyond the BMP
  const std::uint32_t same[] = {'o', 'o'};
  const int one = TextWidth(black.data(), *info, 12, same, 1);
  EXPECT_GT(one, 0);
  EXPECT_EQ(TextWidth(black.data(), *info, 12, same, 2), 2 * one);  // whole pixels, no kerning
  FontFileInfo none = *info;
  none.cmapSubtable = 0;
  none.hmtx = 0;
  EXPECT_EQ(GlyphIndex(black.data(), none, 'M'), 0u);
  EXPECT_EQ(AdvanceUnits(black.data(), none, m), 0);
}

// A format 4 cmap subtable, big-endian: the segments (sorted by their last
// code) and the glyph id array that idRangeOffset points into.
struct CmapSegment {
  std::uint16_t first, last, delta, rangeOffset;
};

std::vector<unsigned char> Format4Subtable(const std::vector<CmapSegment>& segments,
                                           const std::vector<std::uint16_t>& glyphIds) {
  std::vector<unsigned char> table;
  const auto put = [&table](std::size_t v) {
    table.push_back(static_cast<unsigned char>(v >> 8 & 0xFF));
    table.push_back(static_cast<unsigned char>(v & 0xFF));
  };
  const std::size_t n = segments.size();
  put(4);
  put(16 + n * 8 + glyphIds.size() * 2);  // length
  put(0);                                 // language
  put(n * 2);
  put(0), put(0), put(0);  // the binary search hints, unused
  for (const CmapSegment& s : segments) put(s.last);
  put(0);  // pad
  for (const CmapSegment& s : segments) put(s.first);
  for (const CmapSegment& s : segments) put(s.delta);
  for (const CmapSegment& s : segments) put(s.rangeOffset);
  for (const std::uint16_t id : glyphIds) put(id);
  return table;
}

TEST(FontFileMetrics, CmapDeltasWrapModulo65536) {
  // '0'-'2' through the glyph id array (idRangeOffset 8: from its own
  // entry, past the four offsets) plus 2; 'A'-'C' with a delta of -0x3C;
  // U+F000-U+F002 with 0x1010, past 65535; then the closing segment.
  std::vector<unsigned char> data = {0, 0};  // the subtable at offset 2
  const std::vector<unsigned char> table = Format4Subtable({{0x30, 0x32, 2, 8},
                                                            {0x41, 0x43, 0xFFC4, 0},
                                                            {0xF000, 0xF002, 0x1010, 0},
                                                            {0xFFFF, 0xFFFF, 1, 0}},
                                                           {8, 0, 0xFFFF});
  data.insert(data.end(), table.begin(), table.end());
  FontFileInfo info{};
  info.cmapSubtable = 2;
  info.cmapLength = table.size();
  struct Case {
    std::uint32_t codePoint;
    unsigned glyph;
  } cases[] = {
      {0x2F, 0},    {0x30, 10},   {0x31, 0},  // an array entry of 0 is the missing glyph
      {0x32, 1},    {0x33, 0},    {0x41, 5},   {0x43, 7},    {0x44, 0},
      {0xF000, 16}, {0xF002, 18}, {0xFFFF, 0}, {0x10000, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GlyphIndex(data.data(), info, c.codePoint), c.glyph) << std::hex << c.codePoint;
  }
  // The shipped Black face maps these through negative deltas (FreeType
  // gives the same glyphs).
  const std::vector<unsigned char> black = ReadFontFile("EncodeSansCondensed_900Black.ttf");
  const std::optional<FontFileInfo> face = ReadFontFileInfo(black.data(), black.size());
  ASSERT_TRUE(face);
  EXPECT_EQ(GlyphIndex(black.data(), *face, 0x2019), 867u);   // right single quotation mark
  EXPECT_EQ(GlyphIndex(black.data(), *face, 0x2122), 1026u);  // trade mark sign
}

TEST(FontFileMetrics, DamagedFilesGiveNothing) {
  std::vector<unsigned char> bold = ReadFontFile("EncodeSansCondensed_700Bold.ttf");
  ASSERT_TRUE(ReadFontFileInfo(bold.data(), bold.size()));
  for (std::size_t cut : {std::size_t{0}, std::size_t{11}, std::size_t{100}, std::size_t{284}}) {
    EXPECT_FALSE(ReadFontFileInfo(bold.data(), cut)) << cut;
  }
  bold[4] = 0xFF;  // a table directory larger than the file
  EXPECT_FALSE(ReadFontFileInfo(bold.data(), bold.size()));
  EXPECT_FALSE(ReadFontFileInfo(nullptr, 0));
}

TEST(FontFileMetrics, ScalingRoundsAsGdiAndFreeTypeDo) {
  EXPECT_EQ(ScaleAdvance(1000, 2000, 11), 6);   // 5.5 rounds up
  EXPECT_EQ(ScaleAdvance(-440, 2000, 10), -2);  // -2.2
  EXPECT_EQ(ScaleAdvance(520, 2000, 25), 7);    // 6.5
  EXPECT_EQ(ScaleAdvance(0, 2000, 12), 0);
  EXPECT_EQ(ScaleMetric(2758, 2000, 10), 14);  // 13.79
  EXPECT_EQ(ScaleMetric(520, 2000, 10), 3);    // 2.6
  // 25 / 2000 as a 16.16 factor is 819 / 65536, a little less than 0.0125:
  // GDI measures this face's descent at 6, its ascent at 34.
  EXPECT_EQ(ScaleMetric(520, 2000, 25), 6);
  EXPECT_EQ(ScaleMetric(2758, 2000, 25), 34);
}

TEST(FontFileMetrics, SingleLinePlacementAsDrawText) {
  const Rect r{10, 0, 110, 17};
  EXPECT_EQ(SingleLineOrigin(r, 40, 20, HorizontalAlign::Centre).x, 40);
  EXPECT_EQ(SingleLineOrigin(r, 40, 20, HorizontalAlign::Right).x, 70);
  EXPECT_EQ(SingleLineOrigin(r, 40, 20, HorizontalAlign::Left).x, 10);
  EXPECT_EQ(SingleLineOrigin(r, 40, 20, HorizontalAlign::Left).y, -2);  // 8 - 10
  EXPECT_EQ(SingleLineOrigin(Rect{0, 5, 9, 20}, 4, 7, HorizontalAlign::Left).y, 9);
}

// ---- Files of the desktop -----------------------------------------------

TEST(DesktopFiles, ConfigHomeFollowsTheBaseDirectoryRules) {
  struct Case {
    const char* xdg;
    const char* home;
    const char* expected;  // null: none
  } cases[] = {
      {"/x/cfg", "/home/u", "/x/cfg"},    {"/x/cfg/", "/home/u", "/x/cfg"},
      {"", "/home/u", "/home/u/.config"}, {"relative", "/home/u/", "/home/u/.config"},
      {nullptr, "/", "/.config"},         {nullptr, "", nullptr},
      {nullptr, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> got = ConfigHome(c.xdg, c.home);
    if (c.expected == nullptr) {
      EXPECT_FALSE(got) << (c.home ? c.home : "(null)");
    } else {
      EXPECT_EQ(got.value_or("(none)"), c.expected);
    }
  }
  EXPECT_EQ(SettingsFilePath("/c"), "/c/tintora/tintora.conf");
  EXPECT_EQ(AutostartFilePath("/c"), "/c/autostart/tintora.desktop");
}

TEST(DesktopFiles, SettingsFileRoundTrips) {
  for (const SavedPosition p :
       {SavedPosition{0, 0}, SavedPosition{-40, -6}, SavedPosition{INT32_MIN, INT32_MAX}}) {
    const std::optional<SavedPosition> back = ParseSettingsFile(FormatSettingsFile(p));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->x, p.x);
    EXPECT_EQ(back->y, p.y);
  }
  EXPECT_EQ(FormatSettingsFile(SavedPosition{12, -3}), "[Label]\nX=12\nY=-3\n");
}

TEST(DesktopFiles, SettingsFileThatIsNotWholeGivesNoPosition) {
  const char* bad[] = {
      "",
      "[Label]\nX=12\n",                        // half written
      "[Label]\nX=12\nY=",                      // cut short
      "[Label]\nX=12\nY=3x\n",                  // not a number
      "[Label]\nX=1\nY=2\nX=3\n",               // a key twice
      "[Label]\nX=2147483648\nY=0\n",           // out of range
      "[Label]\nX=- 1\nY=0\n",                  //
      "[Other]\nX=1\nY=2\n",                    // not the label's
      "[Label]\nX=1\ngarbage\nY=2\n",           // not a key file
      "X=1\nY=2\n",                             // outside any group
      "[Label]\nX=99999999999999999999\nY=1\n"  // too many digits
  };
  for (const char* text : bad) EXPECT_FALSE(ParseSettingsFile(text)) << text;
  const std::optional<SavedPosition> tolerant =
      ParseSettingsFile("# saved by tintora\n[Other]\nX=9\n\n[Label]\r\n X = 5 \r\nZ=1\nY=-7");
  ASSERT_TRUE(tolerant);
  EXPECT_EQ(tolerant->x, 5);
  EXPECT_EQ(tolerant->y, -7);
}

TEST(DesktopFiles, ExecArgumentQuoting) {
  struct Case {
    const char* path;
    const char* exec;  // null: refused
  } cases[] = {
      {"/usr/bin/tintora", R"("/usr/bin/tintora")"},
      {"/opt/my apps/tintora", R"("/opt/my apps/tintora")"},
      // Each of " ` $ \ takes a backslash, which the string value doubles.
      {R"(/a"b`c$d\e)", R"("/a\\"b\\`c\\$d\\\\e")"},
      {"/100%/tintora", R"("/100%%/tintora")"},
      {"/t\xC3\xA9st/tintora", "\"/t\xC3\xA9st/tintora\""},
      {"/bad\npath", nullptr},
      {"/tab\there", nullptr},
      {"relative/tintora", nullptr},
      {"", nullptr},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> got = QuoteExecArgument(c.path);
    if (c.exec == nullptr) {
      EXPECT_FALSE(got) << c.path;
    } else {
      EXPECT_EQ(got.value_or("(refused)"), c.exec);
    }
  }
  const std::optional<std::string> entry = FormatAutostartEntry("/opt/t t/tintora");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->rfind("[Desktop Entry]\n", 0), 0u);
  EXPECT_NE(entry->find("\nExec=\"/opt/t t/tintora\"\n"), std::string::npos);
  EXPECT_NE(entry->find("\nType=Application\n"), std::string::npos);
  EXPECT_FALSE(FormatAutostartEntry("/a\nb"));
}

// ---- Rules of the X11 shell ---------------------------------------------

TEST(X11Rules, XftDpiFromTheResourceDatabase) {
  struct Case {
    const char* resources;
    unsigned dpi;  // 0: none
  } cases[] = {
      {"Xft.dpi:\t144\n", 144},
      {"Xcursor.size: 24\nXft.dpi: 96\nXft.antialias: 1\n", 96},
      {"Xft.dpi: 120.5", 120},
      {"Xft.dpi: 144\nXft.dpi: 192\n", 192},  // the last one holds
      {"Xft.dpi: 144\nXft.dpi: lots\n", 0},
      {"Xft.dpi: 0\n", 0},
      {"Xft.dpi: -96\n", 0},
      {"Xft.dpi:\n", 0},
      {"*dpi: 144\nXft.dpix: 144\n", 0},
      {"", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(XftDpiFromResources(c.resources).value_or(0), c.dpi) << c.resources;
  }
}

TEST(X11Rules, WhereTheLabelCannotSample) {
  EXPECT_EQ(VerdictFromEnvironment(":0", nullptr), DisplayVerdict::Usable);
  EXPECT_EQ(VerdictFromEnvironment(":0", "wayland-0"), DisplayVerdict::Usable);
  EXPECT_EQ(VerdictFromEnvironment(nullptr, "wayland-0"), DisplayVerdict::WaylandOnly);
  EXPECT_EQ(VerdictFromEnvironment("", ""), DisplayVerdict::NoDisplay);
  EXPECT_EQ(VerdictFromServer(true, true, true, 2), DisplayVerdict::Xwayland);
  EXPECT_EQ(VerdictFromServer(false, true, true, 1), DisplayVerdict::NoXInput2);
  EXPECT_EQ(VerdictFromServer(false, true, false, 0), DisplayVerdict::NoXInput2);
  EXPECT_EQ(VerdictFromServer(false, false, true, 2), DisplayVerdict::NoXInput2);
  EXPECT_EQ(VerdictFromServer(false, true, true, 2), DisplayVerdict::Usable);
  // Each refusal has its own status and a message.
  const DisplayVerdict refusals[] = {DisplayVerdict::NoDisplay, DisplayVerdict::Xwayland,
                                     DisplayVerdict::NoXInput2};
  EXPECT_EQ(VerdictExitStatus(DisplayVerdict::NoDisplay), kExitNoDisplay);
  EXPECT_EQ(VerdictExitStatus(DisplayVerdict::WaylandOnly), kExitNoDisplay);
  EXPECT_EQ(VerdictExitStatus(DisplayVerdict::Xwayland), kExitXwayland);
  EXPECT_EQ(VerdictExitStatus(DisplayVerdict::NoXInput2), kExitNoXInput2);
  for (const DisplayVerdict v : refusals) EXPECT_NE(std::string(VerdictMessage(v)), "");
}

TEST(X11Rules, CommandLine) {
  const char* plain[] = {"tintora"};
  EXPECT_FALSE(ParseOptions(1, plain, nullptr).debug);
  EXPECT_FALSE(ParseOptions(1, plain, "0").debug);
  EXPECT_TRUE(ParseOptions(1, plain, "1").debug);
  const char* all[] = {"tintora", "--debug", "--display", ":5", "--version", "-h"};
  const Options o = ParseOptions(6, all, nullptr);
  EXPECT_TRUE(o.debug && o.version && o.help);
  EXPECT_EQ(o.display, ":5");
  EXPECT_TRUE(o.error.empty());
  const char* joined[] = {"tintora", "--display=:7"};
  EXPECT_EQ(ParseOptions(2, joined, nullptr).display, ":7");
  const char* missing[] = {"tintora", "--display"};
  EXPECT_FALSE(ParseOptions(2, missing, nullptr).error.empty());
  const char* unknown[] = {"tintora", "--frobnicate"};
  EXPECT_NE(ParseOptions(2, unknown, nullptr).error.find("--frobnicate"), std::string::npos);
}

TEST(X11Rules, SavedPositionMustShowOnTheScreen) {
  const Rect screen{0, 0, 1024, 768};
  EXPECT_TRUE(SavedPositionVisible(0, 0, 126, 20, screen));
  EXPECT_TRUE(SavedPositionVisible(-125, -19, 126, 20, screen));  // one pixel shows
  EXPECT_FALSE(SavedPositionVisible(-126, 0, 126, 20, screen));
  EXPECT_FALSE(SavedPositionVisible(1024, 100, 126, 20, screen));
  EXPECT_FALSE(SavedPositionVisible(100, 768, 126, 20, screen));
  EXPECT_FALSE(SavedPositionVisible(INT32_MAX, INT32_MAX, 126, 20, screen));
}

}  // namespace
}  // namespace tintora
