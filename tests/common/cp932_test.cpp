#include "common/cp932.h"

#include <gtest/gtest.h>

namespace kova::cp932 {
namespace {

TEST(Cp932, FoldingNeverTouchesTrailBytes) {
  // "ヂ" is 83 61 and "ア" 83 41: the trail bytes look like 'a' and 'A'.
  const std::string dji = "\x83\x61", a = "\x83\x41";
  EXPECT_FALSE(EqualNoCase(dji, a));
  EXPECT_NE(CompareNoCase(dji, a), 0);
  EXPECT_EQ(Lower(a), a);
  EXPECT_EQ(Upper(dji), dji);
  EXPECT_TRUE(EqualNoCase("BGM\\\x83\x41.OGG", "bgm\\\x83\x41.ogg"));
  EXPECT_EQ(Lower("ABC\x83\x41Z"), "abc\x83\x41z");
}

TEST(Cp932, CompareOrdersFoldedBytes) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {
      {"abc", "ABC", 0}, {"abc", "abd", -1},           {"b", "A", 1},         {"ab", "abc", -1},
      {"", "", 0},       {"\x83\x41", "\x83\x61", -1}, {"Z", "\x83\x41", -1},
  };
  for (const auto& c : cases) {
    int r = CompareNoCase(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
  }
}

TEST(Cp932, TrailBytesAndSearch) {
  const std::string hyo = "\x95\x5C";  // "表": trail byte is the backslash
  const std::string path = "a\\" + hyo;
  EXPECT_TRUE(IsTrailAt(path, 3));
  EXPECT_FALSE(IsTrailAt(path, 1));
  EXPECT_EQ(FindLastChar(path, '\\'), 1u);
  EXPECT_EQ(CharCount(path), 3u);
  // A lone lead byte at the end counts as one character.
  EXPECT_EQ(CharCount("a\x83"), 2u);
}

TEST(Cp932, Utf8RoundTrip) {
  const std::string sjis = "\x95\x5C\x83\x41 ok";
  EXPECT_EQ(ToUtf8(sjis), "表ア ok");
  EXPECT_EQ(FromUtf8("表ア ok"), sjis);
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80"), std::nullopt);  // no CP932 form
  EXPECT_EQ(FromUtf8Lossy("a\xF0\x9F\x98\x80z"), "a?z");
  // Bytes that do not convert are shown, and the rest still converts.
  EXPECT_EQ(ToUtf8("a\xFF"
                   "b\x81"),
            "a\\xFFb\\x81");
}

}  // namespace
}  // namespace kova::cp932
