#include <gtest/gtest.h>

#include "common/bytes.h"
#include "common/error.h"
#include "expr_fixture.h"

namespace kova {
namespace {

using test::ExprEnv;

// Pieces of the stored form, written out by hand.
void Str(Bytes& b, std::string_view s) {
  for (int i = 0; i < 4; ++i)
    b.push_back(static_cast<uint8_t>(s.size() >> (8 * i)));
  b.insert(b.end(), s.begin(), s.end());
}
void U32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes Compiled(const std::string& text) {
  TBuildKovaParser b;
  b.Compile(text);
  return b.Save();
}

TEST(StoredForm, OnePlusTwo) {
  Bytes e;
  U32(e, 2);
  e.push_back(2), Str(e, "____0"), U32(e, 2);
  e.push_back(1), U32(e, 1);
  e.push_back(1), U32(e, 2);
  e.push_back(1), Str(e, "____arg"), U32(e, 1);
  e.push_back(0), Str(e, "____0");
  EXPECT_EQ(Compiled("1 + 2"), e);
}

TEST(StoredForm, AssignFive) {
  Bytes e;
  U32(e, 1);
  e.push_back(1), Str(e, "x"), U32(e, 1);
  e.push_back(1), U32(e, 5);
  EXPECT_EQ(Compiled("x = 5"), e);
}

TEST(StoredForm, AssignNegativeFloat) {
  Bytes e;
  U32(e, 2);
  // The sign becomes 0 - 1.5 into a temporary.
  e.push_back(3), Str(e, "____0"), U32(e, 2);
  e.push_back(1), U32(e, 0);
  e.push_back(2);
  for (uint8_t b : {0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x3F})
    e.push_back(b);  // 1.5
  e.push_back(1), Str(e, "x"), U32(e, 1);
  e.push_back(0), Str(e, "____0");
  EXPECT_EQ(Compiled("x = -1.5"), e);
}

TEST(StoredForm, LengthOfKanji) {
  Bytes e;
  U32(e, 3);
  e.push_back(1), Str(e, "____0"), U32(e, 1);
  e.push_back(4), Str(e, "\x95\x5C");  // 表, whose trail byte is a backslash
  e.push_back(11), Str(e, "____1"), U32(e, 1), e.push_back(5);  // Length
  e.push_back(0), Str(e, "____0");
  e.push_back(1), Str(e, "____arg"), U32(e, 1);
  e.push_back(0), Str(e, "____1");
  EXPECT_EQ(Compiled("Length(\"\x95\x5C\")"), e);
}

TEST(StoredForm, RoundTripsThroughTheEvaluatorsWriter) {
  for (const char* text : {"a[1, 2] = Copy(\"x\\n\", 1) ++ (b + 1) * -c", "1.5 < TRUE",
                           "IntToStr(GetArraySize(q, 0), 3)"}) {
    const Bytes first = Compiled(text);
    TKovaParser p;
    p.Load(first);
    ByteWriter w;
    p.SaveToStream(w);
    EXPECT_EQ(w.Data(), first) << text;
  }
}

TEST(StoredForm, ReaderRefusesBrokenData) {
  auto op = [](uint8_t code, uint32_t k, std::vector<uint8_t> tail) {
    Bytes b;
    U32(b, 1);
    b.push_back(code), Str(b, "d"), U32(b, k);
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
  };
  const struct {
    const char* what;
    Bytes data;
  } cases[] = {
      {"code 0", op(0, 0, {})},
      {"code 21", op(21, 0, {})},
      {"operand kind 5", op(1, 1, {5, 0, 0, 0, 0})},
      {"function index 143", op(11, 0, {143})},
      {"operand count beyond the data", op(1, 0x10000000, {})},
      {"operation count beyond the data", Bytes{0xFF, 0xFF, 0xFF, 0xFF}},
      {"truncated string", op(1, 1, {4, 9, 0, 0, 0, 'a'})},
      {"truncated float", op(1, 1, {2, 0, 0})},
  };
  for (const auto& c : cases) {
    TKovaParser p;
    EXPECT_THROW(p.Load(c.data), FormatError) << c.what;
  }
}

TEST(Compiler, Errors) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"a = b = 1", "構文エラー"},
      {"1 +", "構文エラー"},
      {"x =", "構文エラー"},
      {"= 1", "構文エラー"},
      {"1 * * 2", "構文エラー"},
      {"(1 + 2", "構文エラー"},
      {"1 + 2)", "構文エラー"},
      {"a[1", "構文エラー"},
      {"a]1[", "構文エラー"},
      {"f(a]", "構文エラー"},
      {"+[1]", "構文エラー"},
      {"* 2", "構文エラー"},
      {"a[]", "配列の添え字が不正です"},
      {"a[ ] = 1", "配列の添え字が不正です"},
      {"NoSuch(1)", "\"NoSuch\" 関数名がありません"},
      {"length(\"a\")", "\"length\" 関数名がありません"},
      {"Length(1, 2)", "Length 引数の数が不正です"},
      {"Length()", "Length 引数の数が不正です"},
      {"DBDelete(1)", "DBDelete 引数の数が不正です"},
  };
  for (const auto& c : cases) {
    try {
      Compiled(c.text);
      ADD_FAILURE() << c.text;
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), c.error) << c.text;
    }
  }
}

TEST(Compiler, NestingDepthIsLimited) {
  const std::string ok = std::string(200, '(') + "1" + std::string(200, ')');
  EXPECT_NO_THROW(Compiled(ok));
  const std::string deep = std::string(300, '(') + "1" + std::string(300, ')');
  EXPECT_THROW(Compiled(deep), Error);
}

TEST(Compiler, Shapes) {
  auto ops = [](const std::string& text) {
    TBuildKovaParser b;
    b.Compile(text);
    return b.Ops();
  };
  // A single name is one copy into ____arg.
  auto v = ops("abc");
  ASSERT_EQ(v.size(), 1u);
  EXPECT_EQ(v[0].code, kOpAssign);
  EXPECT_EQ(v[0].dest, "____arg");
  EXPECT_EQ(v[0].operands[0], "abc");
  // Redundant copies from groups are removed: f(((x))) passes x itself.
  v = ops("Length(((x)))");
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(v[0].operands, (std::vector<std::string>{"Length", "x"}));
  v = ops("(1 + 2) * 3");
  ASSERT_EQ(v.size(), 3u);
  EXPECT_EQ(v[1].operands[0], v[0].dest);
  // An assignment leaves no ____arg.
  v = ops("a = b");
  ASSERT_EQ(v.size(), 1u);
  EXPECT_EQ(v[0].dest, "a");
}

TEST(Evaluator, Table) {
  ExprEnv env;
  env.Var("i", kTypeInt).SetInt(7);
  env.Var("f", kTypeFloat).SetFloat(2.5L);
  env.Var("s", kTypeStr).SetStr("ab");
  env.Var("b", kTypeFlag).SetBool(true);
  env.Var("big", kTypeInt).SetInt(INT32_MAX);
  env.Var("min", kTypeInt).SetInt(INT32_MIN);
  env.Var("neg", kTypeInt).SetInt(-8);
  const struct {
    const char* text;
    const char* result;
  } cases[] = {
      // Precedence and associativity.
      {"1 + 2 * 3", "7"},
      {"(1 + 2) * 3", "9"},
      {"10 - 4 - 3", "3"},
      {"2 * 3 % 4", "2"},
      {"1 << 2 + 1", "8"},
      {"1 + 1 == 2", "TRUE"},
      {"\"a\" ++ 1 == 1", "aTRUE"},  // ++ binds below the comparisons
      {"6 & 3 ^ 1 | 8", "11"},
      {"-2 * 3", "-6"},
      {"2 * -3", "-6"},
      {"- - 2", "2"},
      {"+5", "5"},
      // The left operand decides the type.
      {"1 + 2.5", "3"},
      {"2.5 + 1", "3.5"},
      {"7 / 2", "3"},
      {"7.0 / 2", "3.5"},
      {"-7 / 2", "-3"},
      {"-7 % 3", "-1"},
      {"7 % -3", "1"},
      {"1 < 1.5", "FALSE"},
      {"1.5 > 1", "TRUE"},
      {"\"b\" > \"a\"", "TRUE"},
      {"\"B\" > \"a\"", "FALSE"},
      {"\"10\" < \"9\"", "TRUE"},
      {"TRUE == 1", "TRUE"},
      {"1 <> 2", "TRUE"},
      {"s ++ 1", "ab1"},
      {"\"1\" + \"2\"", "3"},
      {"f + i", "9.5"},
      {"i + f", "9"},
      {"b + 1", "2"},
      {"s + 1", "1"},
      // Integer wrap, shifts and traps.
      {"big + 1", "-2147483648"},
      {"big * 2", "-2"},
      {"min - 1", "2147483647"},
      {"0 - min", "-2147483648"},
      {"neg >> 1", "2147483644"},
      {"neg << 1", "-16"},
      {"1 << 33", "2"},
      {"1 >> -1", "0"},
      {"min / -1", "<none>"},
      {"min % -1", "<none>"},
      {"1 / 0", "<none>"},
      {"1 % 0", "<none>"},
      {"1.0 / 0", "<none>"},
      {"1e4000", "1E4000"},
      {"1e5000", "<none>"},  // not a finite float: a variable name that does not exist
      {"1e300 * 1e300 * 1e300 * 1e300 * 1e300 * 1e300 * 1e300 * 1e300 * 1e300 * 1e300 * 1e300 * "
       "1e300 * 1e300 * 1e300 * 1e300 * 1e300 * 1e300",
       "<none>"},
      // Literals and escapes.
      {"\"a\\\"b\"", "a\"b"},
      {"\"a\\\\b\"", "a\\b"},
      {"\"a\\nb\"", "a\r\nb"},
      {"\"a\\tb\"", "a\\tb"},
      {"\"表\"", "表"},
      {"\"ソ\" ++ \"\\\\\"", "ソ\\"},
      {"\"(a + b)\"", "(a + b)"},
      {"\"表\\\"x\"", "表\"x"},  // 表's trail byte 0x5C does not escape; the next \" does
      {"\"ソ\\\\\" ++ \"\"", "ソ\\"},
      {"\"x = 1\"", "x = 1"},
      // Statements and failures.
      {"i = 3", "<none>"},
      {"nothing", "<none>"},
      {"nothing + 1", "<none>"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(env.Eval(c.text), c.result) << c.text;
}

TEST(Evaluator, AssignmentsConvertIntoTheDestination) {
  ExprEnv env;
  TCustomParam& f = env.Var("f", kTypeFloat);
  TCustomParam& s = env.Var("s", kTypeStr);
  TCustomParam& b = env.Var("b", kTypeFlag);
  EXPECT_EQ(env.Eval("f = -1.5"), "<none>");
  EXPECT_EQ(f.AsFloat(), -1.0L);
  env.Eval("f = 0.0 - 1.5");
  EXPECT_EQ(f.AsFloat(), -1.5L);
  env.Eval("s = 1 + 2");
  EXPECT_EQ(s.AsStr(), "3");
  env.Eval("s = 2.5 * 2");
  EXPECT_EQ(s.AsStr(), "5");
  env.Eval("b = \"TRUE\"");
  EXPECT_TRUE(b.AsBool());
  env.Eval("b = \"true\"");
  EXPECT_FALSE(b.AsBool());
  // Earlier assignments stay when a later operation fails.
  TCustomParam& i = env.Var("i", kTypeInt);
  EXPECT_EQ(env.Eval("i = 5 + Length(nothing)"), "<none>");
  EXPECT_EQ(i.AsInt(), 0);
  env.Eval("i = 4");
  EXPECT_EQ(env.Eval("i = i + 1"), "<none>");
  EXPECT_EQ(i.AsInt(), 5);
  EXPECT_EQ(env.ResultType("i + 0.5"), kTypeInt);
  EXPECT_EQ(env.ResultType("0.5 + i"), kTypeFloat);
  EXPECT_EQ(env.ResultType("\"a\" + 1"), kTypeStr);
  EXPECT_EQ(env.ResultType("1 == 1"), kTypeFlag);
}

TEST(Evaluator, ArrayElements) {
  ExprEnv env;
  TCustomParam& a = env.Var("a", kTypeInt);
  a.SetDims({3, 4});
  env.Var("k", kTypeInt).SetInt(2);
  const struct {
    const char* text;
    const char* result;
  } cases[] = {
      {"a[1, 2] = 5", "<none>"},
      {"a[1, 2]", "5"},
      {"a[1,k] + a[ 1 , 1 + 1 ]", "10"},
      {"a[k - 1, (k)] * 2", "10"},
      {"a[0, 4]", "0"},  // only the linear index is checked: this is a[1, 0]
      {"a[3, 0]", "<none>"},
      {"a[-1, 0]", "<none>"},
      {"a[1]", "<none>"},
      {"a[a[1, 2] - 4, 2]", "5"},
      {"IntToStr(a[1, 2])", "5"},
      {"a[0, 0] = a[1, 2] + 1", "<none>"},
      {"a[0, 0]", "6"},
      {"k[0]", "2"},
      {"@KeyPush[256]", "TRUE"},
      {"@KeyPush[258]", "<none>"},
      {"@KeyPush[-1]", "<none>"},
      {"@ParamStr[0]", "<none>"},
      {"@ParamStr[1]", "<none>"},
  };
  env.host.keys[256] = true;
  for (const auto& c : cases)
    EXPECT_EQ(env.Eval(c.text), c.result) << c.text;
  EXPECT_EQ(a.GetIntAt(6), 5);
  EXPECT_EQ(a.DimCount(), 2);
  // Assigning to the whole array makes it a scalar.
  env.Eval("a = 1");
  EXPECT_EQ(a.Count(), 1);
}

TEST(Evaluator, NestedEvaluationKeepsItsOwnTemporaries) {
  ExprEnv env;
  EXPECT_EQ(env.Eval("\"abc\" ++ Calc(\"1 + 1\")"), "abcTRUE");
  EXPECT_EQ(env.Eval("(\"x\" ++ \"y\") ++ Calc(\"(2 + 3) * 4\") ++ \"z\""), "xyTRUEz");
  env.Var("r", kTypeInt);
  EXPECT_EQ(env.Eval("Calc(\"r = (1 + 2) * 3\") ++ \"!\""), "TRUE!");
  EXPECT_EQ(env.store.FindItem("r")->Value().AsInt(), 9);
  // Nothing is left behind in the store.
  EXPECT_FALSE(env.store.FindItem("____0"));
  EXPECT_FALSE(env.store.FindItem("____arg"));
}

TEST(Evaluator, CalcRecursionIsLimited) {
  ExprEnv env;
  env.Var("n", kTypeInt);
  // Calls run first: each level runs the next one, then adds 1 + Length("TRUE"). Levels 1 to 15
  // get their nested run; the Calc of level 16 fails, which stops that level's run.
  env.Var("code", kTypeStr).SetStr("n = n + 1 + Length(Calc(code))");
  EXPECT_EQ(env.Eval("Calc(code)"), "TRUE");
  EXPECT_EQ(env.store.FindItem("n")->Value().AsInt(), 75);
  EXPECT_EQ(env.funcs.calcDepth, 0);
}

TEST(Evaluator, VarFunctionGivenAConstantLeavesTheExpressionAlone) {
  ExprEnv env;
  TKovaParser p = CompileExpression("Delete(\"abc\", 2) ++ \"abc\"");
  for (int run = 0; run < 2; ++run) {
    p.Evaluate(env.store, env.funcs);
    ASSERT_TRUE(p.Result());
    EXPECT_EQ(p.Result()->AsStr(), "abc");
  }
  TKovaParser q = CompileExpression("Insert(\"x\", \"abc\", 1)");
  q.Evaluate(env.store, env.funcs);
  ByteWriter w;
  q.SaveToStream(w);
  EXPECT_EQ(w.Data(), Compiled("Insert(\"x\", \"abc\", 1)"));
}

TEST(Evaluator, ElementPassedToVarFunctionIsACopy) {
  ExprEnv env;
  TCustomParam& a = env.Var("a", kTypeStr);
  a.SetDims({2});
  a.SetStrAt(1, "hello");
  env.Eval("Delete(a[1], 2)");
  EXPECT_EQ(a.GetStrAt(1), "hello");
  TCustomParam& s = env.Var("s", kTypeStr);
  s.SetStr("hello");
  env.Eval("Delete(s, 2)");
  EXPECT_EQ(s.AsStr(), "h");
}

TEST(Evaluator, FreedVariableBetweenRunsIsReportedNotDereferenced) {
  ExprEnv env;
  auto& item = env.store.NewVariable("t", kTypeInt, 1);
  item.Value().SetInt(3);
  TKovaParser p = CompileExpression("t + 1");
  p.Evaluate(env.store, env.funcs);
  ASSERT_TRUE(p.Result());
  EXPECT_EQ(p.Result()->AsInt(), 4);
  env.store.FreeOwned(0);
  p.Evaluate(env.store, env.funcs);
  EXPECT_FALSE(p.Result());
  EXPECT_EQ(p.LastError(), "\"t\" 変数がありません");
}

}  // namespace
}  // namespace kova
