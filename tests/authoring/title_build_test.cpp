#include <gtest/gtest.h>

#include "authoring/page_source.h"
#include "authoring/source_syntax.h"
#include "authoring/title_build.h"
#include "script/page.h"
#include "script/project_file.h"
#include "testutil/run_kova.h"
#include "testutil/temp_dir.h"
#include "vfs/archive.h"
#include "vfs/install_set.h"

namespace kova::test {
namespace {

void WriteTitle(const TempDir& d) {
  d.Write("src/kova.kps", "title = \"Demo\"\nscreen = 320 240\nstart = \"main.ksb\"\n");
  d.Write("src/main.kss",
          "Call page=\"sub\\\\lib.ksb\" index=:entry\nJump index=:again\nLabel name=\"again\"\n");
  d.Write("src/sub/lib.kss", "Calc\nLabel name=\"entry\"\nExit\n");
  d.Write("src/data/readme.txt", "hello");
  d.Write("src/data/theme.ogg", Bytes(3000, 7));
}

TEST(TitleBuild, PacksPagesProjectAndFilesWithInstallData) {
  TempDir d;
  WriteTitle(d);
  const auto report = authoring::BuildTitle({d / "src", d / "out", std::nullopt});
  EXPECT_EQ(report.pages, 2);
  EXPECT_EQ(report.projects, 1);
  EXPECT_EQ(report.copied, 2);

  TVrFileCollection c;
  c.OpenArchive(d / "out/game.dat");
  EXPECT_EQ(c.EntryCount(), 6);  // the five files and its own install data
  TKovaInstallSet carried;
  ASSERT_TRUE(carried.LoadFromBytes(c.ReadEntryBytes("install.dat"), "install.dat"));
  EXPECT_EQ(carried.complete, 1);
  const Bytes readme = c.ReadEntryBytes("data\\readme.txt");
  // Media files are stored as they are, so the player can stream them from the archive.
  ASSERT_NE(c.FindEntry("data\\theme.ogg"), nullptr);
  EXPECT_EQ(c.FindEntry("data\\theme.ogg")->stored, 1);
  EXPECT_EQ(c.ReadEntryBytes("data\\theme.ogg"), Bytes(3000, 7));
  EXPECT_EQ(std::string(readme.begin(), readme.end()), "hello");

  TPage main("main.ksb");
  main.Load(c.ReadEntryBytes("main.ksb"));
  ASSERT_EQ(main.Count(), 3);
  EXPECT_EQ(main.At(0).StrField(0), "sub\\lib.ksb");
  EXPECT_EQ(main.At(0).IntField(1), 1);  // the label of the other page
  EXPECT_EQ(main.At(1).StrField(0), "main.ksb");
  EXPECT_EQ(main.At(1).IntField(1), 2);
  TPage lib("sub\\lib.ksb");
  EXPECT_NO_THROW(lib.Load(c.ReadEntryBytes("sub\\lib.ksb")));

  ProjectFile p;
  const Bytes kpb = c.ReadEntryBytes("kova.kpb");
  ByteReader r(kpb, "kova.kpb");
  p.Read(r);
  EXPECT_EQ(p.title, "Demo");
  EXPECT_EQ(p.screenWidth, 320);

  TKovaInstallSet install;
  ASSERT_TRUE(install.LoadFromFile(d / "out/install.dat"));
  EXPECT_EQ(install.version, 107);
  EXPECT_EQ(install.title, "Demo");
  EXPECT_EQ(install.complete, 1);
}

TEST(TitleBuild, EmbedsTheTitleInAPlayer) {
  TempDir d;
  WriteTitle(d);
  const auto player = d.Write("player", std::string("\x7f"
                                                    "ELF fake player",
                                                    16));
  d.Write("out/game.dat", "left by an earlier build");
  authoring::BuildTitle({d / "src", d / "out", player});
  EXPECT_FALSE(std::filesystem::exists(d / "out/game.dat"));
  const Bytes out = ReadFileBytes(d / "out/player");
  ASSERT_GT(out.size(), 22u);
  EXPECT_EQ(std::string(out.begin(), out.begin() + 16), std::string("\x7f"
                                                                    "ELF fake player",
                                                                    16));
  EXPECT_EQ(std::string(out.end() - 2, out.end()), "kv");
  TVrFileCollection c;
  c.OpenArchive(d / "out/player");
  EXPECT_EQ(c.EntryCount(), 6);
  EXPECT_NO_THROW(c.ReadEntryBytes("main.ksb"));
}

TEST(TitleBuild, ErrorsNameTheSourceFileAndLine) {
  TempDir d;
  WriteTitle(d);
  d.Write("src/sub/bad.kss", "Calc\n\nWait tme={1}\n");
  try {
    authoring::BuildTitle({d / "src", d / "out", std::nullopt});
    ADD_FAILURE() << "built";
  } catch (const authoring::SourceError& e) {
    EXPECT_EQ(e.File(), "sub/bad.kss");
    EXPECT_EQ(e.Line(), 3);
  }
  EXPECT_FALSE(std::filesystem::exists(d / "out/game.dat"));
}

TEST(TitleBuild, RefusesClashingNamesAndMissingProject) {
  TempDir d;
  WriteTitle(d);
  d.Write("src/MAIN.ksb", "x");
  EXPECT_THROW(authoring::BuildTitle({d / "src", d / "out", std::nullopt}), Error);
  TempDir e;
  e.Write("src/main.kss", "Calc\n");
  EXPECT_THROW(authoring::BuildTitle({e / "src", e / "out", std::nullopt}), Error);
}

TEST(TitleBuild, ArchiveNames) {
  EXPECT_EQ(authoring::ArchiveNameOf("a/b/c.kss"), "a\\b\\c.ksb");
  EXPECT_EQ(authoring::ArchiveNameOf("kova.kps"), "kova.kpb");
  EXPECT_EQ(authoring::ArchiveNameOf("pic.PNG"), "pic.PNG");
  EXPECT_EQ(authoring::ArchiveNameOf("画像/a.txt"), "\x89\xe6\x91\x9c\\a.txt");
}

TEST(AuthoringCli, PageAndProjectCommands) {
  TempDir d;
  const std::string text =
      ".ksb version=110 return=int\nCalc expr={a = 1}\nWait time={1000} || yield\n";
  const auto src = d.Write("m.kss", text);
  auto r = RunKova({"page", "compile", src.string(), "-o", (d / "m.ksb").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  r = RunKova({"page", "decompile", (d / "m.ksb").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, text);
  r = RunKova({"page", "dump", (d / "m.ksb").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("\"name\": \"Wait\""), std::string::npos);
  const auto bad = d.Write("bad.kss", "Calc\nNope\n");
  r = RunKova({"page", "compile", bad.string(), "-o", (d / "b.ksb").string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("bad.kss:2: unknown command 'Nope'"), std::string::npos) << r.err;
  r = RunKova({"page", "compile", bad.string()});
  EXPECT_EQ(r.code, 2);

  const auto kps = d.Write("kova.kps", "title = \"T\"\nvar int n = 3\n");
  r = RunKova({"project", "compile", kps.string(), "-o", (d / "kova.kpb").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  r = RunKova({"project", "decompile", (d / "kova.kpb").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("var int n = 3\n"), std::string::npos) << r.out;

  WriteTitle(d);
  r = RunKova({"build", (d / "src").string(), "-o", (d / "out").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("2 pages, 1 project files, 0 converted, 2 copied"), std::string::npos)
      << r.out;
}

}  // namespace
}  // namespace kova::test
