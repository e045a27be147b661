// Writes layered pictures of any version and layout for tests: legacy headers, several layers,
// tiles, alpha blocks and rectangle lists, which the player's own writer never produces.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/geometry.h"
#include "common/nx_random.h"
#include "gfx/codecs.h"
#include "gfx/surface.h"

namespace kova::test {

struct LayerSpec {
  uint8_t visible = 1;
  int32_t transparent = -1;
  uint32_t opacity = 255;
  uint8_t alphaFlag = 0;
  Bytes colour;                // stored block
  std::optional<Bytes> alpha;  // stored block; absent: size 0
};

struct FrameSpec {
  std::string name = "Frame1";
  int32_t transparent = -1, delay = 100;
  uint32_t w = 0, h = 0, bpp = 24;
  std::vector<uint32_t> palette;  // (1 << bpp) entries when bpp <= 8; missing ones are 0
  std::vector<LayerSpec> layers;
  int32_t countA = 0, countB = 0;  // negative: no list
  std::vector<Rect> rectsA, rectsB;
};

struct VelFixture {
  int version = 106;  // 0: no signature
  uint32_t headerSize = 40;
  uint8_t prot = 0, kind = 1;
  uint32_t bg = 0;
  uint32_t tileW = 0, tileH = 0;
  uint8_t bottomOpaque = 0;
  std::optional<uint32_t> frameCount;  // default: the number of frames
  std::vector<FrameSpec> frames;
};

inline Bytes BuildVel(const VelFixture& f) {
  ByteWriter w;
  const uint32_t count = f.frameCount.value_or(static_cast<uint32_t>(f.frames.size()));
  if (f.version > 0) {
    char sig[16];
    std::snprintf(sig, sizeof sig, "Vell%03d", f.version);
    w.Raw(std::string_view(sig, 7));
  }
  if (f.version >= 103) {
    w.U32(f.headerSize);
    ByteWriter rec;
    rec.U32(static_cast<uint32_t>(f.version));
    const FrameSpec* first = f.frames.empty() ? nullptr : &f.frames[0];
    rec.U32(first ? first->w : 0);
    rec.U32(first ? first->h : 0);
    rec.U32(first ? first->bpp : 0);
    rec.U32(count);
    rec.U8(1);
    rec.U8(f.prot);
    rec.U8(f.kind);
    rec.U8(0);
    rec.U32(f.bg);
    rec.U32(f.tileW);
    rec.U32(f.tileH);
    rec.U8(f.bottomOpaque);
    rec.U8(75);
    rec.U16(0);
    Bytes r = rec.Take();
    r.resize(f.headerSize, 0xEE);  // excess bytes of a longer record carry junk
    w.Raw(r);
  } else {
    w.U32(count);
    w.U8(0);
    if (f.version >= 102) w.U32(f.bg);
  }
  for (const FrameSpec& fr : f.frames) {
    w.LpString(fr.name);
    w.I32(fr.transparent);
    w.I32(fr.delay);
    w.U8(2);
    w.U32(0);
    w.U32(static_cast<uint32_t>(fr.layers.size()));
    w.U32(fr.w);
    w.U32(fr.h);
    w.U32(fr.bpp);
    if (fr.bpp <= 8)
      for (uint32_t i = 0; i < (1u << fr.bpp); ++i)
        w.U32(i < fr.palette.size() ? fr.palette[i] : 0);
    for (const LayerSpec& l : fr.layers) {
      w.U32(0);
      w.U32(0);
      w.U8(l.visible);
      w.I32(l.transparent);
      w.U32(l.opacity);
      if (f.version > 100) w.U8(l.alphaFlag);
      w.LpString("Layer");
      w.U32(static_cast<uint32_t>(l.colour.size()));
      w.Raw(l.colour);
      if (f.version > 99) {
        w.U32(l.alpha ? static_cast<uint32_t>(l.alpha->size()) : 0);
        if (l.alpha) w.Raw(*l.alpha);
      }
    }
    if (f.version >= 104) {
      w.I32(fr.countA);
      for (const Rect& r : fr.rectsA)
        w.I32(r.left), w.I32(r.top), w.I32(r.right), w.I32(r.bottom);
      w.I32(fr.countB);
      for (const Rect& r : fr.rectsB)
        w.I32(r.left), w.I32(r.top), w.I32(r.right), w.I32(r.bottom);
    }
  }
  return w.Take();
}

// Rows of a surface in file order; with a code, the k-th stored row is row P(k).
inline Bytes RowsOf(const TDIBSurface& s, std::optional<uint32_t> code = std::nullopt) {
  ByteWriter w;
  TNxRandom gen(code.value_or(0));
  if (code) gen.InitPool(s.Height());
  for (int k = 0; k < s.Height(); ++k) {
    const int y = code ? gen.DrawFromPool() : k;
    w.Raw(s.ScanLine(y), static_cast<size_t>(s.Pitch()));
  }
  return w.Take();
}

// A surface whose pixels are fn(x, y).
inline TDIBSurface Picture(int w, int h, int bits, const std::function<uint32_t(int, int)>& fn) {
  TDIBSurface s(w, h, bits);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      s.SetPixel(x, y, fn(x, y));
  return s;
}

}  // namespace kova::test
