#include "icon_format.h"

namespace tintora {
namespace {

std::uint32_t Le16(const std::uint8_t* p) { return static_cast<std::uint32_t>(p[0] | p[1] << 8); }
std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint32_t Be32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

constexpr std::size_t kHeaderSize = 6;

// The header shared by files and groups: reserved 0, type 1 (icon), count.
std::optional<std::size_t> ReadCount(const std::uint8_t* data, std::size_t size,
                                     std::size_t entrySize) {
  if (data == nullptr || size < kHeaderSize) return std::nullopt;
  if (Le16(data) != 0 || Le16(data + 2) != 1) return std::nullopt;
  const std::size_t count = Le16(data + 4);
  if (count == 0 || (size - kHeaderSize) / entrySize < count) return std::nullopt;
  return count;
}

IconImageInfo ReadCommon(const std::uint8_t* e) {
  IconImageInfo info;
  info.width = e[0] == 0 ? 256 : e[0];
  info.height = e[1] == 0 ? 256 : e[1];
  info.planes = static_cast<int>(Le16(e + 4));
  info.bitCount = static_cast<int>(Le16(e + 6));
  info.byteCount = Le32(e + 8);
  return info;
}

}  // namespace

std::optional<std::vector<IconImageInfo>> ReadIcoDirectory(const std::uint8_t* data,
                                                           std::size_t size) {
  constexpr std::size_t kEntrySize = 16;
  const auto count = ReadCount(data, size, kEntrySize);
  if (!count) return std::nullopt;
  std::vector<IconImageInfo> images;
  for (std::size_t i = 0; i < *count; ++i) {
    const std::uint8_t* e = data + kHeaderSize + i * kEntrySize;
    IconImageInfo info = ReadCommon(e);
    info.offset = Le32(e + 12);
    if (info.offset > size || info.byteCount > size - info.offset) return std::nullopt;
    images.push_back(info);
  }
  return images;
}

std::optional<std::vector<IconImageInfo>> ReadIconGroup(const std::uint8_t* data,
                                                        std::size_t size) {
  constexpr std::size_t kEntrySize = 14;
  const auto count = ReadCount(data, size, kEntrySize);
  if (!count) return std::nullopt;
  std::vector<IconImageInfo> images;
  for (std::size_t i = 0; i < *count; ++i) {
    const std::uint8_t* e = data + kHeaderSize + i * kEntrySize;
    IconImageInfo info = ReadCommon(e);
    info.resourceId = static_cast<std::uint16_t>(Le16(e + 12));
    images.push_back(info);
  }
  return images;
}

std::optional<PngHeader> ReadPngHeader(const std::uint8_t* data, std::size_t size) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  // Signature, then the IHDR chunk: length 13, type, width, height, depth, colour type.
  if (data == nullptr || size < 8 + 8 + 13) return std::nullopt;
  for (std::size_t i = 0; i < 8; ++i) {
    if (data[i] != kSignature[i]) return std::nullopt;
  }
  if (Be32(data + 8) != 13 || data[12] != 'I' || data[13] != 'H' || data[14] != 'D' ||
      data[15] != 'R') {
    return std::nullopt;
  }
  PngHeader header;
  header.width = Be32(data + 16);
  header.height = Be32(data + 20);
  header.bitDepth = data[24];
  header.colourType = data[25];
  return header;
}

}  // namespace tintora
