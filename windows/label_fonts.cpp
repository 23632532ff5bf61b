#include "debug_output.h"
#include "label_layout.h"
#include "label_window.h"

namespace tintora {

// The portable font requests mirror these values of the Windows headers.
static_assert(kClearTypeQuality == CLEARTYPE_QUALITY, "CLEARTYPE_QUALITY");
static_assert(kAntialiasedQuality == ANTIALIASED_QUALITY, "ANTIALIASED_QUALITY");
static_assert(kBlackFaceRequestWeight == FW_NORMAL, "FW_NORMAL");
static_assert(kBoldFaceRequestWeight == FW_BOLD, "FW_BOLD");
static_assert(kDefaultDpi == USER_DEFAULT_SCREEN_DPI, "USER_DEFAULT_SCREEN_DPI");

namespace {

HFONT CreateRequestedFont(const FontRequest& request) {
  return CreateFontW(request.height, 0, 0, 0, request.weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, static_cast<DWORD>(request.quality),
                     FF_MODERN | DEFAULT_PITCH, reinterpret_cast<const wchar_t*>(request.face));
}

}  // namespace

LabelMetrics BaseLabelMetrics() {
  return LabelMetrics{BaseMetrics.tmHeight, BaseMetrics.tmDescent, BaseMetrics.tmInternalLeading,
                      BaseMetrics.tmAveCharWidth};
}

InitialWindowSize MeasureBaseMetrics() {
  InitialWindowSize size = {0, 0, false};
  HDC info = CreateICW(L"DISPLAY", nullptr, nullptr, nullptr);
  if (info == nullptr) return size;
  HFONT font = CreateRequestedFont(ReferenceFontRequest());
  HGDIOBJ previous = SelectObject(info, font);
  TEXTMETRICW metrics = {};
  const bool measured = font != nullptr && GetTextMetricsW(info, &metrics) != FALSE;
  SelectObject(info, previous);
  DeleteDC(info);
  if (font != nullptr) DeleteObject(font);
  if (!measured) return size;

  BaseMetrics = metrics;
  size.width = BaseWidth(BaseLabelMetrics(), GetSystemMetrics(SM_CXBORDER));
  size.measured = true;
  return size;
}

void CreateLabelFonts() {
  NameFont = CreateRequestedFont(NameFontRequest(BaseLabelMetrics(), UiScale));
  QualifierFont = CreateRequestedFont(QualifierFontRequest(BaseLabelMetrics(), UiScale));
}

void DeleteLabelFonts() {
  if (NameFont != nullptr) DeleteObject(NameFont);
  if (QualifierFont != nullptr) DeleteObject(QualifierFont);
  NameFont = nullptr;
  QualifierFont = nullptr;
}

HANDLE RegisterEmbeddedFace(HINSTANCE instance, WORD resourceId) {
  HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(resourceId),
                                 reinterpret_cast<const wchar_t*>(kFontResourceType));
  if (resource == nullptr) return nullptr;
  HGLOBAL loaded = LoadResource(instance, resource);
  void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  const DWORD length = SizeofResource(instance, resource);
  HANDLE handle = nullptr;
  if (bytes != nullptr && length != 0) {
    DWORD faces = 0;
    handle = AddFontMemResourceEx(bytes, length, nullptr, &faces);
  }
  if (handle == nullptr) WriteDebugOutput(u"Font add fails");
  return handle;
}

void RegisterEmbeddedFaces(HINSTANCE instance) {
  BoldFaceHandle = RegisterEmbeddedFace(instance, kBoldFaceResourceId);
  BlackFaceHandle = RegisterEmbeddedFace(instance, kBlackFaceResourceId);
}

bool RemovePrivateFont(HANDLE handle) {
  if (handle == nullptr) return false;
  if (RemoveFontMemResourceEx(handle) != FALSE) return true;
  WriteDebugOutput(u"Font remove fails");
  return false;
}

}  // namespace tintora
