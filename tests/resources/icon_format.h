// Readers for the icon containers the checks look into: the .ico file, the
// icon group resource that the resource compiler builds from it, and the
// header of a PNG image. Each refuses truncated or inconsistent data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tintora {

struct IconImageInfo {
  int width = 0;  // 256 where the directory stores 0
  int height = 0;
  int planes = 0;
  int bitCount = 0;
  std::uint32_t byteCount = 0;
  std::uint32_t offset = 0;      // .ico: where the image starts in the file
  std::uint16_t resourceId = 0;  // icon group: the RT_ICON id of the image
};

struct PngHeader {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int bitDepth = 0;
  int colourType = 0;  // 6 = truecolour with alpha
};

// An .ico file's directory; every image must lie inside the file.
std::optional<std::vector<IconImageInfo>> ReadIcoDirectory(const std::uint8_t* data,
                                                           std::size_t size);

// An RT_GROUP_ICON resource (the same header, 14-byte entries with ids).
std::optional<std::vector<IconImageInfo>> ReadIconGroup(const std::uint8_t* data, std::size_t size);

// The signature and IHDR chunk of a PNG image.
std::optional<PngHeader> ReadPngHeader(const std::uint8_t* data, std::size_t size);

}  // namespace tintora
