// Decoded picture surfaces: per-depth blending, alpha planes, cropping, bounding boxes,
// resizing and depth conversion.
#include <gtest/gtest.h>

#include "common/error.h"
#include "gfx/surface.h"

namespace kova {
namespace {

TDIBSurface Solid(int bits, uint32_t v, int w = 4, int h = 4) {
  TDIBSurface s(w, h, bits);
  s.FillRect(s.Bounds(), v);
  return s;
}

TEST(Surface, RowSizeOfFifteenBitsUsesSixteen) {
  TDIBSurface s(3, 2, 15);
  EXPECT_EQ(s.Pitch(), 8);  // 3 words rounded up to whole 32-bit words
  s.SetPixel(2, 1, 0x7FFF);
  EXPECT_EQ(s.GetPixel(2, 1), 0x7FFFu);
  EXPECT_EQ(DibRowSize(3, 15), DibRowSize(3, 16));
}

TEST(Surface, RejectsBadDepthsAndSizes) {
  EXPECT_THROW(TDIBSurface(1, 1, 12), Error);
  EXPECT_THROW(TDIBSurface(40000, 1, 8), Error);
  EXPECT_THROW(TDIBSurface(20000, 20000, 8), Error);
  TDIBSurface s(2, 2, 8);
  EXPECT_THROW(s.ScanLine(2), Error);
  EXPECT_EQ(s.GetPixel(-1, 0), 0u);
}

TEST(Surface, PixelsAtEveryDepth) {
  for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
    TDIBSurface s(9, 3, bits);
    const uint32_t v = bits == 1    ? 1
                       : bits == 4  ? 0xA
                       : bits == 8  ? 0xC3
                       : bits <= 16 ? 0x5A5A
                       : bits == 24 ? 0xABCDEF
                                    : 0x12345678;
    s.SetPixel(7, 2, v);
    EXPECT_EQ(s.GetPixel(7, 2), v) << bits;
    EXPECT_EQ(s.GetPixel(6, 2), 0u) << bits;
    EXPECT_EQ(s.GetPixel(8, 2), 0u) << bits;
  }
}

TEST(Surface, ColourConversions) {
  TDIBSurface s15(1, 1, 15), s16(1, 1, 16), s24(1, 1, 24), s8(1, 1, 8);
  EXPECT_EQ(s15.RGBToNative(0xFF, 0x80, 0x08), (31u << 10) | (16u << 5) | 1u);
  EXPECT_EQ(s16.RGBToNative(0xFF, 0x80, 0x08), (31u << 11) | (32u << 5) | 1u);
  EXPECT_EQ(s24.RGBToNative(1, 2, 3), 0x010203u);
  EXPECT_EQ(s16.NativeToRGB(0xFFFF), 0xF8FCF8u);
  EXPECT_EQ(s16.NativeToRGB(0xFFFF, true), 0xFFFFFFu);
  EXPECT_EQ(s15.NativeToRGB(0, true), 0u);
  s8.Palette()[0] = 0x000000;
  s8.Palette()[1] = 0xFF0000;
  s8.Palette()[2] = 0x00FF00;
  EXPECT_EQ(s8.RGBToNative(0xF0, 0x10, 0x10), 1u);
  EXPECT_EQ(s8.NativeToRGB(2), 0x00FF00u);
}

TEST(Surface, BlendOpacityPerDepth) {
  struct Case {
    int bits;
    uint32_t dst, src;
    int32_t a;
    uint32_t expect;
  } cases[] = {
      {24, 0x000000, 0xFFFFFF, 254, 0xFEFEFE},      // divides by 255
      {32, 0x000000, 0xFFFFFF, 254, 0xFDFDFD},      // shifts by 8
      {24, 0x000000, 0xFFFFFF, 255, 0xFFFFFF},      // a keyed copy
      {32, 0xFF000000, 0x00FFFFFF, 128, 0x7F7F7F},  // the top byte becomes 0
      {16, 0x0000, 0xFFFF, 128, (15u << 11) | (31u << 5) | 15u},
      {15, 0x0000, 0x7FFF, 128, (15u << 10) | (15u << 5) | 15u},
  };
  for (const auto& c : cases) {
    TDIBSurface d = Solid(c.bits, c.dst), s = Solid(c.bits, c.src);
    d.BlendOpacity(0, 0, c.a, -1, s.Bounds(), s);
    EXPECT_EQ(d.GetPixel(1, 1), c.expect) << c.bits << " bits, a=" << c.a;
  }
  // Opacity 0 does nothing; the key skips pixels.
  TDIBSurface d = Solid(24, 0x010101), s = Solid(24, 0xFFFFFF);
  d.BlendOpacity(0, 0, 0, -1, s.Bounds(), s);
  d.BlendOpacity(0, 0, 100, 0xFFFFFF, s.Bounds(), s);
  EXPECT_EQ(d.GetPixel(0, 0), 0x010101u);
}

TEST(Surface, EightBitOpacityDithers) {
  TDIBSurface d = Solid(8, 0), s = Solid(8, 7);
  d.BlendOpacity(0, 0, 128, -1, s.Bounds(), s);  // level 8: 1110 0101 1010 0101
  int copied = 0;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      copied += d.GetPixel(x, y) == 7;
  EXPECT_EQ(copied, 9);
  EXPECT_EQ(d.GetPixel(0, 0), 7u);
  EXPECT_EQ(d.GetPixel(3, 0), 0u);
  // The pattern is anchored to destination coordinates.
  TDIBSurface e = Solid(8, 0, 8, 4);
  e.BlendOpacity(1, 0, 128, -1, s.Bounds(), s);
  EXPECT_EQ(e.GetPixel(1, 0), 7u);
  EXPECT_EQ(e.GetPixel(3, 0), 0u);
  // Level 15 (a = 240 or more) copies.
  TDIBSurface f = Solid(8, 0);
  f.BlendOpacity(0, 0, 240, -1, s.Bounds(), s);
  EXPECT_EQ(f.GetPixel(3, 3), 7u);
}

TEST(Surface, BlendAlphaPlane) {
  struct Case {
    int bits;
    int32_t a;
    uint8_t c;
    uint32_t expect;  // white over black
  } cases[] = {
      {32, 255, 0, 0},
      {32, 255, 255, 0xFFFFFF},
      {32, 255, 128, 0x7F7F7F},
      {24, 255, 128, 0x7F7F7F},
      {24, 128, 255, 0x7E7E7E},  // c' = 127: (255 * 127) >> 8
      {24, 1, 255, 0},           // a * c < 256: skipped
      {16, 255, 128, (15u << 11) | (31u << 5) | 15u},
      {8, 255, 127, 0},
      {8, 255, 128, 9},
  };
  for (const auto& c : cases) {
    TDIBSurface d = Solid(c.bits, 0);
    TDIBSurface s = Solid(c.bits, c.bits == 8 ? 9 : c.bits == 16 ? 0xFFFF : 0xFFFFFF);
    s.CreateAlphaPlane().FillRect(s.Bounds(), c.c);
    d.BlendAlphaPlane(0, 0, c.a, s.Bounds(), s);
    EXPECT_EQ(d.GetPixel(2, 2), c.expect) << c.bits << " bits a=" << c.a << " c=" << int(c.c);
  }
}

TEST(Surface, CopyKeyedAndClip) {
  TDIBSurface d = Solid(32, 0x11), s(3, 3, 32);
  s.SetPixel(1, 1, 0x22);
  d.SetClip({0, 0, 2, 2});
  d.CopyKeyed(0, 0, 0, s.Bounds(), s);
  EXPECT_EQ(d.GetPixel(0, 0), 0x11u);  // keyed
  EXPECT_EQ(d.GetPixel(1, 1), 0x22u);
  d.SetClip({});
  d.CopyRect(2, 2, {0, 0, 3, 3}, s);  // clipped at the surface
  EXPECT_EQ(d.GetPixel(3, 3), 0x22u);
  TDIBSurface other(3, 3, 24);
  EXPECT_THROW(d.Copy(0, 0, other), Error);
  // Key -1 means none, also for a 32-bit pixel whose word is all ones.
  TDIBSurface ones = Solid(32, 0xFFFFFFFF, 1, 1), e = Solid(32, 0, 1, 1);
  e.CopyKeyed(0, 0, -1, ones.Bounds(), ones);
  EXPECT_EQ(e.GetPixel(0, 0), 0xFFFFFFFFu);
  // 1-bit: a destination bit changes only where the source bit differs from the key bit.
  TDIBSurface b1(8, 1, 1), s1(8, 1, 1);
  b1.FillRect(b1.Bounds(), 1);
  s1.SetPixel(3, 0, 1);
  b1.CopyKeyed(0, 0, 1, s1.Bounds(), s1);
  EXPECT_EQ(b1.GetPixel(0, 0), 0u);
  EXPECT_EQ(b1.GetPixel(3, 0), 1u);
}

TEST(Surface, BoundingBoxAndCrop) {
  TDIBSurface s = Solid(8, 5, 6, 5);
  EXPECT_EQ(s.BoundingBox(5), Rect{});
  EXPECT_EQ(s.BoundingBox(-1), s.Bounds());
  s.SetPixel(2, 1, 0);
  s.SetPixel(3, 3, 0);
  EXPECT_EQ(s.BoundingBox(5), (Rect{2, 1, 4, 4}));
  s.CreateAlphaPlane().SetPixel(3, 3, 77);
  s.Crop({2, 1, 4, 4});
  EXPECT_EQ(s.Width(), 2);
  EXPECT_EQ(s.Height(), 3);
  EXPECT_EQ(s.GetPixel(0, 0), 0u);
  ASSERT_NE(s.AlphaPlane(), nullptr);
  EXPECT_EQ(s.AlphaPlane()->GetPixel(1, 2), 77u);
}

TEST(Surface, ResizeNearestAndSmooth) {
  TDIBSurface s(2, 1, 32);
  s.SetPixel(0, 0, 0x10);
  s.SetPixel(1, 0, 0x20);
  TDIBSurface n = s;
  n.Resize(4, 1, -1, false);
  EXPECT_EQ(n.BitCount(), 32);
  EXPECT_EQ(n.GetPixel(1, 0), 0x10u);
  EXPECT_EQ(n.GetPixel(2, 0), 0x20u);
  // Smooth enlargement: the last column blends toward black beyond the edge.
  TDIBSurface w = Solid(24, 0xC8C8C8, 2, 2);
  w.Resize(4, 4, -1, true);
  EXPECT_EQ(w.BitCount(), 24);
  EXPECT_EQ(w.GetPixel(0, 0), 0xC8C8C8u);
  EXPECT_EQ(w.GetPixel(3, 0), 0x646464u);  // half of 200
  EXPECT_EQ(w.GetPixel(3, 3), 0x323232u);
  // Smooth shrinking averages blocks, leaving out the key.
  TDIBSurface k(2, 2, 24);
  k.SetPixel(0, 0, 0xFF00FF);
  k.SetPixel(1, 0, 0x102030);
  k.SetPixel(0, 1, 0x102030);
  k.SetPixel(1, 1, 0x304050);
  k.Resize(1, 1, 0xFF00FF, true);
  EXPECT_EQ(k.GetPixel(0, 0), 0x1B2B3Bu);  // red (16 + 16 + 48) / 3 = 26.7 -> 27, ...
}

TEST(Surface, ConvertDepth) {
  TDIBSurface s(2, 1, 24);
  s.SetPixel(0, 0, 0xFF0000);
  s.SetPixel(1, 0, 0x0000FF);
  TDIBSurface p = s;
  p.ConvertDepth(8);
  EXPECT_EQ(p.NativeToRGB(p.GetPixel(0, 0)), 0xFF0000u);
  EXPECT_EQ(p.NativeToRGB(p.GetPixel(1, 0)), 0x0000FFu);
  TDIBSurface q = s;
  q.ConvertDepth(32);
  EXPECT_EQ(q.GetPixel(0, 0), 0xFFFF0000u);  // 32-bit results are opaque in the top byte
  TDIBSurface r = s;
  r.ConvertDepth(16);
  EXPECT_EQ(r.GetPixel(1, 0), 0x001Fu);
}

}  // namespace
}  // namespace kova
