#include "vfs/install_set.h"

#include <gtest/gtest.h>

#include "testutil/temp_dir.h"

namespace kova {
namespace {

TKovaInstallSet Sample() {
  TKovaInstallSet s;
  s.discIndex = 1;
  s.title = "\x83\x65\x83\x58\x83\x67";  // "テスト"
  s.texts4 = {"a", "b", "c"};
  s.byte7 = 7;
  s.table = {{1, 2, 3, 4}, {-5, 6, 1LL << 40, 8}};
  s.ints17 = {9, 10, 11, 12};
  s.createdFiles = {"shot1.bmp"};
  s.complete = 1;
  s.list24 = {"x", ""};
  s.text25 = "end";
  return s;
}

TEST(InstallSet, RoundTripWritesVersion107) {
  const Bytes bytes = Sample().Write();
  EXPECT_EQ(std::string(AsText(bytes).substr(0, 5)), "is107");
  TKovaInstallSet r;
  ASSERT_TRUE(r.LoadFromBytes(bytes, "install.dat"));
  EXPECT_EQ(r.Write(), bytes);
  EXPECT_EQ(r.title, Sample().title);
  EXPECT_EQ(r.table[1][2], 1LL << 40);
}

// Older versions lack later fields and use 32-bit table integers below 100.
TEST(InstallSet, ReadsOldVersions) {
  struct Case {
    const char* magic;
    int version;
  } cases[] = {{"", 0},        {"is099", 99},  {"is100", 100},
               {"is102", 102}, {"is103", 103}, {"is106", 106}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    ByteWriter w;
    w.Raw(c.magic);
    w.I32(0);
    w.LpString("T");
    for (int i = 0; i < 3; ++i)
      w.LpString("");
    w.U8(0);
    w.LpString("");
    w.U8(0);
    w.I32(1);  // one table row
    w.LpString("");
    w.I32(0);
    w.U8(0), w.U8(0);
    w.LpString(""), w.LpString("");
    for (int i = 0; i < 8; ++i)
      c.version >= 100 ? w.I64(i) : w.I32(i);
    w.U8(0);
    if (c.version >= 101) w.U8(0);
    if (c.version >= 102) {
      w.U32(2);
      w.LpString("");  // an empty name is skipped
      w.LpString("made.bmp");
    }
    if (c.version >= 103) w.U8(1);
    if (c.version >= 104) w.U8(0);
    if (c.version >= 105) w.U8(0);
    if (c.version >= 106) w.U32(0);
    TKovaInstallSet s;
    ASSERT_TRUE(s.LoadFromBytes(w.Data(), "install.dat"));
    EXPECT_EQ(s.version, c.version);
    EXPECT_EQ(s.title, "T");
    EXPECT_EQ(s.table.at(0)[3], 3);
    EXPECT_EQ(s.ints17[3], 7);
    EXPECT_EQ(s.createdFiles.size(), c.version >= 102 ? 1u : 0u);
    EXPECT_EQ(s.complete, c.version >= 103 ? 1 : 0);
  }
}

TEST(InstallSet, DamagedFilesCountAsMissing) {
  Bytes good = Sample().Write();
  for (size_t cut = 0; cut < good.size(); ++cut) {
    TKovaInstallSet s;
    EXPECT_FALSE(s.LoadFromBytes(std::span(good).first(cut), "install.dat")) << cut;
    EXPECT_TRUE(s.title.empty());
  }
  Bytes rows = good;
  rows[5 + 4 + 4 + 6 + 4 * 3 + 3 + 1 + 4 + 1] = 0x7F;  // row count's low byte
  TKovaInstallSet s;
  EXPECT_FALSE(s.LoadFromBytes(rows, "install.dat"));
  test::TempDir dir;
  EXPECT_FALSE(s.LoadFromFile(dir / "absent.dat"));
}

TEST(InstallSet, CreatedFilesAndAtomicSave) {
  test::TempDir dir;
  auto s = Sample();
  s.AddCreatedFile("SHOT1.BMP");  // present already, in another case
  s.AddCreatedFile("shot2.bmp");
  EXPECT_EQ(s.createdFiles.size(), 2u);
  EXPECT_EQ(s.IndexOfCreatedFile("Shot2.Bmp"), 1);
  s.SaveToFile(dir / "install.dat");
  TKovaInstallSet r;
  ASSERT_TRUE(r.LoadFromFile(dir / "install.dat"));
  EXPECT_EQ(r.createdFiles, s.createdFiles);
}

TEST(FolderDiskList, NearestListedFolder) {
  TFolderDiskList l;
  l.Add("BGM", 2);
  l.Add("movie\\op", 3);
  EXPECT_EQ(l.DiscOf("bgm\\sub\\a.wav"), 2);
  EXPECT_EQ(l.DiscOf("MOVIE\\OP\\x.mpg"), 3);
  EXPECT_EQ(l.DiscOf("movie\\x.mpg"), 0);
  EXPECT_EQ(l.DiscOf("a.txt"), 0);
  EXPECT_EQ(l.DiscOf(""), 0);
  ByteWriter w;
  l.Write(w);
  ByteReader r(w.Data(), "kova.kpb");
  TFolderDiskList back;
  back.Read(r);
  EXPECT_EQ(back.DiscOf("bgm\\x"), 2);
}

}  // namespace
}  // namespace kova
