// The display picture the main scene draws into, and its presentation: once per drawn frame
// the changed parts (or the transition's area) go to whatever shows the title.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/geometry.h"
#include "gfx/dibx.h"

namespace kova {

// Where presented pictures go: a window's texture, or memory when nothing is shown.
class TPresentTarget {
 public:
  virtual ~TPresentTarget() = default;
  // Copies the rectangles of the picture (32-bit 0x00RRGGBB, the title's size) and shows it.
  virtual void Present(const TDIBX& picture, std::span<const Rect> rects) = 0;
};

// Keeps its own copy of everything presented, as a window's texture would.
class TMemoryPresentTarget : public TPresentTarget {
 public:
  TMemoryPresentTarget(int32_t width, int32_t height) : shown_(width, height, 32) {}
  void Present(const TDIBX& picture, std::span<const Rect> rects) override;
  const TDIBX& Shown() const { return shown_; }

 private:
  TDIBX shown_;
};

class TScreenManager {
 public:
  TScreenManager(int32_t width, int32_t height);

  TDIBX& BackBuffer() { return backBuffer_; }
  int32_t Width() const { return backBuffer_.Width(); }
  int32_t Height() const { return backBuffer_.Height(); }
  void SetTarget(TPresentTarget* t) { target_ = t; }
  // The next present copies the whole picture (a new window, a mode switch).
  void RequestFullPresent() { full_ = true; }

  // Copies the dirty rectangles, or the transition's rectangle when it is not empty, clipped to
  // the picture. Returns whether anything was copied; only those presents are counted.
  bool Present(std::span<const Rect> dirty, const Rect& transition = {});
  int64_t PresentCount() const { return presentCount_; }
  void ResetPresentCount() { presentCount_ = 0; }

 private:
  TDIBX backBuffer_;
  TPresentTarget* target_ = nullptr;
  bool full_ = true;
  int64_t presentCount_ = 0;
  std::vector<Rect> rects_;
};

}  // namespace kova
