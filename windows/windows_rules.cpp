#include "windows_rules.h"

namespace tintora {

unsigned DpiFromDpiChangedWParam(std::uintptr_t wParam) {
  return static_cast<unsigned>((wParam >> 16) & 0xFFFFu);
}

namespace {

int SignedWord(std::uintptr_t word) {
  const int value = static_cast<int>(word & 0xFFFFu);
  return value >= 0x8000 ? value - 0x10000 : value;
}

}  // namespace

Point MenuPositionFromLParam(std::intptr_t lParam) {
  const std::uintptr_t bits = static_cast<std::uintptr_t>(lParam);
  return Point{SignedWord(bits), SignedWord(bits >> 16)};
}

bool EndSessionSavesPosition(std::uintptr_t wParam) { return wParam != 0; }

bool RawInputSizeUsable(std::uint32_t queryResult, std::uint32_t size,
                        std::uint32_t wholeMouseEventBytes) {
  return queryResult == 0 && size >= wholeMouseEventBytes;
}

RawInputReadCheck CheckRawInputRead(std::uint32_t size, std::uint32_t readResult,
                                    std::uint32_t wholeMouseEventBytes) {
  RawInputReadCheck check{};
  check.sizeMismatch = readResult != size;
  // An error result, or a count beyond the buffer, tells nothing about which
  // bytes were filled.
  check.usable =
      readResult != kRawInputError && readResult <= size && readResult >= wholeMouseEventBytes;
  return check;
}

std::optional<std::size_t> NextRawInputBlock(std::size_t offset, std::uint32_t blockSize,
                                             std::uint32_t headerBytes, std::size_t bufferBytes) {
  if (blockSize < headerBytes || offset > bufferBytes || blockSize > bufferBytes - offset) {
    return std::nullopt;
  }
  const std::size_t end = offset + blockSize;
  return (end + kRawInputAlignment - 1) / kRawInputAlignment * kRawInputAlignment;
}

Rect VisibleLabelRect(const Rect& windowRect, const Rect& regionBox) {
  Rect visible = windowRect;
  visible.bottom = windowRect.top + regionBox.bottom;
  return visible;
}

}  // namespace tintora
