#include "label_layout.h"

#include "version.h"
#include "wide_format.h"

namespace tintora {

const Utf16Char kBlackFaceName[] = u"Encode Sans Condensed Black";
const Utf16Char kBoldFaceName[] = u"Encode Sans Condensed";

const Utf16Char kAboutText[] = u"Tintora Beta " TINTORA_VERSION_STRING
                               "\n"
                               u"\u00A9 2026 MossVane. All rights reserved.\n"
                               u"\n"
                               u"https://mossvane.example\n"
                               u"support@mossvane.example";

int BaseWidth(const LabelMetrics& metrics, int borderWidth) {
  return metrics.aveCharWidth * 15 + (borderWidth + metrics.height) * 2;
}

namespace {

// The text height without internal leading, times a factor and the scale.
int ScaledTextHeight(const LabelMetrics& metrics, double factor, float uiScale) {
  const int textHeight = metrics.height - metrics.internalLeading;
  return TruncateToInt(static_cast<double>(textHeight) * factor * static_cast<double>(uiScale));
}

}  // namespace

int LabelHeight(const LabelMetrics& metrics, float uiScale) {
  return ScaledTextHeight(metrics, 1.9, uiScale);
}

int QualifierFontHeight(const LabelMetrics& metrics, float uiScale) {
  return ScaledTextHeight(metrics, 1.15, uiScale);
}

int ScaleExtent(int extent, float uiScale) {
  const float scaled = static_cast<float>(extent) * uiScale;
  return TruncateToInt(static_cast<double>(scaled));
}

LabelSize LabelSizeAt(const LabelMetrics& metrics, int borderWidth, float uiScale) {
  return LabelSize{ScaleExtent(BaseWidth(metrics, borderWidth), uiScale),
                   LabelHeight(metrics, uiScale)};
}

float UiScaleFromDpi(unsigned dpi) {
  if (dpi == 0) dpi = kDefaultDpi;
  return static_cast<float>(dpi) / 96.0f;
}

FontRequest ReferenceFontRequest() {
  return FontRequest{0, kBlackFaceRequestWeight, kClearTypeQuality, kBlackFaceName};
}

FontRequest NameFontRequest(const LabelMetrics& metrics, float uiScale) {
  return FontRequest{LabelHeight(metrics, uiScale), kBlackFaceRequestWeight, kAntialiasedQuality,
                     kBlackFaceName};
}

FontRequest QualifierFontRequest(const LabelMetrics& metrics, float uiScale) {
  return FontRequest{QualifierFontHeight(metrics, uiScale), kBoldFaceRequestWeight,
                     kAntialiasedQuality, kBoldFaceName};
}

namespace {

unsigned NinetyPercent(unsigned channel) {
  return static_cast<unsigned>(TruncateToInt(static_cast<double>(channel) * 0.9));
}

}  // namespace

ColorRef FrameColor(ColorRef sample) {
  return MakeColorRef(NinetyPercent(RedOf(sample)), NinetyPercent(GreenOf(sample)),
                      NinetyPercent(BlueOf(sample)));
}

double SampleLuma(ColorRef sample) {
  const double red = static_cast<double>(RedOf(sample));
  const double green = static_cast<double>(GreenOf(sample));
  const double blue = static_cast<double>(BlueOf(sample));
  // The green and red terms first, then blue: the sum is not associative in
  // floating point and the threshold sits between neighbouring greys.
  return green * 0.587 / 255.0 + red * 0.299 / 255.0 + blue * 0.114 / 255.0;
}

int TextGrey(ColorRef sample) { return (1.0 - SampleLuma(sample) < 0.3) ? 51 : 255; }

Rect SingleTextRect(int width, int height) { return Rect{0, 0, width, height - 3}; }

TwoTextLayout TwoTextRects(int width, int height, int nameWidth, int qualifierWidth,
                           int aveCharWidth, int descent) {
  // C++ integer division truncates toward zero, as the layout wants for a
  // negative margin too.
  const int margin = (width - qualifierWidth - nameWidth - aveCharWidth) / 2;
  const int gap = aveCharWidth / 2;
  const int qualifierTop = TruncateToInt(static_cast<double>(descent) * 1.9);
  TwoTextLayout layout{};
  layout.name = Rect{margin + gap, 0, width - margin - qualifierWidth, height - 3};
  layout.qualifier =
      Rect{width + gap - margin - qualifierWidth, qualifierTop, width + gap - margin, height};
  return layout;
}

TextPlacement PlaceLabelTexts(int width, int height, int nameWidth, int qualifierWidth,
                              int aveCharWidth, int descent) {
  TextPlacement placement{};
  placement.nameAlone = qualifierWidth == 0;
  if (placement.nameAlone) {
    placement.single = SingleTextRect(width, height);
  } else {
    placement.layout =
        TwoTextRects(width, height, nameWidth, qualifierWidth, aveCharWidth, descent);
  }
  return placement;
}

}  // namespace tintora
