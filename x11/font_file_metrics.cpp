#include "font_file_metrics.h"

namespace tintora {

namespace {

std::uint32_t ReadU16(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) << 8 | static_cast<std::uint32_t>(p[1]);
}

int ReadS16(const unsigned char* p) {
  const int value = static_cast<int>(ReadU16(p));
  return value >= 0x8000 ? value - 0x10000 : value;
}

std::uint32_t ReadU32(const unsigned char* p) { return ReadU16(p) << 16 | ReadU16(p + 2); }

struct Table {
  const unsigned char* data;
  std::size_t length;
};

// The table with the given tag, when it lies wholly inside the file and is
// at least minLength bytes long.
std::optional<Table> FindTable(const unsigned char* data, std::size_t size, const char* tag,
                               std::size_t minLength) {
  if (data == nullptr || size < 12) return std::nullopt;
  const std::size_t count = ReadU16(data + 4);
  if (size < 12 + count * 16) return std::nullopt;
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned char* record = data + 12 + i * 16;
    if (record[0] != tag[0] || record[1] != tag[1] || record[2] != tag[2] || record[3] != tag[3]) {
      continue;
    }
    const std::size_t offset = ReadU32(record + 8);
    const std::size_t length = ReadU32(record + 12);
    if (offset > size || length > size - offset || length < minLength) return std::nullopt;
    return Table{data + offset, length};
  }
  return std::nullopt;
}

// Division rounding half away from zero, for non-negative divisors.
std::int64_t DivRound(std::int64_t a, std::int64_t b) {
  return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}

// Floor division by 64 of a 26.6 value, for either sign.
std::int64_t FloorDiv64(std::int64_t v) { return v >= 0 ? v / 64 : -((-v + 63) / 64); }

}  // namespace

std::optional<FontFileInfo> ReadFontFileInfo(const unsigned char* data, std::size_t size) {
  const auto head = FindTable(data, size, "head", 54);
  const auto hhea = FindTable(data, size, "hhea", 36);
  const auto os2 = FindTable(data, size, "OS/2", 78);
  if (!head || !hhea || !os2) return std::nullopt;
  FontFileInfo info{};
  info.unitsPerEm = static_cast<int>(ReadU16(head->data + 18));
  info.winAscent = static_cast<int>(ReadU16(os2->data + 74));
  info.winDescent = static_cast<int>(ReadU16(os2->data + 76));
  info.xAvgCharWidth = ReadS16(os2->data + 2);
  info.usWeightClass = static_cast<int>(ReadU16(os2->data + 4));
  if (info.winAscent + info.winDescent == 0) {
    // Fonts without Windows metrics: the horizontal header's line extent.
    info.winAscent = ReadS16(hhea->data + 4);
    info.winDescent = -ReadS16(hhea->data + 6);
  }
  if (info.unitsPerEm < 16 || info.winAscent + info.winDescent <= 0) return std::nullopt;
  info.numberOfHMetrics = static_cast<int>(ReadU16(hhea->data + 34));
  if (const auto hmtx = FindTable(data, size, "hmtx", 4)) {
    info.hmtx = static_cast<std::size_t>(hmtx->data - data);
    info.hmtxLength = hmtx->length;
  }
  // The Windows Unicode BMP subtable, else a Unicode one, in format 4.
  if (const auto cmap = FindTable(data, size, "cmap", 4)) {
    const std::size_t count = ReadU16(cmap->data + 2);
    for (std::size_t i = 0; i < count && 4 + i * 8 + 8 <= cmap->length; ++i) {
      const unsigned char* record = cmap->data + 4 + i * 8;
      const std::uint32_t platform = ReadU16(record);
      const std::uint32_t encoding = ReadU16(record + 2);
      const std::size_t offset = ReadU32(record + 4);
      if (!((platform == 3 && encoding == 1) || platform == 0)) continue;
      if (offset > cmap->length || cmap->length - offset < 14) continue;
      if (ReadU16(cmap->data + offset) != 4) continue;
      const std::size_t length = ReadU16(cmap->data + offset + 2);
      if (length < 14 || length > cmap->length - offset) continue;
      info.cmapSubtable = static_cast<std::size_t>(cmap->data - data) + offset;
      info.cmapLength = length;
      if (platform == 3) break;
    }
  }
  return info;
}

unsigned GlyphIndex(const unsigned char* data, const FontFileInfo& info, std::uint32_t codePoint) {
  if (info.cmapSubtable == 0 || codePoint > 0xFFFF) return 0;
  const unsigned char* table = data + info.cmapSubtable;
  const std::size_t segments = ReadU16(table + 6) / 2;
  // endCode[n], a pad, startCode[n], idDelta[n], idRangeOffset[n], glyphs.
  const std::size_t ends = 14;
  const std::size_t starts = ends + segments * 2 + 2;
  const std::size_t deltas = starts + segments * 2;
  const std::size_t ranges = deltas + segments * 2;
  if (ranges + segments * 2 > info.cmapLength) return 0;
  for (std::size_t i = 0; i < segments; ++i) {
    if (codePoint > ReadU16(table + ends + i * 2)) continue;
    const std::uint32_t start = ReadU16(table + starts + i * 2);
    if (codePoint < start) return 0;
    const std::uint32_t delta = ReadU16(table + deltas + i * 2);
    const std::size_t rangeAt = ranges + i * 2;
    const std::uint32_t range = ReadU16(table + rangeAt);
    if (range == 0) return (codePoint + delta) & 0xFFFFu;
    const std::size_t glyphAt = rangeAt + range + (codePoint - start) * 2;
    if (glyphAt + 2 > info.cmapLength) return 0;
    const std::uint32_t glyph = ReadU16(table + glyphAt);
    return glyph == 0 ? 0 : (glyph + delta) & 0xFFFFu;
  }
  return 0;
}

int AdvanceUnits(const unsigned char* data, const FontFileInfo& info, unsigned glyph) {
  if (info.hmtx == 0 || info.numberOfHMetrics <= 0) return 0;
  // Glyphs past the last full metric share its advance.
  const std::size_t last = static_cast<std::size_t>(info.numberOfHMetrics) - 1;
  const std::size_t index = glyph < last ? glyph : last;
  if (index * 4 + 2 > info.hmtxLength) return 0;
  return static_cast<int>(ReadU16(data + info.hmtx + index * 4));
}

int TextWidth(const unsigned char* data, const FontFileInfo& info, int pixelsPerEm,
              const std::uint32_t* codePoints, std::size_t count) {
  int width = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const int units = AdvanceUnits(data, info, GlyphIndex(data, info, codePoints[i]));
    width += ScaleAdvance(units, info.unitsPerEm, pixelsPerEm);
  }
  return width;
}

int PixelsPerEmForCellHeight(const FontFileInfo& info, int cellHeight) {
  if (cellHeight <= 0) cellHeight = kDefaultCellHeight;
  const std::int64_t units = info.winAscent + info.winDescent;
  std::int64_t ppem = DivRound(static_cast<std::int64_t>(info.unitsPerEm) * cellHeight, units);
  if (ppem > 1 && DivRound(units * ppem, info.unitsPerEm) > cellHeight) --ppem;
  if (ppem < 1) ppem = 1;
  return static_cast<int>(ppem);
}

int ScaleAdvance(int units, int unitsPerEm, int pixelsPerEm) {
  // FT_DivFix(ppem << 6, upem): the 16.16 factor from font units to 26.6.
  const std::int64_t scale =
      DivRound(static_cast<std::int64_t>(pixelsPerEm) * 64 * 65536, unitsPerEm);
  // FT_MulFix, then rounding of the 26.6 value to whole pixels.
  const std::int64_t scaled = DivRound(static_cast<std::int64_t>(units) * scale, 65536);
  return static_cast<int>(FloorDiv64(scaled + 32));
}

int ScaleMetric(int units, int unitsPerEm, int pixelsPerEm) {
  const std::int64_t scale = DivRound(static_cast<std::int64_t>(pixelsPerEm) * 65536, unitsPerEm);
  return static_cast<int>(DivRound(static_cast<std::int64_t>(units) * scale, 65536));
}

GdiFontMetrics GdiMetricsForCellHeight(const FontFileInfo& info, int cellHeight) {
  GdiFontMetrics m{};
  m.pixelsPerEm = PixelsPerEmForCellHeight(info, cellHeight);
  const int upem = info.unitsPerEm;
  m.ascent = ScaleMetric(info.winAscent, upem, m.pixelsPerEm);
  m.label.descent = ScaleMetric(info.winDescent, upem, m.pixelsPerEm);
  m.label.height = m.ascent + m.label.descent;
  m.label.internalLeading =
      ScaleMetric(info.winAscent + info.winDescent - upem, upem, m.pixelsPerEm);
  m.label.aveCharWidth = ScaleMetric(info.xAvgCharWidth, upem, m.pixelsPerEm);
  return m;
}

Point SingleLineOrigin(const Rect& rect, int textWidth, int textHeight, HorizontalAlign align) {
  Point origin{rect.left, 0};
  if (align == HorizontalAlign::Centre) origin.x = (rect.left + rect.right - textWidth) / 2;
  if (align == HorizontalAlign::Right) origin.x = rect.right - textWidth;
  origin.y = rect.top + (rect.bottom - rect.top) / 2 - textHeight / 2;
  return origin;
}

}  // namespace tintora
