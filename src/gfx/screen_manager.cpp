#include "gfx/screen_manager.h"

#include <cstring>

namespace kova {

void TMemoryPresentTarget::Present(const TDIBX& picture, std::span<const Rect> rects) {
  for (const Rect& r : rects)
    for (int32_t y = r.top; y < r.bottom; ++y)
      std::memcpy(shown_.Row(y) + r.left * 4, picture.Row(y) + r.left * 4,
                  static_cast<size_t>(r.Width()) * 4);
}

TScreenManager::TScreenManager(int32_t width, int32_t height) : backBuffer_(width, height, 32) {}

bool TScreenManager::Present(std::span<const Rect> dirty, const Rect& transition) {
  const Rect whole{0, 0, Width(), Height()};
  rects_.clear();
  if (full_) {
    rects_.push_back(whole);
  } else if (!transition.Empty()) {
    rects_.push_back(transition.Intersect(whole));
  } else {
    for (const Rect& r : dirty)
      rects_.push_back(r.Intersect(whole));
  }
  std::erase_if(rects_, [](const Rect& r) { return r.Empty(); });
  if (rects_.empty()) return false;
  full_ = false;
  ++presentCount_;
  if (target_) target_->Present(backBuffer_, rects_);
  return true;
}

}  // namespace kova
