// Small titles with boxes played headless through 'kova play' with scripted input.
#include <gtest/gtest.h>

#include <map>

#include "gfx/codecs.h"
#include "scene/props.h"
#include "script/page_builder.h"
#include "testutil/run_kova.h"
#include "testutil/temp_dir.h"

namespace kova {
namespace {

using test::B;
using test::E;
using test::I;
using test::PageBuilder;
using test::RunKova;
using test::S;

// A BoxNew with the given property expressions; the page's table learns the codes.
PageBuilder& BoxNew(PageBuilder& p, const std::map<int, std::string>& props) {
  auto exprs = std::make_shared<PropExprs>();
  for (const auto& [code, text] : props) {
    p.Page().Properties().Set(8, code);
    (*exprs)[static_cast<size_t>(code)] = test::X(text);
  }
  p.Page().StoreTable();
  return p.Add("BoxNew", {FieldValue(exprs)});
}

std::string Read(const std::filesystem::path& p) {
  const Bytes b = test::ReadFileBytes(p);
  return std::string(b.begin(), b.end());
}

uint32_t Pixel(const std::filesystem::path& png, int x, int y) {
  const Bytes b = test::ReadFileBytes(png);
  TDIBSurface s = ReadPng(b, png.string());
  return s.GetPixel(x, y) & 0xFFFFFF;
}

// Box a (blue-red) with a click handler, box b adding green over part of it; a click recolours
// a, reads its left edge into x and deletes b.
void WriteTitle(const test::TempDir& dir) {
  PageBuilder main("main.ksb");
  BoxNew(main, {{PR_NAME, "\"a\""},
                {PR_PARENT, "\"\""},
                {PR_LEFT, "10"},
                {PR_TOP, "10"},
                {PR_WIDTH, "50"},
                {PR_HEIGHT, "40"},
                {PR_COLOR, "255"},
                {PR_VISIBLE, ""},
                {PR_ALPHA, ""},
                {PR_ONLBTNDOWN, "\"click.ksb\""},
                {PR_ONMOUSEIN, "\"in.ksb\""}});
  BoxNew(main, {{PR_NAME, "\"b\""},
                {PR_PARENT, "\"nobody\""},
                {PR_LEFT, "40"},
                {PR_TOP, "20"},
                {PR_WIDTH, "30"},
                {PR_HEIGHT, "30"},
                {PR_COLOR, "65280"},
                {PR_ALPHA, "384"},
                {PR_PRIORITY, "1"},
                {PR_PLUSX, "100"}});
  main.Add("VarNew", {S("clicks"), B(1), E("0"), B(0)})
      .Add("VarNew", {S("x"), B(1), E("0"), B(0)})
      .Add("VarNew", {S("ins"), B(1), E("0"), B(0)})
      .Add("VarNew", {S("bz"), B(1), E("GetProp(\"b\", 7)"), B(0)})
      .Add("Label", {S("top")})
      .Add("Wait", {E(""), E("16"), E("")})
      .Add("Jump", {S("main.ksb"), I(6), E("TRUE")});
  PageBuilder click("click.ksb");
  // An empty property code is an error the interpreter reports and steps over; a missing
  // variable, an empty name and an unknown object do nothing.
  click.Add("SetProp", {E("\"a\""), E(""), E("1")})
      .Add("GetProp", {E("\"a\""), E("3"), S("nosuch")})
      .Add("ObjDel", {E("\"\"")})
      .Add("SetProp", {E("\"ghost\""), E("8"), E("1")})
      .Add("Calc", {E("clicks = clicks + 1")})
      .Add("SetProp", {E("\"a\""), E("8"), E("16711680")})
      .Add("GetProp", {E("\"a\""), E("3"), S("x")})
      .Add("ObjDel", {E("\"b\"")});
  PageBuilder in("in.ksb");
  in.Add("Calc", {E("ins = ins + 1")});
  dir.Write("t/main.ksb", main.Build());
  dir.Write("t/click.ksb", click.Build());
  dir.Write("t/in.ksb", in.Build());
  dir.Write("t/kova.kpb", test::Project("main.ksb"));
}

TEST(PlayScene, BoxesInputHandlersAndScreenshots) {
  test::TempDir dir;
  WriteTitle(dir);
  dir.Write("input.txt", "# frame event args\n3 move 20 20\n4 ldown\n5 lup\n");
  const auto s2 = dir / "s2.png", s8 = dir / "s8.png", vars = dir / "v.json",
             log = dir / "events.txt", sceneJson = dir / "scene.json";
  auto r =
      RunKova({"play", (dir / "t").string(), "--headless", "--frames", "8", "--input",
               (dir / "input.txt").string(), "--screenshot", "2:" + s2.string(), "--screenshot",
               "8:" + s8.string(), "--dump-vars", vars.string(), "--event-log", log.string(),
               "--dump-scene", "2:" + sceneJson.string(), "--trace", (dir / "trace.txt").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Pixel(s2, 15, 15), 0xFF0000u);  // a: colour reference 255 is red
  EXPECT_EQ(Pixel(s2, 65, 45), 0x007F00u);  // b adds 255 * 128 / 256; PlusX is not applied
  EXPECT_EQ(Pixel(s2, 45, 25), 0xFF7F00u);  // b over a
  EXPECT_EQ(Pixel(s2, 5, 5), 0x000000u);
  EXPECT_EQ(Pixel(s8, 15, 15), 0x0000FFu);  // recoloured by the click
  EXPECT_EQ(Pixel(s8, 65, 45), 0x000000u);  // b deleted
  EXPECT_EQ(Pixel(s8, 45, 25), 0x0000FFu);
  const std::string v = Read(vars);
  EXPECT_NE(v.find("\"clicks\": 1"), std::string::npos) << v;
  EXPECT_NE(v.find("\"x\": 10"), std::string::npos) << v;
  EXPECT_NE(v.find("\"ins\": 1"), std::string::npos) << v;
  EXPECT_NE(v.find("\"bz\": 256"), std::string::npos) << v;  // unsupported zoom reads 256
  EXPECT_NE(Read(dir / "trace.txt").find("プロパティ指定が不正です"), std::string::npos);
  const std::string l = Read(log);
  EXPECT_NE(l.find("3 post a 103 in.ksb\n"), std::string::npos) << l;
  EXPECT_NE(l.find("4 post a 36 click.ksb 10 10\n"), std::string::npos) << l;
  // The interpreter takes it up in the same frame, then it is removed when its page returns.
  const size_t start = l.find("4 start a 36 click.ksb 10 10\n");
  EXPECT_NE(start, std::string::npos) << l;
  EXPECT_NE(l.find(" done a 36 click.ksb 10 10\n", start), std::string::npos) << l;
  const std::string j = Read(sceneJson);
  EXPECT_NE(j.find("\"name\": \"b\", \"parent\": \"\\u0001BASE0\""), std::string::npos) << j;
  EXPECT_NE(j.find("\"PR_PLUSX\": 0"), std::string::npos) << j;  // not applied at creation
  EXPECT_NE(j.find("\"PR_ALPHA\": 384"), std::string::npos) << j;

  // The same run twice gives the same pictures.
  const auto again = dir / "again.png";
  r = RunKova({"play", (dir / "t").string(), "--headless", "--frames", "8", "--input",
               (dir / "input.txt").string(), "--screenshot", "8:" + again.string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(test::ReadFileBytes(again), test::ReadFileBytes(s8));
}

// While the player is inactive no frame runs: the game clock stands still and presses are
// dropped (their releases still apply).
TEST(PlayScene, InactivePlayerRunsNoFrames) {
  test::TempDir dir;
  PageBuilder main("main.ksb");
  BoxNew(main, {{PR_NAME, "\"a\""},
                {PR_PARENT, "\"\""},
                {PR_WIDTH, "50"},
                {PR_HEIGHT, "50"},
                {PR_COLOR, "255"},
                {PR_ONLBTNDOWN, "\"click.ksb\""}});
  main.Add("VarNew", {S("t"), B(1), E("0"), B(0)})
      .Add("VarNew", {S("clicks"), B(1), E("0"), B(0)})
      .Add("Label", {S("top")})
      .Add("Calc", {E("t = @TickCount")})
      .Add("Wait", {E(""), E("16"), E("")})
      .Add("Jump", {S("main.ksb"), I(3), E("TRUE")});
  PageBuilder click("click.ksb");
  click.Add("Calc", {E("clicks = clicks + 1")});
  dir.Write("t/main.ksb", main.Build());
  dir.Write("t/click.ksb", click.Build());
  dir.Write("t/kova.kpb", test::Project("main.ksb"));
  dir.Write("input.txt", "1 move 10 10\n3 deactivate\n4 ldown\n5 lup\n7 activate\n9 ldown\n");
  const auto vars = dir / "v.json";
  auto r = RunKova({"play", (dir / "t").string(), "--headless", "--frames", "10", "--input",
                    (dir / "input.txt").string(), "--dump-vars", vars.string()});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string v = Read(vars);
  EXPECT_NE(v.find("\"t\": 96"), std::string::npos) << v;      // frames 1, 2 and 7 to 10
  EXPECT_NE(v.find("\"clicks\": 1"), std::string::npos) << v;  // only the press at frame 9
}

// The frame in which a game load was asked for is not drawn; the next one draws everything.
TEST(PlayScene, FrameAfterGameLoadIsNotDrawn) {
  test::TempDir dir;
  PageBuilder main("main.ksb");
  BoxNew(main, {{PR_NAME, "\"a\""},
                {PR_PARENT, "\"\""},
                {PR_WIDTH, "50"},
                {PR_HEIGHT, "50"},
                {PR_COLOR, "255"}});
  main.Add("Wait", {E(""), E("16"), E("")})
      .Add("SetProp", {E("\"a\""), E("8"), E("16711680")})
      .Add("GameLoad", {E("1")})
      .Add("Wait", {E(""), E("100000"), E("")});
  dir.Write("t/main.ksb", main.Build());
  dir.Write("t/kova.kpb", test::Project("main.ksb"));
  const auto s1 = dir / "1.png", s2 = dir / "2.png", s3 = dir / "3.png";
  auto r = RunKova({"play", (dir / "t").string(), "--headless", "--frames", "3", "--screenshot",
                    "1:" + s1.string(), "--screenshot", "2:" + s2.string(), "--screenshot",
                    "3:" + s3.string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Pixel(s1, 5, 5), 0xFF0000u);
  EXPECT_EQ(Pixel(s2, 5, 5), 0xFF0000u);  // recoloured, but this frame is not drawn
  EXPECT_EQ(Pixel(s3, 5, 5), 0x0000FFu);
}

TEST(PlayScene, BadInputLinesAreRefused) {
  test::TempDir dir;
  WriteTitle(dir);
  for (const char* bad : {"x move 1 2\n", "3 move 1\n", "3 keydown 300\n", "3 wheel left\n",
                          "3 jump\n", "0 ldown\n"}) {
    dir.Write("bad.txt", bad);
    auto r = RunKova({"play", (dir / "t").string(), "--headless", "--frames", "2", "--input",
                      (dir / "bad.txt").string()});
    EXPECT_EQ(r.code, 1) << bad;
    EXPECT_NE(r.err.find("input line 1"), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace kova
