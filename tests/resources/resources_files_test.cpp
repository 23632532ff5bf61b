// Checks of the committed resource files and of the readers the executable
// checks rely on. Runs natively.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "expected_resources.h"
#include "icon_format.h"
#include "sha256.h"

namespace tintora {
namespace {

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>());
}

const std::string kResourceDir = TINTORA_RESOURCE_DIR;

std::string HashOf(const std::string& text) {
  return Sha256Hex(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(Sha256, MatchesPublishedVectorsAcrossBlockBoundaries) {
  struct Case {
    std::string input;
    const char* digest;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      // 56 bytes: the length no longer fits the first padding block.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      // 112 bytes: one full block, then a split tail.
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmn"
       "opqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(HashOf(c.input), c.digest) << "input of " << c.input.size() << " bytes";
}

TEST(CommittedFiles, FontFacesAreThePublishedOnes) {
  for (const ExpectedFace& face : kExpectedFaces) {
    const std::vector<std::uint8_t> bytes = ReadFile(kResourceDir + "/fonts/" + face.fileName);
    ASSERT_FALSE(bytes.empty()) << face.fileName;
    EXPECT_EQ(Sha256Hex(bytes.data(), bytes.size()), face.sha256) << face.fileName;
  }
  const std::vector<std::uint8_t> licence = ReadFile(kResourceDir + "/fonts/OFL.txt");
  const std::string text(licence.begin(), licence.end());
  EXPECT_NE(text.find("SIL OPEN FONT LICENSE Version 1.1"), std::string::npos);
}

TEST(CommittedFiles, IconHoldsNineThirtyTwoBitPngImages) {
  const std::vector<std::uint8_t> ico = ReadFile(kResourceDir + "/tintora.ico");
  const auto images = ReadIcoDirectory(ico.data(), ico.size());
  ASSERT_TRUE(images.has_value());
  ASSERT_EQ(images->size(), kIconSizes.size());
  for (std::size_t i = 0; i < kIconSizes.size(); ++i) {
    const IconImageInfo& image = (*images)[i];
    SCOPED_TRACE("image of " + std::to_string(kIconSizes[i]) + " px");
    EXPECT_EQ(image.width, kIconSizes[i]);
    EXPECT_EQ(image.height, kIconSizes[i]);
    EXPECT_EQ(image.bitCount, 32);
    EXPECT_EQ(image.planes, 1);
    const auto png = ReadPngHeader(ico.data() + image.offset, image.byteCount);
    ASSERT_TRUE(png.has_value()) << "not stored as PNG";
    EXPECT_EQ(png->width, static_cast<std::uint32_t>(kIconSizes[i]));
    EXPECT_EQ(png->height, static_cast<std::uint32_t>(kIconSizes[i]));
    EXPECT_EQ(png->bitDepth, 8);
    EXPECT_EQ(png->colourType, 6) << "not RGBA";
  }
}

// A one-image .ico: header, one 16-byte entry, then a 29-byte PNG header.
std::vector<std::uint8_t> MinimalIco() {
  return {0,    0,   1,   0,   1,    0,  // header: icon, one image
          16,   16,  0,   0,   1,    0,    32,   0,    29, 0, 0, 0,
          22,   0,   0,   0,  // 16 px, 32 bpp, 29 bytes at 22
          0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0,  0, 0, 13,  // signature, IHDR length
          'I',  'H', 'D', 'R', 0,    0,    0,    16,   0,  0, 0, 16,
          8,    6,   0,   0,   0};  // 16 x 16, RGBA 8
}

// A copy of `bytes` with one byte replaced.
std::vector<std::uint8_t> WithByte(std::vector<std::uint8_t> bytes, std::size_t index,
                                   std::uint8_t value) {
  if (index < bytes.size()) bytes[index] = value;
  return bytes;
}

TEST(IconReaders, AcceptWellFormedData) {
  const std::vector<std::uint8_t> ico = MinimalIco();
  const auto images = ReadIcoDirectory(ico.data(), ico.size());
  ASSERT_TRUE(images.has_value());
  ASSERT_EQ(images->size(), 1u);
  EXPECT_EQ((*images)[0].offset, 22u);
  const auto png = ReadPngHeader(ico.data() + 22, 29);
  ASSERT_TRUE(png.has_value());
  EXPECT_EQ(png->width, 16u);

  // A group entry: 0 x 0 means 256 px, the last word is the image's id.
  const std::uint8_t group[] = {0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 32, 0, 0x10, 0x27, 0, 0, 9, 0};
  const auto entries = ReadIconGroup(group, sizeof group);
  ASSERT_TRUE(entries.has_value());
  EXPECT_EQ((*entries)[0].width, 256);
  EXPECT_EQ((*entries)[0].byteCount, 10000u);
  EXPECT_EQ((*entries)[0].resourceId, 9);
}

TEST(IconReaders, RefuseTruncatedOrForeignData) {
  const std::vector<std::uint8_t> good = MinimalIco();
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"header only", {good.begin(), good.begin() + 6}});
  cases.push_back({"directory cut short", {good.begin(), good.begin() + 21}});
  cases.push_back({"image runs past the end", {good.begin(), good.end() - 1}});
  cases.push_back({"a cursor file", WithByte(good, 2, 2)});
  cases.push_back({"zero images", WithByte(good, 4, 0)});
  cases.push_back({"offset past the end", WithByte(good, 21, 0x7f)});
  for (const Case& c : cases) {
    EXPECT_FALSE(ReadIcoDirectory(c.bytes.data(), c.bytes.size()).has_value()) << c.what;
  }
  EXPECT_FALSE(ReadIcoDirectory(nullptr, 100).has_value());

  const std::uint8_t shortGroup[] = {0, 0, 1, 0, 2, 0, 16, 16, 0, 0, 1, 0, 32, 0, 1, 0, 0, 0, 1, 0};
  EXPECT_FALSE(ReadIconGroup(shortGroup, sizeof shortGroup).has_value())
      << "two entries announced, one present";

  const std::uint8_t* png = good.data() + 22;
  EXPECT_FALSE(ReadPngHeader(png, 28).has_value()) << "IHDR cut short";
  const std::vector<std::uint8_t> bmp = WithByte(good, 22 + 1, 'B');
  EXPECT_FALSE(ReadPngHeader(bmp.data() + 22, 29).has_value()) << "not a PNG signature";
  const std::vector<std::uint8_t> noHeader = WithByte(good, 22 + 12, 'X');
  EXPECT_FALSE(ReadPngHeader(noHeader.data() + 22, 29).has_value()) << "first chunk not IHDR";
}

}  // namespace
}  // namespace tintora
