// Random bytes as the stored form of a compiled expression: read, write back, evaluate.
#include <cstddef>
#include <cstdint>

#include "common/bytes.h"
#include "common/error.h"
#include "expr/params.h"
#include "expr/parser.h"
#include "expr/sysfunc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kova::TParamCollection store;
  store.NewVariable("a", kova::kTypeInt, 0).Value().SetDims({3, 4});
  store.NewVariable("s", kova::kTypeStr, 0).Value().SetStr("abc");
  kova::TSysFuncMan funcs;
  kova::TKovaParser p;
  try {
    p.Load(std::span<const uint8_t>(data, size), "fuzz");
  } catch (const kova::FormatError&) {
    return 0;
  }
  kova::ByteWriter w;
  p.SaveToStream(w);
  p.Evaluate(store, funcs);
  return 0;
}
