// Text metrics of a TrueType face as GDI reports them, computed from the
// font file alone, so that the X11 label takes exactly the sizes of the
// Windows label from the same embedded face.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "label_layout.h"

namespace tintora {

// The values of the font file that the metrics derive from, in font units.
struct FontFileInfo {
  int unitsPerEm;     // head.unitsPerEm
  int winAscent;      // OS/2 usWinAscent (hhea ascender when both win values are 0)
  int winDescent;     // OS/2 usWinDescent (minus hhea descender likewise)
  int xAvgCharWidth;  // OS/2 xAvgCharWidth
  int usWeightClass;  // OS/2 usWeightClass
  // Where the glyphs' tables lie in the file (checked to be inside it).
  std::size_t cmapSubtable;  // the Unicode BMP subtable (format 4); 0: none
  std::size_t cmapLength;
  std::size_t hmtx;  // horizontal metrics; 0: none
  std::size_t hmtxLength;
  int numberOfHMetrics;  // hhea.numberOfHMetrics
};

// Reads the head, hhea and OS/2 tables, checking every offset against the
// buffer. Nothing for a truncated or malformed file or a zero em size.
std::optional<FontFileInfo> ReadFontFileInfo(const unsigned char* data, std::size_t size);

// The glyph of a character (0, the missing glyph, when the face has none)
// and its advance in font units, from the cmap and hmtx tables of the file
// that `info` was read from.
unsigned GlyphIndex(const unsigned char* data, const FontFileInfo& info, std::uint32_t codePoint);
int AdvanceUnits(const unsigned char* data, const FontFileInfo& info, unsigned glyph);

// The default cell height GDI gives a font asked for with height 0.
constexpr int kDefaultCellHeight = 16;

// Pixels per em for a font asked for by cell height (a positive CreateFontW
// height; 0 means the default): the em scaled so that ascent + descent fill
// the cell, one less when rounding would overflow it.
int PixelsPerEmForCellHeight(const FontFileInfo& info, int cellHeight);

// A glyph advance in font units at the given pixels per em, in whole pixels
// as a hinted glyph has it: FreeType's 16.16 scale to 26.6, then rounded.
int ScaleAdvance(int units, int unitsPerEm, int pixelsPerEm);

// A face metric (ascent, descent, leading, average width) in font units at
// the given pixels per em, as GDI's TEXTMETRIC has it: a 16.16 pixels-per-
// unit factor, itself rounded, times the units, rounded to whole pixels. At
// 25 pixels per em a descent of 520 units of 2000 (6.5 pixels) is 6.
int ScaleMetric(int units, int unitsPerEm, int pixelsPerEm);

// The TEXTMETRIC fields the label uses, plus the ascent, for a font asked
// for by cell height.
struct GdiFontMetrics {
  LabelMetrics label;  // tmHeight, tmDescent, tmInternalLeading, tmAveCharWidth
  int ascent;          // tmAscent
  int pixelsPerEm;
};

GdiFontMetrics GdiMetricsForCellHeight(const FontFileInfo& info, int cellHeight);

// A text's width as DrawTextW measures it: the sum of the glyphs' whole-
// pixel advances, without kerning.
int TextWidth(const unsigned char* data, const FontFileInfo& info, int pixelsPerEm,
              const std::uint32_t* codePoints, std::size_t count);

// Where DrawTextW puts a single line of the given extent in a rectangle:
// the top-left of the text's cell.
enum class HorizontalAlign { Left, Centre, Right };

Point SingleLineOrigin(const Rect& rect, int textWidth, int textHeight, HorizontalAlign align);

}  // namespace tintora
