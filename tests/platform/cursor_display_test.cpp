// The cursor slot: what is set, replaced and given back. SDL's dummy display has no cursors at
// all, so the whole path runs only on a real display (for instance under xvfb-run).
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/sdl_cursor.h"

namespace kova {
namespace {

TEST(SdlCursor, SlotArrowAndReplacement) {
  if (std::getenv("DISPLAY"))
    unsetenv("SDL_VIDEODRIVER");
  else
    setenv("SDL_VIDEODRIVER", "dummy", 1);
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  struct Quit {
    ~Quit() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }
  } quit;
  const std::vector<uint8_t> rgba(4 * 3 * 4, 0xFF);
  SdlCursor c;
  EXPECT_FALSE(c.Load(0, 3, 0, 0, rgba.data()));
  // A hot spot outside the picture is moved inside instead of refusing the cursor.
  if (!c.Load(4, 3, 9, -2, rgba.data())) {
    // A display without cursors: nothing is held, and showing either one is harmless.
    EXPECT_FALSE(c.HasCustom());
    c.Show(true);
    c.Show(false);
    GTEST_SKIP() << "this display has no cursors: " << SDL_GetError();
  }
  EXPECT_TRUE(c.HasCustom());
  c.Show(false);
  SDL_Cursor* arrow = SDL_GetCursor();
  ASSERT_NE(arrow, nullptr);
  c.Show(true);
  EXPECT_NE(SDL_GetCursor(), arrow);
  // Replacing the cursor on show puts the new one up at once and frees the old one.
  ASSERT_TRUE(c.Load(4, 3, 1, 1, rgba.data()));
  EXPECT_NE(SDL_GetCursor(), arrow);
  c.Show(false);
  EXPECT_EQ(SDL_GetCursor(), arrow);
  // Loading while the arrow is up leaves the arrow up.
  ASSERT_TRUE(c.Load(2, 2, 0, 0, rgba.data()));
  EXPECT_EQ(SDL_GetCursor(), arrow);
}

}  // namespace
}  // namespace kova
