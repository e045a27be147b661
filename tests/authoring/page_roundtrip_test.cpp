#include <gtest/gtest.h>

#include "authoring/page_decompile.h"
#include "authoring/page_source.h"
#include "page_util.h"
#include "random_page.h"

namespace kova::test {
namespace {

// compile(decompile(bytes)) == bytes, for a page the loader accepts.
void ExpectRoundTrip(const Bytes& bytes, const std::string& name = "r.ksb") {
  TPage page(name);
  page.Load(bytes);
  ASSERT_EQ(page.Save(), bytes);
  const std::string source = authoring::DecompilePage(page);
  Bytes again;
  try {
    again = authoring::CompilePageSource(source, name, "r.kss")->Save();
  } catch (const Error& e) {
    FAIL() << e.what() << "\n" << source;
  }
  ASSERT_EQ(again, bytes) << source;
  // The canonical source is a fixed point.
  TPage reloaded(name);
  reloaded.Load(again);
  EXPECT_EQ(authoring::DecompilePage(reloaded), source);
}

const char* const kFixtures[] = {
    // The example, with loops, labels and options.
    ".ksb version=110 return=int\n"
    "VarNew name=\"i\" type=int init={0} scope=global\n"
    "WhileInit init={i = 0}\n"
    "While cond={i < 3} exit=auto\n"
    "  Calc expr={total = total + i}\n"
    "WhileLoop step={i = i + 1} head=auto\n"
    "Label name=\"top\"\n"
    "If cond={total == 3}\n"
    "  Jump index=:top\n"
    "Wait time={1000} || yield\n"
    "Terminate\n",
    // Component commands, lists, text blocks and a page of an old version.
    ".ksb version=103 return=str\n"
    "BoxNew p0={1} p5={\"x\"}\n"
    "BoxNew p161={2}\n"
    "Flip type={1} objs=({\"a\"}, {\"b\"}) || code=0x8d\n"
    "TextIns hex=\"00010203\" box={\"msg\"}\n"
    "# comment between commands\n"
    "Call page=\"sub.ksb\" index=4 result=\"r\" args=({1}, {x + 1}) || off line=9\n"
    "LoadCabinet p3={} invert={TRUE} objs=({\"o\"})\n"
    "GameSave slot={1} page=\"p\" caption={\"c\"}\n"
    "PCReset page=\"a.ksb\" index=2 all=true\n",
};

TEST(PageRoundTrip, Fixtures) {
  for (const char* src : kFixtures) {
    SCOPED_TRACE(src);
    ExpectRoundTrip(authoring::CompilePageSource(src, "r.ksb", "f.kss")->Save());
  }
}

TEST(PageRoundTrip, RandomPages) {
  RandomPages gen(20261211);
  for (int i = 0; i < 600; ++i) {
    const Bytes page = gen.Page();
    SCOPED_TRACE("page " + std::to_string(i));
    ExpectRoundTrip(page);
    if (HasFatalFailure()) return;
  }
}

TEST(PageRoundTrip, EveryPrefixFailsCleanly) {
  const Bytes page = authoring::CompilePageSource(kFixtures[1], "r.ksb", "f.kss")->Save();
  for (size_t n = 0; n < page.size(); ++n) {
    TPage p("r.ksb");
    try {
      p.Load(std::span<const uint8_t>(page.data(), n));
      ADD_FAILURE() << "prefix of " << n << " bytes loaded";
    } catch (const FormatError& e) {
      EXPECT_EQ(e.File(), "r.ksb");
      EXPECT_LE(e.Offset(), n);
    }
  }
}

TEST(PageRoundTrip, CorruptPagesFailOrRoundTrip) {
  RandomPages gen(7);
  std::mt19937 rng(99);
  int loaded = 0, refused = 0;
  for (int i = 0; i < 400; ++i) {
    Bytes page = gen.Page();
    const int flips = 1 + static_cast<int>(rng() % 4);
    for (int k = 0; k < flips; ++k)
      page[rng() % page.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
    TPage p("c.ksb");
    try {
      p.Load(page);
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()), "");
      ++refused;
      continue;
    }
    if (p.Version() > TPage::kMaxVersion) continue;
    ++loaded;
    ExpectRoundTrip(page, "c.ksb");
    if (HasFatalFailure()) return;
  }
  // Both outcomes occur, so both paths were tried.
  EXPECT_GT(loaded, 0);
  EXPECT_GT(refused, 0);
}

TEST(PageRoundTrip, EmptyTableOfAnyRecordSize) {
  ByteWriter w;
  w.I32(103);
  w.U8(0);
  w.U32(0);           // no records...
  w.U32(0xFFFFFFF0);  // ...of a size no record could have
  w.U32(0);
  ExpectRoundTrip(w.Data());
}

TEST(PageRoundTrip, LoopTargetsThatNoLoopGives) {
  // A While with no WhileLoop to close it, whose exit is the lowest 32-bit number.
  const Bytes T = authoring::CompileExpressionText("TRUE");
  ExpectRoundTrip(PageBytes(110, 1,
                            {Rec(31, 1).E(T).I(INT32_MIN), Rec(34, 2).E(T).I(INT32_MIN),
                             Rec(33, 3, 1).E(Empty()).I(INT32_MIN)}));
}

TEST(PageRoundTrip, NewerPagesAreNotDecompiled) {
  ByteWriter w;
  w.I32(111);
  TPage p("n.ksb");
  p.Load(w.Data());
  EXPECT_THROW(authoring::DecompilePage(p), Error);
}

TEST(PageRoundTrip, SimpleExpressionsBecomeText) {
  for (const char* text :
       {"i < 3", "total = total + i", "(a + b) * c", "x[1] = 2", "s = \"q\\\"\" & t"}) {
    const Bytes stored = authoring::CompileExpressionText(text);
    const std::string src = authoring::ExpressionSource(stored);
    EXPECT_EQ(src.front(), '{') << text << " -> " << src;
  }
  EXPECT_EQ(authoring::ExpressionSource({0, 0, 0, 0}), "{}");
}

}  // namespace
}  // namespace kova::test
