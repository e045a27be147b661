// One pixel of a row at any depth: 1 and 4 bits most significant first, 15/16, 24 and 32 bits
// little-endian. Pictures and screen bitmaps store their rows the same way.
#pragma once

#include <cstdint>
#include <cstring>

namespace kova {

inline uint32_t Load24(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16);
}
inline void Store24(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
}
inline uint16_t Load16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline void Store16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store32(uint8_t* p, uint32_t v) {
  std::memcpy(p, &v, 4);
}

inline uint32_t ReadPixelAt(const uint8_t* row, int32_t x, int bits) {
  switch (bits) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
      return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
    case 8:
      return row[x];
    case 15:
    case 16:
      return Load16(row + 2 * x);
    case 24:
      return Load24(row + 3 * x);
    default:
      return Load32(row + 4 * x);
  }
}

inline void WritePixelAt(uint8_t* row, int32_t x, int bits, uint32_t v) {
  switch (bits) {
    case 1: {
      const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
      row[x >> 3] = (v & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
      break;
    }
    case 4: {
      uint8_t& b = row[x >> 1];
      b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (v & 15))
                  : static_cast<uint8_t>((b & 0x0F) | ((v & 15) << 4));
      break;
    }
    case 8:
      row[x] = static_cast<uint8_t>(v);
      break;
    case 15:
    case 16:
      Store16(row + 2 * x, v);
      break;
    case 24:
      Store24(row + 3 * x, v);
      break;
    default:
      Store32(row + 4 * x, v);
      break;
  }
}

}  // namespace kova
