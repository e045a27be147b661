#include <gtest/gtest.h>

#include <map>

#include "common/bytes.h"
#include "common/error.h"
#include "expr_fixture.h"

namespace kova {
namespace {

using test::ExprEnv;

TEST(FunctionTable, NamesCountsAndOrder) {
  EXPECT_EQ(FindFunction("IntToStr"), 0);
  EXPECT_EQ(FindFunction("Length"), 5);
  EXPECT_EQ(FindFunction("Calc"), 136);
  EXPECT_EQ(FindFunction("DeleteStack"), 142);
  EXPECT_EQ(FindFunction("DBClearRecord"), 124);
  EXPECT_EQ(FindFunction("calc"), -1);
  EXPECT_EQ(FunctionTable(21).max, kFuncAny);
  EXPECT_EQ(FunctionTable(91).min, 0);
  EXPECT_EQ(FunctionTable(108).min, 7);
  EXPECT_EQ(FunctionTable(38).result, kTypeFloat);
  for (int i = 0; i < kFunctionCount; ++i)
    EXPECT_EQ(FindFunction(FunctionTable(i).name), i);
}

TEST(Functions, Strings) {
  ExprEnv env;
  env.Var("s", kTypeStr).SetStr("Hello");
  const struct {
    const char* text;
    const char* result;
  } cases[] = {
      {"IntToStr(42)", "42"},
      {"IntToStr(7, 3)", "007"},
      {"IntToStr(-7, 3)", "-007"},
      {"IntToStr(5, -2)", "5"},
      {"IntToHex(255, 4)", "00FF"},
      {"IntToHex(-1, 2)", "FFFFFFFF"},
      {"Length(\"表示\")", "4"},
      {"JLength(\"表示\")", "2"},
      {"Copy(\"abc\", 2)", "bc"},
      {"Copy(\"abc\", 2, 1)", "b"},
      {"Copy(\"abc\", 0, 2)", "ab"},
      {"Copy(\"abc\", 4, 2)", ""},
      {"JCopy(\"あいう\", 2)", "いう"},
      {"JCopy(\"あいう\", 2, 1)", "い"},
      {"Delete(s, 2)", ""},
      {"CompareStr(\"a\", \"b\") < 0", "TRUE"},
      {"CompareStr(\"ab\", \"ab\")", "0"},
      {"CompareStr(\"b\", \"B\") > 0", "TRUE"},
      {"CompareText(\"abc\", \"ABC\")", "0"},
      {"Pos(\"l\", \"Hello\")", "3"},
      {"Pos(\"z\", \"Hello\")", "0"},
      {"Pos(\"\\\\\", \"表\")", "2"},
      {"JPos(\"\\\\\", \"表\")", "0"},
      {"JPos(\"う\", \"あいう\")", "3"},
      {"Trim(\"  a b \\n\")", "a b"},
      {"JTrim(\"　a　\")", "a"},
      {"LowerCase(\"AbC表\")", "abc表"},
      {"UpperCase(\"abc\")", "ABC"},
      {"StringOfChar(\"ab\", 3)", "ababab"},
      {"StringOfChar(\"ab\", -1)", ""},
      {"StringOfChar(\"ab\", 100000000)", "<none>"},
      {"StringReplace(\"aXbXc\", \"X\", \"-\")", "a-bXc"},
      {"StringReplace(\"aXbXc\", \"X\", \"-\", TRUE)", "a-b-c"},
      {"StringReplace(\"axbXc\", \"X\", \"-\", TRUE, TRUE)", "a-b-c"},
      {"StringReplace(\"表\", \"\\\\\", \"/\", TRUE)", "表"},
      {"FixStr(\"ab\")", "ab"},
      {"HanToZen(\"ｶﾞ1\")", "ガ１"},
      {"ZenToHan(\"漢１\")", "1"},
      {"AddDelimiter(\",\", \"a\")", "a,"},
      {"AddDelimiter(\",\", \"\")", ""},
      {"StrToIntDef(\"12\", 5)", "12"},
      {"StrToIntDef(\"x\", 5)", "5"},
      {"StrToFloatDef(\"x\", 1.5)", "1.5"},
      {"StrToFloatDef(\"2.25\", 1.5)", "2.25"},
      {"Not(FALSE)", "TRUE"},
      {"Not(\"TRUE\")", "FALSE"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(env.Eval(c.text), c.result) << c.text;
  EXPECT_EQ(env.store.FindItem("s")->Value().AsStr(), "H");
}

TEST(Functions, FixStrDropsAHalfCharacter) {
  ExprEnv env;
  env.Var("s", kTypeStr).SetStr("ab\x95");
  EXPECT_EQ(env.Eval("Length(FixStr(s))"), "2");
  env.store.FindItem("s")->Value().SetStr("a\x95\x95");  // a complete character
  EXPECT_EQ(env.Eval("Length(FixStr(s))"), "3");
}

TEST(Functions, InsertAndDeleteWriteTheirVariable) {
  ExprEnv env;
  TCustomParam& s = env.Var("s", kTypeStr);
  const struct {
    const char* start;
    const char* call;
    const char* after;
  } cases[] = {
      {"abc", "Insert(\"X\", s, 2)", "aXbc"},
      {"abc", "Insert(\"X\", s, 0)", "Xabc"},
      {"abc", "Insert(\"X\", s, 9)", "abcX"},
      {"abc", "Delete(s, 2, 1)", "ac"},
      {"abc", "Delete(s, 0, 1)", "abc"},
      {"abc", "Delete(s, 4)", "abc"},
      {"あいう", "JInsert(\"X\", s, 2)", "あXいう"},
      {"あいう", "JDelete(s, 2, 1)", "あう"},
      {"あいう", "JDelete(s, 2)", "あ"},
      {"あいう", "JDelete(s, 9, 1)", "あいう"},
  };
  for (const auto& c : cases) {
    s.SetStr(*cp932::FromUtf8(c.start));
    EXPECT_EQ(env.Eval(c.call), "") << c.call;
    EXPECT_EQ(cp932::ToUtf8(s.AsStr()), c.after) << c.call;
  }
}

TEST(Functions, Paths) {
  ExprEnv env;
  const struct {
    const char* text;
    const char* result;
  } cases[] = {
      {"ExtractFilePath(\"C:\\\\dir\\\\a.txt\")", "C:\\dir\\"},
      {"ExtractFileName(\"C:\\\\dir\\\\a.txt\")", "a.txt"},
      {"ExtractFileExt(\"dir\\\\a.b.txt\")", ".txt"},
      {"ExtractFileExt(\"d.ir\\\\a\")", ""},
      {"ChangeFileExt(\"a.txt\", \".ksb\")", "a.ksb"},
      {"ChangeFileExt(\"a\", \".ksb\")", "a.ksb"},
      // 表 ends in the byte 0x5C, which is not a path delimiter.
      {"ExtractFileName(\"表\")", "表"},
      {"ExtractFilePath(\"表\\\\x\")", "表\\"},
      {"IsPathDelimiter(\"a\\\\\", 2)", "TRUE"},
      {"IsPathDelimiter(\"表\", 2)", "FALSE"},
      {"IsPathDelimiter(\"a\", 5)", "FALSE"},
      {"IsDelimiter(\",;\", \"a;b\", 2)", "TRUE"},
      {"IsDelimiter(\",;\", \"a;b\", 1)", "FALSE"},
      {"IsDelimiter(\"\\\\\", \"表\", 2)", "FALSE"},
      {"AddBackSlash(\"dir\")", "dir\\"},
      {"AddBackSlash(\"dir\\\\\")", "dir\\"},
      {"AddBackSlash(\"表\")", "表\\"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(env.Eval(c.text), c.result) << c.text;
}

class MemoryFiles : public TitleFiles {
 public:
  std::map<std::string, std::string> files;
  bool FileExists(const std::string& name) override { return files.count(name) > 0; }
  std::optional<Bytes> ReadFile(const std::string& name) override {
    auto it = files.find(name);
    if (it == files.end()) return std::nullopt;
    return Bytes(it->second.begin(), it->second.end());
  }
};

TEST(Functions, Files) {
  ExprEnv env;
  EXPECT_EQ(env.Eval("FileExists(\"a.txt\")"), "FALSE");  // no file access installed
  MemoryFiles files;
  files.files["a.txt"] = "one\r\ntwo\rthree\nfour\r\n";
  files.files["empty.txt"] = "";
  files.files["blank.txt"] = "\r\n";
  env.funcs.SetFileAccess(&files);
  TCustomParam& a = env.Var("a", kTypeInt);
  EXPECT_EQ(env.Eval("FileExists(\"a.txt\")"), "TRUE");
  EXPECT_EQ(env.Eval("FileExists(\"\")"), "FALSE");
  EXPECT_EQ(env.Eval("LoadTextFile(a, \"a.txt\")"), "TRUE");
  TCustomParam& loaded = env.store.FindItem("a")->Value();
  EXPECT_EQ(loaded.TypeCode(), kTypeStr);
  ASSERT_EQ(loaded.Count(), 4);
  EXPECT_EQ(loaded.GetStrAt(2), "three");
  EXPECT_EQ(loaded.GetStrAt(3), "four");
  (void)a;
  for (const char* name : {"missing.txt", "empty.txt"})
    EXPECT_EQ(env.Eval(std::string("LoadTextFile(a, \"") + name + "\")"), "FALSE") << name;
  EXPECT_EQ(env.Eval("LoadTextFile(a, \"blank.txt\")"), "TRUE");
  EXPECT_EQ(env.Eval("GetArraySize(a)"), "1");
}

TEST(Functions, Arrays) {
  ExprEnv env;
  TCustomParam& a = env.Var("a", kTypeInt);
  env.Var("b", kTypeInt);
  env.Var("s", kTypeStr);
  env.Var("f", kTypeFloat);
  const struct {
    const char* text;
    const char* result;
  } cases[] = {
      {"SetArray(a, 3, 4)", "0"},
      {"GetArraySize(a)", "12"},
      {"GetArraySize(a, 0)", "4"},
      {"GetArraySize(a, 1)", "3"},
      {"GetArraySize(a, 2)", "1"},
      {"GetArraySize(1)", "<none>"},
      {"SetArray(a, 0)", "<none>"},
      {"SetArray(1, 2)", "<none>"},
      {"GetArraySize(a)", "12"},
      {"FillMem(a, \"7\")", "0"},
      {"a[2, 3]", "7"},
      {"SetArray(b, 4)", "0"},
      {"FillMem(b, 2)", "0"},
      {"b[0] = 0", "<none>"},
      {"b[1] = 1", "<none>"},
      {"b[3] = 3", "<none>"},
      {"DeleteArray(b, 10, 5)", "3"},
      {"ArrayToString(b, \",\")", "0,1,2"},
      {"DeleteArray(b, -3, 1)", "2"},
      {"ArrayToString(b, \",\")", "1,2"},
      {"AddArray(b, b)", "4"},
      {"ArrayToString(b, \",\")", "1,2,1,2"},
      {"InsertArray(b, 1, a)", "4"},  // a has two dimensions: nothing changes
      {"AddArray(a, b)", "12"},
      {"InsertArray(b, 9, \"x\")", "5"},  // the index is clamped to the end
      {"InsertArray(b, 1, b)", "10"},
      {"ArrayToString(b, \",\")", "1,1,2,1,2,0,2,1,2,0"},
      {"CopyMem(s, b)", "<none>"},
      {"CopyMem(a, b)", "0"},
      {"GetArraySize(a)", "10"},
      {"GetArraySize(a, 1)", "1"},
      {"CopyArray(s, b)", "TRUE"},
      {"s[2]", "2"},
      {"StringToArray(\"x,y,,z\", s, \",\")", "4"},
      {"ArrayToString(s)", "x\r\ny\r\n\r\nz"},
      {"IndexOfStr(s, \"z\")", "3"},
      {"IndexOfStr(s, \"Z\")", "-1"},
      {"IndexOfStr(s, \"Z\", FALSE)", "3"},
      {"IndexOfStr(s, \"Y\", FALSE, TRUE)", "1"},
      {"StringToArray(\"b\\nA\\nc\", s)", "3"},
      {"SortStr(s)", "0"},
      {"ArrayToString(s, \"\")", "Abc"},
      {"StringToArray(\"\", s)", "0"},
      {"GetArraySize(s)", "1"},
      {"s", ""},
      {"GetVarType(a)", "1"},
      {"GetVarType(f)", "2"},
      {"GetVarType(\"x\")", "4"},
      {"GetVarType(TRUE)", "3"},
      {"VarExists(\"a\")", "TRUE"},
      {"VarExists(\"A\")", "TRUE"},
      {"VarExists(\"zz\")", "FALSE"},
      {"StringToArray(\"1\\n2\", f)", "2"},
      {"GetVarType(f)", "4"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(env.Eval(c.text), c.result) << c.text;
  (void)a;
}

TEST(Functions, ArrayErrorTexts) {
  ExprEnv env;
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"GetArraySize(1)", "GetArraySize:変数が見つかりません"},
      {"SetArray(1, 2)", "SetArray:変数が見つかりません"},
      {"FillMem(TRUE, 2)", "FillMem:変数が見つかりません"},
      {"CopyMem(1, 2)", "CopyMem:変数が見つかりません"},
      {"Length(nothing)", "\"nothing\" 変数がありません"},
      {"GetProp(\"x\", 1)", "GetProp: not available yet"},
      {"GetProp(\"x\", 162)", "GetPropの引数が違います"},
      {"DBDelete()", "DBDelete: not available yet"},
      {"EncodeDate(2023, 2, 29)", "日付が不正です"},
      {"EncodeTime(24, 0, 0)", "時刻が不正です"},
      {"ArcSin(2.0)", "浮動小数点演算が不正です"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(env.Eval(c.text), "<none>") << c.text;
    EXPECT_EQ(env.lastError, c.error) << c.text;
  }
  env.Var("a", kTypeInt);
  env.Var("s", kTypeStr);
  env.Eval("CopyMem(a, s)");
  EXPECT_EQ(env.lastError, "CopyMem:変数の型があいません");
}

TEST(Functions, Mathematics) {
  ExprEnv env;
  const struct {
    const char* text;
    const char* result;
  } cases[] = {
      {"Int(2.9)", "2"},
      {"Int(-2.9)", "-2"},
      {"Int(1e30)", "2147483647"},
      {"Float(3)", "3"},
      {"Float(\"1.5\")", "1.5"},
      {"Sin(0.0)", "0"},
      {"Cos(0.0)", "1"},
      {"ArcTan2(1.0, 1.0) * 4", "3.14159265358979"},
      {"Hypot(3.0, 4.0)", "5"},
      {"Abs(-5)", "5"},
      {"Abs(0 - 2147483647 - 1)", "-2147483648"},
      {"Fabs(0.0 - 2.5)", "2.5"},
      {"Fabs(-2.5)", "2"},
      {"Min(3, -4)", "-4"},
      {"Max(3, -4)", "3"},
      {"Fmin(1.5, 2.5)", "1.5"},
      {"Fmax(1.5, 2.5)", "2.5"},
      {"Tan(1.0)", "1.5574077246549"},
      {"ArcCos(2.0)", "<none>"},
      {"@Pi", "3.14159265358979"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(env.Eval(c.text), c.result) << c.text;
}

TEST(Functions, RandomIsTheSeededGenerator) {
  ExprEnv env;
  env.funcs.SetRandomSeed(12345);
  uint32_t seed = 12345;
  for (int i = 0; i < 20; ++i) {
    seed = seed * 0x08088405u + 1u;
    const auto want = static_cast<int32_t>((static_cast<uint64_t>(seed) * 100u) >> 32);
    EXPECT_EQ(env.Eval("Random(100)"), std::to_string(want));
  }
  EXPECT_EQ(env.Eval("Random(0)"), "0");
  EXPECT_EQ(env.Eval("Random(-5)"), "0");
}

TEST(Functions, DatesRoundTripOverTheYears) {
  ExprEnv env;
  for (const char* v : {"y", "m", "d", "h", "n", "s"})
    env.Var(v, kTypeInt);
  for (int year : {1, 100, 1600, 1899, 1900, 1970, 2000, 2024, 2100, 9999}) {
    for (int month : {1, 2, 12}) {
      const int day = month == 2 ? 28 : 31;
      // Before 1899-12-30 dates are negative and an added time moves them towards zero, so
      // those years are checked without a time.
      const bool withTime = year >= 1900;
      const std::string t = "EncodeDate(" + std::to_string(year) + ", " + std::to_string(month) +
                            ", " + std::to_string(day) + ")" +
                            (withTime ? " + EncodeTime(23, 59, 58)" : "");
      env.Eval("DecodeDate(" + t + ", y, m, d)");
      env.Eval("DecodeTime(" + t + ", h, n, s)");
      EXPECT_EQ(env.store.FindItem("y")->Value().AsInt(), year) << t;
      EXPECT_EQ(env.store.FindItem("m")->Value().AsInt(), month) << t;
      EXPECT_EQ(env.store.FindItem("d")->Value().AsInt(), day) << t;
      EXPECT_EQ(env.store.FindItem("h")->Value().AsInt(), withTime ? 23 : 0) << t;
      EXPECT_EQ(env.store.FindItem("n")->Value().AsInt(), withTime ? 59 : 0) << t;
      EXPECT_EQ(env.store.FindItem("s")->Value().AsInt(), withTime ? 58 : 0) << t;
    }
  }
  const struct {
    const char* text;
    const char* result;
  } cases[] = {
      {"EncodeDate(1899, 12, 30)", "0"},
      {"EncodeDate(1900, 1, 1)", "2"},
      {"EncodeDate(2000, 2, 29)", "36585"},
      {"EncodeDate(1899, 12, 29)", "-1"},
      {"EncodeTime(6, 0, 0)", "0.25"},
      {"GetWeek(EncodeDate(2024, 3, 3))", "1"},
      {"GetWeekStr(EncodeDate(2024, 3, 3))", "Sunday"},
      {"GetWeekStr(EncodeDate(1899, 12, 30))", "Saturday"},
      {"GetWeekJStr(EncodeDate(2024, 3, 4))", "月"},
      {"GetYear(EncodeDate(1999, 12, 31))", "1999"},
      {"GetMonth(EncodeDate(1999, 12, 31))", "12"},
      {"GetDay(EncodeDate(1999, 12, 31))", "31"},
      {"GetHour(0.75)", "18"},
      {"GetMin(EncodeTime(1, 2, 3))", "2"},
      {"GetSec(EncodeTime(1, 2, 3))", "3"},
      {"GetHour(0.0 - 1.25)", "6"},  // before 1899-12-30 the fraction still counts forward
      {"GetDay(0.0 - 1.25)", "29"},
      {"EncodeDate(2023, 2, 29)", "<none>"},
      {"EncodeDate(0, 1, 1)", "<none>"},
      {"EncodeDate(2023, 13, 1)", "<none>"},
      {"EncodeTime(0, 60, 0)", "<none>"},
      {"GetYear(1e9)", "0"},
      {"GetWeekStr(1e9)", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(env.Eval(c.text), c.result) << c.text;
}

TEST(SystemVariables, ReadWithAFixedClock) {
  ExprEnv env;  // 2024-02-29 13:45:30, a Thursday
  env.host.params = {"first", "second"};
  const struct {
    const char* text;
    const char* result;
  } cases[] = {
      {"@Year", "2024"},
      {"@Month", "2"},
      {"@Day", "29"},
      {"@Week", "5"},
      {"@Hour", "13"},
      {"@Min", "45"},
      {"@Sec", "30"},
      {"@ScrWidth", "640"},
      {"@ScrHeight", "480"},
      {"@TextDelay", "50"},
      {"@1Hour * 24", "1"},
      {"@1Sec * 86400", "1"},
      {"@ParamCount", "2"},
      {"@ParamStr", "first"},  // an operand reads element 0        {"@ParamStr[1]", "second"},
      {"@ParamStr[2]", "<none>"},
      {"GetArraySize(@ParamStr)", "2"},
      {"@KeyPush", "FALSE"},
      {"@KeyPush[257]", "FALSE"},
      {"GetArraySize(@KeyClick)", "258"},
      {"@Result", "0"},
      {"@Temp", "0"},
      {"@LPush", "FALSE"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(env.Eval(c.text), c.result) << c.text;
}

TEST(SystemVariables, WritesAndReadOnlyVariables) {
  ExprEnv env;
  const struct {
    const char* text;
    const char* read;
    const char* want;
  } cases[] = {
      {"@TextDelay = 20", "@TextDelay", "20"},
      {"@MouseX = 15", "@MouseX", "15"},
      {"@MouseX = \"abc\"", "@MouseX", "0"},  // the operand converts: "abc" reads as 0
      {"@MouseX = 2.9", "@MouseX", "2"},
      {"@SelStr = 12", "@SelStr", "12"},
      {"@SelIndex = \"7\"", "@SelIndex", "7"},
      {"@Cursor = \"c.ani\"", "@Cursor", "c.ani"},
      {"@Year = 1", "@Year", "2024"},
      {"@ScrWidth = 1", "@ScrWidth", "640"},
      {"@Pi = 3", "@Pi", "3.14159265358979"},
      {"@ParamStr = 1.5", "@ParamStr", "<none>"},  // no parameters: no element 0
      {"@KeyPush[1] = TRUE", "@KeyPush[1]", "FALSE"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(env.Eval(c.text), "<none>") << c.text;
    EXPECT_EQ(env.Eval(c.read), c.want) << c.text;
  }
  EXPECT_EQ(env.store.textDelay, 20);
  // Text that is not a number is ignored by an integer variable; a read-only one ignores all.
  TCustomParam& mouseX = env.store.FindItem("@MouseX")->Value();
  mouseX.SetStr("abc");
  EXPECT_EQ(env.host.mouseX, 2);  // unchanged since "@MouseX = 2.9"
  mouseX.SetStr("12");
  EXPECT_EQ(env.host.mouseX, 12);
  TCustomParam& paramStr = env.store.FindItem("@ParamStr")->Value();
  EXPECT_NO_THROW(paramStr.SetFloat(1.5L));
  EXPECT_NO_THROW(paramStr.SetDims({4}));
  EXPECT_EQ(paramStr.Count(), 0);
  EXPECT_EQ(paramStr.AsStr(), "");
  EXPECT_EQ(env.store.selStr, "12");
}

TEST(SystemVariables, ResultAndTempForward) {
  ExprEnv env;
  TParamStr result;
  env.host.result = &result;
  env.Eval("@Result = 5");
  EXPECT_EQ(result.AsStr(), "5");
  EXPECT_EQ(env.Eval("@Result ++ \"!\""), "5!");
  TCustomParam& a = env.Var("arr", kTypeInt);
  a.SetDims({3});
  EXPECT_EQ(env.Eval("AssignTemp(\"nothing\")"), "FALSE");
  EXPECT_EQ(env.Eval("AssignTemp(\"arr\")"), "TRUE");
  env.Eval("@Temp[2] = 9");
  EXPECT_EQ(a.GetIntAt(2), 9);
  EXPECT_EQ(env.Eval("GetArraySize(@Temp)"), "3");
  EXPECT_EQ(env.Eval("GetVarType(@Temp)"), "1");
  env.Eval("SetArray(@Temp, 5)");
  EXPECT_EQ(a.Count(), 5);
  // @Temp standing for itself reads as nothing instead of recursing.
  EXPECT_EQ(env.Eval("AssignTemp(\"@Temp\")"), "TRUE");
  EXPECT_EQ(env.Eval("@Temp"), "0");
}

TEST(Dispatcher, RegistryAndArgumentChecks) {
  ExprEnv env;
  EXPECT_FALSE(env.funcs.IsAvailable(FindFunction("GetProp")));
  EXPECT_TRUE(env.funcs.IsAvailable(FindFunction("Length")));
  env.funcs.Register(FindFunction("Exists"),
                     [](FuncCall& c) { c.D().SetBool(c.Arg(0).AsStr() == "there"); });
  EXPECT_EQ(env.Eval("Exists(\"there\")"), "TRUE");
  EXPECT_EQ(env.Eval("Exists(\"gone\")"), "FALSE");
  env.funcs.SetPropertyTypes([](int id) { return id == 5 ? kTypeInt : kTypeStr; });
  env.funcs.Register(FindFunction("GetProp"), [](FuncCall& c) { c.D().SetStr("12"); });
  EXPECT_EQ(env.ResultType("GetProp(\"x\", 5)"), kTypeInt);
  EXPECT_EQ(env.ResultType("GetProp(\"x\", 6)"), kTypeStr);
  // A stored form with a wrong argument count is refused at run time, not read past its end.
  ByteWriter w;
  w.U32(1);
  w.U8(kOpCall);
  w.LpString("____0");
  w.U32(0);
  w.U8(static_cast<uint8_t>(FindFunction("Copy")));
  TKovaParser p;
  p.Load(w.Data());
  p.Evaluate(env.store, env.funcs);
  EXPECT_EQ(p.LastError(), "Copy 引数の数が不正です");
  // So is an operation with too few operands.
  ByteWriter w2;
  w2.U32(1);
  w2.U8(kOpAdd);
  w2.LpString("____0");
  w2.U32(1);
  w2.U8(kTypeInt);
  w2.I32(1);
  p.Load(w2.Data());
  p.Evaluate(env.store, env.funcs);
  EXPECT_NE(p.LastError().find("不正な式"), std::string::npos);
}

}  // namespace
}  // namespace kova
