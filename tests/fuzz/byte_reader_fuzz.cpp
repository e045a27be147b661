// Drives the bounded reader with a byte program: the first byte of each step picks an
// operation, so every kind of read meets every kind of truncation.
#include <cstddef>
#include <cstdint>

#include "common/bytes.h"
#include "common/lists.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kova::ByteReader r(std::span<const uint8_t>(data, size), "fuzz");
  try {
    // Seeks go backwards, so the number of steps is bounded.
    for (int step = 0; step < 256 && !r.AtEnd(); ++step) {
      switch (r.U8() % 10) {
        case 0:
          r.U16();
          break;
        case 1:
          r.U32();
          break;
        case 2:
          r.I64();
          break;
        case 3:
          r.F80();
          break;
        case 4:
          r.LpString();
          break;
        case 5:
          r.Span(r.U8());
          break;
        case 6:
          r.Count(r.U32(), 4, "item");
          break;
        case 7:
          kova::TArrayString::Read(r);
          break;
        case 8:
          r.Seek(r.U16());
          break;
        default:
          r.Match("vf");
          break;
      }
    }
  } catch (const kova::FormatError&) {
  }
  return 0;
}
