// The file manager and install data commands as a user runs them.
#include <gtest/gtest.h>

#include "testutil/run_kova.h"
#include "testutil/temp_dir.h"
#include "vfs/archive_builder.h"
#include "vfs/install_set.h"

namespace kova {
namespace {

using test::RunKova;

TEST(FilesCli, OperationsAsThePlayerDoesThem) {
  test::TempDir dir;
  dir.Write("title/BGM/Theme.ogg", "loose");
  const auto dat = dir.Write("title/game.dat",
                             test::BuildArchive(102, {test::Stored("\x95\x5C\\a.txt", "packed"),
                                                      test::Stored("bgm\\theme.ogg", "archived")}));
  const std::string base = (dir / "title").string();
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string out;
  } cases[] = {
      {{"exists", "bgm/THEME.OGG"}, 0, "TRUE\n"},
      {{"exists", "表/A.TXT"}, 0, "TRUE\n"},
      {{"exists", "nope"}, 0, "FALSE\n"},
      {{"exists", "../title/game.dat"}, 0, "FALSE\n"},  // never outside the base folder
      {{"cat", "bgm\\theme.ogg"}, 0, "loose"},
      {{"cat", "表\\a.txt"}, 0, "packed"},
      {{"folder", "表\\a.txt"}, 0, "表\\\n"},
      {{"folder", "a.txt"}, 0, "\n"},
      {{"realpath", "BGM/theme.ogg"}, 0, (dir / "title/BGM/Theme.ogg").string() + "\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"files", "--base", base, "--archive", dat.string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    auto r = RunKova(args);
    EXPECT_EQ(r.code, c.code) << c.args[1] << r.err;
    EXPECT_EQ(r.out, c.out) << c.args[1];
  }
  auto r = RunKova({"files", "--archive", dat.string(), "cat", "表/none.txt"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "kova files: 表\\none.txt:ファイルがありません\n");
  r = RunKova({"files", "--archive", dat.string(), "realpath", "表/a.txt"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("~kv00000000.txt"), std::string::npos) << r.out;
  EXPECT_EQ(RunKova({"files", "--answer", "maybe", "exists", "x"}).code, 2);
  EXPECT_EQ(RunKova({"files", "frob", "x"}).code, 2);
}

TEST(FilesCli, DiscRootsAreSearched) {
  test::TempDir dir;
  dir.Write("disc/movie/op.mpg", "on the disc");
  auto r = RunKova({"files", "--disc-root", (dir / "disc").string(), "cat", "MOVIE\\OP.MPG"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "on the disc");
}

TEST(InstallCli, ShowsFieldsAndRefusesDamage) {
  test::TempDir dir;
  TKovaInstallSet s;
  s.title = "\x83\x65\x83\x58\x83\x67";
  s.complete = 1;
  s.createdFiles = {"shot.bmp"};
  s.SaveToFile(dir / "install.dat");
  auto r = RunKova({"install", "show", (dir / "install.dat").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("version: 107\n"), std::string::npos);
  EXPECT_NE(r.out.find("title: テスト\n"), std::string::npos);
  EXPECT_NE(r.out.find("complete: 1\n"), std::string::npos);
  EXPECT_NE(r.out.find("  shot.bmp\n"), std::string::npos);
  dir.Write("bad.dat", "is107\x01");
  r = RunKova({"install", "show", (dir / "bad.dat").string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("damaged"), std::string::npos);
}

}  // namespace
}  // namespace kova
