#include "wide_format.h"

#include <climits>
#include <cmath>

namespace tintora {

namespace {

// Appends into a bounded buffer; 'limit' is the number of characters that
// fit before the terminator.
struct BoundedWriter {
  Utf16Char* dest;
  std::size_t limit;
  std::size_t length;

  void Put(Utf16Char unit) {
    if (length < limit) dest[length++] = unit;
  }
  void PutText(const Utf16Char* text) {
    if (text == nullptr) return;
    for (; *text != 0 && length < limit; ++text) dest[length++] = *text;
  }
  void PutInt(int value) {
    // Work in the negative range so that INT_MIN needs no special case.
    Utf16Char digits[12];
    int count = 0;
    const bool negative = value < 0;
    int rest = negative ? value : -value;
    do {
      digits[count++] = static_cast<Utf16Char>(u'0' - rest % 10);
      rest /= 10;
    } while (rest != 0);
    if (negative) Put(u'-');
    while (count > 0) Put(digits[--count]);
  }
};

}  // namespace

std::size_t FormatWideV(Utf16Char* dest, std::size_t capacityBytes, const Utf16Char* format,
                        std::va_list args) {
  const std::size_t capacityUnits = capacityBytes / sizeof(Utf16Char);
  if (dest == nullptr || capacityUnits == 0) return 0;
  BoundedWriter out{dest, capacityUnits - 1, 0};
  if (format != nullptr) {
    for (const Utf16Char* p = format; *p != 0; ++p) {
      if (*p != u'%') {
        out.Put(*p);
        continue;
      }
      const Utf16Char conversion = p[1];
      if (conversion == u'd' || conversion == u'i') {
        out.PutInt(va_arg(args, int));
        ++p;
      } else if (conversion == u's') {
        out.PutText(va_arg(args, const Utf16Char*));
        ++p;
      } else if (conversion == u'%') {
        out.Put(u'%');
        ++p;
      } else {
        out.Put(u'%');  // unknown or trailing '%': keep it as it stands
      }
    }
  }
  dest[out.length] = 0;
  return out.length;
}

std::size_t FormatWide(Utf16Char* dest, std::size_t capacityBytes, const Utf16Char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const std::size_t written = FormatWideV(dest, capacityBytes, format, args);
  va_end(args);
  return written;
}

int TruncateToInt(double value) {
  // The range test is written so that a non-number fails it too.
  if (!(value > -2147483649.0 && value < 2147483648.0)) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace tintora
