// Cursor files: every image depth, the AND mask, PNG images, the choice among several images,
// animated cursors, and damaged files named with their offset.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "gfx/codecs.h"
#include "gfx/cursor.h"
#include "gfx/cursor_writer.h"

namespace kova {
namespace {

using test::Ani;
using test::Dib;
using test::DibSpec;
using test::DirEntry;
using test::IconDir;

std::vector<uint32_t> Grey16() {
  std::vector<uint32_t> p;
  for (uint32_t i = 0; i < 16; ++i)
    p.push_back(i * 0x111111);
  return p;
}

Bytes PngFile() {
  TDIBSurface pic(2, 1, 24);
  pic.SetPixel(0, 0, 0x102030);
  pic.SetPixel(1, 0, 0xA0B0C0);
  TDIBSurface& a = pic.CreateAlphaPlane();
  a.SetPixel(0, 0, 0x40);
  a.SetPixel(1, 0, 0xFF);
  return WritePng(pic);
}

struct Decoded {
  const char* what;
  Bytes file;
  int32_t w, h, hotX, hotY;
  std::vector<uint32_t> pixels;  // expected 0xAARRGGBB, top-down
};

TEST(Cursor, DecodesEveryKindOfImage) {
  const Bytes mono = Dib(2, 2, 1, {0, 1, 0, 1}, {0x000000, 0xFFFFFF}, {0, 0, 1, 1});
  const Decoded cases[] = {
      {"1 bit: black, white, transparent, inverting (drawn black)",
       IconDir({{mono, 1, 0}}),
       2,
       2,
       1,
       0,
       {0xFF000000, 0xFFFFFFFF, 0x00000000, 0xFF000000}},
      {"4 bits, odd width: the last nibble is the high one",
       IconDir({{Dib(3, 1, 4, {1, 15, 7}, Grey16(), {0, 0, 0}), 2, 0}}),
       3,
       1,
       2,
       0,
       {0xFF111111, 0xFFFFFFFF, 0xFF777777}},
      {"8 bits with a short palette",
       IconDir({{Dib(2, 1, 8, {2, 1}, {0x000000, 0x123456, 0xABCDEF}, {0, 1}), 0, 0}}),
       2,
       1,
       0,
       0,
       {0xFFABCDEF, 0xFF000000}},
      {"24 bits, rows stored bottom-up",
       IconDir({{Dib(1, 2, 24, {0x112233, 0x445566}), 0, 1}}),
       1,
       2,
       0,
       1,
       {0xFF112233, 0xFF445566}},
      {"32 bits with alpha: the mask is ignored",
       IconDir({{Dib(2, 1, 32, {0x80FF0000, 0x00000000}, {}, {1, 1}), 0, 0}}),
       2,
       1,
       0,
       0,
       {0x80FF0000, 0x00000000}},
      {"32 bits with alpha may leave the mask out",
       IconDir({{Dib(1, 1, 32, {0x7F010203}, {}, {}, false), 0, 0}}),
       1,
       1,
       0,
       0,
       {0x7F010203}},
      {"32 bits with all alpha 0: the mask decides",
       IconDir({{Dib(2, 1, 32, {0x00FF0000, 0x00000000}, {}, {0, 1}), 0, 0}}),
       2,
       1,
       0,
       0,
       {0xFFFF0000, 0x00000000}},
      {"a PNG image", IconDir({{PngFile(), 1, 0}}), 2, 1, 1, 0, {0x40102030, 0xFFA0B0C0}},
      {"an icon has no hot spot",
       IconDir({{mono, 1, 1}}, 1),
       2,
       2,
       0,
       0,
       {0xFF000000, 0xFFFFFFFF, 0x00000000, 0xFF000000}},
      {"largest first, then deepest; the directory's own sizes are not trusted",
       IconDir({{Dib(1, 1, 32, {0xFF000001}), 0, 0, 9, 9},
                {Dib(2, 1, 4, {1, 1}, Grey16()), 0, 0},
                {Dib(2, 1, 8, {0, 0}, {0x00AA00}), 1, 0}}),
       2,
       1,
       1,
       0,
       {0xFF00AA00, 0xFF00AA00}},
      {"animated, no sequence: frame 0",
       Ani({IconDir({{Dib(1, 1, 24, {0x0000AA}), 0, 0}}),
            IconDir({{Dib(1, 1, 24, {0x0000BB}), 0, 0}})}),
       1,
       1,
       0,
       0,
       {0xFF0000AA}},
      {"animated with a sequence: its first step",
       Ani({IconDir({{Dib(1, 1, 24, {0x0000AA}), 0, 0}}), IconDir({{mono, 1, 1}}),
            IconDir({{Dib(1, 1, 24, {0x0000CC}), 0, 0}})},
           std::vector<uint32_t>{1, 0, 2}),
       2,
       2,
       1,
       1,
       {0xFF000000, 0xFFFFFFFF, 0x00000000, 0xFF000000}},
  };
  for (const Decoded& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(LooksLikeCursor(c.file));
    const CursorImage img = ReadCursor(c.file, "t.cur");
    ASSERT_EQ(img.width, c.w);
    ASSERT_EQ(img.height, c.h);
    EXPECT_EQ(img.hotX, c.hotX);
    EXPECT_EQ(img.hotY, c.hotY);
    for (int32_t y = 0; y < c.h; ++y)
      for (int32_t x = 0; x < c.w; ++x)
        EXPECT_EQ(img.Pixel(x, y), c.pixels[static_cast<size_t>(y) * c.w + x])
            << "at " << x << "," << y;
  }
}

Bytes Patched(Bytes b, size_t at, std::initializer_list<uint8_t> bytes) {
  for (uint8_t v : bytes)
    b.at(at++) = v;
  return b;
}

Bytes Cut(Bytes b, size_t size) {
  b.resize(size);
  return b;
}

// Cuts the one image of a cursor file short, with the directory saying so.
Bytes CutImage(Bytes b, size_t size) {
  b.resize(size);
  const uint32_t n = static_cast<uint32_t>(size - 22);
  return Patched(std::move(b), 14, {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), 0, 0});
}

TEST(Cursor, DamagedFilesNameTheOffset) {
  // One 24-bit 2x2 image: directory 6 + 16 bytes, header at 22, colour rows at 62 (8 bytes
  // each), mask rows at 78.
  const Bytes good = IconDir({{Dib(2, 2, 24, {1, 2, 3, 4}), 0, 0}});
  ASSERT_EQ(good.size(), 22u + 40 + 16 + 8);
  const Bytes pal8 = IconDir({{Dib(1, 1, 8, {1}, {1, 2}), 0, 0}});
  const Bytes frame = IconDir({{Dib(1, 1, 24, {5}), 0, 0}});
  // RIFF header 12, anih chunk 8 + 36, LIST header 8 + "fram" 4, first icon chunk header 8.
  const size_t firstFrame = 12 + 44 + 12 + 8;
  const Bytes ani = Ani({frame, frame});
  const Bytes withSeq = Ani({frame}, std::vector<uint32_t>{1});
  struct Damage {
    const char* what;
    Bytes file;
    uint64_t offset;
    const char* message;
  } cases[] = {
      {"empty", {}, 0, "not a cursor file"},
      {"a bitmap file", Bytes{'B', 'M', 0, 0, 0, 0}, 0, "not a cursor file"},
      {"no images", Patched(good, 4, {0, 0}), 4, "no images"},
      {"more entries than bytes", Patched(good, 4, {200, 0}), 6, "directory entries"},
      {"image beyond the end", Patched(good, 18, {0xF0, 0, 0, 0}), 14, "outside the file"},
      {"image size beyond the end", Patched(good, 14, {0xFF, 0xFF, 0, 0}), 14, "outside the file"},
      {"header too small", Patched(good, 22, {12}), 22, "image header size"},
      {"width 0", Patched(good, 26, {0}), 26, "image width 0"},
      {"width above 256", Patched(good, 26, {0x01, 0x01}), 26, "image width 257"},
      {"odd stored height", Patched(good, 30, {3}), 30, "image height 3"},
      {"16 bits", Patched(good, 36, {16}), 36, "bit count 16"},
      {"compressed", Patched(good, 38, {1}), 38, "compressed"},
      {"palette larger than the depth allows", Patched(pal8, 54, {0x01, 0x01}), 54,
       "palette size 257"},
      {"palette cut short", CutImage(pal8, 22 + 40 + 6), 62, "palette"},
      {"colour rows cut short", CutImage(good, 70), 62, "colour rows"},
      {"mask rows cut short", CutImage(good, 80), 78, "mask rows"},
      {"PNG image damaged", IconDir({{Cut(PngFile(), 40), 0, 0}}), 22, "PNG image"},
      {"RIFF size beyond the end", Patched(ani, 4, {0xFF, 0xFF, 0, 0}), 4, "RIFF size"},
      {"chunk size beyond the end", Patched(ani, 16, {0xFF, 0xFF, 0, 0}), 16, "chunk 'anih' size"},
      {"no header", Patched(ani, 12, {'x'}), 0, "no anih header"},
      {"raw bitmap frames", Ani({frame}, {}, 0), 0, "raw bitmaps"},
      {"no frames", Ani({}), 0, "no frames"},
      {"sequence names a missing frame", withSeq, 12 + 44 + 8, "shows frame 1 of 1"},
      {"a frame that is not a cursor", Ani({Bytes(8, 'z')}), firstFrame, "not a cursor image"},
      {"a damaged frame: offset in the whole file", Patched(ani, firstFrame + 4, {0, 0}),
       firstFrame + 4, "no images"},
  };
  for (const Damage& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      ReadCursor(c.file, "bad.cur");
      ADD_FAILURE() << "accepted";
    } catch (const FormatError& e) {
      EXPECT_EQ(e.File(), "bad.cur");
      EXPECT_EQ(e.Offset(), c.offset) << e.what();
      EXPECT_NE(e.What().find(c.message), std::string::npos) << e.what();
    }
  }
}

TEST(Cursor, WrittenCursorsReadBack) {
  CursorImage c;
  c.width = 33;  // a mask row longer than one 32-bit word
  c.height = 2;
  c.hotX = 32, c.hotY = 1;
  c.rgba.resize(33 * 2 * 4);
  for (size_t i = 0; i < c.rgba.size(); ++i)
    c.rgba[i] = static_cast<uint8_t>(i * 7);
  c.rgba[3] = 0;  // one fully transparent pixel
  const Bytes file = WriteCursor(c);
  const CursorImage back = ReadCursor(file, "w.cur");
  EXPECT_EQ(back.width, 33);
  EXPECT_EQ(back.height, 2);
  EXPECT_EQ(back.hotX, 32);
  EXPECT_EQ(back.hotY, 1);
  std::vector<uint8_t> expected = c.rgba;
  expected[0] = expected[1] = expected[2] = 0;  // a clear pixel is stored black
  EXPECT_EQ(back.rgba, expected);

  // Nothing visible: the reader falls back to the mask, which says the same.
  CursorImage clear = c;
  for (size_t i = 3; i < clear.rgba.size(); i += 4)
    clear.rgba[i] = 0;
  const CursorImage none = ReadCursor(WriteCursor(clear), "w.cur");
  for (size_t i = 3; i < none.rgba.size(); i += 4)
    EXPECT_EQ(none.rgba[i], 0) << i;

  CursorImage big;
  big.width = 257, big.height = 1;
  big.rgba.resize(257 * 4);
  EXPECT_THROW(WriteCursor(big), Error);
}

// With KOVA_WRITE_CURSOR_SEEDS=DIR set, also leaves the files above in DIR as fuzzing seeds.
TEST(Cursor, SeedsForFuzzing) {
  const std::vector<std::pair<std::string, Bytes>> seeds = {
      {"mono.cur", IconDir({{Dib(2, 2, 1, {0, 1, 1, 0}, {0, 0xFFFFFF}, {0, 1, 0, 1}), 1, 1}})},
      {"pal4.cur", IconDir({{Dib(3, 1, 4, {1, 2, 3}, Grey16()), 0, 0}})},
      {"png.cur", IconDir({{PngFile(), 0, 0}})},
      {"two.ico", IconDir({{Dib(1, 1, 8, {0}, {7}), 0, 0}, {Dib(2, 1, 24, {1, 2}), 0, 0}}, 1)},
      {"seq.ani",
       Ani({IconDir({{Dib(1, 1, 32, {0x80FFFFFF}), 0, 0}}), IconDir({{Dib(1, 1, 24, {9}), 0, 0}})},
           std::vector<uint32_t>{1, 0})},
  };
  const char* dir = std::getenv("KOVA_WRITE_CURSOR_SEEDS");
  for (const auto& [name, data] : seeds) {
    EXPECT_NO_THROW(ReadCursor(data, name)) << name;
    if (!dir) continue;
    std::ofstream(std::filesystem::path(dir) / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
  }
}

}  // namespace
}  // namespace kova
