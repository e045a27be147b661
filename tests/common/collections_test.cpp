#include <gtest/gtest.h>

#include "common/clip_list.h"
#include "common/hash_collection.h"
#include "common/lists.h"
#include "common/nx_random.h"
#include "common/path_parser.h"

namespace kova {
namespace {

THashCollectionItem& AddNamed(THashCollection& c, const std::string& name) {
  return c.Add(std::make_unique<THashCollectionItem>(name));
}

TEST(HashCollection, BucketFormula) {
  // (length * 16 + first byte + second-to-last byte) mod 256, on the folded name.
  EXPECT_EQ(THashCollection::BucketOf("AB"), (2 * 16 + 'a' + 'a') % 256);
  EXPECT_EQ(THashCollection::BucketOf("abc"), (3 * 16 + 'a' + 'b') % 256);
  EXPECT_EQ(THashCollection::BucketOf("x"), 16);
  EXPECT_EQ(THashCollection::BucketOf(""), 0);
  // A trail byte keeps its case: "ア" + "x" has 0x41 second to last.
  EXPECT_EQ(THashCollection::BucketOf("\x83\x41x"), (3 * 16 + 0x83 + 0x41) % 256);
}

TEST(HashCollection, LaterDuplicateFoundFirstAndIndexesFollowDeletes) {
  THashCollection c;
  AddNamed(c, "a.ksb");
  AddNamed(c, "B.KSB");
  AddNamed(c, "b.ksb");
  AddNamed(c, "c.ksb");
  EXPECT_EQ(c.IndexOf("b.KSB"), 2);
  EXPECT_EQ(c.IndexOf("\x83\x41"), -1);
  c.Delete(2);
  EXPECT_EQ(c.IndexOf("b.ksb"), 1);
  EXPECT_EQ(c.IndexOf("C.ksb"), 2);
  EXPECT_EQ(c.At(2).Index(), 2);
  c.Delete(0);
  EXPECT_EQ(c.IndexOf("c.ksb"), 1);
  EXPECT_EQ(c.IndexOf("a.ksb"), -1);
}

TEST(HashCollection, RenameMovesBetweenBuckets) {
  THashCollection c;
  auto& item = AddNamed(c, "first");
  AddNamed(c, "other");
  item.SetName("a much longer name");
  EXPECT_EQ(c.IndexOf("first"), -1);
  EXPECT_EQ(c.IndexOf("A MUCH LONGER NAME"), 0);
  EXPECT_EQ(c.IndexOf("other"), 1);
}

TEST(HashCollection, DoubleByteNamesStayDistinct) {
  THashCollection c;
  AddNamed(c, "\x83\x61");  // ヂ
  AddNamed(c, "\x83\x41");  // ア
  EXPECT_EQ(c.IndexOf("\x83\x61"), 0);
  EXPECT_EQ(c.IndexOf("\x83\x41"), 1);
}

TEST(Lists, IntListPadsWithZeros) {
  TIntList l;
  l.Set(3, 9);
  EXPECT_EQ(l.Count(), 4);
  EXPECT_EQ(l.Get(0), 0);
  EXPECT_EQ(l.Get(3), 9);
  EXPECT_EQ(l.Get(10), 0);
}

TEST(Lists, ArrayStringRoundTripAndBadCounts) {
  TArrayString a;
  a.Add("one");
  a.Add("");
  a.Add("\x95\x5C");
  ByteWriter w;
  a.Write(w);
  EXPECT_EQ(w.Size(), 4u + 7 + 4 + 6u);
  ByteReader r(w.Data(), "s");
  auto b = TArrayString::Read(r);
  ASSERT_EQ(b.Count(), 3);
  EXPECT_EQ(b.Get(2), "\x95\x5C");
  const Bytes huge = {0xFF, 0xFF, 0xFF, 0x0F};
  ByteReader bad(huge, "s");
  EXPECT_THROW(TArrayString::Read(bad), FormatError);
}

TEST(Lists, TabStringsSplit) {
  TTabStrings t("a\t\tb\x95\tc");  // 95 09 is not a character pair: 09 is no trail byte
  EXPECT_EQ(t.Count(), 3);
  TTabStrings u("x,\x95,y,", ',');  // "\x95," is one double-byte character
  ASSERT_EQ(u.Count(), 3);
  EXPECT_EQ(u[0], "x");
  EXPECT_EQ(u[1], "\x95,y");
  EXPECT_EQ(u[2], "");
  EXPECT_EQ(u[7], "");
}

TEST(NxRandom, SequenceAndPool) {
  TNxRandom r(3);
  EXPECT_EQ(r.Next(), 3u);
  EXPECT_EQ(r.Next(), 18u);
  EXPECT_EQ(r.Next(), 93u);
  TNxRandom big(0x5B8E2C71);
  big.Next();
  EXPECT_EQ(big.Next(), static_cast<uint32_t>(0x5B8E2C71u * 6u));
  TNxRandom p(1);
  p.InitPool(4);
  std::vector<int> drawn;
  for (int i = 0; i < 4; ++i)
    drawn.push_back(p.DrawFromPool());
  // states 1, 6, 31, 156: indexes 1%4=1, 6%3=0, 31%2=1, 0
  EXPECT_EQ(drawn, (std::vector<int>{1, 0, 3, 2}));
  EXPECT_EQ(p.DrawFromPool(), -1);
}

TEST(PathParser, SplitsAndResolves) {
  TPathParser p("c:\\Games\\Title");
  ASSERT_EQ(p.Count(), 3);
  EXPECT_EQ(p[0], "C:\\");
  EXPECT_EQ(p[2], "TITLE\\");
  EXPECT_EQ(p.Resolve("..\\bgm\\a.ogg"), "C:\\GAMES\\bgm\\a.ogg");
  EXPECT_EQ(p.Resolve("x.ksb"), "C:\\GAMES\\TITLE\\x.ksb");
  EXPECT_EQ(p.Resolve("\\abs"), "\\abs");
  EXPECT_EQ(p.Resolve("d:x"), "d:x");
  TPathParser unc("\\\\server\\share\\dir");
  ASSERT_EQ(unc.Count(), 3);
  EXPECT_EQ(unc[0], "\\\\SERVER\\");
  // "表" ends in 0x5C: it is not a separator.
  TPathParser dbcs("a\\\x95\x5C\\b");
  ASSERT_EQ(dbcs.Count(), 3);
  EXPECT_EQ(dbcs[1], "\x95\x5C\\");
}

TEST(ClipList, MergesNearbyAndAbsorbsNeighbours) {
  TClipList l;
  l.Add({0, 0, 0, 10});  // empty
  EXPECT_EQ(l.Count(), 0);
  EXPECT_FALSE(l.Changed());
  l.Add({0, 0, 10, 10});
  l.Add({100, 0, 110, 10});
  EXPECT_EQ(l.Count(), 2);
  l.Add({2, 2, 5, 5});  // inside: nothing changes
  EXPECT_EQ(l.Count(), 2);
  l.Add({25, 0, 85, 10});  // within 20 of both: all three become one
  ASSERT_EQ(l.Count(), 1);
  EXPECT_EQ(l[0], (Rect{0, 0, 110, 10}));
  l.Add({0, 200, 10, 210});
  EXPECT_EQ(l.Count(), 2);
  l.SetChanged(false);
  l.Clear();
  EXPECT_TRUE(l.Changed());
}

}  // namespace
}  // namespace kova
