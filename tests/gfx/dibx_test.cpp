// Screen bitmap operations: clipping and flips, the blend value rule, scaling, rotation, tiles,
// glyph and table sources, and the row-shifting wrapper.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "gfx/dibx.h"
#include "gfx/vel.h"
#include "testutil/temp_dir.h"

namespace kova {
namespace {

// Source whose pixel (x, y) is 0x0000YYXX + 1 so every pixel is distinct and nonzero.
TDIBX Numbered(int w, int h) {
  TDIBX b(w, h, 32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.SetPixel(x, y, static_cast<uint32_t>((y << 8) | x) + 1);
  return b;
}
uint32_t N(int x, int y) {
  return static_cast<uint32_t>((y << 8) | x) + 1;
}

TEST(DibxClip, LeftEdgeWithFlipHRemovesColumnsFromTheRight) {
  TDIBX src = Numbered(6, 1), dst(10, 1, 32);
  dst.Draw(-2, 0, src.Bounds(), src, false, true);
  // Mirrored: destination column i reads source column 5 - i; columns -2 and -1 (sources 5
  // and 4) fall off.
  EXPECT_EQ(dst.GetPixel(0, 0), N(3, 0));
  EXPECT_EQ(dst.GetPixel(3, 0), N(0, 0));
  EXPECT_EQ(dst.GetPixel(4, 0), 0u);
  TDIBX plain(10, 1, 32);
  plain.Draw(-2, 0, src.Bounds(), src);
  EXPECT_EQ(plain.GetPixel(0, 0), N(2, 0));
}

TEST(DibxClip, FlipVAndUpdateRectangle) {
  TDIBX src = Numbered(3, 4), dst(8, 8, 32);
  dst.SetUpdateRect({0, 2, 8, 4});
  dst.Draw(1, 1, src.Bounds(), src, true, false);
  // Row 1 is outside the update rectangle; row 2 shows source row 2 (mirrored from 3 - 1).
  EXPECT_EQ(dst.GetPixel(1, 1), 0u);
  EXPECT_EQ(dst.GetPixel(1, 2), N(0, 2));
  EXPECT_EQ(dst.GetPixel(1, 3), N(0, 1));
  EXPECT_EQ(dst.GetPixel(1, 4), 0u);
}

TEST(DibxClip, SourceRectangleBeyondTheSourceIsCut) {
  TDIBX src = Numbered(4, 4), dst(8, 8, 32);
  dst.Draw(0, 0, {-2, -2, 6, 6}, src);
  EXPECT_EQ(dst.GetPixel(2, 2), N(0, 0));
  EXPECT_EQ(dst.GetPixel(1, 1), 0u);
  EXPECT_EQ(dst.GetPixel(5, 5), N(3, 3));
  EXPECT_EQ(dst.GetPixel(6, 6), 0u);
}

TEST(DibxUpdate, AddUpdateClampsAndUnites) {
  TDIBX b(100, 50, 32);
  EXPECT_FALSE(b.UpdateActive());
  b.AddUpdate({-10, -10, 5, 5});
  EXPECT_EQ(b.UpdateRect(), (Rect{0, 0, 5, 5}));
  b.AddUpdate({200, 0, 300, 10});  // outside: nothing
  EXPECT_EQ(b.UpdateRect(), (Rect{0, 0, 5, 5}));
  b.AddUpdate({90, 40, 120, 60});
  EXPECT_EQ(b.UpdateRect(), (Rect{0, 0, 100, 50}));
  b.ClearUpdate();
  EXPECT_FALSE(b.UpdateActive());
}

TEST(DibxColour, NativeColor) {
  TDIBX b(1, 1, 32), m(1, 1, 8);
  EXPECT_EQ(b.NativeColor(-1), -1);
  EXPECT_EQ(b.NativeColor(0x00332211), 0x112233);
  EXPECT_EQ(m.NativeColor(0x7F), 0x7F);
}

TEST(DibxBlend, ValueRuleSelectsTheFamilyAndZeroDrawsNothing) {
  struct Case {
    int32_t v;
    uint32_t expect;  // white over 0x404040
  } cases[] = {{0, 0x404040},   {128, 0x9F9F9F}, {255, 0xFFFFFF},
               {256, 0x404040}, {511, 0xFFFFFF}, {300, 0x7F7F7F}};
  TDIBX src(4, 4, 32), mask(4, 4, 8);
  src.Fill(0xFFFFFF);
  mask.Fill(255);
  for (const auto& c : cases) {
    for (int family = 0; family < 4; ++family) {
      TDIBX dst(4, 4, 32);
      dst.Fill(0x404040);
      switch (family) {
        case 0:
          dst.DrawBlend(0, 0, src.Bounds(), src, c.v);
          break;
        case 1:
          dst.StretchDraw(dst.Bounds(), src, c.v, src.Bounds());
          break;
        case 2:
          dst.DrawRotate(0, 0, c.v, false, false, false, 0, 0, 0, src.Bounds(), src, 256, 256);
          break;
        case 3:
          dst.ZoomTile(dst.Bounds(), 256, c.v, 0, 0, src.Bounds(), src);
          break;
      }
      const uint32_t got = dst.GetPixel(1, 1);
      if (c.v == 0 || c.v == 256)
        EXPECT_EQ(got, 0x404040u) << "v=" << c.v << " family " << family;
      else if (c.v == 300)  // 0x40 + (255 * 44 >> 8) = 0x40 + 43
        EXPECT_EQ(got, 0x6B6B6Bu) << "family " << family;
      else
        EXPECT_EQ(got, c.expect) << "v=" << c.v << " family " << family;
    }
  }
}

TEST(DibxMask, OnlyEightBitMasksDraw) {
  TDIBX src(4, 4, 32), dst(4, 4, 32), wrong(4, 4, 32);
  src.Fill(0xFFFFFF);
  wrong.Fill(0xFFFFFF);
  dst.DrawMask(0, 0, src.Bounds(), src, wrong);
  dst.DrawMaskAlpha(0, 0, src.Bounds(), src, 200, wrong);
  dst.StretchDrawMask(dst.Bounds(), src, wrong, 255, src.Bounds());
  EXPECT_EQ(dst.GetPixel(0, 0), 0u);
}

TEST(DibxStretch, ColumnChoiceAndFlips) {
  TDIBX src = Numbered(4, 2);
  // Doubling: each source column covers two destination columns.
  TDIBX dst(8, 2, 32);
  dst.StretchDraw(dst.Bounds(), src, 255, src.Bounds());
  const int expect[8] = {0, 0, 1, 1, 2, 2, 3, 3};
  for (int x = 0; x < 8; ++x)
    EXPECT_EQ(dst.GetPixel(x, 0), N(expect[x], 0)) << x;
  // Mirrored: starts at the right edge (4 * 65536 - 1) and walks left.
  TDIBX flip(8, 2, 32);
  flip.StretchDraw(flip.Bounds(), src, 255, src.Bounds(), false, true);
  for (int x = 0; x < 8; ++x)
    EXPECT_EQ(flip.GetPixel(x, 0), N(3 - expect[x], 0)) << x;
  // Halving takes every other column (0 and 2).
  TDIBX half(2, 1, 32);
  half.StretchDraw(half.Bounds(), src, 255, src.Bounds());
  EXPECT_EQ(half.GetPixel(0, 0), N(0, 0));
  EXPECT_EQ(half.GetPixel(1, 0), N(2, 0));
  // Clipping on the left keeps the fraction: column 3 of the doubled picture is source 1.
  TDIBX clipped(8, 2, 32);
  clipped.SetUpdateRect({3, 0, 8, 2});
  clipped.StretchDraw(clipped.Bounds(), src, 255, src.Bounds());
  EXPECT_EQ(clipped.GetPixel(2, 0), 0u);
  EXPECT_EQ(clipped.GetPixel(3, 0), N(1, 0));
  EXPECT_EQ(clipped.GetPixel(4, 0), N(2, 0));
}

// Stretching sample by sample: every destination pixel finds its own column and row.
void StretchModel(TDIBX& dst, const Rect& dr, const TDIBX& src, const Rect& sr, bool flipV,
                  bool flipH) {
  const double stepX = double(sr.Width()) / dr.Width(), stepY = double(sr.Height()) / dr.Height();
  const Rect cd = dr.Intersect(dst.ClipArea());
  const int64_t fx = int64_t(stepX * 65536), fy = int64_t(stepY * 65536);
  const int64_t startX = int64_t((cd.left - dr.left) * stepX * 65536);
  const int64_t startY = int64_t((cd.top - dr.top) * stepY * 65536);
  for (int y = cd.top; y < cd.bottom; ++y)
    for (int x = cd.left; x < cd.right; ++x) {
      const int64_t px = flipH ? int64_t{sr.right} * 65536 - startX - 1 - (x - cd.left) * fx
                               : int64_t{sr.left} * 65536 + startX + (x - cd.left) * fx;
      const int64_t py = flipV ? int64_t{sr.bottom} * 65536 - startY - 1 - (y - cd.top) * fy
                               : int64_t{sr.top} * 65536 + startY + (y - cd.top) * fy;
      const int64_t col = px >> 16, row = py >> 16;
      if (col < sr.left || col >= sr.right || row < sr.top || row >= sr.bottom) continue;
      if (!src.Bounds().Contains(int(col), int(row))) continue;
      dst.SetPixel(x, y, src.GetPixel(int(col), int(row)));
    }
}

TEST(DibxStretch, MatchesTheSampleBySampleModel) {
  std::mt19937 rng(8);
  auto r = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const TDIBX src = Numbered(13, 9);
  int drawing = 0;
  for (int round = 0; round < 300; ++round) {
    TDIBX got(40, 30, 32), want(40, 30, 32);
    if (r(0, 1)) {
      const Rect clip{r(0, 20), r(0, 15), r(21, 40), r(16, 30)};
      got.SetUpdateRect(clip);
      want.SetUpdateRect(clip);
    }
    const Rect sr{r(-3, 6), r(-3, 4), r(7, 16), r(5, 12)};
    const Rect dr{r(-10, 30), r(-10, 20), 0, 0};
    const Rect d{dr.left, dr.top, dr.left + r(1, 60), dr.top + r(1, 45)};
    const bool fv = r(0, 1), fh = r(0, 1);
    got.StretchDraw(d, src, 255, sr, fv, fh);
    StretchModel(want, d, src, sr, fv, fh);
    ASSERT_EQ(got.Store(), want.Store()) << "round " << round;
    drawing += got.Store() != TDIBX(40, 30, 32).Store();
  }
  EXPECT_GT(drawing, 150);
}

TEST(DibxStretch, HugeZoomDoesNotOverflow) {
  TDIBX src = Numbered(2, 2), dst(16, 16, 32);
  // A 2-pixel source over a 60000-pixel-wide rectangle; positions need more than 32 bits.
  dst.StretchDraw({-30000, 0, 30000, 16}, src, 255, {0, 0, 60000, 2});
  EXPECT_EQ(dst.GetPixel(0, 0), 0u);  // source columns beyond the picture are skipped
  TDIBX dst2(16, 16, 32);
  dst2.StretchDraw({-29990, 0, 30010, 16}, src, 255, src.Bounds());
  EXPECT_EQ(dst2.GetPixel(0, 0), N(0, 0));
  EXPECT_EQ(dst2.GetPixel(15, 0), N(1, 0));
}

TEST(DibxRotate, QuarterTurnMapsRowsToColumns) {
  TDIBX src = Numbered(4, 3), dst(10, 10, 32);
  dst.DrawRotate(5, 5, 255, false, false, false, 64, 0, 0, src.Bounds(), src, 256, 256);
  // Angle 64 is a quarter turn: source (x, y) lands at (5 - y, 5 + x).
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(dst.GetPixel(5 - y, 5 + x), N(x, y)) << x << "," << y;
  int drawn = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      drawn += dst.GetPixel(x, y) != 0;
  EXPECT_EQ(drawn, 12);
}

TEST(DibxRotate, IdentityFlipsAndNegativePositionsAreSkipped) {
  TDIBX src = Numbered(4, 3), dst(10, 10, 32);
  dst.DrawRotate(2, 2, 255, false, true, false, 0, 0, 0, src.Bounds(), src, 256, 256);
  EXPECT_EQ(dst.GetPixel(2, 2), N(3, 0));
  EXPECT_EQ(dst.GetPixel(5, 4), N(0, 2));
  // Left of and above the pivot the positions are negative: nothing there, no wrap-around.
  EXPECT_EQ(dst.GetPixel(1, 2), 0u);
  EXPECT_EQ(dst.GetPixel(2, 1), 0u);
}

TEST(DibxRotate, AdditiveFormKeepsChannelsApart) {
  // Blue near saturation must not carry into green.
  TDIBX src(2, 2, 32), dst(4, 4, 32);
  src.Fill(0x0000FF);
  dst.Fill(0x0000F0);
  dst.DrawRotate(0, 0, 511, false, false, false, 0, 0, 0, src.Bounds(), src, 256, 256);
  EXPECT_EQ(dst.GetPixel(0, 0), 0x0000FFu);
}

TEST(DibxRotate, ZoomsAndZeroValue) {
  TDIBX src = Numbered(2, 2), dst(8, 8, 32);
  dst.DrawRotate(0, 0, 255, false, false, false, 0, 0, 0, src.Bounds(), src, 0, 256);
  dst.DrawRotate(0, 0, 0, false, false, false, 0, 0, 0, src.Bounds(), src, 256, 256);
  EXPECT_EQ(dst.GetPixel(0, 0), 0u);
  dst.DrawRotate(0, 0, 255, false, false, false, 0, 0, 0, src.Bounds(), src, 512, 512);
  EXPECT_EQ(dst.GetPixel(1, 1), N(0, 0));
  EXPECT_EQ(dst.GetPixel(2, 3), N(1, 1));
  EXPECT_EQ(dst.GetPixel(4, 4), 0u);
}

// The rotation algorithm sample by sample, as plainly as it can be written.
void RotateModel(TDIBX& dst, int cx, int cy, bool flipV, bool flipH, int angle, int pivotY,
                 int pivotX, const Rect& sr, const TDIBX& src, int zoomY, int zoomX) {
  const double th = angle * 2 * std::numbers::pi / 256, zx = zoomX / 256.0, zy = zoomY / 256.0;
  const int64_t dsx = static_cast<int64_t>(std::cos(th) / zx * 65536);
  const int64_t dsy = static_cast<int64_t>(-std::sin(th) / zy * 65536);
  const int64_t dsx2 = static_cast<int64_t>(std::sin(th) / zx * 65536);
  const int64_t dsy2 = static_cast<int64_t>(std::cos(th) / zy * 65536);
  const double w = sr.Width() * zx, h = sr.Height() * zy, px = pivotX * zx, py = pivotY * zy;
  double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
  for (auto [x, y] :
       {std::pair{-px, -py}, {w - px - 1, -py}, {-px, h - py - 1}, {w - px - 1, h - py - 1}}) {
    const double rx = x * std::cos(th) - y * std::sin(th) + cx,
                 ry = x * std::sin(th) + y * std::cos(th) + cy;
    minX = std::min(minX, rx), maxX = std::max(maxX, rx), minY = std::min(minY, ry),
    maxY = std::max(maxY, ry);
  }
  const Rect box = Rect{int(std::trunc(minX)), int(std::trunc(minY)), int(std::trunc(maxX)) + 1,
                        int(std::trunc(maxY)) + 1}
                       .Intersect(dst.ClipArea());
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x) {
      const int64_t sx = int64_t{pivotX} * 65536 + int64_t{x - cx} * dsx + int64_t{y - cy} * dsx2;
      const int64_t sy = int64_t{pivotY} * 65536 + int64_t{x - cx} * dsy + int64_t{y - cy} * dsy2;
      if (sx < 0 || sy < 0) continue;
      const int64_t c0 = sx >> 16, r0 = sy >> 16;
      if (c0 >= sr.Width() || r0 >= sr.Height()) continue;
      const int col = int(flipH ? sr.right - c0 - 1 : sr.left + c0);
      const int row = int(flipV ? sr.bottom - r0 - 1 : sr.top + r0);
      if (!src.Bounds().Contains(col, row)) continue;
      dst.SetPixel(x, y, src.GetPixel(col, row));
    }
}

TEST(DibxRotate, MatchesTheSampleBySampleModel) {
  std::mt19937 rng(7);
  auto r = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const TDIBX src = Numbered(13, 9);
  int drawing = 0;
  for (int round = 0; round < 300; ++round) {
    TDIBX got(40, 30, 32), want(40, 30, 32);
    if (r(0, 1)) {
      const Rect clip{r(0, 20), r(0, 15), r(21, 40), r(16, 30)};
      got.SetUpdateRect(clip);
      want.SetUpdateRect(clip);
    }
    const Rect sr{r(-3, 6), r(-3, 4), r(7, 16), r(5, 12)};
    const int cx = r(-5, 45), cy = r(-5, 35), angle = r(-256, 256), pY = r(-4, 10), pX = r(-4, 14);
    const int zY = r(40, 700), zX = r(40, 700);
    const bool fv = r(0, 1), fh = r(0, 1);
    got.DrawRotate(cx, cy, 255, fv, fh, false, angle, pY, pX, sr, src, zY, zX);
    RotateModel(want, cx, cy, fv, fh, angle, pY, pX, sr, src, zY, zX);
    ASSERT_EQ(got.Store(), want.Store()) << "round " << round << " angle " << angle;
    drawing += got.Store() != TDIBX(40, 30, 32).Store();
  }
  EXPECT_GT(drawing, 150);  // most rounds really draw
}

TEST(DibxTiles, RepeatWithGapsAndOffsets) {
  TDIBX src = Numbered(2, 1), dst(9, 1, 32);
  dst.TileDraw(TCustomDIBX::TileOp::kDraw, {0, 0, 9, 1}, 1, 0, 1, 0, src.Bounds(), src);
  // Offset 1 shifts the start left by one: columns 0 (src 1), 1 gap, 2-3, 4 gap, ...
  const uint32_t expect[9] = {N(1, 0), 0, N(0, 0), N(1, 0), 0, N(0, 0), N(1, 0), 0, N(0, 0)};
  for (int x = 0; x < 9; ++x)
    EXPECT_EQ(dst.GetPixel(x, 0), expect[x]) << x;
  // The update rectangle is restored afterwards.
  EXPECT_FALSE(dst.UpdateActive());
}

TEST(DibxTiles, EmptySourceOrNonAdvancingStepDrawsNothing) {
  TDIBX src = Numbered(3, 3), dst(8, 8, 32);
  dst.TileDraw(TCustomDIBX::TileOp::kDraw, dst.Bounds(), 0, 0, 0, 0, {1, 1, 1, 3}, src);
  dst.TileDraw(TCustomDIBX::TileOp::kDraw, dst.Bounds(), -3, 0, 0, 0, src.Bounds(), src);
  dst.TileDraw(TCustomDIBX::TileOp::kDraw, dst.Bounds(), 0, -5, 0, 0, src.Bounds(), src);
  dst.TileDraw(TCustomDIBX::TileOp::kMask, dst.Bounds(), 0, 0, 0, 0, src.Bounds(), src);  // no mask
  dst.ZoomTile(dst.Bounds(), 0, 255, 0, 0, src.Bounds(), src);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      ASSERT_EQ(dst.GetPixel(x, y), 0u);
}

TEST(DibxTiles, ZoomTileRepetitionsAreAtLeastOnePixel) {
  TDIBX src = Numbered(4, 4), dst(6, 1, 32);
  dst.ZoomTile(dst.Bounds(), 1, 255, 0, 0, src.Bounds(), src);  // 4/256 of a pixel -> 1 pixel
  for (int x = 0; x < 6; ++x)
    EXPECT_EQ(dst.GetPixel(x, 0), N(0, 0));
}

TEST(DibxTiles, TileFillWrapsAndMirrors) {
  TDIBX src = Numbered(3, 2), dst(7, 3, 32);
  dst.TileFill(dst.Bounds(), src, false, false, -1, 4);
  // Top-left shows source (4 mod 3, -1 mod 2) = (1, 1).
  EXPECT_EQ(dst.GetPixel(0, 0), N(1, 1));
  EXPECT_EQ(dst.GetPixel(2, 0), N(0, 1));
  EXPECT_EQ(dst.GetPixel(0, 1), N(1, 0));
  TDIBX m(7, 1, 32);
  m.TileFill(m.Bounds(), src, false, true, 0, 0);
  EXPECT_EQ(m.GetPixel(0, 0), N(2, 0));
  EXPECT_EQ(m.GetPixel(3, 0), N(2, 0));
  TDIBX frame(6, 6, 32);
  frame.FrameTile(frame.Bounds(), 1, 0, 0, src);
  EXPECT_NE(frame.GetPixel(0, 3), 0u);
  EXPECT_NE(frame.GetPixel(5, 3), 0u);
  EXPECT_EQ(frame.GetPixel(2, 2), 0u);
}

TEST(DibxRect, FrameRectBands) {
  TDIBX b(6, 5, 32);
  b.FrameRect(b.Bounds(), 1, 0xFF);
  int set = 0;
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x)
      set += b.GetPixel(x, y) == 0xFF;
  EXPECT_EQ(set, 6 * 2 + 3 * 2);
  EXPECT_EQ(b.GetPixel(2, 2), 0u);
  // A band thicker than half the height leaves no room for the sides.
  TDIBX c(6, 3, 32);
  c.FrameRectAdd(c.Bounds(), 2, 0x10);
  for (int y = 0; y < 3; ++y)
    EXPECT_EQ(c.GetPixel(3, y), 0x10u) << y;
}

TEST(DibxGlyph, DrawMonoCoverage) {
  // 8 x 4 bits: left block all 0 bits (full coverage), right block half ones.
  TDIBX mono(8, 4, 1);
  for (int y = 0; y < 4; ++y)
    for (int x = 4; x < 8; ++x)
      mono.SetPixel(x, y, (x + y) % 2);
  TDIBX dst(2, 1, 32);
  dst.DrawMono(0, 0, 4, 255, false, false, 0xFFFFFF, mono.Bounds(), mono);
  EXPECT_EQ(dst.GetPixel(0, 0), 0xFFFFFFu);
  EXPECT_EQ(dst.GetPixel(1, 0), 0x7F7F7Fu);  // 255 * 8 / 16
  // Mirrored: the full block lands on the right; a weight below 255 scales the coverage.
  TDIBX dst2(2, 1, 32);
  dst2.DrawMono(0, 0, 4, 128, false, true, 0xFFFFFF, mono.Bounds(), mono);
  EXPECT_EQ(dst2.GetPixel(1, 0), 0x7F7F7Fu);  // C = 128 * 16 >> 8 = 8
  EXPECT_EQ(dst2.GetPixel(0, 0), 0x3F3F3Fu);  // C = 4
}

TEST(DibxGlyph, NibblesAndTableAdd) {
  TDIBX nib(4, 1, 4);
  for (int x = 0; x < 4; ++x)
    nib.SetPixel(x, 0, static_cast<uint32_t>(x));
  nib.SetColorKey(0);
  std::vector<uint32_t> table(32, 0);
  table[2] = 0x0000FF;
  table[4] = 0x00FF00;
  table[6] = 0;
  TDIBX dst(4, 1, 32);
  dst.Fill(0x101010);
  dst.SetPixel(2, 0, 0xFFFFFF);
  dst.DrawNibbles(0, 0, table, 511, false, false, nib.Bounds(), nib);
  EXPECT_EQ(dst.GetPixel(0, 0), 0x101010u);          // keyed
  EXPECT_EQ(dst.GetPixel(1, 0), 0x10100Fu + 0xF0u);  // 0x10 + 254 saturates to 0xFF
  EXPECT_EQ(dst.GetPixel(2, 0), 0xFFFFFFu);          // white stays
  EXPECT_EQ(dst.GetPixel(3, 0), 0x101010u);          // colour 0 is not added
  dst.DrawNibbles(0, 0, table, 255, false, false, nib.Bounds(), nib);
  EXPECT_EQ(dst.GetPixel(2, 0), 0x00FF00u);

  TDIBX idx(3, 1, 8);
  idx.SetPixel(0, 0, 1);
  idx.SetPixel(1, 0, 2);
  idx.SetPixel(2, 0, 3);
  std::vector<uint32_t> t256(256, 0x808080);
  TDIBX d2(3, 1, 32);
  d2.DrawTableAdd(0, 0, t256, 255, false, false, 1, idx.Bounds(), idx);
  EXPECT_EQ(d2.GetPixel(0, 0), 0u);  // not above the key
  EXPECT_EQ(d2.GetPixel(1, 0), 0x7F7F7Fu);
  TDIBX d3(6, 1, 32);
  d3.StretchTableAdd(d3.Bounds(), t256, 255, 1, idx.Bounds(), idx);
  EXPECT_EQ(d3.GetPixel(1, 0), 0u);
  EXPECT_EQ(d3.GetPixel(2, 0), 0x7F7F7Fu);
}

TEST(DibxWave, RowsAreShiftedByTheirOffsets) {
  TDIBX target(12, 4, 32);
  TDIBXWave wave(&target, 2, 0, 6, 4);
  wave.Offsets() = {0, 0, 3, -1};
  TDIBX src(6, 4, 32);
  src.Fill(0xFF);
  wave.Draw(0, 0, src.Bounds(), src, false, false, false);
  // Rows 0-1 at x 2..7, row 2 at 5..10, row 3 at 1..6.
  EXPECT_EQ(target.GetPixel(2, 0), 0xFFu);
  EXPECT_EQ(target.GetPixel(8, 1), 0u);
  EXPECT_EQ(target.GetPixel(4, 2), 0u);
  EXPECT_EQ(target.GetPixel(10, 2), 0xFFu);
  EXPECT_EQ(target.GetPixel(1, 3), 0xFFu);
  EXPECT_EQ(target.GetPixel(7, 3), 0u);
  EXPECT_FALSE(target.UpdateActive());  // restored
  EXPECT_EQ(wave.GetPixel(0, 2), 0xFFu);
  EXPECT_EQ(wave.Target(), &target);
}

TEST(DibxFiles, LoadByContentAndSaveBmp) {
  TVellFrameList list;
  TVellFrame& f = list.AddFrame();
  f.picture.SetSize(3, 2, 24);
  f.picture.SetPixel(2, 1, 0x112233);
  const Bytes vel = list.SaveToBytes(1, 0);
  TDIBX b;
  b.LoadFromBytes(vel, "x.vel", 0);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.GetPixel(2, 1), 0x112233u);
  test::TempDir dir;
  const std::string path = (dir / "shot.BMP").string();
  b.SaveToFile(path);
  TDIBX c;
  c.LoadFromFile(path);
  EXPECT_EQ(c.Width(), 3);
  EXPECT_EQ(c.GetPixel(2, 1), 0x112233u);
  TDIBX d;
  d.LoadFromFile((dir / "other.png").string());  // not a .bmp: unchanged
  EXPECT_EQ(d.Width(), 1);
  // Unknown content leaves the bitmap as it was.
  const uint8_t junk[] = {1, 2, 3, 4, 5};
  c.LoadFromBytes(junk, "junk", 0);
  EXPECT_EQ(c.Width(), 3);
}

TEST(DibxStore, AssignCopiesAndReleaseShrinks) {
  TDIBX a = Numbered(5, 5), b(5, 5, 32), c(3, 3, 32);
  b.Assign(a);
  EXPECT_EQ(b.Store(), a.Store());
  c.Assign(a);  // other size: drawn at (0, 0)
  EXPECT_EQ(c.GetPixel(2, 2), N(2, 2));
  a.Release();
  EXPECT_EQ(a.Width(), 8);
  EXPECT_THROW(a.Row(8), Error);
  EXPECT_THROW(TDIBX(2, 2, 24), Error);
}

}  // namespace
}  // namespace kova
