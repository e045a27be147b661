#include "app/settings.h"

#include <gtest/gtest.h>

#include "testutil/temp_dir.h"

namespace kova {
namespace {

TEST(GameSettings, ReadFromGameIni) {
  test::TempDir dir;
  const struct {
    const char* text;
    bool directSound;
    int32_t delay;
    bool integer;
  } cases[] = {
      {"", true, 500, false},
      {"[Sound]\nDirectSound=0\nDelayTime=250\n", false, 200, false},
      {"[Sound]\nDelayTime=0\n", true, 100, false},      // at least 100
      {"[Sound]\nDelayTime=99999\n", true, 500, false},  // at most 500
      {"[Sound]\nDelayTime=-250\n", true, 100, false},
      {"[Sound]\nDelayTime=abc\n", true, 500, false},  // not a number: the default
      {"[Display]\nIntegerScaling=1\n", true, 500, true},
  };
  for (const auto& c : cases) {
    dir.Write("game.ini", c.text);
    const GameSettings s = LoadGameSettings(dir / "game.ini");
    EXPECT_EQ(s.useDirectSound, c.directSound) << c.text;
    EXPECT_EQ(s.delayTime, c.delay) << c.text;
    EXPECT_EQ(s.integerScaling, c.integer) << c.text;
  }
  const GameSettings missing = LoadGameSettings(dir / "nothing.ini");
  EXPECT_TRUE(missing.useDirectSound);
  EXPECT_EQ(missing.delayTime, 500);
}

}  // namespace
}  // namespace kova
