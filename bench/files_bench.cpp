// File lookups through the file manager: a title folder of 20,000 loose files and an archive of
// 20,000 entries. "Cold" rebuilds the manager (and so its folder listings and cache) for each
// batch; "warm" reuses it.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/discs.h"
#include "platform/scripted_prompt.h"
#include "vfs/file_manager.h"

namespace kova {
namespace {

namespace fs = std::filesystem;
constexpr int kFiles = 20000;

std::string NameOf(int i) {
  return "cg\\set" + std::to_string(i % 20) + "\\ev" + std::to_string(i) + ".txt";
}

struct Setup {
  fs::path dir;
  Setup() {
    std::string tmpl = (fs::temp_directory_path() / "kova-bench-XXXXXX").string();
    dir = mkdtemp(tmpl.data());
    TVrFileCollection c;
    for (int i = 0; i < kFiles; ++i) {
      std::string rel = NameOf(i);
      std::string content = "content of file " + std::to_string(i) + std::string(200, 'x');
      fs::path p =
          dir / "loose" / ("CG/Set" + std::to_string(i % 20) + "/EV" + std::to_string(i) + ".TXT");
      fs::create_directories(p.parent_path());
      std::ofstream(p) << content;
      c.AddMemoryEntry(rel).data->Write(content.data(), content.size());
    }
    TNxBigFileStream s(dir / "game.dat", TNxBigFileStream::Mode::kCreate);
    c.SaveArchive(s);
  }
  ~Setup() { fs::remove_all(dir); }
};

Setup& Fixture() {
  static Setup s;
  return s;
}

std::unique_ptr<TVrFileManager> Manager(bool loose, ScriptedPrompt& prompt, MountedDiscs& discs) {
  auto m = std::make_unique<TVrFileManager>(prompt, discs);
  m->AddArchive("");
  if (loose)
    m->SetBaseFolder(Fixture().dir / "loose");
  else
    m->AddArchive(Fixture().dir / "game.dat");
  return m;
}

template <bool kLoose, bool kLoad, bool kWarm>
void BM_Files(benchmark::State& state) {
  ScriptedPrompt prompt;
  MountedDiscs discs({}, "/nonexistent");
  auto m = Manager(kLoose, prompt, discs);
  int i = 0;
  TNxBigMemoryStream out;
  for (auto _ : state) {
    if (!kWarm && i % 1000 == 0) {
      state.PauseTiming();
      m = Manager(kLoose, prompt, discs);
      state.ResumeTiming();
    }
    const std::string name = NameOf((i * 7919) % kFiles);
    if (kLoad)
      m->LoadToStream(out, name);
    else
      benchmark::DoNotOptimize(m->Exists(name));
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_Files<true, false, true>)->Name("Exists/loose/warm");
BENCHMARK(BM_Files<true, false, false>)->Name("Exists/loose/cold");
BENCHMARK(BM_Files<false, false, true>)->Name("Exists/archive/warm");
BENCHMARK(BM_Files<false, false, false>)->Name("Exists/archive/cold");
BENCHMARK(BM_Files<true, true, true>)->Name("LoadToStream/loose/warm");
BENCHMARK(BM_Files<true, true, false>)->Name("LoadToStream/loose/cold");
BENCHMARK(BM_Files<false, true, true>)->Name("LoadToStream/archive/warm");
BENCHMARK(BM_Files<false, true, false>)->Name("LoadToStream/archive/cold");

}  // namespace
}  // namespace kova
