#include "label_layout.h"
#include "label_window.h"

namespace tintora {

namespace {

const wchar_t* Wide(const Utf16Char* text) { return reinterpret_cast<const wchar_t*>(text); }

RECT ToRect(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// Width of a text in the font, as DrawTextW's DT_CALCRECT gives it.
int MeasureTextWidth(HDC dc, HFONT font, const Utf16Char* text) {
  SelectObject(dc, font);
  RECT bounds = {0, 0, 0, 0};
  DrawTextW(dc, Wide(text), -1, &bounds, DT_CALCRECT);
  return bounds.right;
}

void DrawLabelText(HDC dc, HFONT font, const Utf16Char* text, const Rect& rect, UINT format) {
  SelectObject(dc, font);
  RECT r = ToRect(rect);
  DrawTextW(dc, Wide(text), -1, &r, format);
}

}  // namespace

LRESULT PaintLabel(HWND window) {
  PAINTSTRUCT paint = {};
  HDC target = BeginPaint(window, &paint);
  if (target == nullptr) return 0;

  RECT box = {0, 0, 0, 0};
  GetWindowRgnBox(window, &box);
  const int width = box.right;
  const int height = box.bottom;

  HDC memory = CreateCompatibleDC(target);
  HBITMAP canvas = CreateCompatibleBitmap(target, width, height);
  HGDIOBJ previousBitmap = SelectObject(memory, canvas);
  HGDIOBJ previousFont = GetCurrentObject(memory, OBJ_FONT);

  const ColorRef sample = Label.sampleColor;
  HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(sample));
  HPEN pen = CreatePen(PS_INSIDEFRAME, 1, static_cast<COLORREF>(FrameColor(sample)));
  SelectObject(memory, pen);
  SelectObject(memory, brush);
  Rectangle(memory, box.left, box.top, box.right, box.bottom);

  const unsigned grey = static_cast<unsigned>(TextGrey(sample));
  SetBkMode(memory, TRANSPARENT);
  SetTextColor(memory, static_cast<COLORREF>(MakeColorRef(grey, grey, grey)));

  const LabelTexts& texts = Label.texts;
  const int nameWidth = MeasureTextWidth(memory, NameFont, texts.name);
  const int qualifierWidth = MeasureTextWidth(memory, QualifierFont, texts.qualifier);
  const TextPlacement place = PlaceLabelTexts(width, height, nameWidth, qualifierWidth,
                                              BaseMetrics.tmAveCharWidth, BaseMetrics.tmDescent);
  if (place.nameAlone) {
    DrawLabelText(memory, NameFont, texts.name, place.single,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
  } else {
    DrawLabelText(memory, NameFont, texts.name, place.layout.name,
                  DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
    DrawLabelText(memory, QualifierFont, texts.qualifier, place.layout.qualifier,
                  DT_SINGLELINE | DT_VCENTER);
  }

  BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);

  SelectObject(memory, previousBitmap);
  SelectObject(memory, GetStockObject(NULL_BRUSH));
  SelectObject(memory, GetStockObject(NULL_PEN));
  SelectObject(memory, previousFont);
  DeleteDC(memory);
  DeleteObject(canvas);
  DeleteObject(brush);
  DeleteObject(pen);

  EndPaint(window, &paint);
  return 0;
}

}  // namespace tintora
