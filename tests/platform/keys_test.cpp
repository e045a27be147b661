#include "platform/keys.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace kova {
namespace {

TEST(Keys, VirtualKeyCodes) {
  struct Case {
    int32_t sdl, vk;
  } cases[] = {
      {SDLK_a, 'A'},      {SDLK_z, 'Z'},          {SDLK_0, '0'},       {SDLK_9, '9'},
      {SDLK_F1, 0x70},    {SDLK_F12, 0x7B},       {SDLK_RETURN, 0x0D}, {SDLK_ESCAPE, 0x1B},
      {SDLK_SPACE, 0x20}, {SDLK_LEFT, 0x25},      {SDLK_DOWN, 0x28},   {SDLK_LSHIFT, 16},
      {SDLK_RSHIFT, 16},  {SDLK_LCTRL, 17},       {SDLK_RALT, 18},     {SDLK_KP_0, 0x60},
      {SDLK_KP_9, 0x69},  {SDLK_KP_PLUS, 0x6B},   {SDLK_DELETE, 0x2E}, {SDLK_COMMA, 0xBC},
      {SDLK_SLASH, 0xBF}, {SDLK_BACKSLASH, 0xDC}, {SDLK_UNKNOWN, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(VirtualKeyOf(c.sdl), c.vk) << c.sdl;
}

}  // namespace
}  // namespace kova
