// Rectangles in screen pixels: left and top inclusive, right and bottom exclusive.
#pragma once

#include <algorithm>
#include <cstdint>

namespace kova {

struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;

  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  bool Contains(int32_t x, int32_t y) const {
    return x >= left && x < right && y >= top && y < bottom;
  }
  bool Contains(const Rect& r) const {
    return r.left >= left && r.right <= right && r.top >= top && r.bottom <= bottom;
  }
  Rect Intersect(const Rect& r) const {
    return {std::max(left, r.left), std::max(top, r.top), std::min(right, r.right),
            std::min(bottom, r.bottom)};
  }
  Rect Union(const Rect& r) const {
    return {std::min(left, r.left), std::min(top, r.top), std::max(right, r.right),
            std::max(bottom, r.bottom)};
  }
  Rect Offset(int32_t dx, int32_t dy) const {
    return {left + dx, top + dy, right + dx, bottom + dy};
  }
  bool operator==(const Rect&) const = default;
};

struct Point {
  int32_t x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

}  // namespace kova
