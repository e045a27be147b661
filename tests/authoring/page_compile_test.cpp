#include <gtest/gtest.h>

#include "authoring/page_decompile.h"
#include "authoring/page_source.h"
#include "authoring/property_keys.h"
#include "authoring/source_syntax.h"
#include "page_util.h"

namespace kova::test {
namespace {

using authoring::CompilePageSource;

Bytes Compile(const std::string& src, const std::string& name = "main.ksb") {
  return CompilePageSource(src, name, "t.kss")->Save();
}

struct Case {
  const char* what;
  std::string source;
  Bytes expected;
};

std::vector<Case> Cases() {
  const Bytes T = Ex("TRUE");
  std::vector<Case> c;
  c.push_back({"header and an empty expression", ".ksb version=110 return=int\nCalc expr={}\n",
               PageBytes(110, 1, {Rec(14, 2).E(Empty())})});
  c.push_back({"default header, comments and blank lines do not count as commands",
               "# a comment\n\nCalc expr={a = 1}\n  # indented comment\nTerminate\n",
               PageBytes(110, 1, {Rec(14, 3).E(Ex("a = 1")), Rec(45, 5)})});
  c.push_back({"base options", "Calc || off yield line=77 code=0x8e\nCalc || indent=-3\n",
               PageBytes(110, 1, {Rec(0x8e, 77, 0, 1, 0).E(Empty()), Rec(14, 2, -3).E(Empty())})});
  c.push_back({"exotic base bytes", "Calc || disabled=5 runon=9\n",
               PageBytes(110, 1, {Rec(14, 1, 0, 5, 9).E(Empty())})});
  c.push_back(
      {"indent by two spaces", ".ksb version=108 return=str\nIf cond={x > 1}\n  Calc\n    Calc\n",
       PageBytes(108, 4,
                 {Rec(0, 2).E(Ex("x > 1")), Rec(14, 3, 1).E(Empty()), Rec(14, 4, 2).E(Empty())})});
  c.push_back({"missing cond and page on Jump: TRUE and the page itself", "Jump index=3\n",
               PageBytes(110, 1, {Rec(4, 1).S("main.ksb").I(3).E(T)})});
  c.push_back({"an explicit empty cond stays empty", "Exit cond={}\nBreak cond={} target=-1\n",
               PageBytes(110, 1, {Rec(6, 1).E(Empty()), Rec(34, 2).E(Empty()).I(-1)})});
  c.push_back(
      {"Call with keys in any order and an argument list",
       "Call args=({1}, {\"a\"}) result=\"r\" page=\"sub.ksb\" index=0x10\n",
       PageBytes(110, 1,
                 {Rec(5, 1).S("sub.ksb").I(16).S("r").E(T).I(2).E(Ex("1")).E(Ex("\"a\""))})});
  c.push_back({"strings with escapes and CP932",
               "Label name=\"a\\\\b\\\"c\\r\\n\\t\\x81\\x40あ\"\n",
               PageBytes(110, 1, {Rec(3, 1).S("a\\b\"c\r\n\t\x81\x40\x82\xa0")})});
  c.push_back(
      {"VarNew names", "VarNew name=\"i\" type=float init={0} scope=status\nVarNew name=\"j\"\n",
       PageBytes(
           110, 1,
           {Rec(15, 1).S("i").B(2).E(Ex("0")).B(3), Rec(15, 2).S("j").B(1).E(Empty()).B(0)})});
  c.push_back(
      {"loops resolve exit, head and targets",
       "WhileInit init={i = 0}\n"
       "While cond={i < 3} exit=auto\n"
       "  If cond={i == 1}\n"
       "    Continue\n"
       "  Break target=auto\n"
       "WhileLoop step={i = i + 1}\n"
       "Terminate\n",
       PageBytes(110, 1,
                 {Rec(32, 1).E(Ex("i = 0")), Rec(31, 2).E(Ex("i < 3")).I(6),
                  Rec(0, 3, 1).E(Ex("i == 1")), Rec(35, 4, 2).E(T).I(5), Rec(34, 5, 1).E(T).I(6),
                  Rec(33, 6).E(Ex("i = i + 1")).I(1), Rec(45, 7)})});
  c.push_back({"nested loops use the innermost",
               "While\n  While\n    Break\n  WhileLoop\nWhileLoop\n",
               PageBytes(110, 1,
                         {Rec(31, 1).E(T).I(5), Rec(31, 2, 1).E(T).I(4), Rec(34, 3, 2).E(T).I(4),
                          Rec(33, 4, 1).E(Empty()).I(1), Rec(33, 5).E(Empty()).I(0)})});
  c.push_back({"labels of the page itself", "Jump index=:end\nLabel name=\"end\"\n",
               PageBytes(110, 1, {Rec(4, 1).S("main.ksb").I(1).E(T), Rec(3, 2).S("end")})});
  c.push_back(
      {"version 106 leaves out the block expressions",
       ".ksb version=106\nWait time={10}\nMovieStop\n",
       PageBytes(106, 1,
                 {Rec(7, 2).E(Empty()).E(Ex("10")), Rec(21, 3).E(Empty()).E(Empty()).E(Empty())})});
  c.push_back({"version 107 stores them", ".ksb version=107\nWait block={1}\n",
               PageBytes(107, 1, {Rec(7, 2).E(Empty()).E(Empty()).E(Ex("1"))})});
  c.push_back({"GameSave position from 105 on", ".ksb version=104\nGameSave slot={1}\n",
               PageBytes(104, 1, {Rec(38, 2).E(Ex("1")).S("").E(Empty())})});
  c.push_back({"raw expression",
               "Calc expr=[00000000]\nCalc expr=[" + authoring::HexOf(Ex("a = b * 2")) + "]\n",
               PageBytes(110, 1, {Rec(14, 1).E(Empty()), Rec(14, 2).E(Ex("a = b * 2"))})});
  c.push_back(
      {"TextIns as hex", "TextIns hex=\"01ff\" box={\"m\"}\n",
       PageBytes(110, 1,
                 {Rec(20, 1).I(2).B(1).B(0xff).E(Ex("\"m\"")).E(Empty()).E(Empty()).E(Empty())})});
  // Implicit property table: the union of what each command of a code names.
  c.push_back({"property table from the names",
               "BoxNew p0={1} p9={2}\nBoxNew p3={3}\nSaveCabinet p161={} invert={1}\n",
               PageBytes(110, 1,
                         {Rec(8, 1).E(Ex("1")).E(Empty()).E(Ex("2")),
                          Rec(8, 2).E(Empty()).E(Ex("3")).E(Empty()),
                          Rec(59, 3).E(Empty()).E(Ex("1")).I(0)},
                         {{8, {0x09, 0x02}},
                          {59, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}}})});
  c.push_back({"a component without properties is the base part only", "Timer\n",
               PageBytes(110, 1, {Rec(11, 1)})});
  return c;
}

TEST(PageCompile, SourcesGiveTheExpectedBytes) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.what);
    Bytes got;
    ASSERT_NO_THROW(got = Compile(c.source)) << c.source;
    EXPECT_EQ(got, c.expected) << c.source;
  }
}

TEST(PageCompile, ExplicitTableShapes) {
  // 2 records of 3 bytes: record 1 has bit 1, so Elseif-code commands would... only component
  // codes use it; BoxNew (8) is beyond the table, so it carries nothing.
  const std::string src =
      ".table count=70 size=3\n.table record=8 hex=\"02\"\n.table record=69 hex=\"ffff01\"\n"
      "BoxNew p1={5}\nBoxNew\n";
  ByteWriter w;
  w.I32(110);
  w.U8(1);
  w.U32(70);
  w.U32(3);
  for (int i = 0; i < 70; ++i) {
    if (i == 8)
      w.Raw(Bytes{2, 0, 0});
    else if (i == 69)
      w.Raw(Bytes{0xff, 0xff, 1});
    else
      w.Raw(Bytes{0, 0, 0});
  }
  w.U32(2);
  w.Raw(Rec(8, 4).E(Ex("5")).w.Data());
  w.Raw(Rec(8, 5).E(Empty()).w.Data());
  EXPECT_EQ(Compile(src), w.Data());
}

TEST(PageCompile, LabelsAcrossPagesOfOneBuild) {
  authoring::PageCompiler pc;
  pc.Add("Jump page=\"b.ksb\" index=:there\nCall page=\"b.ksb\" index=:\"two words\"\n", "a.ksb",
         "a.kss");
  pc.Add("Calc\nLabel name=\"two words\"\nLabel name=\"there\"\n", "b.ksb", "b.kss");
  auto pages = pc.Finish();
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0]->At(0).IntField(1), 2);
  EXPECT_EQ(pages[0]->At(1).IntField(1), 1);
}

struct ErrorCase {
  std::string source;
  int line;
  const char* message;
};

TEST(PageCompile, ErrorsNameFileAndLine) {
  const std::vector<ErrorCase> cases = {
      {"Calc\nFrobnicate\n", 2, "unknown command 'Frobnicate'"},
      {"Calc exp={1}\n", 1, "unknown key 'exp' for Calc"},
      {"Calc expr={1} expr={2}\n", 1, "duplicate key 'expr'"},
      {".ksb version=106\n\nWait block={1}\n", 3, "'block' is stored only from version 107"},
      {"If\n", 1, "If needs cond"},
      {"Elseif cond=\n", 1, "expression {...} or a raw block"},
      {"TextIns text=<<END\n", 1, "text=<<END markup is not available yet"},
      {"TextIns text=\"x\"\n", 1, "hex="},
      {"Calc\n   Calc\n", 2, "two spaces per level"},
      {"\tCalc\n", 1, "not tabs"},
      {"Calc expr=[0100]\n", 1, "raw expression is not a valid stored block"},
      {"Calc expr=[zz]\n", 1, "not a hex digit"},
      {"Label name=\"abc\n", 1, "unterminated string"},
      {"Label name=\"\\q\"\n", 1, "unknown escape"},
      {"Calc expr={a = (1}\n", 1, "expression {a = (1}"},
      {"Calc expr={a = 1\n", 1, "'}' is missing"},
      {"Jump index=:nowhere\n", 1, "has no label \"nowhere\""},
      {"Jump page=\"x.ksb\" index=:l\n", 1, "not part of this build"},
      {"Calc\nBreak\n", 2, "outside a While loop"},
      {"While\n  Calc\nCalc\n", 1, "While without a WhileLoop"},
      {"WhileLoop\n", 1, "WhileLoop without a While"},
      {"Calc || code=0x8f\n", 1, "does not select Calc"},
      {"Calc || frob\n", 1, "unknown option 'frob'"},
      {"Calc || off off\n", 1, "duplicate option"},
      {"Calc\n.ksb version=110\n", 2, ".ksb must be the first line"},
      {".ksb version=102\n", 1, "version must be an integer from 103 to 110"},
      {".ksb return=pointer\n", 1, "return takes"},
      {".table count=61 size=21\nBoxNew p3={1}\n", 2, "has no bit in the page's .table"},
      {".table record=1 hex=\"00\"\n", 1, "must come before the records"},
      {"# big\n.table count=65536 size=65536\n", 2, "the table is too large"},
      {"BoxNew p162={1}\n", 1, "unknown key 'p162'"},
      {"Calc p1={1}\n", 1, "unknown key 'p1'"},
      {"VarNew type=pointer\n", 1, "type takes"},
      {"Wait time={1} garbage\n", 1, "key=value expected"},
      {"calc\n", 1, "is written Calc"},
      {"Jump index=99999999999\n", 1, "index must be an integer"},
      {"Label name=\"\\xzz\"\n", 1, "\\x takes two hex digits"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.source);
    try {
      Compile(c.source);
      ADD_FAILURE() << "compiled";
    } catch (const authoring::SourceError& e) {
      EXPECT_EQ(e.File(), "t.kss");
      EXPECT_EQ(e.Line(), c.line) << e.what();
      EXPECT_NE(e.What().find(c.message), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).rfind("t.kss:" + std::to_string(c.line) + ": ", 0), 0u);
    }
  }
}

TEST(PageCompile, CompiledPageLoadsAndReadsTheSameFields) {
  auto page = CompilePageSource(
      "VarNew name=\"i\" type=int init={0} scope=global\nWait time={1000} || yield\n", "p.ksb",
      "p.kss");
  const Bytes bytes = page->Save();
  TPage loaded("p.ksb");
  loaded.Load(bytes);
  ASSERT_EQ(loaded.Count(), 2);
  EXPECT_EQ(loaded.At(0).StrField(0), "i");
  EXPECT_EQ(loaded.At(1).runOn, 0);
  EXPECT_EQ(loaded.At(1).line, 2);
  EXPECT_EQ(loaded.Save(), bytes);
}

}  // namespace
}  // namespace kova::test

namespace kova::test {
namespace {

TEST(PageCompile, RegisteredPropertyNamesAreKeys) {
  // The property catalogue fills this table; "p<code>" stays valid beside the names.
  authoring::PropertyKeys::Instance().Register("testwidth", 120);
  const Bytes a = Compile("BoxNew testwidth={5}\n");
  const Bytes b = Compile("BoxNew p120={5}\n");
  EXPECT_EQ(a, b);
  EXPECT_THROW(Compile("BoxNew testwidth={5} p120={6}\n"), authoring::SourceError);
  TPage page("main.ksb");
  page.Load(a);
  EXPECT_NE(authoring::DecompilePage(page).find("BoxNew testwidth={5}"), std::string::npos);
}

}  // namespace
}  // namespace kova::test
