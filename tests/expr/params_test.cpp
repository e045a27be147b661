#include <gtest/gtest.h>

#include "common/bytes.h"
#include "common/error.h"
#include "expr/params.h"

namespace kova {
namespace {

TEST(Values, ConversionsBetweenTypes) {
  TParamInt i;
  TParamFloat f;
  TParamFlag b;
  TParamStr s;
  f.SetFloat(2.9L);
  EXPECT_EQ(f.AsInt(), 2);
  f.SetFloat(-2.9L);
  EXPECT_EQ(f.AsInt(), -2);
  s.SetStr("true");
  EXPECT_FALSE(s.AsBool());
  s.SetStr("TRUE");
  EXPECT_TRUE(s.AsBool());
  s.SetStr("$10");
  EXPECT_EQ(s.AsInt(), 16);
  s.SetStr("abc");
  EXPECT_EQ(s.AsInt(), 0);
  EXPECT_EQ(s.AsFloat(), 0.0L);
  b.SetBool(true);
  EXPECT_EQ(b.AsStr(), "TRUE");
  EXPECT_EQ(b.AsInt(), 1);
  EXPECT_EQ(b.AsFloat(), 1.0L);
  i.SetBool(true);
  EXPECT_EQ(i.AsInt(), 1);
  s.SetBool(false);
  EXPECT_EQ(s.AsStr(), "FALSE");
  i.SetStr("12x");
  EXPECT_EQ(i.AsInt(), 0);
  i.SetFloat(1e40L);
  EXPECT_EQ(i.AsInt(), INT32_MAX);
}

TEST(Values, DimsAndScalarRules) {
  TParamInt a;
  a.SetDims({3, 4});
  EXPECT_EQ(a.Count(), 12);
  EXPECT_EQ(a.DimCount(), 2);
  EXPECT_EQ(a.DimSize(0), 3);
  EXPECT_EQ(a.DimSize(1), 4);
  EXPECT_EQ(a.DimSize(7), 1);
  for (int k = 0; k < 12; ++k)
    a.SetIntAt(k, k + 1);
  // Element setters keep the dimensions; a scalar setter makes a scalar.
  a.SetIntAt(5, 99);
  EXPECT_EQ(a.DimCount(), 2);
  // Resizing keeps the first elements in storage order and zero-fills the rest.
  a.SetDims({2, 8});
  EXPECT_EQ(a.GetIntAt(5), 99);
  EXPECT_EQ(a.GetIntAt(11), 12);
  EXPECT_EQ(a.GetIntAt(15), 0);
  a.SetInt(7);
  EXPECT_EQ(a.Count(), 1);
  EXPECT_TRUE(a.Dims().empty());
  EXPECT_EQ(a.AsInt(), 7);
}

TEST(Values, BadDimsAndIndexes) {
  TParamStr a;
  const struct {
    std::vector<int32_t> sizes;
    const char* text;
  } bad[] = {
      {{3, 0}, "配列の要素数[3,0]が不正です"},
      {{-1}, "配列の要素数[-1]が不正です"},
      {{65536, 65536}, "配列の要素数[65536,65536]が不正です"},
      {{2147483647, 2}, "配列の要素数[2147483647,2]が不正です"},
      {{100000000}, "配列の要素数[100000000]が不正です"},  // more than the allocation limit
  };
  for (const auto& c : bad) {
    try {
      a.SetDims(c.sizes);
      ADD_FAILURE() << c.text;
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), c.text);
    }
  }
  EXPECT_EQ(a.Count(), 1);  // unchanged
  for (int i : {-1, 1, 1000})
    EXPECT_THROW(a.GetStrAt(i), Error) << i;
  EXPECT_THROW(a.SetStrAt(-5, "x"), Error);
  a.Resize1D(0);
  EXPECT_THROW(a.AsStr(), Error);  // an empty array has no element 0
}

TEST(Values, AssignSameClassOnly) {
  TParamInt a, b;
  TParamStr s;
  b.SetDims({2});
  b.SetIntAt(1, 5);
  a.Assign(b);
  EXPECT_EQ(a.GetIntAt(1), 5);
  try {
    a.Assign(s);
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "CopyMem:変数の型があいません");
  }
  s.SetDims({2});
  s.SetStrAt(0, "12");
  s.SetStrAt(1, "x");
  a.AssignConverted(s);
  EXPECT_EQ(a.GetIntAt(0), 12);
  EXPECT_EQ(a.GetIntAt(1), 0);
}

TEST(Values, IndexOfStr) {
  TParamStr a;
  a.SetDims({3});
  a.SetStrAt(0, "Apple");
  a.SetStrAt(1, "banana");
  a.SetStrAt(2, "apple");
  EXPECT_EQ(a.IndexOfStr("apple", true, false), 2);
  EXPECT_EQ(a.IndexOfStr("APPLE", false, false), 0);
  EXPECT_EQ(a.IndexOfStr("NAN", false, true), 1);
  EXPECT_EQ(a.IndexOfStr("NAN", true, true), -1);
  TParamInt n;
  n.SetDims({2});
  n.SetIntAt(1, 42);
  EXPECT_EQ(n.IndexOfStr("42", true, false), 1);
}

class StoreTest : public ::testing::Test {
 protected:
  TParamCollection store;
};

TEST_F(StoreTest, SystemVariablesComeFirst) {
  EXPECT_EQ(store.Count(), kSysVarCount);
  EXPECT_EQ(store.At(0).Name(), "@Result");
  EXPECT_EQ(store.At(49).Name(), "@StackCount");
  EXPECT_TRUE(store.FindItem("@pi"));
}

TEST_F(StoreTest, LookupRules) {
  store.currentScope = 2;
  auto& older = store.NewVariable("v", kTypeInt, 0);
  auto& newer = store.NewVariable("V", kTypeInt, 0);
  older.Value().SetInt(1);
  newer.Value().SetInt(2);
  EXPECT_EQ(store.FindItem("v"), &older);
  auto& local = store.NewVariable("v", kTypeInt, 2);
  EXPECT_EQ(store.FindItem("v"), &local);
  EXPECT_EQ(store.FindScoped("v", true), &local);
  EXPECT_EQ(store.FindScoped("v", false), &older);
  store.currentScope = 3;
  EXPECT_EQ(store.FindItem("v"), &older);  // locals of other depths are invisible
  EXPECT_EQ(store.FindScoped("v", true), nullptr);
  store.currentScope = 2;
  store.FreeOwned(2);
  EXPECT_EQ(store.FindItem("v"), &older);
}

TEST_F(StoreTest, NamesAreValidatedAndFoldedAsciiOnly) {
  for (const char* bad : {"", "a b", "1x"})
    EXPECT_THROW(store.NewVariable(bad, kTypeInt, 0), Error);
  store.NewVariable("\x83\x41", kTypeInt, 0);  // ア: its trail byte 'A' is not folded
  EXPECT_TRUE(store.FindItem("\x83\x41"));
  EXPECT_FALSE(store.FindItem("\x83\x61"));
}

TEST_F(StoreTest, StatusVariablesAreCreatedOnce) {
  auto& a = store.NewVariable("st", kTypeInt, 3);
  a.Value().SetInt(5);
  auto& b = store.NewVariable("st", kTypeInt, 3);
  EXPECT_EQ(&a, &b);
  EXPECT_EQ(b.Value().AsInt(), 5);
}

TEST_F(StoreTest, BindElementAndErrors) {
  auto& arr = store.NewVariable("arr", kTypeInt, 0);
  arr.Value().SetDims({3, 4});
  arr.Value().SetIntAt(6, 42);  // [1,2]
  TParamVar ref;
  store.BindElement(ref, "arr", {1, 2});
  EXPECT_EQ(ref.ElementIndex(), 6);
  EXPECT_EQ(ref.AsInt(), 42);
  ref.SetInt(43);
  EXPECT_EQ(arr.Value().GetIntAt(6), 43);
  EXPECT_EQ(arr.Value().DimCount(), 2);
  const struct {
    std::vector<int32_t> idx;
    const char* text;
  } bad[] = {
      {{1}, "arr[1]\r\n添え字が不正です"},
      {{3, 0}, "arr[3,0]\r\n要素数を超えています"},
      {{2, 4}, "arr[2,4]\r\n要素数を超えています"},
  };
  for (const auto& c : bad) {
    try {
      store.BindElement(ref, "arr", c.idx);
      ADD_FAILURE() << c.text;
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), c.text);
    }
  }
  // A negative index binds, and the element access refuses it.
  store.BindElement(ref, "arr", {0, -1});
  EXPECT_THROW(ref.AsInt(), Error);
  // A scalar is an array of one dimension of size 1.
  store.NewVariable("sc", kTypeStr, 0).Value().SetStr("x");
  store.BindElement(ref, "sc", {0});
  EXPECT_EQ(ref.AsStr(), "x");
}

TEST_F(StoreTest, FreedTargetClearsReference) {
  auto& t = store.NewVariable("t", kTypeStr, 1);
  t.Value().SetStr("alive");
  TParamVar ref;
  ref.Bind(&t);
  EXPECT_EQ(ref.AsStr(), "alive");
  store.FreeOwned(0);
  EXPECT_EQ(ref.Target(), nullptr);
  EXPECT_EQ(ref.AsStr(), "");
  EXPECT_EQ(ref.AsInt(), 0);
  ref.SetStr("ignored");
  EXPECT_EQ(ref.TypeCode(), kTypeVar);
}

TEST_F(StoreTest, ReferenceCycleFailsInsteadOfRecursing) {
  auto& a = store.NewVariable("ra", kTypeVar, 0);
  auto& b = store.NewVariable("rb", kTypeVar, 0);
  static_cast<TParamVar&>(a.Value()).Bind(&b);
  static_cast<TParamVar&>(b.Value()).Bind(&a);
  EXPECT_THROW(a.Value().AsInt(), Error);
  EXPECT_THROW(a.Value().SetStr("x"), Error);
}

TEST_F(StoreTest, CopyValue) {
  auto& a = store.NewVariable("a", kTypeFloat, 0);
  a.Value().SetDims({2});
  a.Value().SetFloatAt(1, 2.5L);
  auto c = store.CopyValue("a");
  ASSERT_TRUE(c);
  EXPECT_EQ(c->TypeCode(), kTypeFloat);
  EXPECT_EQ(c->GetFloatAt(1), 2.5L);
  EXPECT_FALSE(store.CopyValue("nothing"));
  store.NewVariable("r", kTypeVar, 0);
  try {
    store.CopyValue("r");
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "r:不正な変数です");
  }
}

TEST_F(StoreTest, GameRecordBytes) {
  store.NewVariable("n", kTypeInt, 0).Value().SetInt(5);
  ByteWriter w;
  store.SaveGameVars(w);
  const Bytes expected = {
      1,  0, 0,    0,                       // count
      1,                                    // type: integer
      1,  0, 0,    0,    'n',               // name
      0,  0, 0,    0,                       // no dimensions
      1,  0, 0,    0,    5,    0,    0, 0,  // one element: 5
      0,  0, 0xFF, 0xFF, 0xFF, 0xFF, 0,     // status, local, owner -1, spare
      50, 0, 0,    0,                       // text delay
      0,  0, 0,    0,                       // cursor
      0,  0, 0,    0,                       // selection text
      0,  0, 0,    0,                       // selection index
      0,  0, 0,    0,    0,    0,    0, 0, 0, 0, 0, 0,
      0,  0, 0,    0,    0,    0,    0, 0, 0, 0, 0, 0,  // history
      0,  0, 0,    0,                                   // @Temp
  };
  EXPECT_EQ(w.Data(), expected);
}

TEST_F(StoreTest, GameRecordsRoundTripInCreationOrderWithReferencesAfterTargets) {
  // The reference is created before its target: it must be written after it.
  auto& ref = store.NewVariable("ref", kTypeVar, 0);
  auto& arr = store.NewVariable("arr", kTypeStr, 0);
  arr.Value().SetDims({2, 2});
  arr.Value().SetStrAt(3, "表");
  static_cast<TParamVar&>(ref.Value()).Bind(&arr, 3);
  store.NewVariable("dup", kTypeInt, 0).Value().SetInt(1);
  store.NewVariable("dup", kTypeInt, 0).Value().SetInt(2);
  store.NewVariable("f", kTypeFloat, 0).Value().SetFloat(-1.25L);
  store.NewVariable("st", kTypeInt, 3).Value().SetInt(9);
  store.textDelay = 20;
  store.cursor = "c.ani";
  store.history = {1, 2, 3, 4, 5, 6};
  store.tempName = "dup";
  ByteWriter w;
  store.SaveGameVars(w);

  TParamCollection other;
  other.NewVariable("st", kTypeInt, 3).Value().SetInt(77);
  other.NewVariable("gone", kTypeInt, 0);
  ByteReader r(w.Data(), "save");
  other.LoadGameVars(r, 134);
  EXPECT_TRUE(r.AtEnd());
  EXPECT_FALSE(other.FindItem("gone"));
  EXPECT_EQ(other.FindItem("st")->Value().AsInt(), 77);  // status variables untouched
  EXPECT_EQ(other.FindItem("ref")->Value().AsStr(), "表");
  EXPECT_EQ(other.FindItem("dup")->Value().AsInt(), 1);  // the older one still wins
  EXPECT_EQ(other.FindItem("f")->Value().AsFloat(), -1.25L);
  EXPECT_EQ(other.textDelay, 20);
  EXPECT_EQ(other.cursor, "c.ani");
  EXPECT_EQ(other.history[5], 6);
  EXPECT_EQ(other.tempName, "dup");
  // Creation order is kept; the deferred reference follows in the next pass.
  std::vector<std::string> names;
  for (int i = kSysVarCount; i < other.Count(); ++i)
    names.push_back(other.At(i).Name());
  EXPECT_EQ(names, (std::vector<std::string>{"st", "arr", "dup", "dup", "f", "ref"}));
}

TEST_F(StoreTest, ReferenceCycleSaveTerminates) {
  auto& a = store.NewVariable("ra", kTypeVar, 0);
  auto& b = store.NewVariable("rb", kTypeVar, 0);
  static_cast<TParamVar&>(a.Value()).Bind(&b);
  static_cast<TParamVar&>(b.Value()).Bind(&a);
  ByteWriter w;
  store.SaveGameVars(w);
  TParamCollection other;
  ByteReader r(w.Data(), "save");
  other.LoadGameVars(r, 134);
  EXPECT_TRUE(other.FindItem("ra"));
  EXPECT_TRUE(other.FindItem("rb"));
}

TEST_F(StoreTest, OldVersionsReadFewerFields) {
  ByteWriter w;
  w.U32(0);
  w.I32(30);
  w.LpString("cur");
  TParamCollection other;
  ByteReader r(w.Data(), "save");
  other.LoadGameVars(r, 102);
  EXPECT_TRUE(r.AtEnd());
  EXPECT_EQ(other.textDelay, 30);
}

TEST_F(StoreTest, BrokenRecordsAreRefused) {
  auto record = [](uint8_t type, uint32_t dims, std::vector<int32_t> sizes, uint32_t n) {
    ByteWriter w;
    w.U32(1);
    w.U8(type);
    w.LpString("v");
    w.U32(dims);
    for (int32_t s : sizes)
      w.I32(s);
    w.U32(n);
    for (uint32_t i = 0; i < n && i < 4; ++i)
      w.I32(0);
    w.Raw("\0\0\xFF\xFF\xFF\xFF\0", 7);
    return w.Take();
  };
  const struct {
    const char* what;
    Bytes data;
  } cases[] = {
      {"unknown type", record(9, 0, {}, 1)},
      {"dimension count beyond the data", record(1, 1000000, {}, 1)},
      {"element count beyond the data", record(1, 0, {}, 0x40000000)},
      {"negative dimension", record(1, 1, {-2}, 0)},
      {"elements do not match the dimensions", record(1, 2, {2, 2}, 3)},
      {"truncated", Bytes{1, 0, 0, 0, 1, 1, 0}},
      {"variable count beyond the data", Bytes{0xFF, 0xFF, 0xFF, 0x7F}},
  };
  for (const auto& c : cases) {
    TParamCollection other;
    ByteReader r(c.data, "save");
    EXPECT_THROW(other.LoadGameVars(r, 134), FormatError) << c.what;
  }
}

TEST_F(StoreTest, EmptyNameRecordIsDropped) {
  ByteWriter w;
  w.U32(1);
  w.U8(kTypeInt);
  w.LpString("");
  TParamInt().SaveToStream(w);
  w.Raw("\0\0\0\0\0\0\0", 7);
  TParamCollection other;
  ByteReader r(w.Data(), "save");
  other.LoadStatusVars(r, 134);
  EXPECT_EQ(other.Count(), kSysVarCount);
}

TEST_F(StoreTest, ClearGameVars) {
  store.NewVariable("g", kTypeInt, 0);
  store.NewVariable("s", kTypeInt, 3);
  store.textDelay = 5;
  store.cursor = "x";
  store.history[0] = 3;
  store.ClearGameVars();
  EXPECT_FALSE(store.FindItem("g"));
  EXPECT_TRUE(store.FindItem("s"));
  EXPECT_EQ(store.textDelay, 50);
  EXPECT_EQ(store.cursor, "");
  EXPECT_EQ(store.history[0], 0);
}

}  // namespace
}  // namespace kova
