#include "settings_rules.h"

#include <limits>

namespace tintora {

namespace {

bool FitsInt32(std::int64_t value) {
  return value >= std::numeric_limits<std::int32_t>::min() &&
         value <= std::numeric_limits<std::int32_t>::max();
}

}  // namespace

std::int32_t PositionFromPattern(std::uint32_t pattern) {
  if (pattern <= static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
    return static_cast<std::int32_t>(pattern);
  }
  // Patterns with the top bit set are negative: -(~pattern) - 1, where ~pattern
  // fits the positive range.
  return -static_cast<std::int32_t>(~pattern) - 1;
}

std::uint32_t PatternFromPosition(std::int32_t position) {
  // Signed-to-unsigned conversion is modular by definition.
  return static_cast<std::uint32_t>(position);
}

std::optional<std::int32_t> DecodeStoredPosition(std::uint32_t pattern, std::uint32_t bytesRead) {
  if (bytesRead != sizeof(std::uint32_t)) {
    return std::nullopt;
  }
  return PositionFromPattern(pattern);
}

std::optional<Rect> MovePlacement(const Rect& current, std::int32_t x, std::int32_t y) {
  // Width and height are taken in 64 bits: even a rectangle spanning the
  // whole 32-bit range has a size that fits there.
  const std::int64_t width = static_cast<std::int64_t>(current.right) - current.left;
  const std::int64_t height = static_cast<std::int64_t>(current.bottom) - current.top;
  const std::int64_t right = x + width;
  const std::int64_t bottom = y + height;
  if (!FitsInt32(right) || !FitsInt32(bottom)) {
    return std::nullopt;
  }
  return Rect{x, y, static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)};
}

ModulePathResult ClassifyModulePath(std::uint32_t returned, std::uint32_t bufferUnits,
                                    std::uint32_t lastError) {
  if (bufferUnits == 0) {
    return ModulePathResult::Failed;
  }
  if (returned >= bufferUnits || lastError == kErrorInsufficientBuffer) {
    return ModulePathResult::Truncated;
  }
  if (returned == 0) {
    return ModulePathResult::Failed;
  }
  return ModulePathResult::Whole;
}

std::uint32_t NextModulePathBufferUnits(std::uint32_t currentUnits) {
  if (currentUnits >= kMaxModulePathBufferUnits) {
    return 0;
  }
  if (currentUnits < kInitialModulePathBufferUnits) {
    return kInitialModulePathBufferUnits;
  }
  if (currentUnits > kMaxModulePathBufferUnits / 2) {
    return kMaxModulePathBufferUnits;
  }
  return currentUnits * 2;
}

std::optional<std::uint32_t> BuildRunValue(const Utf16Char* path, std::size_t pathUnits,
                                           Utf16Char* dest, std::size_t destUnits) {
  if (dest != nullptr && destUnits > 0) {
    dest[0] = u'\0';
  }
  if (path == nullptr || dest == nullptr || pathUnits == 0 || pathUnits > kMaxModulePathUnits ||
      destUnits < RunValueUnits(pathUnits)) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < pathUnits; ++i) {
    if (path[i] == u'"' || path[i] == u'\0') {
      return std::nullopt;
    }
  }
  dest[0] = u'"';
  for (std::size_t i = 0; i < pathUnits; ++i) {
    dest[i + 1] = path[i];
  }
  dest[pathUnits + 1] = u'"';
  dest[pathUnits + 2] = u'\0';
  return static_cast<std::uint32_t>(RunValueUnits(pathUnits) * sizeof(Utf16Char));
}

}  // namespace tintora
