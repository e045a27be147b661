// Writes cursor files of every kind the reader takes, field by field, so that tests can build
// exactly the file (or the damage) they need.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/bytes.h"

namespace kova::test {

// One image as a device-independent bitmap with its AND mask.
struct DibSpec {
  int32_t w = 1, h = 1;
  int bits = 32;
  std::vector<uint32_t> palette;  // 0x00RRGGBB
  // Top-down; palette indexes up to 8 bits, 0x00RRGGBB at 24, 0xAARRGGBB at 32.
  std::vector<uint32_t> pixels;
  std::vector<uint8_t> mask;  // top-down, 1 = transparent; empty: all 0
  bool withMask = true;
};

inline Bytes Dib(const DibSpec& s);

// Pixels as DibSpec::pixels; no palette, mask or a missing mask as asked.
inline Bytes Dib(int32_t w, int32_t h, int bits, std::vector<uint32_t> pixels,
                 std::vector<uint32_t> palette = {}, std::vector<uint8_t> mask = {},
                 bool withMask = true) {
  DibSpec s;
  s.w = w, s.h = h, s.bits = bits;
  s.pixels = std::move(pixels);
  s.palette = std::move(palette);
  s.mask = std::move(mask);
  s.withMask = withMask;
  return Dib(s);
}

inline Bytes Dib(const DibSpec& s) {
  ByteWriter w;
  w.U32(40);
  w.I32(s.w);
  w.I32(s.h * 2);
  w.U16(1);
  w.U16(static_cast<uint16_t>(s.bits));
  w.U32(0);
  w.U32(0);
  w.U32(0);
  w.U32(0);
  w.U32(static_cast<uint32_t>(s.palette.size()));
  w.U32(0);
  for (uint32_t c : s.palette)
    w.U32(c);
  const size_t row = (static_cast<size_t>(s.w) * s.bits + 31) / 32 * 4;
  for (int32_t y = s.h - 1; y >= 0; --y) {
    std::vector<uint8_t> r(row, 0);
    for (int32_t x = 0; x < s.w; ++x) {
      const uint32_t v = s.pixels.at(static_cast<size_t>(y) * s.w + x);
      switch (s.bits) {
        case 1:
          r[x / 8] |= static_cast<uint8_t>((v & 1) << (7 - x % 8));
          break;
        case 4:
          r[x / 2] |= static_cast<uint8_t>((v & 15) << (x % 2 ? 0 : 4));
          break;
        case 8:
          r[x] = static_cast<uint8_t>(v);
          break;
        case 24:
          r[3 * x] = static_cast<uint8_t>(v), r[3 * x + 1] = static_cast<uint8_t>(v >> 8);
          r[3 * x + 2] = static_cast<uint8_t>(v >> 16);
          break;
        default:
          for (int k = 0; k < 4; ++k)
            r[4 * x + k] = static_cast<uint8_t>(v >> (8 * k));
          break;
      }
    }
    w.Raw(r.data(), r.size());
  }
  if (s.withMask) {
    const size_t mrow = (static_cast<size_t>(s.w) + 31) / 32 * 4;
    for (int32_t y = s.h - 1; y >= 0; --y) {
      std::vector<uint8_t> r(mrow, 0);
      for (int32_t x = 0; x < s.w && !s.mask.empty(); ++x)
        if (s.mask.at(static_cast<size_t>(y) * s.w + x))
          r[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      w.Raw(r.data(), r.size());
    }
  }
  return w.Take();
}

struct DirEntry {
  Bytes image;
  uint16_t hotX = 0, hotY = 0;
  uint8_t w = 0, h = 0;  // what the directory claims; the reader trusts the image
};

// An icon directory (type 2: cursor, 1: icon) with the images after it, in order.
inline Bytes IconDir(const std::vector<DirEntry>& entries, uint16_t type = 2) {
  ByteWriter w;
  w.U16(0);
  w.U16(type);
  w.U16(static_cast<uint16_t>(entries.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(entries.size());
  for (const DirEntry& e : entries) {
    w.U8(e.w), w.U8(e.h), w.U8(0), w.U8(0);
    w.U16(e.hotX);
    w.U16(e.hotY);
    w.U32(static_cast<uint32_t>(e.image.size()));
    w.U32(offset);
    offset += static_cast<uint32_t>(e.image.size());
  }
  for (const DirEntry& e : entries)
    w.Raw(e.image);
  return w.Take();
}

inline void Chunk(ByteWriter& w, const char* id, const Bytes& data) {
  w.Raw(std::string_view(id, 4));
  w.U32(static_cast<uint32_t>(data.size()));
  w.Raw(data);
  if (data.size() & 1) w.U8(0);
}

// An animated cursor: header, optional step sequence, then the frames.
inline Bytes Ani(const std::vector<Bytes>& frames, std::optional<std::vector<uint32_t>> seq = {},
                 uint32_t flags = 1) {
  ByteWriter body;
  body.Raw("ACON");
  ByteWriter h;
  h.U32(36);
  h.U32(static_cast<uint32_t>(frames.size()));
  h.U32(static_cast<uint32_t>(seq ? seq->size() : frames.size()));
  for (int i = 0; i < 4; ++i)
    h.U32(0);
  h.U32(10);
  h.U32(flags);
  Chunk(body, "anih", h.Data());
  if (seq) {
    ByteWriter s;
    for (uint32_t v : *seq)
      s.U32(v);
    Chunk(body, "seq ", s.Data());
  }
  ByteWriter list;
  list.Raw("fram");
  for (const Bytes& f : frames)
    Chunk(list, "icon", f);
  Chunk(body, "LIST", list.Data());
  ByteWriter w;
  Chunk(w, "RIFF", body.Data());
  return w.Take();
}

}  // namespace kova::test
