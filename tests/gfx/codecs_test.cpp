// Bitmap, PNG and JPEG files and the zlib wrapper.
#include <gtest/gtest.h>

#include <png.h>

#include <cstring>

#include "gfx/codecs.h"

namespace kova {
namespace {

// A bitmap file with the given header fields and rows (already padded), bottom-up unless the
// height is negative.
Bytes BmpFile(int32_t w, int32_t h, int bpp, uint32_t compression,
              const std::vector<uint32_t>& palette, const Bytes& rows, uint32_t headerSize = 40,
              const std::vector<uint32_t>& masks = {}) {
  ByteWriter tail;
  for (uint32_t m : masks)
    tail.U32(m);
  for (uint32_t c : palette)
    tail.U32(c);
  const uint32_t off = 14 + headerSize + static_cast<uint32_t>(tail.Size());
  ByteWriter f;
  f.Raw("BM");
  f.U32(off + static_cast<uint32_t>(rows.size()));
  f.U32(0);
  f.U32(off);
  f.U32(headerSize);
  f.I32(w);
  f.I32(h);
  f.U16(1);
  f.U16(static_cast<uint16_t>(bpp));
  f.U32(compression);
  f.U32(static_cast<uint32_t>(rows.size()));
  f.U32(0);
  f.U32(0);
  f.U32(static_cast<uint32_t>(palette.size()));
  f.U32(0);
  for (uint32_t i = 40; i < headerSize; ++i)
    f.U8(0);
  f.Raw(tail.Data());
  f.Raw(rows);
  return f.Take();
}

TEST(Bmp, DepthsAndOrientation) {
  // 2 x 2 pictures; rows padded to 4 bytes; the first stored row is the bottom one.
  struct Case {
    const char* what;
    int bpp;
    uint32_t compression;
    std::vector<uint32_t> masks, palette;
    Bytes rows;
    int bits;
    uint32_t topLeft, bottomRight;
  } cases[] = {
      {"1 bit", 1, 0, {}, {0x000000, 0xFFFFFF}, {0x40, 0, 0, 0, 0x80, 0, 0, 0}, 1, 1, 1},
      {"4 bits", 4, 0, {}, {0, 0x11, 0x22}, {0x01, 0, 0, 0, 0x20, 0, 0, 0}, 4, 2, 1},
      {"8 bits", 8, 0, {}, {0, 0x11, 0x22}, {0, 2, 0, 0, 1, 0, 0, 0}, 8, 1, 2},
      {"16 bits 5-5-5", 16, 0, {}, {}, {0, 0, 0xFF, 0x7F, 0x1F, 0, 0, 0}, 15, 0x1F, 0x7FFF},
      {"16 bits 5-6-5",
       16,
       3,
       {0xF800, 0x07E0, 0x001F},
       {},
       {0, 0, 0xFF, 0xFF, 0x1F, 0, 0, 0},
       16,
       0x1F,
       0xFFFF},
      {"24 bits",
       24,
       0,
       {},
       {},
       {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0},
       24,
       0x090807,
       0x060504},
      {"32 bits",
       32,
       0,
       {},
       {},
       {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0},
       32,
       0x090807,
       0x060504},
  };
  for (const auto& c : cases) {
    const TDIBSurface pic =
        ReadBmp(BmpFile(2, 2, c.bpp, c.compression, c.palette, c.rows, 40, c.masks), "t.bmp");
    EXPECT_EQ(pic.BitCount(), c.bits) << c.what;
    EXPECT_EQ(pic.GetPixel(0, 0), c.topLeft) << c.what;
    EXPECT_EQ(pic.GetPixel(1, 1), c.bottomRight) << c.what;
    // Top-down storage (negative height) reverses the rows.
    const TDIBSurface td =
        ReadBmp(BmpFile(2, -2, c.bpp, c.compression, c.palette, c.rows, 40, c.masks), "t.bmp");
    EXPECT_EQ(td.GetPixel(0, 1), c.topLeft) << c.what;
  }
}

TEST(Bmp, LongerHeadersAndDamage) {
  const Bytes rows = {1, 2, 3, 0};
  EXPECT_EQ(ReadBmp(BmpFile(1, 1, 24, 0, {}, rows, 124), "v5.bmp").GetPixel(0, 0), 0x030201u);
  struct Case {
    const char* what;
    Bytes data;
  } cases[] = {
      {"no signature", Bytes{'X', 'M', 0, 0}},
      {"header size", BmpFile(1, 1, 24, 0, {}, rows, 5000)},
      {"bit count", BmpFile(1, 1, 12, 0, {}, rows)},
      {"run-length", BmpFile(1, 1, 8, 1, {0}, rows)},
      {"odd masks", BmpFile(1, 1, 16, 3, {}, rows, 40, {1, 2, 3})},
      {"huge", BmpFile(100000, 1, 24, 0, {}, rows)},
      {"short rows", BmpFile(2, 2, 24, 0, {}, rows)},
      {"palette too big", BmpFile(1, 1, 1, 0, {0, 1, 2}, rows)},
      {"zero width", BmpFile(0, 1, 24, 0, {}, rows)},
  };
  for (const auto& c : cases) {
    try {
      ReadBmp(c.data, "bad.bmp");
      ADD_FAILURE() << c.what;
    } catch (const DamagedPicture& e) {
      EXPECT_STREQ(e.what(), "picture is damaged: bad.bmp") << c.what;
    }
  }
}

TEST(Bmp, WriteReadsBack) {
  TDIBSurface pic(3, 2, 16);
  pic.SetPixel(2, 1, 0xF800);
  const TDIBSurface back = ReadBmp(WriteBmp24(pic), "w.bmp");
  EXPECT_EQ(back.BitCount(), 24);
  EXPECT_EQ(back.GetPixel(2, 1), 0xF80000u);
}

TEST(Png, AlphaBecomesAPlane) {
  TDIBSurface pic(3, 2, 24);
  pic.SetPixel(0, 0, 0x112233);
  TDIBSurface opaque = pic;
  pic.CreateAlphaPlane().SetPixel(0, 0, 128);
  const TDIBSurface back = ReadPng(WritePng(pic), "a.png");
  EXPECT_EQ(back.BitCount(), 24);
  EXPECT_EQ(back.GetPixel(0, 0), 0x112233u);
  ASSERT_NE(back.AlphaPlane(), nullptr);
  EXPECT_EQ(back.AlphaPlane()->GetPixel(0, 0), 128u);
  EXPECT_EQ(back.AlphaPlane()->GetPixel(1, 0), 0u);
  EXPECT_EQ(ReadPng(WritePng(opaque), "o.png").AlphaPlane(), nullptr);
}

TEST(Png, GreyAndDamage) {
  // A grey PNG written by the library itself.
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = 2;
  img.height = 1;
  img.format = PNG_FORMAT_GRAY;
  const uint8_t px[2] = {0x40, 0xC0};
  png_alloc_size_t size = 0;
  ASSERT_TRUE(png_image_write_to_memory(&img, nullptr, &size, 0, px, 0, nullptr));
  Bytes data(size);
  ASSERT_TRUE(png_image_write_to_memory(&img, data.data(), &size, 0, px, 0, nullptr));
  const TDIBSurface grey = ReadPng(data, "g.png");
  EXPECT_EQ(grey.GetPixel(1, 0), 0xC0C0C0u);
  Bytes cut(data.begin(), data.begin() + static_cast<long>(data.size() / 2));
  EXPECT_THROW(ReadPng(cut, "cut.png"), DamagedPicture);
  EXPECT_THROW(ReadPng(Bytes{1, 2, 3}, "junk.png"), DamagedPicture);
}

TEST(Jpeg, RoundTripAndDamage) {
  TDIBSurface pic(8, 8, 24);
  pic.FillRect(pic.Bounds(), 0x80A0C0);
  const Bytes jpg = WriteJpeg(pic, 90);
  const TDIBSurface back = ReadJpeg(jpg, "j.jpg");
  ASSERT_EQ(back.Width(), 8);
  const uint32_t v = back.GetPixel(4, 4);
  EXPECT_NEAR(static_cast<int>(v >> 16), 0x80, 3);
  EXPECT_NEAR(static_cast<int>(v & 255), 0xC0, 3);
  EXPECT_THROW(ReadJpeg(jpg, "j.jpg", 9, 8), DamagedPicture);
  EXPECT_THROW(ReadJpeg(Bytes(jpg.begin(), jpg.begin() + 20), "cut.jpg"), DamagedPicture);
  EXPECT_THROW(ReadJpeg({}, "empty.jpg"), DamagedPicture);
}

TEST(Zlib, InflateStopsAtTheLimit) {
  const Bytes big(100000, 7);
  const Bytes z = Deflate(big);
  EXPECT_EQ(InflateUpTo(z, 100000, "z"), big);
  EXPECT_EQ(InflateUpTo(z, 10, "z").size(), 10u);
  EXPECT_EQ(InflateUpTo(Bytes(z.begin(), z.begin() + 8), 100000, "z").size() < 100000, true);
  EXPECT_THROW(InflateUpTo(Bytes{0x78, 0x01, 0xFF, 0xFF, 0xFF}, 100, "bad"), DamagedPicture);
}

}  // namespace
}  // namespace kova
