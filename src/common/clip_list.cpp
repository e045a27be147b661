#include "common/clip_list.h"

#include <cstddef>

namespace kova {

namespace {
bool Near(const Rect& a, const Rect& b) {
  const int d = TClipList::kMergeDistance;
  return a.left <= b.right + d && b.left <= a.right + d && a.top <= b.bottom + d &&
         b.top <= a.bottom + d;
}
}  // namespace

void TClipList::Add(const Rect& r0) {
  if (r0.Empty()) return;
  Rect r = r0;
  for (;;) {
    size_t i = 0;
    while (i < rects_.size() && !Near(r, rects_[i]))
      ++i;
    if (i == rects_.size()) break;
    if (rects_[i].Contains(r)) return;
    // Merge and look again: the union may now reach other rectangles.
    r = r.Union(rects_[i]);
    rects_.erase(rects_.begin() + static_cast<std::ptrdiff_t>(i));
    changed_ = true;
  }
  rects_.push_back(r);
  changed_ = true;
}

void TClipList::Clear() {
  rects_.clear();
  changed_ = true;
}

}  // namespace kova
