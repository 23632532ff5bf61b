// The label's geometry, colours and fonts: pure functions of the
// reference-font metrics, the DPI scale and the sampled colour, so that every
// number a shell's window uses can be checked without a window.
#pragma once

#include <cstdint>

#include "colour_types.h"
#include "geometry.h"

namespace tintora {

// The four fields of the reference font's TEXTMETRICW that the label uses,
// in pixels.
struct LabelMetrics {
  int height;           // tmHeight
  int descent;          // tmDescent
  int internalLeading;  // tmInternalLeading
  int aveCharWidth;     // tmAveCharWidth
};

// ---- Sizes ---------------------------------------------------------------

constexpr int kDefaultDpi = 96;

// Unscaled window width: room for 15 average characters plus a margin of one
// line height and a border on each side. 32-bit integer arithmetic.
int BaseWidth(const LabelMetrics& metrics, int borderWidth);

// Label (and name font) height: (tmHeight - tmInternalLeading) * 1.9 * scale,
// in double precision, truncated toward zero.
int LabelHeight(const LabelMetrics& metrics, float uiScale);

// Qualifier font height: as LabelHeight with 1.15 in place of 1.9.
int QualifierFontHeight(const LabelMetrics& metrics, float uiScale);

// A width scaled by the DPI factor, formed in single precision and truncated
// toward zero. Used for the scaled label width and for the window extents
// scaled at window creation.
int ScaleExtent(int extent, float uiScale);

// The label's size at a scale: BaseWidth scaled in single precision (the
// window's width and its region's) and LabelHeight (the region's height).
struct LabelSize {
  int width;
  int height;
};
LabelSize LabelSizeAt(const LabelMetrics& metrics, int borderWidth, float uiScale);

// Effective DPI / 96 in single precision. A zero DPI (a failed query that
// wrote nothing sensible) counts as 96, so the label never collapses.
float UiScaleFromDpi(unsigned dpi);

// ---- Fonts ---------------------------------------------------------------

// What one CreateFontW call asks for.
struct FontRequest {
  int height;  // 0: the system's default height
  int weight;
  int quality;  // CLEARTYPE_QUALITY (5) or ANTIALIASED_QUALITY (4)
  const Utf16Char* face;
};

constexpr int kClearTypeQuality = 5;
constexpr int kAntialiasedQuality = 4;

// Face names and weights under which GDI selects the two embedded faces as
// they are. The Black file (weight class 900) names its legacy family
// "Encode Sans Condensed Black" with the style Regular: asking for the
// family "Encode Sans Condensed" at weight 900 gives the Bold file, and
// asking for the Black family at 600 or more makes GDI embolden the Black
// face a second time. The Black family at normal weight gives the Black
// face unaltered; the Bold file is the family "Encode Sans Condensed" at 700.
extern const Utf16Char kBlackFaceName[];
extern const Utf16Char kBoldFaceName[];
constexpr int kBlackFaceRequestWeight = 400;  // FW_NORMAL: the face is already Black
constexpr int kBoldFaceRequestWeight = 700;   // FW_BOLD

FontRequest ReferenceFontRequest();
FontRequest NameFontRequest(const LabelMetrics& metrics, float uiScale);
FontRequest QualifierFontRequest(const LabelMetrics& metrics, float uiScale);

// ---- Painting ------------------------------------------------------------

// The frame: each channel times 0.9 in double precision, truncated.
ColorRef FrameColor(ColorRef sample);

// Luma of the sample: G*0.587/255 + R*0.299/255 + B*0.114/255.
double SampleLuma(ColorRef sample);

// Text grey level: 51 (dark) on light samples, 255 (white) otherwise.
int TextGrey(ColorRef sample);

// The name alone, centred in (0, 0, W, H - 3).
Rect SingleTextRect(int width, int height);

struct TwoTextLayout {
  Rect name;       // drawn right-aligned, unclipped
  Rect qualifier;  // drawn left-aligned, clipped
};

// Name and qualifier side by side; nameWidth and qualifierWidth as measured
// with DT_CALCRECT, aveCharWidth and descent from the reference font.
TwoTextLayout TwoTextRects(int width, int height, int nameWidth, int qualifierWidth,
                           int aveCharWidth, int descent);

// Where the texts go on a label of width x height: a name alone (an empty
// qualifier measures 0) is centred in SingleTextRect; otherwise the name is
// right-aligned in layout.name and the qualifier left-aligned in
// layout.qualifier, clipped to it.
struct TextPlacement {
  bool nameAlone;
  Rect single;           // when nameAlone
  TwoTextLayout layout;  // otherwise
};
TextPlacement PlaceLabelTexts(int width, int height, int nameWidth, int qualifierWidth,
                              int aveCharWidth, int descent);

// ---- Texts ---------------------------------------------------------------

// The About box text: five lines joined by "\n".
extern const Utf16Char kAboutText[];

}  // namespace tintora
