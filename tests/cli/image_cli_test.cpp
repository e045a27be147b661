// 'kova image info' and 'kova image convert' as a user runs them, on pictures this project's own
// writers make.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx/codecs.h"
#include "gfx/cursor.h"
#include "gfx/vel.h"
#include "testutil/run_kova.h"
#include "testutil/temp_dir.h"

namespace kova {
namespace {

using test::RunKova;

// A 24-bit picture whose every pixel differs from its neighbours, with an alpha plane when asked.
TDIBSurface Pattern(int w, int h, bool alpha) {
  TDIBSurface pic(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      pic.SetPixel(
          x, y,
          static_cast<uint32_t>((x * 37 + y * 11) << 16 | (x * 5 + y * 91) << 8 | (x ^ y) * 13) &
              0xFFFFFF);
  if (alpha) {
    TDIBSurface& a = pic.CreateAlphaPlane();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        a.SetPixel(x, y, static_cast<uint32_t>((x * 29 + y * 3) & 255));
  }
  return pic;
}

// Every pixel (and alpha value) of both pictures, as RGB.
void ExpectSamePixels(const TDIBSurface& a, const TDIBSurface& b, const std::string& what) {
  ASSERT_EQ(a.Width(), b.Width()) << what;
  ASSERT_EQ(a.Height(), b.Height()) << what;
  ASSERT_EQ(a.AlphaPlane() != nullptr, b.AlphaPlane() != nullptr) << what;
  int diffs = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) {
      diffs += a.NativeToRGB(a.GetPixel(x, y)) != b.NativeToRGB(b.GetPixel(x, y));
      if (a.AlphaPlane()) diffs += a.AlphaPlane()->GetPixel(x, y) != b.AlphaPlane()->GetPixel(x, y);
    }
  EXPECT_EQ(diffs, 0) << what;
}

TDIBSurface ReadPngFile(const std::filesystem::path& p) {
  return ReadPng(test::ReadFileBytes(p), p.string());
}

bool Contains(const std::string& s, const std::string& part) {
  return s.find(part) != std::string::npos;
}

TEST(ImageCli, PngToVelAndBackKeepsPixelsAndAlpha) {
  test::TempDir dir;
  struct Case {
    const char* name;
    bool alpha;
    std::vector<std::string> options;
    const char* said;  // what convert prints about the written picture
  } cases[] = {
      {"zlib", false, {}, "1 frame(s), 13x7, 24 bits, kind 0\n"},
      {"stored", false, {"--kind", "1"}, "1 frame(s), 13x7, 24 bits, kind 1\n"},
      {"alpha zlib", true, {"--kind", "0"}, "1 frame(s), 13x7, 24 bits, kind 0\n"},
      {"alpha stored", true, {"--kind", "1"}, "1 frame(s), 13x7, 24 bits, kind 1\n"},
  };
  for (const auto& c : cases) {
    const TDIBSurface pic = Pattern(13, 7, c.alpha);
    const auto png = dir.Write("in.png", WritePng(pic));
    const auto vel = dir / "out.vel", back = dir / "back.png";
    std::vector<std::string> args = {"image", "convert", png.string(), vel.string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    auto r = RunKova(args);
    ASSERT_EQ(r.code, 0) << c.name << r.err;
    EXPECT_EQ(r.out, vel.string() + ": " + c.said) << c.name;

    // The file is what the library's own writer makes of the same picture.
    TVellFrameList expect;
    expect.AddFrame().picture = ReadPng(test::ReadFileBytes(png), "in.png");
    EXPECT_EQ(test::ReadFileBytes(vel),
              expect.SaveToBytes(c.options.empty() ? 0 : c.options[1] == "1", 70))
        << c.name;

    r = RunKova({"image", "info", vel.string()});
    ASSERT_EQ(r.code, 0) << c.name << r.err;
    EXPECT_TRUE(Contains(r.out, "version: 106\n")) << c.name << r.out;
    EXPECT_TRUE(Contains(r.out, "size: 13x7, 24 bits per pixel\n")) << c.name << r.out;
    EXPECT_TRUE(Contains(r.out, "protected: no\n")) << c.name << r.out;
    EXPECT_TRUE(Contains(r.out, c.options.empty() || c.options[1] == "0"
                                    ? "compression: 0 (zlib)\n"
                                    : "compression: 1 (none)\n"))
        << c.name << r.out;
    EXPECT_TRUE(Contains(r.out, "frames: 1\n")) << c.name << r.out;
    EXPECT_TRUE(Contains(r.out, std::string(", alpha ") + (c.alpha ? "yes" : "no") + "\n"))
        << c.name << r.out;

    r = RunKova({"image", "convert", vel.string(), back.string()});
    ASSERT_EQ(r.code, 0) << c.name << r.err;
    EXPECT_EQ(r.out, back.string() + ": frame 0, 13x7" + (c.alpha ? ", with alpha" : "") + "\n");
    ExpectSamePixels(pic, ReadPngFile(back), c.name);
  }
}

TEST(ImageCli, BmpInputAndVelToVel) {
  test::TempDir dir;
  const TDIBSurface pic = Pattern(9, 5, false);
  const auto bmp = dir.Write("in.bmp", WriteBmp24(pic));
  const auto vel = dir / "a.vel", again = dir / "b.vel", png = dir / "c.png";
  ASSERT_EQ(RunKova({"image", "convert", bmp.string(), vel.string()}).code, 0);
  auto r = RunKova({"image", "convert", vel.string(), again.string(), "--kind", "1"});
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(RunKova({"image", "convert", again.string(), png.string()}).code, 0);
  ExpectSamePixels(pic, ReadPngFile(png), "bmp -> vel -> vel -> png");
}

TEST(ImageCli, InfoListsEveryFrame) {
  test::TempDir dir;
  TVellFrameList list;
  for (int i = 0; i < 3; ++i) {
    TVellFrame& f = list.AddFrame();
    f.picture = Pattern(6 + i, 4, false);
    f.delay = 40 * (i + 1);
  }
  list.Frame(1).transparentValue = 0x123456;
  list.Frame(1).transparentColor = 0x563412;
  const auto vel = dir.Write("anim.vel", list.SaveToBytes(0, 70));
  auto r = RunKova({"image", "info", vel.string()});
  ASSERT_EQ(r.code, 0) << r.err;
  // The writer names the frames by their number.
  EXPECT_TRUE(Contains(r.out, "frames: 3\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "frame 0: \"Frame1\" 6x4, 24 bits, delay 40, layers ")) << r.out;
  EXPECT_TRUE(Contains(r.out, "frame 1: \"Frame2\" 7x4, 24 bits, delay 80, layers ")) << r.out;
  EXPECT_TRUE(Contains(r.out, "frame 2: \"Frame3\" 8x4, 24 bits, delay 120, layers ")) << r.out;
  EXPECT_TRUE(Contains(r.out, "key none")) << r.out;
  EXPECT_TRUE(Contains(r.out, "key 1193046 (colour 0x563412)")) << r.out;

  // Frames other than the first come out as PNG on request.
  const auto png = dir / "f2.png";
  r = RunKova({"image", "convert", vel.string(), png.string(), "--frame", "2"});
  ASSERT_EQ(r.code, 0) << r.err;
  ExpectSamePixels(Pattern(8, 4, false), ReadPngFile(png), "frame 2");
  r = RunKova({"image", "convert", vel.string(), png.string(), "--frame", "3"});
  EXPECT_EQ(r.code, 2);
  EXPECT_TRUE(Contains(r.err, "--frame 3 outside 0..2")) << r.err;
}

TEST(ImageCli, ProtectedPicturesNeedTheirCode) {
  test::TempDir dir;
  const TDIBSurface pic = Pattern(16, 12, true);
  const auto png = dir.Write("in.png", WritePng(pic));
  const auto vel = dir / "p.vel", back = dir / "back.png", wrong = dir / "wrong.png";
  auto r = RunKova({"image", "convert", png.string(), vel.string(), "--code", "0x1234abcd"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, vel.string() + ": 1 frame(s), 16x12, 24 bits, kind 1, protected\n");

  r = RunKova({"image", "info", vel.string(), "--code", "0x1234abcd"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "protected: yes\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "compression: 1 (none)\n")) << r.out;

  r = RunKova({"image", "convert", vel.string(), back.string(), "--code", "0x1234abcd"});
  ASSERT_EQ(r.code, 0) << r.err;
  ExpectSamePixels(pic, ReadPngFile(back), "right code");

  // The rows are stored permuted: another code reads them in another order.
  r = RunKova({"image", "convert", vel.string(), wrong.string(), "--code", "77"});
  if (r.code == 0) {
    const TDIBSurface got = ReadPngFile(wrong);
    int same = 0;
    for (int y = 0; y < pic.Height(); ++y)
      same += pic.NativeToRGB(pic.GetPixel(0, y)) == got.NativeToRGB(got.GetPixel(0, y));
    EXPECT_LT(same, pic.Height()) << "a wrong code must not give the picture back";
  } else {
    EXPECT_EQ(r.code, 1) << r.err;
  }

  // Protecting without a code is refused.
  r = RunKova({"image", "convert", png.string(), (dir / "z.vel").string(), "--code", "0"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Contains(r.err, "識別コードを設定してください")) << r.err;
}

TEST(ImageCli, DamagedInputIsOneLineAndExitOne) {
  test::TempDir dir;
  TVellFrameList list;
  list.AddFrame().picture = Pattern(20, 20, false);
  const Bytes good = list.SaveToBytes(1, 70);
  struct Case {
    const char* name;
    Bytes data;
  } cases[] = {
      {"cut in the rows", Bytes(good.begin(), good.begin() + good.size() / 2)},
      {"cut in the header", Bytes(good.begin(), good.begin() + 9)},
      {"empty", {}},
      {"not a picture", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}},
  };
  for (const auto& c : cases) {
    const auto vel = dir.Write("bad.vel", c.data);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"image", "info", vel.string()},
          std::vector<std::string>{"image", "convert", vel.string(), (dir / "o.png").string()}}) {
      auto r = RunKova(args);
      EXPECT_EQ(r.code, 1) << c.name << " " << args[1];
      EXPECT_TRUE(r.out.empty()) << c.name << r.out;
      EXPECT_TRUE(Contains(r.err, "picture is damaged")) << c.name << r.err;
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.name << r.err;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "o.png"));
  const auto png = dir.Write("bad.png", "\x89PNG\r\n\x1a\n nonsense");
  auto r = RunKova({"image", "convert", png.string(), (dir / "o.vel").string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Contains(r.err, "picture is damaged")) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "o.vel"));
  r = RunKova({"image", "info", (dir / "none.vel").string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_FALSE(r.err.empty());
}

TEST(ImageCli, UsageErrorsExitTwo) {
  test::TempDir dir;
  const auto png = dir.Write("in.png", WritePng(Pattern(3, 3, false)));
  const std::string out = (dir / "o.vel").string();
  const std::vector<std::string> cases[] = {
      {"image"},
      {"image", "frob"},
      {"image", "info"},
      {"image", "convert", png.string()},
      {"image", "convert", png.string(), out, "--kind", "2"},
      {"image", "convert", png.string(), out, "--code", "abc"},
      {"image", "convert", png.string(), out, "--frame", "x"},
      {"image", "convert", png.string(), (dir / "o.gif").string()},
      {"image", "convert", (dir / "in.gif").string(), out},
      {"image", "convert", png.string(), out, "--colour", "1"},
      {"image", "info", png.string(), "extra"},
  };
  for (const auto& args : cases) {
    auto r = RunKova(args);
    std::string line;
    for (const auto& a : args)
      line += a + " ";
    EXPECT_EQ(r.code, 2) << line << r.err;
    EXPECT_FALSE(r.err.empty()) << line;
  }
  EXPECT_FALSE(std::filesystem::exists(out));
  auto r = RunKova({"image", "--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(Contains(r.out, "kova image convert IN OUT")) << r.out;
}

TEST(ImageCli, CursorsFromAndToPictures) {
  test::TempDir dir;
  const TDIBSurface pic = Pattern(9, 5, true);
  const auto png = dir.Write("in.png", WritePng(pic));
  const auto cur = dir / "hand.cur";
  auto r = RunKova({"image", "convert", png.string(), cur.string(), "--hot", "8,4"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, cur.string() + ": cursor 9x5, hot spot 8,4\n");
  const CursorImage c = ReadCursor(test::ReadFileBytes(cur), "hand.cur");
  EXPECT_EQ(c.hotX, 8);
  EXPECT_EQ(c.hotY, 4);
  r = RunKova({"image", "info", cur.string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "cursor: 9x5, hot spot 8,4\n")) << r.out;

  // Back to PNG: colour and alpha as they were.
  const auto back = dir / "back.png";
  r = RunKova({"image", "convert", cur.string(), back.string()});
  ASSERT_EQ(r.code, 0) << r.err;
  ExpectSamePixels(pic, ReadPngFile(back), "cursor to PNG");

  // A cursor copied keeps its hot spot unless told otherwise; the name does not decide the kind.
  const auto ani = dir.Write("renamed.ani", test::ReadFileBytes(cur));
  r = RunKova({"image", "convert", ani.string(), (dir / "copy.cur").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "hot spot 8,4")) << r.out;

  const auto big = dir.Write("big.png", WritePng(Pattern(257, 1, false)));
  r = RunKova({"image", "convert", big.string(), (dir / "big.cur").string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Contains(r.err, "at most 256x256")) << r.err;
  for (const char* hot : {"9,0", "0,5", "1", "-1,0"}) {
    r = RunKova({"image", "convert", png.string(), (dir / "o.cur").string(), "--hot", hot});
    EXPECT_EQ(r.code, 2) << hot;
  }
  r = RunKova({"image", "convert", png.string(), (dir / "o.png").string(), "--hot", "1,1"});
  EXPECT_EQ(r.code, 2);
  const auto bad = dir.Write("bad.cur", Bytes{0, 0, 2, 0, 0, 0});
  r = RunKova({"image", "info", bad.string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Contains(r.err, "damaged at offset 4: no images")) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "o.cur"));
}

}  // namespace
}  // namespace kova
