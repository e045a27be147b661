// Page loading, compiling and decompiling for a page of 10,000 commands.
#include <benchmark/benchmark.h>

#include <string>

#include "authoring/page_decompile.h"
#include "authoring/page_source.h"
#include "script/page.h"

namespace {

// A typical mix: variables, calculations, conditions, loops, waits and component commands.
std::string LargeSource() {
  std::string s = ".ksb version=110 return=int\n";
  for (int i = 0; s.size() < 1 << 22; ++i) {
    if (i * 10 >= 10000) break;
    const std::string n = std::to_string(i);
    s += "VarNew name=\"v" + n + "\" type=int init={" + n + "} scope=auto\n";
    s += "Calc expr={v" + n + " = v" + n + " * 2 + total}\n";
    s += "If cond={v" + n + " > 100}\n";
    s += "  Calc expr={total = total + 1}\n";
    s += "WhileInit init={k = 0}\n";
    s += "While cond={k < 3}\n";
    s += "  Calc expr={k = k + 1}\n";
    s += "WhileLoop\n";
    s += "BoxNew p0={\"box" + n + "\"} p2={" + n + "} p3={10}\n";
    s += "Wait time={16} || yield\n";
  }
  return s;
}

const std::string& Source() {
  static const std::string s = LargeSource();
  return s;
}

const kova::Bytes& PageFile() {
  static const kova::Bytes b =
      kova::authoring::CompilePageSource(Source(), "big.ksb", "big.kss")->Save();
  return b;
}

void BM_PageLoad10000(benchmark::State& state) {
  const kova::Bytes& bytes = PageFile();
  for (auto _ : state) {
    kova::TPage page("big.ksb");
    page.Load(bytes);
    benchmark::DoNotOptimize(page.Count());
  }
  state.SetItemsProcessed(state.iterations() * 10000);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_PageLoad10000)->Unit(benchmark::kMillisecond);

void BM_PageCompile10000(benchmark::State& state) {
  for (auto _ : state) {
    auto page = kova::authoring::CompilePageSource(Source(), "big.ksb", "big.kss");
    benchmark::DoNotOptimize(page->Count());
  }
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_PageCompile10000)->Unit(benchmark::kMillisecond);

void BM_PageDecompile10000(benchmark::State& state) {
  kova::TPage page("big.ksb");
  page.Load(PageFile());
  for (auto _ : state)
    benchmark::DoNotOptimize(kova::authoring::DecompilePage(page).size());
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_PageDecompile10000)->Unit(benchmark::kMillisecond);

}  // namespace
