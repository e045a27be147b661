// The rectangles to repaint. Nearby rectangles merge, so a frame repaints a few large areas
// instead of many small ones.
#pragma once

#include <vector>

#include "common/geometry.h"

namespace kova {

class TClipList {
 public:
  // Distance within which two rectangles merge.
  static constexpr int kMergeDistance = 20;

  void Add(const Rect& r);
  void Clear();
  int Count() const { return static_cast<int>(rects_.size()); }
  const Rect& operator[](int i) const { return rects_[i]; }
  const std::vector<Rect>& Rects() const { return rects_; }
  bool Changed() const { return changed_; }
  void SetChanged(bool c) { changed_ = c; }

 private:
  std::vector<Rect> rects_;
  bool changed_ = false;
};

}  // namespace kova
