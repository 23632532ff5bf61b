// The X11 label's fonts and paint: the two embedded faces through FreeType
// and cairo, placed at whole pixels as GDI places them, so that the label
// looks as the Windows label does.
#include "x11_label.h"

#include <cairo-ft.h>
#include <cairo-xlib.h>

#include <cstdint>

namespace tintora {

namespace {

// GetSystemMetrics(SM_CXBORDER) of the Windows label: the width of a thin
// border, which is part of the label's width formula.
constexpr int kBorderWidth = 1;
// The frame and a pixel inside it.
constexpr int kSmallestSide = 3;

bool LoadFace(FT_Library freeType, const unsigned char* data, std::size_t size, FontFace* face) {
  const std::optional<FontFileInfo> info = ReadFontFileInfo(data, size);
  if (!info) return false;
  face->info = *info;
  face->data = data;
  if (FT_New_Memory_Face(freeType, data, static_cast<FT_Long>(size), 0, &face->ft) != 0) {
    return false;
  }
  face->cairo = cairo_ft_font_face_create_for_ft_face(face->ft, 0);
  return cairo_font_face_status(face->cairo) == CAIRO_STATUS_SUCCESS;
}

void CreateFont(const FontFace& face, int cellHeight, LabelFont* font) {
  if (font->scaled != nullptr) cairo_scaled_font_destroy(font->scaled);
  font->face = &face;
  font->metrics = GdiMetricsForCellHeight(face.info, cellHeight);
  cairo_matrix_t size;
  cairo_matrix_init_scale(&size, font->metrics.pixelsPerEm, font->metrics.pixelsPerEm);
  cairo_matrix_t identity;
  cairo_matrix_init_identity(&identity);
  cairo_font_options_t* options = cairo_font_options_create();
  // Grey antialiasing with the face's own hinting, as the Windows label's
  // ANTIALIASED_QUALITY fonts; glyphs are placed at whole pixels by the
  // label itself.
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
  font->scaled = cairo_scaled_font_create(face.cairo, &size, &identity, options);
  cairo_font_options_destroy(options);
}

void ReleaseFont(LabelFont* font) {
  if (font->scaled != nullptr) cairo_scaled_font_destroy(font->scaled);
  font->scaled = nullptr;
}

// Glyphs of a label text laid out from x = 0 on the baseline y = 0; gives
// the width as DrawTextW measures it: the sum of the whole-pixel advances.
constexpr std::size_t kMaxGlyphs = kLabelTextUnits;

int LayoutText(const LabelFont& font, const Utf16Char* text, cairo_glyph_t* glyphs, int* count) {
  std::uint32_t codePoints[kMaxGlyphs];
  const std::size_t n = CodePointsFromUtf16(text, codePoints, kMaxGlyphs);
  const FontFileInfo& info = font.face->info;
  int x = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned glyph = GlyphIndex(font.face->data, info, codePoints[i]);
    glyphs[i].index = glyph;
    glyphs[i].x = x;
    glyphs[i].y = 0;
    x += ScaleAdvance(AdvanceUnits(font.face->data, info, glyph), info.unitsPerEm,
                      font.metrics.pixelsPerEm);
  }
  *count = static_cast<int>(n);
  return x;
}

void DrawGlyphs(cairo_t* cr, const LabelFont& font, cairo_glyph_t* glyphs, int count,
                Point cellOrigin) {
  const double baseline = cellOrigin.y + font.metrics.ascent;
  for (int i = 0; i < count; ++i) {
    glyphs[i].x += cellOrigin.x;
    glyphs[i].y = baseline;
  }
  cairo_set_scaled_font(cr, font.scaled);
  cairo_show_glyphs(cr, glyphs, count);
}

void SetSourceColour(cairo_t* cr, ColorRef c) {
  cairo_set_source_rgb(cr, RedOf(c) / 255.0, GreenOf(c) / 255.0, BlueOf(c) / 255.0);
}

// The texts where the core places them: the name alone centred, or the name
// right-aligned beside the qualifier, which is clipped to its rectangle.
void DrawTexts(cairo_t* cr, const LabelFonts& fonts, const LabelTexts& texts, int w, int h) {
  cairo_glyph_t nameGlyphs[kMaxGlyphs];
  cairo_glyph_t qualifierGlyphs[kMaxGlyphs];
  int nameCount = 0;
  int qualifierCount = 0;
  const int nameWidth = LayoutText(fonts.name, texts.name, nameGlyphs, &nameCount);
  const int qualifierWidth =
      LayoutText(fonts.qualifier, texts.qualifier, qualifierGlyphs, &qualifierCount);
  const int nameHeight = fonts.name.metrics.label.height;
  const TextPlacement place =
      PlaceLabelTexts(w, h, nameWidth, qualifierWidth, fonts.base.aveCharWidth, fonts.base.descent);
  if (place.nameAlone) {
    DrawGlyphs(cr, fonts.name, nameGlyphs, nameCount,
               SingleLineOrigin(place.single, nameWidth, nameHeight, HorizontalAlign::Centre));
    return;
  }
  DrawGlyphs(cr, fonts.name, nameGlyphs, nameCount,
             SingleLineOrigin(place.layout.name, nameWidth, nameHeight, HorizontalAlign::Right));
  const Rect& q = place.layout.qualifier;
  cairo_save(cr);
  cairo_rectangle(cr, q.left, q.top, q.right - q.left, q.bottom - q.top);
  cairo_clip(cr);
  DrawGlyphs(cr, fonts.qualifier, qualifierGlyphs, qualifierCount,
             SingleLineOrigin(q, qualifierWidth, fonts.qualifier.metrics.label.height,
                              HorizontalAlign::Left));
  cairo_restore(cr);
}

}  // namespace

bool LoadLabelFonts(LabelFonts* fonts) {
  if (FT_Init_FreeType(&fonts->freeType) != 0) return false;
  if (!LoadFace(fonts->freeType, kBlackFaceData, kBlackFaceSize, &fonts->black) ||
      !LoadFace(fonts->freeType, kBoldFaceData, kBoldFaceSize, &fonts->bold)) {
    return false;
  }
  fonts->base = GdiMetricsForCellHeight(fonts->black.info, 0).label;
  return true;
}

void ReleaseLabelFonts(LabelFonts* fonts) {
  ReleaseFont(&fonts->name);
  ReleaseFont(&fonts->qualifier);
  for (FontFace* face : {&fonts->black, &fonts->bold}) {
    if (face->cairo != nullptr) cairo_font_face_destroy(face->cairo);
    if (face->ft != nullptr) FT_Done_Face(face->ft);
    face->cairo = nullptr;
    face->ft = nullptr;
  }
  if (fonts->freeType != nullptr) FT_Done_FreeType(fonts->freeType);
  fonts->freeType = nullptr;
}

void ApplyScale(X11Label* label) {
  LabelFonts& fonts = label->fonts;
  const LabelSize size = LabelSizeAt(fonts.base, kBorderWidth, label->uiScale);
  label->surface.width = size.width < kSmallestSide ? kSmallestSide : size.width;
  label->surface.height = size.height < kSmallestSide ? kSmallestSide : size.height;
  CreateFont(fonts.black, LabelHeight(fonts.base, label->uiScale), &fonts.name);
  CreateFont(fonts.bold, QualifierFontHeight(fonts.base, label->uiScale), &fonts.qualifier);
}

void ReleaseSurface(X11Label* label) {
  LabelSurface& s = label->surface;
  if (s.context != nullptr) cairo_destroy(s.context);
  if (s.surface != nullptr) cairo_surface_destroy(s.surface);
  if (s.backBuffer != 0) XFreePixmap(label->display, s.backBuffer);
  s.context = nullptr;
  s.surface = nullptr;
  s.backBuffer = 0;
}

void CreateBackBuffer(X11Label* label) {
  ReleaseSurface(label);
  LabelSurface& s = label->surface;
  s.backBuffer =
      XCreatePixmap(label->display, label->window, static_cast<unsigned>(s.width),
                    static_cast<unsigned>(s.height), static_cast<unsigned>(label->screen.depth));
  s.surface = cairo_xlib_surface_create(label->display, s.backBuffer, label->screen.visual, s.width,
                                        s.height);
  s.context = cairo_create(s.surface);
}

void PaintLabel(X11Label* label) {
  LabelSurface& s = label->surface;
  if (s.context == nullptr) return;
  cairo_t* cr = s.context;
  const ColorRef sample = label->core.sampleColor;
  // The frame: one pixel in the 0.9 shade along every edge, the sample inside.
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  SetSourceColour(cr, FrameColor(sample));
  cairo_paint(cr);
  SetSourceColour(cr, sample);
  cairo_rectangle(cr, 1, 1, s.width - 2, s.height - 2);
  cairo_fill(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);

  const double grey = TextGrey(sample) / 255.0;
  cairo_set_source_rgb(cr, grey, grey, grey);
  DrawTexts(cr, label->fonts, label->core.texts, s.width, s.height);
  cairo_surface_flush(s.surface);
  ShowBackBuffer(*label);
  XFlush(label->display);
}

void ShowBackBuffer(const X11Label& label) {
  const LabelSurface& s = label.surface;
  if (s.backBuffer == 0) return;
  XCopyArea(label.display, s.backBuffer, label.window, s.copyGc, 0, 0,
            static_cast<unsigned>(s.width), static_cast<unsigned>(s.height), 0, 0);
}

}  // namespace tintora
