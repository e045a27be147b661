#include <gtest/gtest.h>

#include "app/player.h"
#include "platform/discs.h"
#include "platform/scripted_prompt.h"
#include "script/callman.h"
#include "script/page_builder.h"
#include "script/project.h"

namespace kova {
namespace {

using test::B;
using test::E;
using test::I;
using test::L;
using test::PageBuilder;
using test::S;

// A title folder with an interpreter over it, run frame by frame as the shell does.
struct Title {
  test::TempDir dir;
  ScriptedPrompt prompt;
  MountedDiscs discs{{}, "/nonexistent"};
  TVrFileManager files{prompt, discs};
  ShellClock clock;
  ScriptSysVars sysVars{clock, 36526};
  TParamCollection vars{&sysVars};
  TSysFuncMan funcs;
  SimpleEventQueue events;
  SceneLink scene;
  TitleDiscInfo disc;
  PendingRequests pending;
  std::string traceText;
  std::FILE* traceFile = nullptr;
  Trace trace;
  std::unique_ptr<TCallMan> cm;

  Title() : traceFile(std::tmpfile()), trace(traceFile) {
    files.AddArchive("");
    files.SetBaseFolder(dir.Path());
  }
  ~Title() { std::fclose(traceFile); }
  void Page(const std::string& name, PageBuilder& b) { dir.Write(name, b.Build()); }
  void Start(const std::string& page) {
    cm = std::make_unique<TCallMan>(
        TCallMan::Host{vars, funcs, files, events, scene, clock, disc, pending, trace});
    sysVars.Attach(cm.get(), nullptr);
    cm->Restart(page);
  }
  void Frame(int32_t step = 16) {
    clock.frameDelta = step;
    clock.gameClock += step;
    ++clock.frameCount;
    cm->Run();
  }
  int FramesUntilTerminate(int limit) {
    for (int f = 1; f <= limit; ++f) {
      Frame();
      if (clock.terminating) return f;
    }
    return -1;
  }
  int32_t Int(const char* name) { return vars.FindItem(name)->Value().AsInt(); }
  std::string Str(const char* name) { return vars.FindItem(name)->Value().AsStr(); }
  std::string TraceText() {
    std::fflush(traceFile);
    std::rewind(traceFile);
    std::string s;
    char buf[512];
    while (size_t n = std::fread(buf, 1, sizeof buf, traceFile))
      s.append(buf, n);
    return s;
  }
};

PageBuilder& Var(PageBuilder& b, const char* name, const char* init, int type = 1, int scope = 0) {
  return b.Add("VarNew",
               {S(name), B(static_cast<uint8_t>(type)), E(init), B(static_cast<uint8_t>(scope))});
}

TEST(Interpreter, LoopsRunWithinOneFrame) {
  Title t;
  PageBuilder p("main.ksb");
  Var(p, "total", "0");
  Var(p, "i", "0");
  p.Add("WhileInit", {E("i = 0")})               // 2
      .Add("While", {E("i < 3"), I(6)})          // 3
      .Add("Calc", {E("total = total + i")}, 1)  // 4
      .Add("WhileLoop", {E("i = i + 1"), I(3)})  // 5
      .Add("Terminate", {});                     // 6
  t.Page("main.ksb", p);
  t.Start("main.ksb");
  EXPECT_EQ(t.FramesUntilTerminate(5), 1);
  EXPECT_EQ(t.Int("total"), 3);
}

TEST(Interpreter, WaitOf1000At16MsEndsAfter63Frames) {
  Title t;
  PageBuilder p("main.ksb");
  Var(p, "f", "0");
  p.Add("Wait", {E(""), E("1000"), E("")})
      .Add("Calc", {E("f = @UpdateCount")})
      .Add("Terminate", {});
  t.Page("main.ksb", p);
  t.Start("main.ksb");
  EXPECT_EQ(t.FramesUntilTerminate(200), 64);
  EXPECT_EQ(t.Int("f"), 64);
}

TEST(Interpreter, IfElseifElseChains) {
  struct Case {
    int x;
    const char* want;
  } cases[] = {{1, "a"}, {2, "b"}, {3, "c"}, {4, "d"}};
  for (const auto& c : cases) {
    Title t;
    PageBuilder p("main.ksb");
    Var(p, "x", std::to_string(c.x).c_str());
    Var(p, "r", "\"\"", 4);
    p.Add("If", {E("x == 1")})
        .Add("Calc", {E("r = \"a\"")}, 1)
        .Add("Elseif", {E("x == 2")})
        .Add("Calc", {E("r = \"b\"")}, 1)
        .Add("Elseif", {E("x == 3")})
        .Add("Calc", {E("r = \"c\"")}, 1)
        .Add("Else", {})
        .Add("Calc", {E("r = \"d\"")}, 1)
        .Add("Calc", {E("r = r ++ \"!\"")})
        .Add("Terminate", {});
    t.Page("main.ksb", p);
    t.Start("main.ksb");
    t.FramesUntilTerminate(3);
    EXPECT_EQ(t.Str("r"), std::string(c.want) + "!") << c.x;
  }
}

TEST(Interpreter, CallPassesArgumentsAndReturnsAResult) {
  Title t;
  PageBuilder main("main.ksb");
  Var(main, "r", "\"\"", 4);
  main.Add("Call", {S("sub.ksb"), I(0), S("r"), E("TRUE"), L({"1", "\"abc\""})})
      .Add("Terminate", {});
  PageBuilder sub("sub.ksb");
  sub.Add("Calc", {E("@Result = @ParamStr[0] ++ @ParamStr[1] ++ @ParamCount ++ @StackCount")});
  sub.Page().SetReturnType(4);
  t.Page("main.ksb", main);
  t.Page("sub.ksb", sub);
  t.Start("main.ksb");
  EXPECT_EQ(t.FramesUntilTerminate(3), 1);
  EXPECT_EQ(t.Str("r"), "1abc21");
  EXPECT_EQ(t.cm->Depth(), 0u);
}

TEST(Interpreter, JumpToALabelOfAnotherPage) {
  Title t;
  PageBuilder main("main.ksb");
  Var(main, "v", "0");
  main.Add("Jump", {S("other.ksb"), I(2), E("TRUE")}).Add("Calc", {E("v = 99")});
  PageBuilder other("other.ksb");
  other.Add("Calc", {E("v = 1")})
      .Add("Label", {S("here")})
      .Add("Calc", {E("v = v + 10")})
      .Add("Terminate", {});
  t.Page("main.ksb", main);
  t.Page("other.ksb", other);
  t.Start("main.ksb");
  t.FramesUntilTerminate(3);
  EXPECT_EQ(t.Int("v"), 10);
  EXPECT_EQ(other.Page().FindLabel("here"), 1);
}

TEST(Interpreter, FalseOrEmptyConditionsDoNotJump) {
  Title t;
  PageBuilder main("main.ksb");
  Var(main, "v", "0");
  main.Add("Jump", {S("main.ksb"), I(0), E("")})  // empty: no jump
      .Add("Jump", {S("main.ksb"), I(0), E("FALSE")})
      .Add("Jump", {S("missing.ksb"), I(0), E("TRUE")})  // no such page: skipped
      .Add("Exit", {E("")})
      .Add("Calc", {E("v = 5")})
      .Add("Exit", {E("TRUE")})
      .Add("Calc", {E("v = 6")});
  t.Page("main.ksb", main);
  t.Start("main.ksb");
  t.Frame();
  t.Frame();
  EXPECT_EQ(t.Int("v"), 5);
}

TEST(Interpreter, RunOnZeroYieldsAndAStayingCommandEndsTheFrame) {
  Title t;
  PageBuilder main("main.ksb");
  Var(main, "n", "0");
  main.Add("Calc", {E("n = n + 1")}, 0, 0)  // yields after it
      .Add("Calc", {E("n = n + 1")})
      .Add("Wait", {E("TRUE"), E(""), E("")}, 0, 1);  // waits for ever, RunOn 1 in the file
  t.Page("main.ksb", main);
  t.Start("main.ksb");
  t.Frame();
  EXPECT_EQ(t.Int("n"), 1);
  t.Frame();
  EXPECT_EQ(t.Int("n"), 2);
  for (int i = 0; i < 5; ++i)
    t.Frame();  // never spins inside one frame
  EXPECT_EQ(t.cm->CommandIndex(), 3);
}

TEST(Interpreter, EventsNestAndReturn) {
  Title t;
  PageBuilder main("main.ksb");
  Var(main, "log", "\"\"", 4);
  main.Add("Calc", {E("log = log ++ \"m\"")}).Add("Wait", {E("TRUE"), E(""), E("")});
  PageBuilder handler("h.ksb");
  handler.Add("Calc", {E("log = log ++ \"h\" ++ @ParamStr[0]")})
      .Add("Label", {S("second")})
      .Add("Calc", {E("log = log ++ \"2\"")});
  t.Page("main.ksb", main);
  t.Page("h.ksb", handler);
  t.Start("main.ksb");
  t.Frame();
  EXPECT_EQ(t.Str("log"), "m");
  t.events.Post({"h.kss", {"x"}, 0, 0});
  t.events.Post({"h.kss:second", {}, 0, 0});
  t.Frame();
  // Both handlers run between main-script commands in the same frame; the first one's
  // record is removed when it returns.
  EXPECT_EQ(t.Str("log"), "mhx22");
  EXPECT_EQ(t.events.Size(), 0u);
  EXPECT_EQ(t.cm->RunState(), TCallMan::kMain);
}

TEST(Interpreter, AHandlerThatCannotRunIsDropped) {
  Title t;
  PageBuilder main("main.ksb");
  Var(main, "n", "0");
  main.Add("Calc", {E("n = n + 1")}).Add("Wait", {E("TRUE"), E(""), E("")});
  PageBuilder h("good.ksb");
  h.Add("Calc", {E("n = n + 100")});
  t.Page("main.ksb", main);
  t.Page("good.ksb", h);
  t.dir.Write("bad.ksb", "\x6e\x00\x00");  // damaged
  t.Start("main.ksb");
  t.events.Post({"gone.kss", {}, 0, 0});
  t.events.Post({"bad.kss", {}, 0, 0});
  t.events.Post({"good.kss", {}, 0, 0});
  t.Frame();
  t.Frame();
  EXPECT_EQ(t.Int("n"), 101);
  EXPECT_NE(t.TraceText().find("event dropped"), std::string::npos);
}

TEST(Interpreter, ErrorsAreTracedAndSkipped) {
  Title t;
  PageBuilder main("main.ksb");
  Var(main, "n", "0");
  main.Add("VarNew", {S(""), B(1), E("0"), B(0)})  // "変数名がありません" after advancing
      .Add("Calc", {E("n = 7")})
      .Add("Terminate", {});
  t.Page("main.ksb", main);
  t.Start("main.ksb");
  EXPECT_EQ(t.FramesUntilTerminate(2), 1);
  EXPECT_EQ(t.Int("n"), 7);
  const std::string trace = t.TraceText();
  EXPECT_NE(trace.find("00000010 : main.ksb(1)"), std::string::npos) << trace;
  EXPECT_NE(trace.find("ERROR main.ksb(2): 変数名がありません"), std::string::npos) << trace;
}

TEST(Interpreter, VarNewKeepsStatusVariablesAndReassignsGlobals) {
  Title t;
  auto& st = t.vars.NewVariable("kept", 1, 3);
  st.Value().SetInt(42);
  auto& gl = t.vars.NewVariable("again", 1, 0);
  gl.Value().SetInt(42);
  PageBuilder main("main.ksb");
  Var(main, "kept", "1", 1, 3);
  Var(main, "again", "1", 1, 0);
  main.Add("Terminate", {});
  t.Page("main.ksb", main);
  t.Start("main.ksb");
  t.FramesUntilTerminate(2);
  EXPECT_EQ(t.Int("kept"), 42);
  EXPECT_EQ(t.Int("again"), 1);
}

TEST(Interpreter, PageCacheKeepsTenMostRecent) {
  Title t;
  PageBuilder main("main.ksb");
  for (int i = 0; i < 11; ++i) {
    PageBuilder p("p" + std::to_string(i) + ".ksb");
    p.Add("Calc", {E("")});
    t.Page("p" + std::to_string(i) + ".ksb", p);
    main.Add("Call", {S("p" + std::to_string(i) + ".ksb"), I(0), S(""), E("TRUE"), L({})});
  }
  main.Add("Terminate", {});
  t.Page("main.ksb", main);
  t.Start("main.ksb");
  t.FramesUntilTerminate(2);
  EXPECT_EQ(t.cm->Pages().size(), 10u);
  EXPECT_EQ(t.cm->Pages().front()->Name(), "main.ksb");  // the current page stays
}

TEST(Interpreter, GameSaveAndLoadRequestsWaitForTheFrameEnd) {
  Title t;
  PageBuilder main("main.ksb");
  main.Add("GameSave", {E("3"), S("resume.ksb"), I(5), E("\"caption\"")})
      .Add("GameLoad", {E("2")})
      .Add("Terminate", {});
  t.Page("main.ksb", main);
  t.Start("main.ksb");
  t.Frame();
  EXPECT_EQ(t.pending.save, 3);
  EXPECT_EQ(t.pending.savePage, "resume.ksb");
  EXPECT_EQ(t.pending.savePosition, 5);
  EXPECT_EQ(t.pending.saveCaption, "caption");
  EXPECT_EQ(t.pending.load, -1);  // GameSave ends the frame's run
  t.Frame();
  EXPECT_EQ(t.pending.load, 2);
}

TEST(HandlerName, SplitsLabelAndReplacesTheExtension) {
  struct Case {
    const char* in;
    const char* page;
    const char* label;
  } cases[] = {
      {"ev.kss", "ev.ksb", ""},
      {"ev.kss:top", "ev.ksb", "top"},
      {"sub\\ev.k:x", "sub\\ev.ksb", "x"},
      {"noext", "noext.ksb", ""},
      {"noext:lab", "noext.ksb", "lab"},
      {"a:b\\c.kss", "a:b\\c.ksb", ""},  // a colon before the last separator is no label
  };
  for (const auto& c : cases) {
    auto n = SplitHandlerName(c.in);
    EXPECT_EQ(n.page, c.page) << c.in;
    EXPECT_EQ(n.label, c.label) << c.in;
  }
}

}  // namespace
}  // namespace kova

namespace kova {
namespace {

TEST(Interpreter, RunawayScriptsAreCutShort) {
  Title t;
  PageBuilder main("main.ksb");
  Var(main, "n", "0");
  main.Add("Label", {S("top")})
      .Add("Calc", {E("n = n + 1")})
      .Add("Jump", {S("main.ksb"), I(1), E("TRUE")});
  t.Page("main.ksb", main);
  t.Start("main.ksb");
  t.cm->SetFrameBudget(3000);
  t.Frame();
  EXPECT_NE(t.TraceText().find("more than 3000 commands in one frame"), std::string::npos);
  const int32_t afterOne = t.Int("n");
  EXPECT_GT(afterOne, 900);
  t.Frame();  // the next frame goes on
  EXPECT_GT(t.Int("n"), afterOne);
}

TEST(Interpreter, EndlessRecursionStopsAtTheDepthLimit) {
  Title t;
  PageBuilder main("main.ksb");
  Var(main, "n", "0");
  main.Add("Calc", {E("n = n + 1")}).Add("Call", {S("main.ksb"), I(1), S(""), E("TRUE"), L({})});
  t.Page("main.ksb", main);
  t.Start("main.ksb");
  t.Frame();
  // The call that would pass the limit is skipped, and the calls unwind one by one.
  EXPECT_NE(t.TraceText().find("call depth above 10000"), std::string::npos);
  EXPECT_EQ(t.cm->Depth(), 0u);
  EXPECT_EQ(t.Int("n"), 10001);  // the first run and one per call
}

TEST(Interpreter, ResetAndPCResetRestart) {
  Title t;
  PageBuilder main("main.ksb");
  Var(main, "g", "5");
  main.Add("Reset", {S("second.ksb"), I(1), B(0)});
  PageBuilder second("second.ksb");
  Var(second, "seen", "0");
  second.Add("Calc", {E("seen = 1")}).Add("Terminate", {});
  t.Page("main.ksb", main);
  t.Page("second.ksb", second);
  t.Start("main.ksb");
  t.FramesUntilTerminate(3);
  EXPECT_EQ(t.vars.FindItem("g"), nullptr);     // game variables cleared
  EXPECT_EQ(t.vars.FindItem("seen"), nullptr);  // index 1 skipped its VarNew
}

TEST(Interpreter, PCResetInsideAHandlerRewritesTheInterruptedPosition) {
  Title t;
  PageBuilder main("main.ksb");
  Var(main, "log", "\"\"", 4);
  main.Add("Wait", {E("TRUE"), E(""), E("")});
  PageBuilder h("h.ksb");
  h.Add("PCReset", {S("after.ksb"), I(0), B(0)}).Add("Calc", {E("log = log ++ \"h\"")});
  PageBuilder after("after.ksb");
  after.Add("Calc", {E("log = log ++ \"a\"")}).Add("Terminate", {});
  t.Page("main.ksb", main);
  t.Page("h.ksb", h);
  t.Page("after.ksb", after);
  t.Start("main.ksb");
  t.Frame();
  t.events.Post({"h.kss", {}, 0, 0});
  t.FramesUntilTerminate(3);
  // The handler finishes, then returns to the reset target instead of the Wait.
  EXPECT_EQ(t.Str("log"), "ha");
}

}  // namespace
}  // namespace kova

namespace kova {
namespace {

TEST(Interpreter, AHandlerThatWaitsLetsLaterEventsNestInsideIt) {
  Title t;
  PageBuilder main("main.ksb");
  Var(main, "log", "\"\"", 4);
  main.Add("Wait", {E("TRUE"), E(""), E("")}).Add("Calc", {E("log = log ++ \"M\"")});
  PageBuilder outer("outer.ksb");
  outer.Add("Calc", {E("log = log ++ \"o\"")})
      .Add("Wait", {E(""), E("32"), E("")})
      .Add("Calc", {E("log = log ++ \"O\" ++ @StackCount")});
  PageBuilder inner("inner.ksb");
  inner.Add("Calc", {E("log = log ++ \"i\" ++ @StackCount")});
  t.Page("main.ksb", main);
  t.Page("outer.ksb", outer);
  t.Page("inner.ksb", inner);
  t.Start("main.ksb");
  t.Frame();
  t.events.Post({"outer.kss", {}, 0, 0});
  t.Frame();  // outer starts and waits: the frame ends inside the handler
  EXPECT_EQ(t.Str("log"), "o");
  EXPECT_EQ(t.cm->RunState(), TCallMan::kDispatch);
  t.events.Post({"inner.kss", {}, 0, 0});
  t.Frame();  // inner runs nested on top of the waiting outer handler
  EXPECT_EQ(t.Str("log"), "oi2");
  for (int i = 0; i < 4; ++i) t.Frame();
  EXPECT_EQ(t.Str("log"), "oi2O1");  // outer resumed and returned; main keeps waiting
  EXPECT_EQ(t.cm->RunState(), TCallMan::kMain);
  EXPECT_EQ(t.events.Size(), 0u);
}

}  // namespace
}  // namespace kova
