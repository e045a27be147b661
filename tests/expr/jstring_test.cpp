#include <gtest/gtest.h>

#include "common/cp932.h"
#include "common/error.h"
#include "expr/jstring.h"

namespace kova::jstr {
namespace {

std::string J(const char* utf8) {
  return *cp932::FromUtf8(utf8);
}
std::string U(const std::string& cp) {
  return cp932::ToUtf8(cp);
}

TEST(JString, LengthAndCharAt) {
  EXPECT_EQ(JLength(J("表示文")), 3);
  EXPECT_EQ(J("表示文").size(), 6u);
  EXPECT_EQ(JLength(J("aあb")), 3);
  EXPECT_EQ(JLength(""), 0);
  EXPECT_EQ(JLength("a\x82"), 2);  // a lead byte at the end is one character
  EXPECT_EQ(JCharAt(J("a表"), 2), 0x955C);
  EXPECT_EQ(JCharAt(J("a表"), 1), 'a');
  EXPECT_EQ(JCharAt(J("a表"), 3), 0);
  EXPECT_EQ(JCharAt(J("a表"), 0), 0);
}

TEST(JString, CopyInsertDelete) {
  const std::string s = J("あいうえ");
  const struct {
    int from, count;
    const char* want;
  } copies[] = {{2, 2, "いう"}, {0, 1, "あ"}, {-5, 2, "あい"}, {4, 9, "え"},
                {5, 1, ""},     {2, 0, ""},   {2, -1, ""}};
  for (const auto& c : copies)
    EXPECT_EQ(U(JCopy(s, c.from, c.count)), c.want) << c.from;

  const struct {
    int index;
    const char* want;
  } inserts[] = {
      {1, "xあいうえ"}, {0, "xあいうえ"}, {3, "あいxうえ"}, {5, "あいうえx"}, {99, "あいうえx"}};
  for (const auto& c : inserts) {
    std::string t = s;
    JInsert("x", t, c.index);
    EXPECT_EQ(U(t), c.want) << c.index;
  }

  const struct {
    int from, count;
    const char* want;
  } deletes[] = {{2, 1, "あうえ"},   {0, 1, "いうえ"},   {3, 9, "あい"},
                 {5, 1, "あいうえ"}, {9, 1, "あいうえ"}, {1, 0, "あいうえ"}};
  for (const auto& c : deletes) {
    std::string t = s;
    JDelete(t, c.from, c.count);
    EXPECT_EQ(U(t), c.want) << c.from;
  }
}

TEST(JString, PosOnCharacterBoundaries) {
  EXPECT_EQ(JPos("\\", J("表")), 0);  // 表's trail byte is 0x5C
  EXPECT_EQ(JPos("\\", J("表\\")), 2);
  EXPECT_EQ(JPos(J("う"), J("あいう")), 3);
  EXPECT_EQ(JPos("", "abc"), 0);
  EXPECT_EQ(JPos("c", "abc"), 3);
  // "\x82\xA0" starts inside "\x82\x82\xA0"? No: only at the character boundary 2.
  EXPECT_EQ(JPos("\x82\xA0", "\x82\x82\xA0"), 0);
}

TEST(JString, Trim) {
  EXPECT_EQ(U(JTrim(J("　 あ い　 "))), "あ い");
  EXPECT_EQ(JTrim("\tx\r\n"), "\tx\r\n");  // control characters stay
  EXPECT_EQ(JTrim("   "), "");
  // 0x81 0x40 at the end but starting on a trail byte is not a full-width space.
  EXPECT_EQ(JTrim("\x81\x81\x40"), "\x81\x81\x40");
}

TEST(JString, TrailBytesAndFetch) {
  const std::string s = J("a表b");
  EXPECT_FALSE(IsTrailByte(s, 1));
  EXPECT_FALSE(IsTrailByte(s, 2));
  EXPECT_TRUE(IsTrailByte(s, 3));
  EXPECT_FALSE(IsTrailByte(s, 4));
  for (int bad : {0, 5, -1}) {
    try {
      IsTrailByte(s, bad);
      ADD_FAILURE() << bad;
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "Illegal Index");
    }
  }
  std::string t = J("表\\x,y");
  EXPECT_EQ(U(Fetch(t, "\\")), "表");
  EXPECT_EQ(t, "x,y");
  EXPECT_EQ(Fetch(t, ","), "x");
  EXPECT_EQ(Fetch(t, ","), "y");
  EXPECT_EQ(t, "");
  EXPECT_EQ(Fetch(t, ","), "");
}

TEST(JString, HanToZen) {
  const struct {
    std::string in;
    const char* want;
  } cases[] = {
      {J("ｶﾞ"), "ガ"},
      {J("ｳﾞ"), "ウ゛"},
      {J("ﾊﾟﾋﾟﾌﾞ"), "パピブ"},
      {J("ｱﾟ"), "ア゜"},
      {J("ｰ｡｢｣､･ｦｯﾝ"), "ー。「」、・ヲッン"},
      {"a\r\nb\x7F\x80\xA0\xFD", "ａｂ"},
      {J("漢字a"), "漢字ａ"},
  };
  // The expected texts are written in Unicode; some full-width forms of the code page map to
  // other Unicode characters than the ones above, so compare in the code page.
  for (const auto& c : cases) {
    const std::string got = HanToZen(c.in);
    EXPECT_EQ(U(got), U(*cp932::FromUtf8(c.want))) << c.want;
  }
}

TEST(JString, HanToZenSymbols) {
  const std::string in = " !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";
  const uint16_t want[] = {0x8140, 0x8149, 0x8168, 0x8194, 0x8190, 0x8193, 0x8195, 0x8166, 0x8169,
                           0x816A, 0x8196, 0x817B, 0x8143, 0x817C, 0x8144, 0x815E, 0x8146, 0x8147,
                           0x8183, 0x8181, 0x8184, 0x8148, 0x8197, 0x816D, 0x818F, 0x816E, 0x814F,
                           0x8151, 0x8165, 0x816F, 0x8162, 0x8170, 0x8160};
  ASSERT_EQ(in.size(), std::size(want));
  const std::string got = HanToZen(in);
  ASSERT_EQ(got.size(), 2 * in.size());
  for (size_t i = 0; i < in.size(); ++i)
    EXPECT_EQ(JCharAt(got, static_cast<int>(i) + 1), want[i]) << in[i];
  EXPECT_EQ(U(HanToZen("Az09")), "Ａｚ０９");
}

TEST(JString, ZenToHan) {
  EXPECT_EQ(ZenToHan(J("漢１２字")), "12");
  EXPECT_EQ(U(ZenToHan(J("ガパヴァ"))), "ｶﾞﾊﾟｧ");  // ヴ is not a form HanToZen makes
  EXPECT_EQ(ZenToHan("\x81\x67\x81\x68"), "\"\"");
  EXPECT_EQ(ZenToHan("ab\xB1"), "ab\xB1");  // single bytes stay
  // Every printable ASCII byte and half-width katakana survives the round trip.
  std::string all;
  for (int c = 0x20; c <= 0x7E; ++c)
    all += static_cast<char>(c);
  for (int c = 0xA1; c <= 0xDD; ++c)
    all += static_cast<char>(c);
  EXPECT_EQ(ZenToHan(HanToZen(all)), all);
}

}  // namespace
}  // namespace kova::jstr
