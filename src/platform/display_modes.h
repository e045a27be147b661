// The full-screen display modes a title may ask for, and the one it prefers.
#pragma once

#include <cstdint>
#include <vector>

namespace kova {

struct DisplayMode {
  int32_t width = 0, height = 0, bits = 0, refresh = 0;  // refresh 0: unknown
  bool operator==(const DisplayMode&) const = default;
};

struct DisplayModeChoice {
  std::vector<DisplayMode> modes;  // the suitable ones, in the order the display gave them
  int32_t preferred = -1;          // index into modes; -1 when none
};

// Keeps the modes at least as large as the screen with 16 bits or more. The first becomes the
// preference; a mode of exactly the requested full-screen size then replaces it when the
// preference has another size, or has not the desktop's depth while this one has, or both have
// it and this one's refresh rate is lower. An unknown refresh rate never wins on refresh.
DisplayModeChoice ChooseDisplayModes(const std::vector<DisplayMode>& enumerated,
                                     int32_t screenWidth, int32_t screenHeight, int32_t fullWidth,
                                     int32_t fullHeight, int32_t desktopBits);

// The modes of the first display, as SDL lists them, and the desktop's depth.
std::vector<DisplayMode> EnumerateDisplayModes(int32_t* desktopBits);

}  // namespace kova
