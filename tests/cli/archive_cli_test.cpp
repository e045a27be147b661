// The archive commands as a user runs them.
#include <gtest/gtest.h>

#include <filesystem>

#include "testutil/run_kova.h"
#include "testutil/temp_dir.h"
#include "vfs/archive.h"
#include "vfs/archive_builder.h"
#include "vfs/zlib_codec.h"

namespace kova {
namespace {

using test::RunKova;

TEST(ArchiveCli, PackListCatExtractRoundTrip) {
  test::TempDir dir;
  dir.Write("src/kova.kpb", "project");
  dir.Write("src/BGM/Theme.ogg", std::string(3000, 'm'));
  dir.Write("src/表/数.txt", std::string(4000, 'n'));
  dir.Write("src/empty", "");
  const auto dat = (dir / "game.dat").string();

  auto r = RunKova({"archive", "pack", dat, (dir / "src").string(), "--crc-mode", "1"});
  ASSERT_EQ(r.code, 0) << r.err;
  r = RunKova({"archive", "list", dat});
  ASSERT_EQ(r.code, 0) << r.err;
  // Ordered by the bytes of the CP932 names; "表" (95 5C) sorts after ASCII.
  EXPECT_EQ(r.out,
            "BGM\\Theme.ogg\t3000\tstored\n"
            "empty\t0\tstored\n"
            "kova.kpb\t7\tstored\n"
            "表\\数.txt\t4000\tdeflated\n");

  r = RunKova({"archive", "cat", dat, "表/数.TXT"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, std::string(4000, 'n'));
  r = RunKova({"archive", "cat", dat, "bgm\\theme.ogg"});
  EXPECT_EQ(r.out.size(), 3000u);

  r = RunKova({"archive", "extract", dat, (dir / "out").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(test::ReadFileBytes(dir / "out/表/数.txt").size(), 4000u);
  EXPECT_TRUE(std::filesystem::exists(dir / "out/BGM/Theme.ogg"));
  EXPECT_TRUE(std::filesystem::exists(dir / "out/empty"));
}

TEST(ArchiveCli, PackMatchesTheWriter) {
  test::TempDir dir;
  dir.Write("src/a.txt", std::string(2000, 'a'));
  dir.Write("src/sub/b.bin", "bb");
  const auto dat = dir / "game.dat";
  ASSERT_EQ(RunKova({"archive", "pack", dat.string(), (dir / "src").string()}).code, 0);

  TVrFileCollection c;
  c.SetBaseFolder(dir / "src");
  c.AddFileEntry("a.txt");
  c.AddFileEntry("sub\\b.bin");
  TNxBigMemoryStream m;
  c.SaveArchive(m);
  EXPECT_EQ(test::ReadFileBytes(dat), m.Data());
}

TEST(ArchiveCli, AppendedArchiveLists) {
  test::TempDir dir;
  dir.Write("archive.dat", test::BuildArchive(102, {test::Stored("x.ksb", "page")}));
  dir.Write("player", std::string(777, 'E'));
  auto r = RunKova({"archive", "append", (dir / "player").string(), (dir / "archive.dat").string(),
                    (dir / "title").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(std::filesystem::file_size(dir / "title"),
            777 + std::filesystem::file_size(dir / "archive.dat") + 6);
  r = RunKova({"archive", "cat", (dir / "title").string(), "X.KSB"});
  EXPECT_EQ(r.out, "page");
}

TEST(ArchiveCli, ErrorsAndExitCodes) {
  test::TempDir dir;
  // An archive whose names try to leave the target folder.
  for (const char* bad : {"..\\evil.txt", "\\abs.txt", "c:\\x.txt", "a\\..\\..\\x"}) {
    SCOPED_TRACE(bad);
    const auto dat = dir.Write(
        "bad.dat", test::BuildArchive(102, {test::Stored("ok.txt", "1"), test::Stored(bad, "2")}));
    auto r = RunKova({"archive", "extract", dat.string(), (dir / "out").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("would leave"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "out/ok.txt"));  // nothing was written
    EXPECT_FALSE(std::filesystem::exists(dir / "evil.txt"));
  }
  struct Case {
    std::vector<std::string> args;
    int code;
    const char* err;
  } cases[] = {
      {{"archive"}, 2, "missing subcommand"},
      {{"archive", "frob"}, 2, "unknown subcommand"},
      {{"archive", "list"}, 2, "missing FILE"},
      {{"archive", "list", "a", "b"}, 2, "unexpected argument"},
      {{"archive", "list", (dir / "none.dat").string()}, 1, "no such file"},
      {{"archive", "pack", "o", "d", "--crc-mode", "7"}, 2, "--crc-mode"},
      {{"archive", "cat", dir.Write("g.dat", test::BuildArchive(102, {})).string(), "x"},
       1,
       "x:ファイルがありません"},
      {{"archive", "list", dir.Write("junk.dat", std::string(64, '\xEE')).string()},
       1,
       "archive is damaged"},
      {{"nosuchcommand"}, 2, "unknown command"},
  };
  for (const auto& c : cases) {
    auto r = RunKova(c.args);
    EXPECT_EQ(r.code, c.code) << c.args[0] << " " << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;  // one line
  }
  EXPECT_EQ(RunKova({"archive", "--help"}).code, 0);
  EXPECT_EQ(RunKova({"--help"}).code, 0);
}

}  // namespace
}  // namespace kova
