#include "vfs/disk_folder.h"

#include <gtest/gtest.h>

#include "testutil/temp_dir.h"

namespace kova {
namespace {

TEST(DiskFolder, MatchesExactFoldedRawAndUtf8Names) {
  test::TempDir dir;
  dir.Write("BGM/Theme.OGG", "utf8 ascii");
  dir.Write("表/数.txt", "utf8 japanese");
  dir.Write(std::string("\x83\x41") + "/raw.TXT", "raw cp932 folder");  // "ア" as raw bytes
  dir.Write("Same.txt", "upper");
  dir.Write("same.txt", "lower");
  DiskFolder f(dir.Path());
  struct Case {
    std::string name;
    std::string want;  // relative path found, or "" for none
  } cases[] = {
      {"bgm\\theme.ogg", "BGM/Theme.OGG"},
      {"BGM/THEME.OGG", "BGM/Theme.OGG"},
      {"\x95\x5C\\\x90\x94.TXT", "表/数.txt"},    // CP932 name, UTF-8 on disk
      {"\x83\x41\\RAW.txt", "\x83\x41/raw.TXT"},  // CP932 name, raw bytes on disk
      {"\x83\x61\\RAW.txt", ""},                  // "ヂ" is not "ア" in another case
      {"same.txt", "same.txt"},                   // the exact spelling wins
      {"Same.txt", "Same.txt"},
      {"bgm", ""},  // folders are no files
      {"BGM\\..\\Same.txt", "Same.txt"},
      {".\\bgm\\.\\theme.ogg", "BGM/Theme.OGG"},
      {"..\\x", ""},
      {"\\etc\\passwd", ""},
      {"c:\\x", ""},
      {"bgm\\..\\..\\etc\\passwd", ""},
      {"missing.txt", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto p = f.Resolve(c.name);
    if (c.want.empty()) {
      EXPECT_FALSE(p.has_value());
    } else {
      ASSERT_TRUE(p.has_value());
      EXPECT_EQ(*p, dir / c.want);
    }
  }
}

TEST(DiskFolder, LinksAreNotFollowed) {
  test::TempDir outside, dir;
  outside.Write("secret.txt", "x");
  std::filesystem::create_symlink(outside / "secret.txt", dir / "link.txt");
  std::filesystem::create_directory_symlink(outside.Path(), dir / "out");
  DiskFolder f(dir.Path());
  EXPECT_FALSE(f.Exists("link.txt"));
  EXPECT_FALSE(f.Exists("out\\secret.txt"));
}

TEST(DiskFolder, SeesNewFilesWithoutRescanningEveryTime) {
  test::TempDir dir;
  DiskFolder f(dir.Path());
  EXPECT_FALSE(f.Exists("new.txt"));
  dir.Write("new.txt", "now");
  EXPECT_TRUE(f.Exists("NEW.TXT"));  // the folder changed, so its listing is read again
}

}  // namespace
}  // namespace kova
