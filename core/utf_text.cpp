#include "utf_text.h"

namespace tintora {

std::size_t Utf16Length(const Utf16Char* text) {
  std::size_t length = 0;
  if (text != nullptr)
    while (text[length] != 0) ++length;
  return length;
}

namespace {

// Decodes one code point at text[*i], moving *i past it.
std::uint32_t NextCodePoint(const Utf16Char* text, std::size_t* i) {
  const std::uint32_t unit = text[*i];
  ++*i;
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    const std::uint32_t low = text[*i];
    if (low >= 0xDC00 && low <= 0xDFFF) {
      ++*i;
      return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    return 0xFFFD;
  }
  if (unit >= 0xDC00 && unit <= 0xDFFF) return 0xFFFD;
  return unit;
}

}  // namespace

std::string Utf8FromUtf16(const Utf16Char* text) {
  std::string out;
  if (text == nullptr) return out;
  for (std::size_t i = 0; text[i] != 0;) {
    const std::uint32_t c = NextCodePoint(text, &i);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::size_t CodePointsFromUtf16(const Utf16Char* text, std::uint32_t* out, std::size_t capacity) {
  std::size_t count = 0;
  if (text == nullptr) return 0;
  for (std::size_t i = 0; text[i] != 0 && count < capacity;) out[count++] = NextCodePoint(text, &i);
  return count;
}

}  // namespace tintora
