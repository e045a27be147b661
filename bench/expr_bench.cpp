// Evaluation speed of typical compiled expressions and compile speed of a long one.
#include <benchmark/benchmark.h>

#include <string>

#include "expr/params.h"
#include "expr/parser.h"
#include "expr/sysfunc.h"

namespace {

void BM_EvalArithmeticAssignment(benchmark::State& state) {
  kova::TParamCollection store;
  store.NewVariable("x", kova::kTypeInt, 0).Value().SetInt(3);
  store.NewVariable("y", kova::kTypeInt, 0).Value().SetInt(4);
  store.NewVariable("z", kova::kTypeInt, 0).Value().SetInt(0);
  kova::TSysFuncMan funcs;
  kova::TKovaParser p = kova::CompileExpression("z = x * 2 + y - z / 3");
  for (auto _ : state) {
    p.Evaluate(store, funcs);
    benchmark::DoNotOptimize(store.FindItem("z")->Value().AsInt());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EvalArithmeticAssignment);

void BM_EvalStringConcatenation(benchmark::State& state) {
  kova::TParamCollection store;
  store.NewVariable("name", kova::kTypeStr, 0).Value().SetStr("Kova");
  store.NewVariable("n", kova::kTypeInt, 0).Value().SetInt(42);
  kova::TSysFuncMan funcs;
  kova::TKovaParser p = kova::CompileExpression("\"Hello, \" ++ name ++ \" #\" ++ n");
  for (auto _ : state) {
    p.Evaluate(store, funcs);
    benchmark::DoNotOptimize(p.Result());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EvalStringConcatenation);

void BM_Compile200Chars(benchmark::State& state) {
  std::string text =
      "total = (alpha + beta * 3 - gamma / 2) * (delta % 7 + 1) + Length(name ++ \"suffix\") + "
      "items[index, 2] * (Max(alpha, beta) - Min(gamma, delta)) + IntToStr(count, 3) ++ \"x\" + "
      "(1 << shift) - omega * 2 + z";
  for (auto _ : state) {
    kova::TKovaParser p = kova::CompileExpression(text);
    benchmark::DoNotOptimize(p.Ops().size());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(std::to_string(text.size()) + " chars");
}
BENCHMARK(BM_Compile200Chars);

}  // namespace
