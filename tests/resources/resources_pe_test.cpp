// Checks the resources inside a built program. The program is loaded as a
// data file only: nothing of it runs.
//
//   resources_pe_test <program.exe> <app|cli> <resources dir> [gtest flags]
//
// "app" is tintora.exe (icon, faces, manifest, version); "cli" is
// tintora-name.exe (icon and its own version information).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "expected_resources.h"
#include "icon_format.h"
#include "version.h"
#include "sha256.h"

namespace tintora {
namespace {

std::wstring gProgramPath;
bool gIsApp = true;
std::wstring gResourceDir;

struct Bytes {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
};

// The program, mapped as an image resource; unloaded when the tests end.
class ProgramResources : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = LoadLibraryExW(gProgramPath.c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  }
  static void TearDownTestSuite() {
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(module_, nullptr) << "cannot load the program, error " << GetLastError();
  }

  static Bytes Find(const wchar_t* type, unsigned short id) {
    HRSRC info = FindResourceW(module_, MAKEINTRESOURCEW(id), type);
    if (info == nullptr) return {};
    HGLOBAL loaded = LoadResource(module_, info);
    if (loaded == nullptr) return {};
    return {static_cast<const std::uint8_t*>(LockResource(loaded)), SizeofResource(module_, info)};
  }

  static HMODULE module_;
};
HMODULE ProgramResources::module_ = nullptr;

std::vector<std::uint8_t> ReadFile(const std::wstring& path) {
  std::vector<std::uint8_t> bytes;
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (1 << 26)) {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
        read != bytes.size()) {
      bytes.clear();
    }
  }
  CloseHandle(file);
  return bytes;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (const wchar_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

std::wstring Widen(const char* text) {
  std::wstring out;
  for (; *text != '\0'; ++text) out.push_back(static_cast<wchar_t>(*text));
  return out;
}

TEST_F(ProgramResources, IconGroupHoldsNineThirtyTwoBitPngImages) {
  const Bytes group = Find(RT_GROUP_ICON, kAppIconResourceId);
  ASSERT_NE(group.data, nullptr) << "no icon group " << kAppIconResourceId;
  const auto entries = ReadIconGroup(group.data, group.size);
  ASSERT_TRUE(entries.has_value()) << "malformed icon group";
  ASSERT_EQ(entries->size(), kIconSizes.size());

  // The images must be the committed icon's, byte for byte.
  const std::vector<std::uint8_t> ico = ReadFile(gResourceDir + L"\\tintora.ico");
  const auto fileImages = ReadIcoDirectory(ico.data(), ico.size());
  ASSERT_TRUE(fileImages.has_value()) << "cannot read resources/tintora.ico";
  ASSERT_EQ(fileImages->size(), kIconSizes.size());

  for (std::size_t i = 0; i < kIconSizes.size(); ++i) {
    const IconImageInfo& entry = (*entries)[i];
    SCOPED_TRACE("image of " + std::to_string(kIconSizes[i]) + " px");
    EXPECT_EQ(entry.width, kIconSizes[i]);
    EXPECT_EQ(entry.height, kIconSizes[i]);
    EXPECT_EQ(entry.bitCount, 32);
    const Bytes image = Find(RT_ICON, entry.resourceId);
    ASSERT_NE(image.data, nullptr) << "RT_ICON " << entry.resourceId << " missing";
    ASSERT_EQ(image.size, entry.byteCount);
    const auto png = ReadPngHeader(image.data, image.size);
    ASSERT_TRUE(png.has_value()) << "not stored as PNG";
    EXPECT_EQ(png->width, static_cast<std::uint32_t>(kIconSizes[i]));
    EXPECT_EQ(png->colourType, 6) << "not RGBA";

    const IconImageInfo& stored = (*fileImages)[i];
    ASSERT_EQ(stored.byteCount, image.size);
    EXPECT_EQ(0, std::memcmp(ico.data() + stored.offset, image.data, image.size))
        << "differs from tintora.ico";

    // The system can make an icon of it.
    HICON icon =
        CreateIconFromResourceEx(const_cast<PBYTE>(image.data), static_cast<DWORD>(image.size),
                                 TRUE, 0x00030000, kIconSizes[i], kIconSizes[i], LR_DEFAULTCOLOR);
    EXPECT_NE(icon, nullptr) << "CreateIconFromResourceEx refuses it";
    if (icon != nullptr) DestroyIcon(icon);
  }
}

TEST_F(ProgramResources, FontFacesAreTheCommittedFilesUnchanged) {
  for (const ExpectedFace& face : kExpectedFaces) {
    SCOPED_TRACE(face.fileName);
    const Bytes bytes = Find(L"BINARY", face.resourceId);
    if (!gIsApp) {
      EXPECT_EQ(bytes.data, nullptr) << "only the label program carries the faces";
      continue;
    }
    ASSERT_NE(bytes.data, nullptr) << "no BINARY " << face.resourceId;
    EXPECT_EQ(Sha256Hex(bytes.data, bytes.size), face.sha256);
    const std::vector<std::uint8_t> file =
        ReadFile(gResourceDir + L"\\fonts\\" + Widen(face.fileName));
    ASSERT_EQ(file.size(), bytes.size);
    EXPECT_EQ(0, std::memcmp(file.data(), bytes.data, bytes.size));

    // The system accepts the embedded bytes as one private face.
    DWORD faces = 0;
    HANDLE handle = AddFontMemResourceEx(const_cast<std::uint8_t*>(bytes.data),
                                         static_cast<DWORD>(bytes.size), nullptr, &faces);
    EXPECT_NE(handle, nullptr);
    EXPECT_EQ(faces, 1u);
    if (handle != nullptr) {
      EXPECT_TRUE(RemoveFontMemResourceEx(handle));
    }
  }
}

TEST_F(ProgramResources, ManifestAsksForNoElevationAndPerMonitorDpi) {
  const Bytes manifest = Find(RT_MANIFEST, kManifestResourceId);
  if (!gIsApp) GTEST_SKIP() << "the command-line namer has no manifest of its own";
  ASSERT_NE(manifest.data, nullptr) << "no manifest 1";
  const std::string text(reinterpret_cast<const char*>(manifest.data), manifest.size);
  const char* const required[] = {
      "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
      "xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">True/PM</dpiAware>",
      ("xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2, "
       "PerMonitor</dpiAwareness>"),
      "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
      "<supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>",  // Windows 8.1
      "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",  // Windows 10 and 11
      ("name=\"MossVane.Tintora\" version=\"" TINTORA_VERSION_STRING ".0\""),
  };
  for (const char* item : required)
    EXPECT_NE(text.find(item), std::string::npos) << "missing: " << item;
}

std::wstring VersionString(const std::vector<std::uint8_t>& block, const wchar_t* name) {
  const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || value == nullptr ||
      length == 0)
    return L"";
  return std::wstring(static_cast<const wchar_t*>(value));
}

TEST(ProgramVersion, StatesProductFileAndVersion) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(gProgramPath.c_str(), &ignored);
  ASSERT_GT(size, 0u) << "no version information, error " << GetLastError();
  std::vector<std::uint8_t> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(gProgramPath.c_str(), 0, size, block.data()));

  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &value, &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);  // 1.0
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00020000u);  // .2.0
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00020000u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length));
  ASSERT_GE(length, 4u);
  const auto* translation = static_cast<const WORD*>(value);
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 1200);

  const wchar_t* const kVersion = L"" TINTORA_VERSION_STRING;
  struct Field {
    const wchar_t* name;
    const wchar_t* app;
    const wchar_t* cli;
  };
  const Field fields[] = {
      {L"ProductName", L"Tintora", L"Tintora"},
      {L"ProductVersion", kVersion, kVersion},
      {L"FileVersion", kVersion, kVersion},
      {L"CompanyName", L"MossVane", L"MossVane"},
      {L"FileDescription", L"Tintora colour namer", L"Tintora command-line colour namer"},
      {L"OriginalFilename", L"tintora.exe", L"tintora-name.exe"},
      {L"InternalName", L"tintora", L"tintora-name"},
  };
  for (const Field& field : fields) {
    const std::wstring expected = gIsApp ? field.app : field.cli;
    EXPECT_EQ(Narrow(VersionString(block, field.name)), Narrow(expected)) << Narrow(field.name);
  }
  EXPECT_FALSE(VersionString(block, L"LegalCopyright").empty());
}

// CMake hands over host paths; under Wine a path from the root names drive Z:.
std::wstring WindowsPath(const wchar_t* path) {
  std::wstring out(path);
  if (!out.empty() && out[0] == L'/') out = L"Z:" + out;
  for (wchar_t& c : out) {
    if (c == L'/') c = L'\\';
  }
  return out;
}

}  // namespace
}  // namespace tintora

int wmain(int argc, wchar_t** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 4 || (std::wstring(argv[2]) != L"app" && std::wstring(argv[2]) != L"cli")) {
    std::fprintf(stderr, "usage: resources_pe_test <program.exe> <app|cli> <resources dir>\n");
    return 2;
  }
  tintora::gProgramPath = tintora::WindowsPath(argv[1]);
  tintora::gIsApp = std::wstring(argv[2]) == L"app";
  tintora::gResourceDir = tintora::WindowsPath(argv[3]);
  return RUN_ALL_TESTS();
}
