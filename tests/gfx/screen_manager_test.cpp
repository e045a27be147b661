#include "gfx/screen_manager.h"

#include <gtest/gtest.h>

namespace kova {
namespace {

class RecordingTarget : public TPresentTarget {
 public:
  void Present(const TDIBX&, std::span<const Rect> rects) override {
    calls.emplace_back(rects.begin(), rects.end());
  }
  std::vector<std::vector<Rect>> calls;
};

bool Same(const Rect& a, const Rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(ScreenManager, PresentsOnlyWhatChangedAndCountsOnlyCopies) {
  TScreenManager m(100, 50);
  RecordingTarget t;
  m.SetTarget(&t);
  // The first present shows the whole picture, whatever is dirty.
  EXPECT_TRUE(m.Present({}));
  ASSERT_EQ(t.calls.size(), 1u);
  EXPECT_TRUE(Same(t.calls[0].at(0), {0, 0, 100, 50}));
  // Nothing dirty: nothing copied, not counted.
  EXPECT_FALSE(m.Present({}));
  EXPECT_EQ(m.PresentCount(), 1);
  // Dirty rectangles are clipped to the picture; empty ones are dropped.
  const std::vector<Rect> dirty{{-5, -5, 10, 10}, {90, 40, 120, 60}, {30, 30, 30, 40}};
  EXPECT_TRUE(m.Present(dirty));
  ASSERT_EQ(t.calls.size(), 2u);
  ASSERT_EQ(t.calls[1].size(), 2u);
  EXPECT_TRUE(Same(t.calls[1][0], {0, 0, 10, 10}));
  EXPECT_TRUE(Same(t.calls[1][1], {90, 40, 100, 50}));
  // A running transition's rectangle replaces the dirty list.
  EXPECT_TRUE(m.Present(dirty, {20, 20, 40, 40}));
  ASSERT_EQ(t.calls[2].size(), 1u);
  EXPECT_TRUE(Same(t.calls[2][0], {20, 20, 40, 40}));
  // Entirely outside: nothing.
  EXPECT_FALSE(m.Present(std::vector<Rect>{{200, 200, 300, 300}}));
  EXPECT_EQ(m.PresentCount(), 3);
  m.RequestFullPresent();
  EXPECT_TRUE(m.Present({}));
  EXPECT_TRUE(Same(t.calls.back().at(0), {0, 0, 100, 50}));
}

TEST(ScreenManager, MemoryTargetCopiesOnlyTheRectangles) {
  TScreenManager m(8, 4);
  TMemoryPresentTarget shown(8, 4);
  m.SetTarget(&shown);
  m.Present({});
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x)
      m.BackBuffer().SetPixel(x, y, 0x123456);
  m.Present(std::vector<Rect>{{2, 1, 4, 3}});
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(shown.Shown().GetPixel(x, y), (x >= 2 && x < 4 && y >= 1 && y < 3) ? 0x123456u : 0u)
          << x << "," << y;
}

}  // namespace
}  // namespace kova
