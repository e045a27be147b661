// Layered pictures: the writer's exact bytes, round trips of every kind and depth, protection,
// legacy versions, tiles, layer composition and the refusal of damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

// Fixtures name only the fields that matter to each case.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include "common/nx_random.h"
#include "common/stream.h"
#include "gfx/codecs.h"
#include "gfx/vel.h"
#include "vel_builder.h"

namespace kova {
namespace {

using test::BuildVel;
using test::VelFixture;
using test::FrameSpec;
using test::LayerSpec;
using test::Picture;
using test::RowsOf;

uint32_t Rgb(int x, int y) {
  return static_cast<uint32_t>(0x102030 + x * 0x010000 + y * 0x000100 + x * y);
}

TVellFrameList Read(const Bytes& data, int32_t code = 0) {
  TVellFrameList list(code);
  list.LoadFromBytes(data, "test.vel", false, false);
  return list;
}

void ExpectSame(const TDIBSurface& a, const TDIBSurface& b, const std::string& what) {
  ASSERT_EQ(a.Width(), b.Width()) << what;
  ASSERT_EQ(a.Height(), b.Height()) << what;
  ASSERT_EQ(a.BitCount(), b.BitCount()) << what;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      ASSERT_EQ(a.GetPixel(x, y), b.GetPixel(x, y)) << what << " at " << x << "," << y;
}

TEST(VelWriter, BytesOfAnUncompressedPicture) {
  TVellFrameList list;
  TVellFrame& f = list.AddFrame();
  f.picture.SetSize(2, 1, 24);
  f.picture.SetPixel(0, 0, 0x010203);
  f.picture.SetPixel(1, 0, 0x040506);
  ByteWriter e;
  e.Raw("Vell106");
  for (uint32_t v : {40u, 106u, 2u, 1u, 24u, 1u})
    e.U32(v);
  for (uint8_t v : {1, 0, 1, 0})
    e.U8(v);
  for (uint32_t v : {0u, 0u, 0u})
    e.U32(v);
  e.U8(0);
  e.U8(70);
  e.U16(0);
  e.LpString("Frame1");
  e.I32(-1);
  e.I32(100);
  e.U8(2);
  for (uint32_t v : {0u, 1u, 2u, 1u, 24u, 0u, 0u})
    e.U32(v);
  e.U8(1);
  e.I32(-1);
  e.U32(255);
  e.U8(0);
  e.LpString("Layer");
  e.U32(8);
  for (uint8_t v : {3, 2, 1, 6, 5, 4, 0, 0})
    e.U8(v);
  for (uint32_t v : {0u, 0u, 0u})
    e.U32(v);
  EXPECT_EQ(list.SaveToBytes(1, 70), e.Data());
  EXPECT_TRUE(TVellFrameList::IsUncompressed(e.Data()));
}

TEST(VelWriter, KindZeroDeflatesAtLevelOne) {
  TVellFrameList list;
  TVellFrame& f = list.AddFrame();
  f.picture = Picture(16, 4, 24, Rgb);
  const Bytes out = list.SaveToBytes(0, 70);
  EXPECT_FALSE(TVellFrameList::IsUncompressed(out));
  const Bytes block = Deflate(RowsOf(f.picture));
  EXPECT_EQ(block[0], 0x78);
  EXPECT_EQ(block[1], 0x01);  // zlib header of the fastest level
  EXPECT_NE(std::search(out.begin(), out.end(), block.begin(), block.end()), out.end());
}

TEST(VelRoundTrip, EveryDepthAndKind) {
  for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
    for (int kind : {0, 1}) {
      TVellFrameList list;
      list.background = 0x00563412;
      for (int n = 0; n < 2; ++n) {
        TVellFrame& f = list.AddFrame();
        f.picture = Picture(7, 5, bits, [&](int x, int y) {
          const uint32_t v = Rgb(x + n, y);
          return bits == 1    ? v & 1
                 : bits == 4  ? v & 15
                 : bits == 8  ? v & 255
                 : bits <= 16 ? v & 0x7FFF
                 : bits == 24 ? v
                              : v & 0xFFFFFF;
        });
        for (int i = 0; i < (bits <= 8 ? 1 << bits : 0); ++i)
          f.picture.Palette()[i] = 0x010101u * i;
        f.delay = 40 + n;
        f.transparentValue = n == 0 ? 1 : -1;
        if (n == 1) f.picture.CreateAlphaPlane().SetPixel(3, 2, 200);
      }
      const TVellFrameList back = Read(list.SaveToBytes(kind, 70));
      const std::string what = std::to_string(bits) + " bits kind " + std::to_string(kind);
      ASSERT_EQ(back.Count(), 2) << what;
      EXPECT_EQ(back.version, 106);
      EXPECT_EQ(back.background, 0x00563412);
      for (int n = 0; n < 2; ++n) {
        // Frame 0 keeps its transparent value, but the layer is written without one: copied.
        ExpectSame(back.Frame(n).picture, list.Frame(n).picture, what);
        EXPECT_EQ(back.Frame(n).delay, 40 + n);
        EXPECT_EQ(back.Frame(n).name, "Frame" + std::to_string(n + 1));
        EXPECT_EQ(back.Frame(n).layerCount, 1);
      }
      EXPECT_EQ(back.Frame(0).transparentValue, 1);
      EXPECT_EQ(back.Frame(0).picture.AlphaPlane(), nullptr);
      ASSERT_NE(back.Frame(1).picture.AlphaPlane(), nullptr) << what;
      EXPECT_EQ(back.Frame(1).picture.AlphaPlane()->GetPixel(3, 2), 200u);
    }
  }
}

TEST(VelRoundTrip, JpegKind) {
  TVellFrameList list;
  TVellFrame& f = list.AddFrame();
  f.picture = Picture(16, 16, 24, [](int x, int y) { return x < 8 ? 0x2040C0u : 0xC08020u; });
  f.picture.CreateAlphaPlane().FillRect({0, 0, 16, 8}, 255);
  const Bytes data = list.SaveToBytes(2, 90);
  const VelHeader h = TVellFrameList::ReadHeader(data, "x");
  EXPECT_EQ(h.kind, 2);
  EXPECT_EQ(h.jpegQuality, 90);
  const TVellFrameList back = Read(data);
  const TDIBSurface& p = back.Frame(0).picture;
  ASSERT_EQ(p.BitCount(), 24);
  for (int x : {2, 13}) {
    const uint32_t want = f.picture.GetPixel(x, 4), got = p.GetPixel(x, 4);
    for (int sh = 0; sh < 24; sh += 8)
      EXPECT_NEAR(static_cast<int>((got >> sh) & 255), static_cast<int>((want >> sh) & 255), 8);
  }
  // The alpha plane is lossless.
  EXPECT_EQ(p.AlphaPlane()->GetPixel(5, 7), 255u);
  EXPECT_EQ(p.AlphaPlane()->GetPixel(5, 8), 0u);
}

TEST(VelRoundTrip, JpegBlockTakesTheFrameDepth) {
  TDIBSurface pic = Picture(8, 8, 24, [](int, int) { return 0xF0F0F0u; });
  VelFixture fixture;
  fixture.kind = 2;
  FrameSpec fr{.w = 8, .h = 8, .bpp = 16};
  fr.layers.push_back(LayerSpec{.colour = WriteJpeg(pic, 95)});
  fixture.frames.push_back(fr);
  const TVellFrameList back = Read(BuildVel(fixture));
  ASSERT_EQ(back.Frame(0).picture.BitCount(), 16);
  EXPECT_NEAR(static_cast<int>(back.Frame(0).picture.GetPixel(3, 3) >> 11), 0xF0 >> 3, 1);
  // A JPEG of another size is refused.
  fixture.frames[0].w = 9;
  EXPECT_THROW(Read(BuildVel(fixture)), DamagedPicture);
}

TEST(VelProtection, RowsArePermutedWithTheCode) {
  TVellFrameList list(12345);
  list.protect = true;
  TVellFrame& f = list.AddFrame();
  f.picture = Picture(3, 6, 24, Rgb);
  f.picture.CreateAlphaPlane().SetPixel(1, 4, 99);
  const Bytes data = list.SaveToBytes(0, 70);
  const VelHeader h = TVellFrameList::ReadHeader(data, "x");
  EXPECT_EQ(h.protectedFlag, 1);
  EXPECT_EQ(h.kind, 1);  // protection forces the uncompressed kind
  // The colour block is the rows in the generator's order.
  const Bytes rows = RowsOf(f.picture, 12345u);
  EXPECT_NE(rows, RowsOf(f.picture));
  EXPECT_NE(std::search(data.begin(), data.end(), rows.begin(), rows.end()), data.end());
  const TVellFrameList back = Read(data, 12345);
  ExpectSame(back.Frame(0).picture, f.picture, "protected");
  EXPECT_EQ(back.Frame(0).picture.AlphaPlane()->GetPixel(1, 4), 99u);
  // Another code scrambles the picture.
  const TVellFrameList wrong = Read(data, 54321);
  bool differs = false;
  for (int y = 0; y < 6; ++y)
    differs |= wrong.Frame(0).picture.GetPixel(0, y) != f.picture.GetPixel(0, y);
  EXPECT_TRUE(differs);
}

TEST(VelProtection, ZeroCodeIsRefused) {
  TVellFrameList list(0);
  list.protect = true;
  list.AddFrame().picture.SetSize(1, 1, 24);
  try {
    list.SaveToBytes(0, 70);
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "識別コードを設定してください");
  }
}

// ---- Legacy versions. ----

FrameSpec OneLayer(const TDIBSurface& pic, Bytes colour) {
  FrameSpec fr{.w = static_cast<uint32_t>(pic.Width()),
               .h = static_cast<uint32_t>(pic.Height()),
               .bpp = static_cast<uint32_t>(pic.BitCount())};
  fr.layers.push_back(LayerSpec{.colour = std::move(colour)});
  return fr;
}

TEST(VelLegacy, VersionZeroHasNoSignature) {
  const TDIBSurface pic = Picture(4, 3, 24, Rgb);
  VelFixture fixture{.version = 0};
  fixture.frames.push_back(OneLayer(pic, Deflate(RowsOf(pic))));
  const Bytes data = BuildVel(fixture);
  ASSERT_NE(data[0], 'V');
  const TVellFrameList back = Read(data);
  EXPECT_EQ(back.version, 0);
  ExpectSame(back.Frame(0).picture, pic, "v0");
  EXPECT_TRUE(back.Frame(0).rectsA.empty());
  EXPECT_FALSE(TVellFrameList::IsUncompressed(data));
}

TEST(VelLegacy, VersionsBeforeTheHeaderRecord) {
  const TDIBSurface pic = Picture(4, 3, 24, Rgb);
  TDIBSurface plane(4, 3, 8);
  plane.FillRect({0, 0, 2, 3}, 255);
  for (int version : {99, 100, 101, 102}) {
    VelFixture fixture{.version = version, .bg = 0x00FF0000};
    FrameSpec fr = OneLayer(pic, Deflate(RowsOf(pic)));
    fr.layers[0].alpha = Deflate(RowsOf(plane));
    fr.layers[0].alphaFlag = 1;
    fixture.frames.push_back(fr);
    const TVellFrameList back = Read(BuildVel(fixture));
    const std::string what = "version " + std::to_string(version);
    ExpectSame(back.Frame(0).picture, pic, what);
    // The alpha block exists from 100, the flag that uses it from 101.
    EXPECT_EQ(back.Frame(0).picture.AlphaPlane() != nullptr, version >= 101) << what;
    EXPECT_EQ(back.background, version >= 102 ? 0x00FF0000 : 0) << what;
  }
}

TEST(VelLegacy, RectangleListsFrom104AndBottomOpaqueFrom105) {
  const TDIBSurface pic = Picture(3, 1, 24, [](int x, int) { return x == 1 ? 0xFFu : 0x10u; });
  for (int version : {103, 104, 105}) {
    VelFixture fixture{.version = version, .kind = 1, .bg = 0x000000FF /* red */, .bottomOpaque = 1};
    FrameSpec fr = OneLayer(pic, RowsOf(pic));
    fr.layers[0].transparent = 0xFF;
    fr.countA = 1;
    fr.rectsA = {{1, 2, 3, 4}};
    fr.countB = -1;
    fixture.frames.push_back(fr);
    const TVellFrameList back = Read(BuildVel(fixture));
    const std::string what = "version " + std::to_string(version);
    // From 105 the first visible layer is copied whole; before, its transparent pixel shows
    // the background.
    EXPECT_EQ(back.Frame(0).picture.GetPixel(1, 0), version >= 105 ? 0xFFu : 0xFF0000u) << what;
    EXPECT_EQ(back.Frame(0).rectsA.size(), version >= 104 ? 1u : 0u) << what;
    EXPECT_TRUE(back.Frame(0).rectsB.empty());
  }
}

TEST(VelHeader, LongerAndShorterRecords) {
  const TDIBSurface pic = Picture(2, 2, 24, Rgb);
  VelFixture fixture{.headerSize = 64, .kind = 1};
  fixture.frames.push_back(OneLayer(pic, RowsOf(pic)));
  ExpectSame(Read(BuildVel(fixture)).Frame(0).picture, pic, "64-byte record");
  fixture.headerSize = 5000;
  EXPECT_THROW(Read(BuildVel(fixture)), DamagedPicture);
  // A 24-byte record ends before the background: it reads as 0, the kind as stored.
  fixture.headerSize = 24;
  ExpectSame(Read(BuildVel(fixture)).Frame(0).picture, pic, "24-byte record");
}

// ---- Tiles. ----

// Tile table and data of a 5 x 3 picture in 2 x 2 tiles (3 x 2 tiles).
struct Tiled {
  std::vector<std::pair<int32_t, int32_t>> table;
  Bytes own;  // data of the tiles with source -1, in tile order
};

Bytes TileBlock(const Tiled& t, std::optional<uint32_t> code = std::nullopt) {
  ByteWriter w;
  std::vector<std::pair<int32_t, int32_t>> stored = t.table;
  if (code) {
    TNxRandom gen(*code);
    gen.InitPool(static_cast<int>(t.table.size()));
    for (size_t k = 0; k < t.table.size(); ++k)
      stored[k] = t.table[static_cast<size_t>(gen.DrawFromPool())];
  }
  for (auto [s, i] : stored)
    w.I32(s), w.I32(i);
  w.Raw(t.own);
  return w.Take();
}

Bytes OwnTile(const TDIBSurface& pic, int l, int t, int r, int b) {
  ByteWriter w;
  for (int y = t; y < b; ++y)
    w.Raw(pic.ScanLine(y) + l * 3, static_cast<size_t>((r - l) * 3));
  return w.Take();
}

TEST(VelTiles, OwnEarlierAndOtherFrameTiles) {
  const TDIBSurface a = Picture(5, 3, 24, Rgb);
  const TDIBSurface b = Picture(5, 3, 24, [](int x, int y) { return 0x800000u + x + 16 * y; });
  // Frame 0: tiles 0, 2 and 3 own; 1 repeats 0, 4 repeats 3, 5 repeats 2 clipped to 1 x 1.
  Tiled t0;
  t0.table = {{-1, 0}, {-2, 0}, {-1, 0}, {-1, 0}, {-2, 3}, {-2, 2}};
  for (const Bytes& part : {OwnTile(a, 0, 0, 2, 2), OwnTile(a, 4, 0, 5, 2), OwnTile(a, 0, 2, 2, 3)})
    t0.own.insert(t0.own.end(), part.begin(), part.end());
  // Frame 1: tile 0 from frame 0 layer 0, the rest own.
  Tiled t1;
  t1.table = {{0, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}};
  for (const Bytes& part : {OwnTile(b, 2, 0, 4, 2), OwnTile(b, 4, 0, 5, 2), OwnTile(b, 0, 2, 2, 3),
                            OwnTile(b, 2, 2, 4, 3), OwnTile(b, 4, 2, 5, 3)})
    t1.own.insert(t1.own.end(), part.begin(), part.end());
  for (int variant = 0; variant < 3; ++variant) {
    // Plain, deflated, and protected (permuted table).
    const bool prot = variant == 2;
    const uint8_t kind = variant == 1 ? 0 : 1;
    VelFixture fixture{.prot = prot, .kind = kind, .tileW = 2, .tileH = 2};
    auto wrap = [&](const Tiled& t) {
      Bytes blk = TileBlock(t, prot ? std::optional<uint32_t>(777) : std::nullopt);
      return kind == 0 ? Deflate(blk) : blk;
    };
    fixture.frames.push_back(OneLayer(a, wrap(t0)));
    fixture.frames.push_back(OneLayer(b, wrap(t1)));
    const TVellFrameList back = Read(BuildVel(fixture), 777);
    const TDIBSurface& p0 = back.Frame(0).picture;
    const std::string what = "variant " + std::to_string(variant);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) {
        int sx = x, sy = y;
        if (x >= 2 && x < 4) sx = x - 2;       // tiles 1 and 4 repeat tiles 0 and 3
        if (x == 4 && y == 2) sx = 4, sy = 0;  // tile 5 repeats tile 2
        EXPECT_EQ(p0.GetPixel(x, y), a.GetPixel(sx, sy)) << what << " frame 0 at " << x << "," << y;
      }
    const TDIBSurface& p1 = back.Frame(1).picture;
    EXPECT_EQ(p1.GetPixel(1, 1), p0.GetPixel(1, 1)) << what;
    EXPECT_EQ(p1.GetPixel(3, 1), b.GetPixel(3, 1)) << what;
    EXPECT_EQ(p1.GetPixel(4, 2), b.GetPixel(4, 2)) << what;
  }
}

TEST(VelTiles, BadReferencesAreDamage) {
  const TDIBSurface a = Picture(5, 3, 24, Rgb);
  struct Case {
    const char* what;
    std::vector<std::pair<int32_t, int32_t>> table;
    bool secondFrameSmaller = false;
  } cases[] = {
      {"repeats itself", {{-2, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}},
      {"repeats a later tile", {{-1, 0}, {-2, 4}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}},
      {"negative tile", {{-1, 0}, {-2, -1}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}},
      {"its own frame", {{1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}},
      {"missing layer", {{0, 3}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}},
      {"unknown source", {{-3, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}},
  };
  Bytes full;
  for (int t = 0; t < 6; ++t) {
    const int l = (t % 3) * 2, tp = (t / 3) * 2;
    const Bytes part = OwnTile(a, l, tp, std::min(l + 2, 5), std::min(tp + 2, 3));
    full.insert(full.end(), part.begin(), part.end());
  }
  for (const auto& c : cases) {
    VelFixture fixture{.kind = 1, .tileW = 2, .tileH = 2};
    Tiled good{{{-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}, full};
    fixture.frames.push_back(OneLayer(a, TileBlock(good)));
    fixture.frames.push_back(OneLayer(a, TileBlock(Tiled{c.table, full})));
    EXPECT_THROW(Read(BuildVel(fixture)), DamagedPicture) << c.what;
  }
  // A frame of another size cannot lend its tiles.
  const TDIBSurface small = Picture(4, 3, 24, Rgb);
  VelFixture fixture{.kind = 1, .tileW = 2, .tileH = 2};
  Tiled smallTiles{{{-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}, {}};
  for (int t = 0; t < 4; ++t) {
    const Bytes part =
        OwnTile(small, (t % 2) * 2, (t / 2) * 2, (t % 2) * 2 + 2, std::min((t / 2) * 2 + 2, 3));
    smallTiles.own.insert(smallTiles.own.end(), part.begin(), part.end());
  }
  fixture.frames.push_back(OneLayer(small, TileBlock(smallTiles)));
  fixture.frames.push_back(
      OneLayer(a, TileBlock(Tiled{{{0, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}, full})));
  EXPECT_THROW(Read(BuildVel(fixture)), DamagedPicture);
}

// ---- Composition. ----

TEST(VelCompose, LayerRules) {
  const TDIBSurface red = Picture(2, 1, 24, [](int, int) { return 0xFF0000u; });
  const TDIBSurface blue =
      Picture(2, 1, 24, [](int x, int) { return x == 0 ? 0x0000FFu : 0x00FF00u; });
  TDIBSurface half(2, 1, 8);
  half.FillRect(half.Bounds(), 128);
  TDIBSurface full(2, 1, 8);
  full.FillRect(full.Bounds(), 255);
  struct Case {
    const char* what;
    std::vector<LayerSpec> layers;
    uint32_t px0, px1;
    bool framePlane;
  } cases[] = {
      {"copy then keyed copy",
       {{.colour = RowsOf(red)}, {.transparent = 0x00FF00, .colour = RowsOf(blue)}},
       0x0000FF,
       0xFF0000,
       false},
      {"invisible layer is left out",
       {{.colour = RowsOf(red)}, {.visible = 0, .colour = RowsOf(blue)}},
       0xFF0000,
       0xFF0000,
       false},
      {"opacity divides by 255",
       {{.colour = RowsOf(red)}, {.opacity = 128, .colour = RowsOf(blue)}},
       0x7F0080,
       0x7F8000,
       false},
      {"alpha block drops the transparent value",
       {{.colour = RowsOf(red)},
        {.transparent = 0x00FF00, .colour = RowsOf(blue), .alpha = RowsOf(full)}},
       0x0000FF,
       0x00FF00,
       false},
      {"later layer blends through its plane",
       {{.colour = RowsOf(red)}, {.alphaFlag = 1, .colour = RowsOf(blue), .alpha = RowsOf(half)}},
       0x7E007F,
       0x7E7F00,
       false},  // the plane blend shifts by 8
      {"first layer lends its plane and is copied",
       {{.alphaFlag = 1, .colour = RowsOf(blue), .alpha = RowsOf(half)}},
       0x0000FF,
       0x00FF00,
       true},
  };
  for (const auto& c : cases) {
    VelFixture fixture{.kind = 1};
    FrameSpec fr{.w = 2, .h = 1, .bpp = 24, .layers = c.layers};
    fixture.frames.push_back(fr);
    const TVellFrameList back = Read(BuildVel(fixture));
    const TDIBSurface& p = back.Frame(0).picture;
    EXPECT_EQ(p.GetPixel(0, 0), c.px0) << c.what;
    EXPECT_EQ(p.GetPixel(1, 0), c.px1) << c.what;
    EXPECT_EQ(p.AlphaPlane() != nullptr, c.framePlane) << c.what;
    EXPECT_EQ(back.Frame(0).layerCount, static_cast<int32_t>(c.layers.size()));
  }
}

TEST(VelCompose, TransparentColourAndPostProcessing) {
  // 8 bits with a palette: transparent index 2 displays as palette entry 2.
  const TDIBSurface pic = Picture(3, 2, 8, [](int x, int) { return static_cast<uint32_t>(x); });
  VelFixture fixture{.kind = 1};
  FrameSpec fr = OneLayer(pic, RowsOf(pic));
  fr.palette = {0x000000, 0x808080, 0x00FF00};
  fr.transparent = 2;
  fixture.frames.push_back(fr);
  const Bytes data = BuildVel(fixture);
  const TVellFrameList raw = Read(data);
  EXPECT_EQ(raw.Frame(0).transparentColor, 0x0000FF00);  // colour reference of green
  TVellFrameList post;
  post.LoadFromBytes(data, "x", false, true);
  // Post-processing gives the frame a mask from its transparent value ...
  const TDIBSurface& p = post.Frame(0).picture;
  ASSERT_NE(p.AlphaPlane(), nullptr);
  EXPECT_EQ(p.AlphaPlane()->GetPixel(2, 0), 0u);
  EXPECT_EQ(p.AlphaPlane()->GetPixel(1, 0), 255u);
  // ... and converts to the target depth when one is set.
  TVellFrameList deep;
  deep.targetDepth = 32;
  deep.LoadFromBytes(data, "x", false, true);
  EXPECT_EQ(deep.Frame(0).picture.BitCount(), 32);
}

TEST(VelList, FirstFrameOnlyAndMakeMasks) {
  TVellFrameList list;
  for (int n = 0; n < 3; ++n) {
    TVellFrame& f = list.AddFrame();
    f.picture = Picture(2, 2, 24, [n](int, int) { return static_cast<uint32_t>(n); });
    f.transparentValue = 1;
  }
  const Bytes data = list.SaveToBytes(1, 0);
  TVellFrameList one;
  one.LoadFromBytes(data, "x", true, false);
  EXPECT_EQ(one.Count(), 1);
  TVellFrameList all = Read(data);
  all.MakeMasks();
  EXPECT_EQ(all.Frame(0).picture.AlphaPlane()->GetPixel(0, 0), 255u);
  EXPECT_EQ(all.Frame(1).picture.AlphaPlane()->GetPixel(0, 0), 0u);
}

TEST(VelList, StreamsReadFromTheirPosition) {
  TVellFrameList list;
  list.AddFrame().picture = Picture(3, 2, 24, Rgb);
  TNxBigMemoryStream out;
  out.WriteExact("xyz", 3);
  list.SaveToStream(out, 0, 70);
  out.SetPosition(3);
  TVellFrameList back;
  back.LoadFromStream(out, false, false);
  ASSERT_EQ(back.Count(), 1);
  ExpectSame(back.Frame(0).picture, list.Frame(0).picture, "stream");
  EXPECT_EQ(out.Position(), out.Size());
}

// ---- Damage. ----

TEST(VelDamage, EveryViolationIsReported) {
  const TDIBSurface pic = Picture(3, 2, 24, Rgb);
  auto base = [&] {
    VelFixture fixture{.kind = 1};
    fixture.frames.push_back(OneLayer(pic, RowsOf(pic)));
    return fixture;
  };
  struct Case {
    const char* what;
    std::function<Bytes()> make;
  } cases[] = {
      {"unknown version",
       [&] {
         VelFixture s = base();
         s.version = 107;
         return BuildVel(s);
       }},
      {"version not digits",
       [&] {
         Bytes b = BuildVel(base());
         b[5] = 'x';
         return b;
       }},
      {"compression kind 3",
       [&] {
         VelFixture s = base();
         s.kind = 3;
         return BuildVel(s);
       }},
      {"bit count 12",
       [&] {
         VelFixture s = base();
         s.frames[0].bpp = 12;
         return BuildVel(s);
       }},
      {"width beyond the cap",
       [&] {
         VelFixture s = base();
         s.frames[0].w = 40000;
         return BuildVel(s);
       }},
      {"area beyond the cap",
       [&] {
         VelFixture s = base();
         s.frames[0].w = s.frames[0].h = 30000;
         return BuildVel(s);
       }},
      {"frame count",
       [&] {
         VelFixture s = base();
         s.frameCount = 1000000;
         return BuildVel(s);
       }},
      {"short colour block",
       [&] {
         VelFixture s = base();
         s.frames[0].layers[0].colour.resize(10);
         return BuildVel(s);
       }},
      {"garbage zlib",
       [&] {
         VelFixture s = base();
         s.kind = 0;
         return BuildVel(s);
       }},
      {"short zlib",
       [&] {
         VelFixture s = base();
         s.kind = 0;
         s.frames[0].layers[0].colour = Deflate(Bytes(5, 1));
         return BuildVel(s);
       }},
      {"rectangle count",
       [&] {
         VelFixture s = base();
         s.frames[0].countA = 100000;
         return BuildVel(s);
       }},
      {"block size past the end",
       [&] {
         Bytes b = BuildVel(base());
         b.resize(b.size() - 14);
         return b;
       }},
      {"bad JPEG",
       [&] {
         VelFixture s = base();
         s.kind = 2;
         return BuildVel(s);
       }},
      {"layers beyond the decoding budget",
       [&] {
         VelFixture s = base();
         s.frames[0].w = s.frames[0].h = 4000;
         s.frames[0].layers.assign(30, LayerSpec{});
         return BuildVel(s);
       }},
  };
  for (const auto& c : cases) {
    try {
      Read(c.make());
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const DamagedPicture& e) {
      EXPECT_STREQ(e.what(), "picture is damaged: test.vel") << c.what;
    }
  }
}

TEST(VelDamage, EveryPrefixFailsCleanly) {
  TVellFrameList list(99);
  for (int n = 0; n < 2; ++n) {
    TVellFrame& f = list.AddFrame();
    f.picture = Picture(5, 3, 8, [n](int x, int y) { return static_cast<uint32_t>(x + y + n); });
    f.picture.CreateAlphaPlane().SetPixel(1, 1, 50);
  }
  for (int kind : {0, 1}) {
    const Bytes data = list.SaveToBytes(kind, 0);
    for (size_t n = 0; n < data.size(); ++n) {
      const Bytes cut(data.begin(), data.begin() + static_cast<long>(n));
      TVellFrameList back;
      try {
        back.LoadFromBytes(cut, "cut", false, true);
        // Only a prefix too short to hold a signature can pass, as an empty legacy picture.
        EXPECT_EQ(back.Count(), 0) << n;
      } catch (const DamagedPicture&) {
      }
    }
  }
}

}  // namespace
}  // namespace kova
