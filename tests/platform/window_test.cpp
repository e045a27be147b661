// The window under SDL's dummy display: sizes, presentation counting and coordinates.
#include "platform/sdl_window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace kova {
namespace {

TEST(SdlWindow, PresentsDirtyRectanglesAndMapsTheMouse) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  std::vector<uint32_t> pixels(64 * 48, 0x00FF0000);
  SdlWindow w("test", 64, 48);
  auto row = [&](int32_t y) { return pixels.data() + y * 64; };
  w.Present(row, {});
  EXPECT_EQ(w.PresentCount(), 0);  // nothing uploaded
  w.Present(row, {{0, 0, 10, 10}, {100, 100, 120, 120}});
  EXPECT_EQ(w.PresentCount(), 1);
  // Below the dock, window pixels are title pixels shifted by the dock's height.
  EXPECT_EQ(w.ToTitle(5, SdlWindow::kDockHeight + 7), (Point{5, 7}));
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
}  // namespace kova
