// The rectangle and point of the portable core: screen rectangles, the
// label's text rectangles, a window placement. Same layout as Win32's RECT
// and POINT; right and bottom are exclusive.
#pragma once

#include <cstdint>

namespace tintora {

struct Rect {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};

struct Point {
  std::int32_t x;
  std::int32_t y;
};

constexpr bool operator==(const Rect& a, const Rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
constexpr bool operator!=(const Rect& a, const Rect& b) { return !(a == b); }

// Left and top edges inside, right and bottom outside, as PtInRect counts.
constexpr bool Contains(const Rect& r, Point p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

}  // namespace tintora
