#include "vfs/file_manager.h"

#include <gtest/gtest.h>

#include "platform/scripted_prompt.h"
#include "testutil/temp_dir.h"
#include "vfs/archive_builder.h"

namespace kova {
namespace {

namespace fs = std::filesystem;
using test::BuildArchive;
using test::Deflated;
using test::Stored;

std::string Text(const Bytes& b) {
  return std::string(AsText(b));
}

class FakeDiscs : public DiscProvider {
 public:
  std::vector<fs::path> roots;
  int asked = 0;
  std::vector<fs::path> Roots() override {
    ++asked;
    return roots;
  }
};

// A file manager over a title folder, registered as the player does it.
struct Title {
  test::TempDir dir;
  ScriptedPrompt prompt;
  FakeDiscs discs;
  TVrFileManager files{prompt, discs};

  Title() { files.AddArchive(""); }
  void Archive(const char* name, const std::vector<test::RawEntry>& entries) {
    files.AddArchive(dir.Write(name, BuildArchive(102, entries)));
  }
};

TEST(FileManager, SearchOrder) {
  Title t;
  t.files.SetBaseFolder(t.dir.Path());
  t.Archive("one.dat", {Stored("both.txt", "archive one"), Stored("a1.txt", "only one"),
                        Deflated("dup.txt", "first archive")});
  t.Archive("two.dat", {Stored("dup.txt", "second archive"), Stored("zero", "")});
  t.dir.Write("Both.TXT", "loose");

  EXPECT_EQ(Text(t.files.Load("both.txt")), "loose");  // the loose file is read
  EXPECT_TRUE(t.files.Exists("both.txt"));
  EXPECT_EQ(Text(t.files.Load("dup.txt")), "first archive");  // first registered wins
  EXPECT_EQ(Text(t.files.Load("A1.TXT")), "only one");
  EXPECT_TRUE(t.files.Load("zero").empty());
  EXPECT_FALSE(t.files.Exists("nothing"));
  try {
    t.files.Load("\x95\x5C.txt");
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "表.txt:ファイルがありません");
  }
  EXPECT_EQ(t.files.GetRealPath("both.txt"), t.dir / "Both.TXT");
  EXPECT_EQ(t.files.GetRealPath("gone\\x.ogg"), fs::path("gone\\x.ogg"));
  EXPECT_THROW(t.files.OpenRangeStream("nothing"), Error);
  auto range = t.files.OpenRangeStream("a1.txt");
  char buf[16];
  EXPECT_EQ(range->Read(buf, 16), 8u);
  // A name never reaches outside the base folder.
  t.dir.Write("../outside-kova-test.txt", "no");
  EXPECT_FALSE(t.files.Exists("..\\outside-kova-test.txt"));
  fs::remove(t.dir / "../outside-kova-test.txt");
}

TEST(FileManager, CacheServesRepeatsAndEvictsOldest) {
  Title t;
  t.files.SetBaseFolder(t.dir.Path());
  t.dir.Write("a.txt", "first");
  EXPECT_EQ(Text(t.files.Load("a.txt")), "first");
  t.dir.Write("a.txt", "changed");
  EXPECT_EQ(Text(t.files.Load("A.TXT")), "first");  // served from the cache

  // Three files of 2 MiB: when the third is asked for, the first two exceed 4 MiB and the oldest
  // goes; the newest item is still empty while that happens.
  for (const char* n : {"b.bin", "c.bin", "d.bin"})
    t.dir.Write(n, std::string(2 << 20, 'x'));
  t.files.Load("b.bin");
  t.files.Load("c.bin");
  EXPECT_NE(t.files.Cache().Peek("a.txt"), nullptr);
  t.files.Load("d.bin");  // drops "a.txt"; then b and c make exactly 4 MiB, not more
  EXPECT_EQ(t.files.Cache().Peek("a.txt"), nullptr);
  EXPECT_NE(t.files.Cache().Peek("b.bin"), nullptr);
  EXPECT_EQ(t.files.Cache().TotalSize(), 6 << 20);
  EXPECT_EQ(Text(t.files.Load("a.txt")), "changed");  // read again once evicted
  EXPECT_EQ(t.files.Cache().Peek("b.bin"), nullptr);
  EXPECT_EQ(t.files.Cache().Count(), 3);
}

TEST(FileManager, FailedInflationLeavesNoCacheItem) {
  Title t;
  t.Archive("game.dat", {test::RawEntry{"bad.txt", Bytes{0x78, 0x01, 0xFF, 0xFF}, 0}});
  EXPECT_THROW(t.files.Load("bad.txt"), Error);
  EXPECT_EQ(t.files.Cache().Peek("bad.txt"), nullptr);
  EXPECT_THROW(t.files.Load("bad.txt"), Error);  // still an error, never compressed bytes
}

TEST(FileManager, MemoryEntries) {
  Title t;
  auto& e = t.files.Collection(0).AddMemoryEntry("mem:shot");
  e.data->Write("pixels", 6);
  EXPECT_TRUE(t.files.Exists("MEM:SHOT"));
  EXPECT_EQ(Text(t.files.Load("mem:shot")), "pixels");
  EXPECT_EQ(t.files.FindEntry("mem:shot"), &e);
}

TEST(FileManager, WorkFilesAreReusedPrivateAndRemoved) {
  fs::path folder;
  {
    Title t;
    t.Archive("game.dat", {Deflated("movie\\op.mpg", "frames"), Stored("x.ogg", "sound")});
    const fs::path a = t.files.GetRealPath("movie\\op.mpg");
    EXPECT_EQ(a.filename(), "~kv00000000.mpg");
    EXPECT_EQ(Text(test::ReadFileBytes(a)), "frames");
    EXPECT_EQ((fs::status(a).permissions() & fs::perms::all),
              fs::perms::owner_read | fs::perms::owner_write);
    fs::last_write_time(a, fs::file_time_type::clock::now() - std::chrono::hours(1));
    const auto stamp = fs::last_write_time(a);
    EXPECT_EQ(t.files.GetRealPath("movie\\op.mpg"), a);  // not extracted again
    EXPECT_EQ(fs::last_write_time(a), stamp);
    EXPECT_EQ(t.files.Locks().At(0).useCount, 2);
    EXPECT_EQ(t.files.GetRealPath("x.ogg").filename(), "~kv00000001.ogg");
    folder = a.parent_path();
    EXPECT_NE(folder, fs::temp_directory_path());
    // Two players never share a work folder.
    Title other;
    other.Archive("game.dat", {Stored("y.ogg", "s")});
    EXPECT_NE(other.files.GetRealPath("y.ogg").parent_path(), folder);
  }
  EXPECT_FALSE(fs::exists(folder));
}

TEST(FileManager, SameArchiveIsRegisteredOnce) {
  Title t;
  const auto file = t.dir.Write("game.dat", BuildArchive(102, {}));
  EXPECT_EQ(t.files.AddArchive(file), 1);
  EXPECT_EQ(t.files.AddArchive(t.dir / "." / "game.dat"), -1);
  EXPECT_EQ(t.files.CollectionCount(), 2);
}

TEST(FileManager, ExtractFolder) {
  struct Case {
    std::string path, folder;
  } cases[] = {
      {"bgm\\a.ogg", "bgm\\"},
      {"a.ogg", ""},
      {"c:\\x\\y.txt", "c:\\x\\"},
      {"c:y.txt", "c:"},
      {"\\\\srv\\share\\f", "\\\\srv\\share\\"},
      {"\x95\x5C.txt", ""},  // "表.txt": the 0x5C is a trail byte
      {"\x95\x5C\\\x95\x5C.txt", "\x95\x5C\\"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TVrFileManager::ExtractFolder(c.path), c.folder) << c.path;
}

TKovaInstallSet InstallFor(const std::string& title, int disc, bool complete) {
  TKovaInstallSet s;
  s.title = title;
  s.discIndex = disc;
  s.complete = complete;
  return s;
}

TEST(FileManager, RequestDiscFindsAnInsertedDiscAndCanGiveUp) {
  Title t;
  test::TempDir disc2;
  disc2.Write("game.dat", BuildArchive(102, {Stored("bgm\\b.txt", "from disc 2")}));
  InstallFor("T", 1, false).SaveToFile(disc2 / "install.dat");
  TitleDiscInfo info;
  info.title = "T";
  info.folders.Add("bgm", 2);

  // The disc is "inserted" only after the first prompt: the roots are asked again each time.
  t.prompt = ScriptedPrompt({PromptAnswer::kOk, PromptAnswer::kOk});
  struct Inserting : FakeDiscs {
    fs::path later;
    std::vector<fs::path> Roots() override {
      return ++asked > 3 ? std::vector<fs::path>{later} : std::vector<fs::path>{};
    }
  } discs;
  discs.later = disc2.Path();
  TVrFileManager files(t.prompt, discs);
  files.AddArchive("");
  EXPECT_TRUE(EnsureFile(files, "bgm\\b.txt", info));
  EXPECT_EQ(Text(files.Load("bgm\\b.txt")), "from disc 2");
  EXPECT_EQ(t.prompt.Asked(), 2);

  // Streamed media never ask; unlisted folders never ask.
  info.folders.Add("voice", 3);
  EXPECT_FALSE(EnsureFile(files, "voice\\a.OGG", info));
  EXPECT_FALSE(EnsureFile(files, "other\\a.txt", info));
  EXPECT_FALSE(EnsureFile(files, "", info));

  // No answers left: Cancel, then OK to quit; the loop ends.
  ScriptedPrompt none;
  FakeDiscs empty;
  TVrFileManager lost(none, empty);
  EXPECT_FALSE(lost.RequestDisc(3, info));
  EXPECT_TRUE(lost.Ending());
  EXPECT_EQ(none.Asked(), 2);
}

TEST(FileManager, LocateTitleData) {
  // Beside the program: install.dat and a complete game.dat.
  {
    Title t;
    InstallFor("T", 0, true).SaveToFile(t.dir / "install.dat");
    t.dir.Write("game.dat", BuildArchive(102, {Stored("kova.kpb", "p")}));
    EXPECT_TRUE(LocateTitleData(t.files, t.dir.Path(), {}));
    EXPECT_EQ(t.files.BaseFolder(), t.dir.Path());
    EXPECT_EQ(Text(t.files.Load("kova.kpb")), "p");
  }
  // No install.dat anywhere: "please install again" and stop.
  {
    Title t;
    EXPECT_FALSE(LocateTitleData(t.files, t.dir.Path(), {}));
    EXPECT_EQ(t.prompt.Asked(), 1);
  }
  // Incomplete install: the data is on a disc with the same title.
  {
    Title t;
    InstallFor("T", 0, false).SaveToFile(t.dir / "install.dat");
    test::TempDir disc;
    disc.Write("game.dat", BuildArchive(102, {Stored("kova.kpb", "on disc")}));
    InstallFor("T", 0, false).SaveToFile(disc / "install.dat");
    test::TempDir wrong;
    wrong.Write("game.dat", BuildArchive(102, {Stored("kova.kpb", "other title")}));
    InstallFor("U", 0, false).SaveToFile(wrong / "install.dat");
    t.discs.roots = {wrong.Path(), disc.Path()};
    EXPECT_TRUE(LocateTitleData(t.files, t.dir.Path(), {}));
    EXPECT_EQ(Text(t.files.Load("kova.kpb")), "on disc");
  }
  // Only the memory collection and an incomplete install: the disc search runs, and with no
  // answers the user gives up.
  {
    Title t;
    t.dir.Write("sub/readme.txt", "");
    InstallFor("T", 0, true).SaveToFile(t.dir / "sub/install.dat");
    t.files.SetBaseFolder(t.dir / "sub");
    EXPECT_FALSE(LocateTitleData(t.files, t.dir.Path(), {}));
    EXPECT_GE(t.prompt.Asked(), 2);
  }
}

}  // namespace
}  // namespace kova
