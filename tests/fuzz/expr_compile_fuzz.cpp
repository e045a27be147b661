// Random source text through the whole path a run-time compile takes: compile, write the stored
// form, read it back and evaluate it against a small store.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/error.h"
#include "expr/params.h"
#include "expr/parser.h"
#include "expr/sysfunc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  kova::TParamCollection store;
  store.NewVariable("a", kova::kTypeInt, 0).Value().SetDims({3, 4});
  store.NewVariable("s", kova::kTypeStr, 0).Value().SetStr("abc");
  store.NewVariable("f", kova::kTypeFloat, 0);
  kova::TSysFuncMan funcs;
  try {
    kova::TKovaParser p = kova::CompileExpression(text);
    p.Evaluate(store, funcs);
    if (p.Result()) (void)p.Result()->AsStr();
  } catch (const kova::Error&) {
  }
  return 0;
}
