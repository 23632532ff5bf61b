// UTF-16 text, the form of every text the label shows on every platform (so
// that truncation happens at the same character everywhere), and its
// conversions for platforms whose text calls take UTF-8 or code points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tintora {

using Utf16Char = char16_t;

// Length of a terminated UTF-16 text, in code units.
std::size_t Utf16Length(const Utf16Char* text);

// UTF-16 text (terminated) to UTF-8, an unpaired surrogate as U+FFFD.
std::string Utf8FromUtf16(const Utf16Char* text);

// The code points of a terminated UTF-16 text, at most `capacity` of them;
// returns how many were written.
std::size_t CodePointsFromUtf16(const Utf16Char* text, std::uint32_t* out, std::size_t capacity);

}  // namespace tintora
