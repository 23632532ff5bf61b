// Bounded printf-style formatting into UTF-16 buffers.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "utf_text.h"

namespace tintora {

// Formats into dest, whose capacity is given in bytes (as the Windows
// StringCb* functions take it). Always writes a terminator when the capacity
// holds at least one code unit, and silently truncates what does not fit.
//
// Conversions: %d and %i (int), %s (a UTF-16 string, const char16_t*, on
// every platform), %% (a percent sign). Anything else is copied as it stands.
//
// Returns the number of code units written, not counting the terminator.
std::size_t FormatWide(Utf16Char* dest, std::size_t capacityBytes, const Utf16Char* format, ...);
std::size_t FormatWideV(Utf16Char* dest, std::size_t capacityBytes, const Utf16Char* format,
                        std::va_list args);

// Truncates toward zero like the x86 conversion: a value outside the int
// range, or a non-number, gives INT_MIN (the "integer indefinite" value)
// instead of undefined behaviour.
int TruncateToInt(double value);

}  // namespace tintora
