#include "vfs/archive.h"

#include <gtest/gtest.h>

#include "testutil/temp_dir.h"
#include "vfs/archive_builder.h"
#include "vfs/file_stream.h"
#include "vfs/zlib_codec.h"

namespace kova {
namespace {

using test::BuildArchive;
using test::Deflated;
using test::Stored;

std::string Text(const Bytes& b) {
  return std::string(AsText(b));
}

std::vector<std::string> Names(const TVrFileCollection& c) {
  std::vector<std::string> n;
  for (int i = 0; i < c.Count(); ++i)
    n.push_back(c.At(i).Name());
  return n;
}

TEST(Archive, ReadsEveryVersion) {
  struct Case {
    int32_t version;
    bool compressed;  // below 101 every entry counts as compressed
  } cases[] = {{0, true}, {99, true}, {100, true}, {101, false}, {102, false}, {150, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    test::TempDir dir;
    std::vector<test::RawEntry> entries = {
        Deflated("a.ksb", "first entry"),
        c.compressed ? Deflated("b\\c.txt", "second") : Stored("b\\c.txt", "second")};
    entries[1].crcMode = 1;
    const auto file = dir.Write("game.dat", BuildArchive(c.version, entries));
    TVrFileCollection col;
    col.OpenArchive(file);
    EXPECT_EQ(col.Version(), c.version);
    EXPECT_EQ(Names(col), (std::vector<std::string>{"a.ksb", "b\\c.txt", "\\EOF\\"}));
    EXPECT_EQ(col.EntryCount(), 2);
    EXPECT_EQ(Text(col.ReadEntryBytes("A.KSB")), "first entry");
    EXPECT_EQ(Text(col.ReadEntryBytes("B\\C.TXT")), "second");
    EXPECT_EQ(col.FindEntry("b\\c.txt")->stored, !c.compressed);
    // CRC modes exist from version 102 on.
    EXPECT_EQ(col.FindEntry("b\\c.txt")->crcMode, c.version >= 102 ? 1 : 0);
  }
}

TEST(Archive, EmptyNamesEmptyEntriesAndNoEntries) {
  test::TempDir dir;
  // An empty name draws no scrambling values: the name after it still unscrambles.
  auto file = dir.Write("game.dat", BuildArchive(102, {Stored("", ""), Deflated("x", "y"),
                                                       test::RawEntry{"zero", {}, 0}}));
  TVrFileCollection col;
  col.OpenArchive(file);
  EXPECT_EQ(Names(col), (std::vector<std::string>{"", "x", "zero", "\\EOF\\"}));
  EXPECT_EQ(Text(col.ReadEntryBytes("x")), "y");
  // A compressed entry of size 0 is empty data, and its range is empty.
  EXPECT_TRUE(col.ReadEntryBytes("zero").empty());
  auto range = col.OpenEntryRange("zero");
  ASSERT_TRUE(range);
  EXPECT_EQ(range->Size(), 0);

  auto none = dir.Write("none.dat", BuildArchive(102, {}));
  col.OpenArchive(none);
  EXPECT_EQ(Names(col), (std::vector<std::string>{"\\EOF\\"}));
  EXPECT_EQ(col.EntryCount(), 0);
}

TEST(Archive, EofIsNeitherFoundNorAFile) {
  test::TempDir dir;
  auto file = dir.Write("game.dat", BuildArchive(102, {Stored("a", "1")}));
  TVrFileCollection col;
  col.OpenArchive(file);
  EXPECT_EQ(col.FindEntry("\\EOF\\"), nullptr);
  EXPECT_EQ(col.FindEntry("\\eof\\"), nullptr);
  EXPECT_THROW(col.ReadEntryBytes("\\EOF\\"), Error);
}

TEST(Archive, LaterDuplicateWinsAndTrailByteNames) {
  test::TempDir dir;
  const std::string hyo = "\x95\x5C";  // "表": its second byte is a backslash
  auto file = dir.Write("game.dat", BuildArchive(102, {Stored("same.txt", "old"),
                                                       Stored(hyo + "\\" + hyo + ".txt", "table"),
                                                       Stored("SAME.TXT", "new")}));
  TVrFileCollection col;
  col.OpenArchive(file);
  EXPECT_EQ(Text(col.ReadEntryBytes("Same.Txt")), "new");
  EXPECT_EQ(Text(col.ReadEntryBytes(hyo + "\\" + hyo + ".TXT")), "table");
}

TEST(Archive, MissingEntryMessage) {
  test::TempDir dir;
  auto file = dir.Write("game.dat", BuildArchive(102, {}));
  TVrFileCollection col;
  col.OpenArchive(file);
  try {
    col.ReadEntryBytes("\x95\x5C.ksb");
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "表.ksb:ファイルがありません");
  }
}

TEST(Archive, LooseFilesBesideTheArchive) {
  test::TempDir dir;
  auto file = dir.Write("game.dat", BuildArchive(102, {Stored("in.txt", "archived")}));
  dir.Write("Loose.TXT", "on disk");
  dir.Write("in.txt", "shadow");
  TVrFileCollection col;
  col.OpenArchive(file);
  EXPECT_EQ(Text(col.ReadEntryBytes("loose.txt")), "on disk");
  EXPECT_EQ(Text(col.ReadEntryBytes("in.txt")), "archived");  // the archive comes first
  EXPECT_THROW(col.ReadEntryBytes("game.dat"), Error);        // never the archive itself
  EXPECT_THROW(col.ReadEntryBytes("..\\game.dat"), Error);
}

TEST(Archive, MissingFileLeavesAnEmptyCollection) {
  test::TempDir dir;
  TVrFileCollection col;
  col.OpenArchive(dir / "absent.dat");
  EXPECT_EQ(col.Count(), 0);
  EXPECT_FALSE(col.HasArchive());
  col.OpenArchive("");
  EXPECT_EQ(col.Count(), 0);
}

TEST(Archive, AppendedToAProgram) {
  test::TempDir dir;
  ByteWriter w;
  w.Raw(std::string(1000, 'P'));  // the program image
  w.Raw(BuildArchive(102, {Deflated("kova.kpb", "project")}));
  w.I32(1000);
  w.Raw("kv");
  // Decided by the content, whatever the file is called.
  auto file = dir.Write("player", w.Data());
  TVrFileCollection col;
  col.OpenArchive(file);
  EXPECT_EQ(Text(col.ReadEntryBytes("kova.kpb")), "project");
  EXPECT_EQ(col.FindEntry("kova.kpb")->offset, 1000 + 2 + 4 + 4 + 4 + 8 + 16 + 10);
}

TEST(Archive, SeparateIndexButNotForSaves) {
  test::TempDir dir;
  Bytes full = BuildArchive(102, {Stored("a.txt", "alpha")});
  // The index file holds the directory; the data file holds the same bytes at the same offsets.
  const size_t dirSize = full.size() - 5;
  dir.Write("game.ext", Bytes(full.begin(), full.begin() + dirSize));
  Bytes data(full.size(), 'x');
  std::copy(full.begin() + dirSize, full.end(), data.begin() + dirSize);
  auto file = dir.Write("game.dat", data);
  TVrFileCollection col;
  col.OpenArchive(file);
  EXPECT_EQ(Text(col.ReadEntryBytes("a.txt")), "alpha");

  dir.Write("save.ext", Bytes(full.begin(), full.begin() + dirSize));
  auto save = dir.Write("save.dat", data);
  EXPECT_THROW(col.OpenArchive(save), Error);  // the save file is read as itself
}

TEST(Archive, DamagedDirectoriesFailCleanly) {
  const Bytes good = BuildArchive(102, {Stored("a", "12345"), Stored("b", "678")});
  struct Case {
    const char* what;
    Bytes data;
  };
  std::vector<Case> cases;
  for (size_t cut : {3u, 9u, 12u, 20u, 40u, 60u})
    cases.push_back({"truncated", Bytes(good.begin(), good.begin() + cut)});
  {
    Bytes b = good;
    b[6] = 0xFF, b[7] = 0xFF, b[8] = 0xFF, b[9] = 0x7F;  // N far beyond the data
    cases.push_back({"huge count", b});
  }
  {
    Bytes b = good;
    b[10] = 0xF0, b[11] = 0xFF, b[12] = 0xFF, b[13] = 0xFF;  // a name length near 4 GiB
    cases.push_back({"huge name", b});
  }
  {
    // Offsets going backwards.
    Bytes b = BuildArchive(101, {Stored("a", "12345"), Stored("b", "678")});
    const size_t offAt = 2 + 4 + 4 + 5 + 5 + 8;  // offset of entry 1
    b[offAt] ^= 0x40;
    cases.push_back({"bad offset", b});
  }
  {
    // Data end beyond the file.
    Bytes b = good;
    b.pop_back();
    b.pop_back();
    cases.push_back({"short data", b});
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    auto file = dir.Write("game.dat", c.data);
    TVrFileCollection col;
    try {
      col.OpenArchive(file);
      FAIL() << "opened";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()).rfind("archive is damaged: " + file.string(), 0), 0u)
          << e.what();
    }
    EXPECT_EQ(col.Count(), 0);
  }
}

TEST(Archive, BadCompressedDataIsAnError) {
  test::TempDir dir;
  Bytes z = Deflate(AsBytes(std::string(1000, 'a')));
  test::RawEntry truncated{"t", Bytes(z.begin(), z.end() - 6), 0};
  test::RawEntry garbage{"g", Bytes{1, 2, 3, 4}, 0};
  auto file = dir.Write("game.dat", BuildArchive(102, {truncated, garbage}));
  TVrFileCollection col;
  col.OpenArchive(file);
  EXPECT_THROW(col.ReadEntryBytes("t"), Error);
  EXPECT_THROW(col.ReadEntryBytes("g"), Error);
}

TEST(Archive, InflateHasACap) {
  Bytes z = Deflate(Bytes(1 << 20));
  EXPECT_THROW(Inflate(z, "bomb", 1000), Error);
  EXPECT_EQ(Inflate(z, "ok").size(), 1u << 20);
}

TEST(Archive, ResourceForm) {
  const Bytes data = BuildArchive(102, {Stored("splash.kcm", "film")});
  TVrFileCollection col;
  col.OpenResourceArchive(data, "MADEWITH");
  EXPECT_EQ(Text(col.ReadEntryBytes("splash.kcm")), "film");
  auto range = col.OpenEntryRange("splash.kcm");
  ASSERT_TRUE(range);
  char buf[8];
  EXPECT_EQ(range->Read(buf, 8), 4u);
  EXPECT_THROW(col.OpenResourceArchive({}, "NONE"), Error);
}

}  // namespace
}  // namespace kova
