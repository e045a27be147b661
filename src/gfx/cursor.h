// Mouse cursor files: the icon-directory form (.cur, also .ico) and the animated RIFF form
// (.ani), read into one straight-alpha RGBA picture with its hot spot.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/bytes.h"

namespace kova {

struct CursorImage {
  // Cursors cannot be larger than an icon directory can describe.
  static constexpr int32_t kMaxSide = 256;

  int32_t width = 0, height = 0;
  int32_t hotX = 0, hotY = 0;  // as stored; may lie outside the picture in odd files
  std::vector<uint8_t> rgba;   // rows top-down, R G B A per pixel, alpha not premultiplied

  // 0xAARRGGBB of a pixel inside the picture.
  uint32_t Pixel(int32_t x, int32_t y) const {
    const uint8_t* p = rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
    return static_cast<uint32_t>(p[3]) << 24 | p[0] << 16 | p[1] << 8 | p[2];
  }
};

// True when the data starts like a cursor, icon or animated cursor file.
bool LooksLikeCursor(std::span<const uint8_t> data);

// Decodes the picture shown first: the largest, then deepest image of the directory; for an
// animated cursor, the frame its sequence shows first. The kind is told by content, not by
// name. `name` (UTF-8) names the file in errors; damage throws FormatError with the offset.
CursorImage ReadCursor(std::span<const uint8_t> data, const std::string& name);

// A one-image .cur file holding the picture as a 32-bit image with its AND mask (set where
// alpha is 0; those pixels are stored black). Throws Error for an empty or too large picture.
Bytes WriteCursor(const CursorImage& image);

}  // namespace kova
