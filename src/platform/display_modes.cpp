#include "platform/display_modes.h"

#include <SDL.h>

namespace kova {

DisplayModeChoice ChooseDisplayModes(const std::vector<DisplayMode>& enumerated,
                                     int32_t screenWidth, int32_t screenHeight, int32_t fullWidth,
                                     int32_t fullHeight, int32_t desktopBits) {
  DisplayModeChoice c;
  for (const DisplayMode& m : enumerated) {
    if (m.width < screenWidth || m.height < screenHeight || m.bits < 16) continue;
    c.modes.push_back(m);
    const int32_t index = static_cast<int32_t>(c.modes.size()) - 1;
    if (c.preferred < 0) {
      c.preferred = index;
      continue;
    }
    if (m.width != fullWidth || m.height != fullHeight) continue;
    const DisplayMode& p = c.modes[static_cast<size_t>(c.preferred)];
    const bool otherSize = p.width != fullWidth || p.height != fullHeight;
    const bool depthWins = m.bits == desktopBits && p.bits != desktopBits;
    const bool lowerRefresh = m.bits == desktopBits && p.bits == desktopBits && m.refresh != 0 &&
                              (p.refresh == 0 || m.refresh < p.refresh);
    if (otherSize || depthWins || lowerRefresh) c.preferred = index;
  }
  return c;
}

std::vector<DisplayMode> EnumerateDisplayModes(int32_t* desktopBits) {
  std::vector<DisplayMode> modes;
  if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return modes;
  SDL_DisplayMode desktop;
  if (desktopBits)
    *desktopBits = SDL_GetDesktopDisplayMode(0, &desktop) == 0
                       ? static_cast<int32_t>(SDL_BITSPERPIXEL(desktop.format))
                       : 24;
  const int n = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < n; ++i) {
    SDL_DisplayMode m;
    if (SDL_GetDisplayMode(0, i, &m) != 0) continue;
    modes.push_back({m.w, m.h, static_cast<int32_t>(SDL_BITSPERPIXEL(m.format)), m.refresh_rate});
  }
  return modes;
}

}  // namespace kova
