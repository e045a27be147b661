// Titles played headless from the command line, as a user runs them.
#include <gtest/gtest.h>

#include <filesystem>

#include "script/page_builder.h"
#include "testutil/run_kova.h"
#include "testutil/temp_dir.h"
#include "vfs/archive.h"
#include "vfs/file_stream.h"
#include "vfs/install_set.h"

namespace kova {
namespace {

using test::B;
using test::E;
using test::I;
using test::PageBuilder;
using test::RunKova;
using test::S;

std::string Read(const std::filesystem::path& p) {
  const Bytes b = test::ReadFileBytes(p);
  return std::string(AsText(b));
}

// main.ksb: counts frames until n reaches 3, then terminates; exit.ksb marks the exit.
void WriteTitle(const test::TempDir& dir, const std::string& sub = "title") {
  PageBuilder main("main.ksb");
  main.Add("VarNew", {S("n"), B(1), E("0"), B(0)})
      .Add("VarNew", {S("s"), B(4), E("\"\x95\x5C\""), B(0)})  // "表" in CP932
      .Add("Label", {S("top")})
      .Add("Calc", {E("n = n + 1")})
      .Add("Wait", {E(""), E("16"), E("")})
      .Add("Jump", {S("main.ksb"), I(2), E("n < 3")})
      .Add("Terminate", {});
  PageBuilder exitPage("exit.ksb");
  exitPage.Add("VarNew", {S("bye"), B(3), E("TRUE"), B(0)});
  ProjectVar v;
  v.type = 2;
  v.name = "ratio";
  v.floatValue = 0.5L;
  dir.Write(sub + "/main.ksb", main.Build());
  dir.Write(sub + "/exit.ksb", exitPage.Build());
  dir.Write(sub + "/kova.kpb", test::Project("main.ksb", {v}, "exit.ksb"));
}

TEST(PlayCli, RunsATitleFolderAndDumpsVariables) {
  test::TempDir dir;
  WriteTitle(dir);
  const auto out = dir / "vars.json", early = dir / "early.json", trace = dir / "trace.txt";
  auto r = RunKova({"play", (dir / "title").string(), "--headless", "--dump-vars", out.string(),
                    "--dump-vars", "1:" + early.string(), "--trace", trace.string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Read(out), "{\n  \"ratio\": 0.5,\n  \"n\": 3,\n  \"s\": \"表\",\n  \"bye\": true\n}\n");
  EXPECT_EQ(Read(early), "{\n  \"ratio\": 0.5,\n  \"n\": 1,\n  \"s\": \"表\"\n}\n");
  const std::string t = Read(trace);
  EXPECT_EQ(t.rfind("00000010 : main.ksb(1)\n", 0), 0u) << t;
  EXPECT_NE(t.find(" : exit.ksb(1)\n"), std::string::npos) << t;
}

TEST(PlayCli, FrameLimitStopsARunningTitle) {
  test::TempDir dir;
  PageBuilder main("main.ksb");
  main.Add("VarNew", {S("f"), B(1), E("0"), B(0)})
      .Add("Label", {S("top")})
      .Add("Calc", {E("f = @TickCount")})
      .Add("DoEvent", {})
      .Add("Jump", {S("main.ksb"), I(1), E("TRUE")});
  dir.Write("t/main.ksb", main.Build());
  dir.Write("t/kova.kpb", test::Project("main.ksb"));
  auto r = RunKova({"play", (dir / "t").string(), "--headless", "--frames", "10", "--step", "20",
                    "--dump-vars", (dir / "v.json").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Read(dir / "v.json"), "{\n  \"f\": 200\n}\n");
}

TEST(PlayCli, TitlesThatCannotStart) {
  struct Case {
    const char* what;
    Bytes project;
    const char* message;
  };
  ProjectFile tooNew;
  tooNew.version = 111;
  ProjectFile badSize;
  badSize.screenWidth = 0;
  badSize.screenHeight = 480;
  badSize.startPage = "main.ksb";
  std::vector<Case> cases = {
      {"no start page", test::Project("absent.ksb"), "スタートページがありません"},
      {"too new", tooNew.Write(), "newer than 110"},
      {"bad screen", badSize.Write(), "outside 1..16384"},
      {"empty", {}, "プロジェクトがありません"},
      {"damaged", Bytes{110, 0, 0, 0, 9}, "damaged"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    dir.Write("t/kova.kpb", c.project);
    auto r = RunKova({"play", (dir / "t").string(), "--headless", "--frames", "5"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  test::TempDir none;
  auto r = RunKova({"play", none.Path().string(), "--headless"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("kova.kpb:ファイルがありません"), std::string::npos) << r.err;
  EXPECT_EQ(RunKova({"play", "--frames", "x"}).code, 2);
}

TEST(PlayCli, APlayerWithItsTitleAppendedPlaysWithoutArguments) {
  test::TempDir dir;
  WriteTitle(dir);
  TVrFileCollection c;
  c.SetBaseFolder(dir / "title");
  for (const char* n : {"exit.ksb", "kova.kpb", "main.ksb"})
    c.AddFileEntry(n);
  TKovaInstallSet install;
  install.title = "Test";
  install.complete = 1;
  const Bytes installBytes = install.Write();
  c.AddMemoryEntry("install.dat").data->Write(installBytes.data(), installBytes.size());
  {
    TNxBigFileStream s(dir / "game.dat", TNxBigFileStream::Mode::kCreate);
    c.SaveArchive(s);
  }
  std::filesystem::create_directory(dir / "bin");
  auto r = RunKova({"archive", "append", KOVA_BINARY_PATH, (dir / "game.dat").string(),
                    (dir / "bin/mytitle").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  // Run the new program itself, from another folder, with options only.
  const std::string cmd = "cd / && " + (dir / "bin/mytitle").string() + " --headless --dump-vars " +
                          (dir / "v.json").string() + " 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_NE(Read(dir / "v.json").find("\"n\": 3"), std::string::npos);
}

}  // namespace
}  // namespace kova

#include "platform/instance_lock.h"

namespace kova {
namespace {

TEST(PlayCli, OnePlayerPerTitleFolder) {
  test::TempDir dir;
  WriteTitle(dir);
  const auto folder = std::filesystem::weakly_canonical(dir / "title");
  InstanceLock running;  // stands for a player already running this folder
  ASSERT_TRUE(running.Acquire(InstanceLock::KeyOf(folder.string())));
  auto r = RunKova({"play", folder.string(), "--headless"});
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.err.find("another player is already running"), std::string::npos) << r.err;
  // Another folder is not affected.
  test::TempDir other;
  WriteTitle(other);
  EXPECT_EQ(RunKova({"play", (other / "title").string(), "--headless"}).code, 0);
}

TEST(InstanceLockKey, FoldsCaseAndSeparators) {
  EXPECT_EQ(InstanceLock::KeyOf("/home/me/Title"), "-HOME-ME-TITLE-");
  EXPECT_EQ(InstanceLock::KeyOf("c:\\games\\t\\"), "C:-GAMES-T-");
}

}  // namespace
}  // namespace kova
