#include "platform/sdl_cursor.h"

#include <SDL.h>

#include <algorithm>
#include <vector>

namespace kova {

namespace {

// A plain arrow for displays without system cursors: white inside a black edge, hot spot at
// the tip.
SDL_Cursor* DrawnArrow() {
  constexpr int kW = 11, kH = 17;
  std::vector<uint8_t> rgba(kW * kH * 4, 0);
  for (int y = 0; y < kH; ++y) {
    // The left edge is straight; the right edge runs at 45 degrees down to row 11, where the
    // arrow's foot starts.
    const int right = y < 11 ? y : 11 - (y - 11) / 2;
    for (int x = 0; x <= std::min(right, kW - 1); ++x) {
      const bool edge = x == 0 || x == right || y == kH - 1 || (y >= 11 && x == 1);
      uint8_t* p = rgba.data() + (y * kW + x) * 4;
      p[0] = p[1] = p[2] = edge ? 0 : 255;
      p[3] = 255;
    }
  }
  SDL_Surface* s =
      SDL_CreateRGBSurfaceWithFormatFrom(rgba.data(), kW, kH, 32, kW * 4, SDL_PIXELFORMAT_RGBA32);
  if (!s) return nullptr;
  SDL_Cursor* c = SDL_CreateColorCursor(s, 0, 0);
  SDL_FreeSurface(s);
  return c;
}

}  // namespace

SdlCursor::~SdlCursor() {
  // The cursor on screen must not be freed while it is set.
  if (custom_ || arrow_) SDL_SetCursor(SDL_GetDefaultCursor());
  if (custom_) SDL_FreeCursor(custom_);
  if (arrow_) SDL_FreeCursor(arrow_);
}

bool SdlCursor::Load(int32_t width, int32_t height, int32_t hotX, int32_t hotY,
                     const uint8_t* rgba) {
  if (width <= 0 || height <= 0) return false;
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(rgba), width, height, 32,
                                                      width * 4, SDL_PIXELFORMAT_RGBA32);
  if (!s) return false;
  SDL_Cursor* c =
      SDL_CreateColorCursor(s, std::clamp(hotX, 0, width - 1), std::clamp(hotY, 0, height - 1));
  SDL_FreeSurface(s);
  if (!c) return false;
  SDL_Cursor* old = custom_;
  custom_ = c;
  if (showCustom_) SDL_SetCursor(custom_);
  if (old) SDL_FreeCursor(old);
  return true;
}

void SdlCursor::Show(bool custom) {
  showCustom_ = custom;
  if (custom && custom_) {
    SDL_SetCursor(custom_);
    return;
  }
  if (!arrow_) arrow_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
  if (!arrow_) arrow_ = DrawnArrow();
  if (arrow_) SDL_SetCursor(arrow_);
}

}  // namespace kova
