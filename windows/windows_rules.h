// Decisions of the Windows shell that need no Windows call: what the window
// messages carry, the checks on the raw-input sizes and the visible label's
// extent. Built and tested on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "geometry.h"

namespace tintora {

// ---- Window messages -------------------------------------------------------

// The DPI that WM_DPICHANGED carries in the high word of wParam.
unsigned DpiFromDpiChangedWParam(std::uintptr_t wParam);

// Screen position of a non-client click: low and high 16 bits of lParam,
// each signed, so monitors left of or above the primary give negative values.
Point MenuPositionFromLParam(std::intptr_t lParam);

// WM_ENDSESSION: wParam TRUE means the session ends (logoff, restart or
// shutdown), and after the answer the process may be ended at any moment,
// without WM_DESTROY: the position is saved then. FALSE means the end was
// cancelled, and nothing happens.
bool EndSessionSavesPosition(std::uintptr_t wParam);

// ---- Raw input -------------------------------------------------------------

// GetRawInputData's error result, (UINT)-1.
constexpr std::uint32_t kRawInputError = 0xFFFFFFFFu;

// Whether the size query (result and reported size) leaves room for a whole
// mouse event. A failed query or a smaller size drops the event before any
// buffer is read.
bool RawInputSizeUsable(std::uint32_t queryResult, std::uint32_t size,
                        std::uint32_t wholeMouseEventBytes);

struct RawInputReadCheck {
  bool sizeMismatch;  // report "GetRawInputData does not return correct size !\n"
  bool usable;        // the buffer holds a whole mouse event that was filled
};

// Judges the data read: a count different from the queried size is reported;
// the event is used only when the bytes filled cover a whole mouse event.
RawInputReadCheck CheckRawInputRead(std::uint32_t size, std::uint32_t readResult,
                                    std::uint32_t wholeMouseEventBytes);

// The reports that one GetRawInputBuffer call put in a buffer lie one after
// the other, each starting at an 8-byte boundary (RAWINPUT_ALIGN of a 64-bit
// build) after the end of the one before. Given where a report starts and the
// size its header gives, where the next one starts; nothing when the report
// would not lie wholly inside the buffer, or its size cannot hold a header.
constexpr std::size_t kRawInputAlignment = 8;
std::optional<std::size_t> NextRawInputBlock(std::size_t offset, std::uint32_t blockSize,
                                             std::uint32_t headerBytes, std::size_t bufferBytes);

// The visible label on screen: the window rectangle cut to the window
// region, whose box starts at the window's top-left corner.
Rect VisibleLabelRect(const Rect& windowRect, const Rect& regionBox);

}  // namespace tintora
