// Which embedded face and weight GDI really selects for the label's fonts,
// once the two faces are registered from the program's resources. Runs under
// Windows (or Wine); the exe carries the same resources as tintora.exe.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "label_layout.h"
#include "label_window.h"

namespace tintora {
namespace {

struct SelectedFace {
  std::wstring face;      // GetTextFaceW
  std::wstring family;    // the file's family name
  std::wstring style;     // the file's subfamily name
  std::wstring fullName;  // the file's full name: tells the two files apart
  LONG weight;            // tmWeight as GDI reports it
  LONG height;            // tmHeight
  LONG aveCharWidth;      // tmAveCharWidth: grows when GDI emboldens
  LONG overhang;          // tmOverhang
};

std::wstring OutlineString(const std::vector<char>& buffer, PSTR offset) {
  const std::size_t at = reinterpret_cast<std::size_t>(offset);
  if (at == 0 || at >= buffer.size()) return std::wstring();
  return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + at));
}

SelectedFace Inspect(HFONT font) {
  SelectedFace selected{};
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, font);
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, face);
  selected.face = face;
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  selected.weight = metrics.tmWeight;
  selected.height = metrics.tmHeight;
  selected.aveCharWidth = metrics.tmAveCharWidth;
  selected.overhang = metrics.tmOverhang;
  const UINT size = GetOutlineTextMetricsW(dc, 0, nullptr);
  if (size != 0) {
    std::vector<char> buffer(size);
    auto* outline = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.data());
    if (GetOutlineTextMetricsW(dc, size, outline) != 0) {
      selected.family = OutlineString(buffer, outline->otmpFamilyName);
      selected.style = OutlineString(buffer, outline->otmpStyleName);
      // otmpFaceName holds the file's full name; otmpFullName, despite its
      // name, holds the unique identifier.
      selected.fullName = OutlineString(buffer, outline->otmpFaceName);
    }
  }
  SelectObject(dc, previous);
  DeleteDC(dc);
  return selected;
}

HFONT Request(const wchar_t* face, int height, int weight) {
  return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                     FF_MODERN | DEFAULT_PITCH, face);
}

// For messages only: the names are ASCII.
std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text) narrow.push_back(static_cast<char>(c < 0x80 ? c : L'?'));
  return narrow;
}

std::string Describe(const SelectedFace& s) {
  std::wstring text = L"face '" + s.face + L"', full name '" + s.fullName + L"', style '" +
                      s.style + L"', weight " + std::to_wstring(s.weight) + L", average width " +
                      std::to_wstring(s.aveCharWidth) + L", overhang " +
                      std::to_wstring(s.overhang);
  return Narrow(text);
}

class EmbeddedFaces : public ::testing::Environment {
 public:
  void SetUp() override { RegisterEmbeddedFaces(GetModuleHandleW(nullptr)); }
  void TearDown() override {
    RemovePrivateFont(BoldFaceHandle);
    RemovePrivateFont(BlackFaceHandle);
  }
};

const ::testing::Environment* const kFaces = ::testing::AddGlobalTestEnvironment(new EmbeddedFaces);

TEST(EmbeddedFaceRegistration, BothFacesRegisterFromTheResources) {
  EXPECT_NE(BoldFaceHandle, nullptr);
  EXPECT_NE(BlackFaceHandle, nullptr);
}

TEST(EmbeddedFaceRegistration, MissingResourceGivesNoHandle) {
  EXPECT_EQ(RegisterEmbeddedFace(GetModuleHandleW(nullptr), 999), nullptr);
  EXPECT_FALSE(RemovePrivateFont(nullptr));
}

TEST(LabelFontSelection, ReferenceMetricsComeFromTheBlackFace) {
  const InitialWindowSize size = MeasureBaseMetrics();
  ASSERT_TRUE(size.measured);
  EXPECT_EQ(size.height, 0);
  EXPECT_GT(BaseMetrics.tmHeight, 0);
  EXPECT_GT(BaseMetrics.tmAveCharWidth, 0);
  const LabelMetrics metrics = BaseLabelMetrics();
  EXPECT_EQ(size.width, BaseWidth(metrics, GetSystemMetrics(SM_CXBORDER)));
  std::printf(
      "reference metrics: height %d, descent %d, internal leading %d, average width %d;"
      " BaseWidth %d\n",
      static_cast<int>(metrics.height), static_cast<int>(metrics.descent),
      static_cast<int>(metrics.internalLeading), static_cast<int>(metrics.aveCharWidth),
      size.width);

  const FontRequest request = ReferenceFontRequest();
  HFONT reference = Request(reinterpret_cast<const wchar_t*>(request.face), 0, request.weight);
  const SelectedFace selected = Inspect(reference);
  DeleteObject(reference);
  EXPECT_EQ(selected.fullName, L"Encode Sans Condensed Black") << Describe(selected);
  EXPECT_EQ(BaseMetrics.tmWeight, selected.weight);
  EXPECT_EQ(BaseMetrics.tmAveCharWidth, selected.aveCharWidth);
}

// The face as the file has it, without any emboldening: what GDI gives when
// no weight is asked for.
SelectedFace Unaltered(const wchar_t* face, int height) {
  HFONT font = Request(face, height, FW_DONTCARE);
  const SelectedFace selected = Inspect(font);
  DeleteObject(font);
  return selected;
}

class LabelFontsAtScale : public ::testing::TestWithParam<float> {};

TEST_P(LabelFontsAtScale, NameIsBlackAndQualifierIsBold) {
  ASSERT_TRUE(MeasureBaseMetrics().measured);
  UiScale = GetParam();
  CreateLabelFonts();
  const SelectedFace name = Inspect(NameFont);
  const SelectedFace qualifier = Inspect(QualifierFont);
  DeleteLabelFonts();

  const LabelMetrics metrics = BaseLabelMetrics();
  EXPECT_EQ(name.fullName, L"Encode Sans Condensed Black") << Describe(name);
  // A positive request is a cell height; the rasteriser may miss it by one.
  EXPECT_NEAR(name.height, LabelHeight(metrics, UiScale), 1);
  const SelectedFace black =
      Unaltered(L"Encode Sans Condensed Black", LabelHeight(metrics, UiScale));
  EXPECT_EQ(name.weight, black.weight) << "emboldened: " << Describe(name);
  EXPECT_EQ(name.aveCharWidth, black.aveCharWidth) << "emboldened: " << Describe(name);

  EXPECT_EQ(qualifier.fullName, L"Encode Sans Condensed Bold") << Describe(qualifier);
  EXPECT_EQ(qualifier.weight, 700) << Describe(qualifier);
  EXPECT_NEAR(qualifier.height, QualifierFontHeight(metrics, UiScale), 1);
  const SelectedFace bold =
      Unaltered(L"Encode Sans Condensed", QualifierFontHeight(metrics, UiScale));
  EXPECT_EQ(qualifier.fullName, bold.fullName);
  EXPECT_EQ(qualifier.aveCharWidth, bold.aveCharWidth) << "emboldened: " << Describe(qualifier);
}

INSTANTIATE_TEST_SUITE_P(Scales, LabelFontsAtScale, ::testing::Values(1.0f, 1.5f, 2.0f));

}  // namespace
}  // namespace tintora
