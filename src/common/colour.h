// Colour references: 0x00BBGGRR in scripts, properties and files; negative means none.
// Screen pixels are 0x00RRGGBB.
#pragma once

#include <cstdint>

namespace kova {

using ColorRef = int32_t;

inline bool IsNoColor(ColorRef c) {
  return c < 0;
}
inline uint8_t RedOf(ColorRef c) {
  return static_cast<uint8_t>(c);
}
inline uint8_t GreenOf(ColorRef c) {
  return static_cast<uint8_t>(c >> 8);
}
inline uint8_t BlueOf(ColorRef c) {
  return static_cast<uint8_t>(c >> 16);
}
inline ColorRef MakeColorRef(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<ColorRef>(r | (g << 8) | (b << 16));
}
// 0x00BBGGRR to a 0x00RRGGBB screen pixel and back.
inline uint32_t ColorRefToPixel(ColorRef c) {
  return (static_cast<uint32_t>(RedOf(c)) << 16) | (GreenOf(c) << 8) | BlueOf(c);
}
inline ColorRef PixelToColorRef(uint32_t p) {
  return MakeColorRef(static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                      static_cast<uint8_t>(p));
}
// Multiplies each of the three bytes by `factor` and divides by 256, truncating.
inline ColorRef ScaleColorRef(ColorRef c, int32_t factor) {
  auto s = [factor](uint8_t v) {
    int64_t x = static_cast<int64_t>(v) * factor / 256;
    return static_cast<uint8_t>(x < 0 ? 0 : x > 255 ? 255 : x);
  };
  return MakeColorRef(s(RedOf(c)), s(GreenOf(c)), s(BlueOf(c)));
}

}  // namespace kova
