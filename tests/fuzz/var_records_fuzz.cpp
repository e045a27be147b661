// Random bytes as the variable part of a game save and of the status data; what loads must
// save again.
#include <cstddef>
#include <cstdint>

#include "common/bytes.h"
#include "common/error.h"
#include "expr/params.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int version = 100 + data[0] % 40;
  kova::TParamCollection store;
  try {
    kova::ByteReader r(std::span<const uint8_t>(data + 1, size - 1), "fuzz");
    if (data[0] & 0x80)
      store.LoadStatusVars(r, version);
    else
      store.LoadGameVars(r, version);
  } catch (const kova::FormatError&) {
  }
  kova::ByteWriter w;
  store.SaveGameVars(w);
  store.SaveStatusVars(w);
  for (int i = 0; i < store.Count(); ++i) {
    try {
      (void)store.At(i).Value().AsStr();
    } catch (const kova::Error&) {
    }
  }
  return 0;
}
