// Interpreter throughput: a loop of Calc commands, and a script that mostly calls pages.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/discs.h"
#include "platform/scripted_prompt.h"
#include "script/callman.h"
#include "script/project.h"
#include "vfs/file_manager.h"

namespace kova {
namespace {

namespace fs = std::filesystem;

PageExpr X(const std::string& text) {
  TBuildKovaParser b;
  b.Compile(text);
  PageExpr e;
  e.stored = b.Save();
  e.parser = std::make_shared<TKovaParser>();
  e.parser->Load(e.stored);
  return e;
}

struct Runner {
  fs::path dir;
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
  Trace trace;
  std::unique_ptr<TCallMan> cm;

  Runner() {
    std::string tmpl = (fs::temp_directory_path() / "kova-bench-XXXXXX").string();
    dir = mkdtemp(tmpl.data());
    files.AddArchive("");
    files.SetBaseFolder(dir);
    vars.NewVariable("a", 1, 0);
    vars.NewVariable("b", 1, 0);
    vars.NewVariable("c", 1, 0);
  }
  ~Runner() { fs::remove_all(dir); }

  void Add(TPage& page, const char* mnemonic, std::vector<FieldValue> fields, uint8_t runOn = 1) {
    const CommandInfo* info = CommandByName(mnemonic);
    auto c = CommandFactory::Instance().Make(info->code, page);
    c->codeByte = info->code;
    c->runOn = runOn;
    c->fields = std::move(fields);
    page.Add(std::move(c));
  }
  void Save(TPage& page) {
    page.StoreTable();
    const Bytes b = page.Save();
    WriteFileAtomic(dir / page.Name(), b);
  }
  void Start() {
    cm = std::make_unique<TCallMan>(
        TCallMan::Host{vars, funcs, files, events, scene, clock, disc, pending, trace});
    sysVars.Attach(cm.get(), nullptr);
    cm->Restart("main.ksb");
  }
};

// 1000 Calc commands, then a jump back to the start; each frame runs one lap.
void BM_CalcLoop(benchmark::State& state) {
  Runner r;
  TPage main("main.ksb");
  for (int i = 0; i < 1000; ++i)
    r.Add(main, "Calc", {X("a = a + b * 2 - c")});
  r.Add(main, "DoEvent", {});
  r.Add(main, "Jump", {std::string("main.ksb"), int32_t{0}, X("TRUE")});
  r.Save(main);
  r.Start();
  for (auto _ : state)
    r.cm->Run();
  state.SetItemsProcessed(state.iterations() * 1002);
  state.counters["commands/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * 1002,
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CalcLoop);

// 500 calls of a three-command page per lap.
void BM_CallHeavy(benchmark::State& state) {
  Runner r;
  TPage main("main.ksb");
  for (int i = 0; i < 500; ++i)
    r.Add(main, "Call",
          {std::string("sub.ksb"), int32_t{0}, std::string("c"), X("TRUE"),
           std::vector<PageExpr>{X("a"), X("\"x\"")}});
  r.Add(main, "DoEvent", {});
  r.Add(main, "Jump", {std::string("main.ksb"), int32_t{0}, X("TRUE")});
  r.Save(main);
  TPage sub("sub.ksb");
  r.Add(sub, "Calc", {X("a = a + 1")});
  r.Add(sub, "Calc", {X("@Result = a")});
  r.Add(sub, "Exit", {X("TRUE")});
  r.Save(sub);
  r.Start();
  for (auto _ : state)
    r.cm->Run();
  // Each call runs the Call and the three commands of the page.
  state.counters["commands/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * 2002,
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CallHeavy);

}  // namespace
}  // namespace kova
