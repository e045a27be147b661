#include "platform/display_modes.h"

#include <gtest/gtest.h>

namespace kova {
namespace {

TEST(DisplayModes, FilterAndPreference) {
  const std::vector<DisplayMode> listed = {
      {320, 240, 32, 60},   // too small: dropped
      {1024, 768, 32, 75},  // first suitable: the fallback
      {640, 480, 8, 60},    // too few bits: dropped
      {800, 600, 16, 85},   // requested size: wins over another size
      {800, 600, 32, 85},   // desktop depth: wins
      {800, 600, 32, 60},   // same depth, lower refresh: wins
      {800, 600, 32, 0},    // unknown refresh: never wins on refresh
      {800, 600, 32, 72},   // higher refresh: no
  };
  auto c = ChooseDisplayModes(listed, 640, 480, 800, 600, 32);
  ASSERT_EQ(c.modes.size(), 6u);
  EXPECT_EQ(c.modes[0], (DisplayMode{1024, 768, 32, 75}));
  EXPECT_EQ(c.preferred, 3);
  EXPECT_EQ(c.modes[static_cast<size_t>(c.preferred)], (DisplayMode{800, 600, 32, 60}));

  // An unknown rate first, then a known one of the same kind: the known one wins.
  auto d = ChooseDisplayModes({{800, 600, 32, 0}, {800, 600, 32, 60}}, 640, 480, 800, 600, 32);
  EXPECT_EQ(d.preferred, 1);
  EXPECT_EQ(ChooseDisplayModes({}, 640, 480, 800, 600, 32).preferred, -1);
}

}  // namespace
}  // namespace kova
