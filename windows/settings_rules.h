// Decisions of the settings store that need no Windows call: decoding stored
// positions, moving a placement rectangle without overflow, building the
// startup (Run) value and judging whether a module path came back whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "utf_text.h"
#include "geometry.h"

namespace tintora {

// ---- Window position ------------------------------------------------------

// The registry holds a signed coordinate as its 32-bit two's-complement
// pattern. Both directions are spelled out so that no conversion depends on
// the compiler (an out-of-range unsigned-to-signed cast is implementation
// defined before C++20).
std::int32_t PositionFromPattern(std::uint32_t pattern);
std::uint32_t PatternFromPosition(std::int32_t position);

// A position value read back from the registry: bytesRead is the size that
// the read reported. Anything but exactly four bytes is no saved position
// (a REG_DWORD written with a short size would otherwise fill the coordinate
// only in part).
std::optional<std::int32_t> DecodeStoredPosition(std::uint32_t pattern, std::uint32_t bytesRead);

// Moves `current` (a window's normal placement) so that its top-left corner is (x, y), keeping its
// width and height. Gives no rectangle when any resulting edge falls outside the 32-bit signed
// range: such a stored position counts as not saved.
std::optional<Rect> MovePlacement(const Rect& current, std::int32_t x, std::int32_t y);

// ---- Startup entry ---------------------------------------------------------

// Largest module path Windows can return (in code units, terminator not
// counted), and the buffer that holds it with its terminator.
constexpr std::uint32_t kMaxModulePathUnits = 32767;
constexpr std::uint32_t kMaxModulePathBufferUnits = kMaxModulePathUnits + 1;
// First buffer tried: the classic MAX_PATH.
constexpr std::uint32_t kInitialModulePathBufferUnits = 260;
// ERROR_INSUFFICIENT_BUFFER, the error of a cut-short module path.
constexpr std::uint32_t kErrorInsufficientBuffer = 122;

enum class ModulePathResult {
  Whole,      // the buffer holds the complete path and its terminator
  Truncated,  // the path was cut: try again with a larger buffer
  Failed      // no path at all
};

// Judges a GetModuleFileNameW call: `returned` is its result, `bufferUnits`
// the size passed in, `lastError` the thread's error code read right after
// the call (cleared before it). A result equal to the buffer size, or
// ERROR_INSUFFICIENT_BUFFER (122), means the path was cut short.
ModulePathResult ClassifyModulePath(std::uint32_t returned, std::uint32_t bufferUnits,
                                    std::uint32_t lastError);

// Next buffer size to try after a truncated result: doubles, capped at
// kMaxModulePathBufferUnits. Gives 0 when `currentUnits` already was the
// largest buffer, so there is nothing more to try.
std::uint32_t NextModulePathBufferUnits(std::uint32_t currentUnits);

// Units the quoted Run value takes: two quotes, the path and a terminator.
constexpr std::size_t RunValueUnits(std::size_t pathUnits) { return pathUnits + 3; }

// Writes the Run value for the executable at `path` (pathUnits code units, no
// terminator needed) into `dest`: the path in double quotes and a
// terminator. The quotes keep a path with spaces from being read as a shorter
// program followed by arguments. Gives the value's size in bytes, terminator
// included, as RegSetValueExW takes it; gives nothing (and leaves dest as a
// terminated empty text when it has room) for an empty path, a path that
// itself holds a quote or a null, a path longer than kMaxModulePathUnits, or
// a destination smaller than RunValueUnits(pathUnits).
std::optional<std::uint32_t> BuildRunValue(const Utf16Char* path, std::size_t pathUnits,
                                           Utf16Char* dest, std::size_t destUnits);

}  // namespace tintora
