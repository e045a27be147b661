// Reads arbitrary bytes as a cursor, icon or animated cursor file.
#include <cstddef>
#include <cstdint>

#include "gfx/cursor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const kova::CursorImage c = kova::ReadCursor({data, size}, "fuzz.cur");
    // Every pixel the picture claims must be there.
    if (c.rgba.size() != static_cast<size_t>(c.width) * c.height * 4) __builtin_trap();
  } catch (const kova::FormatError&) {
  }
  return 0;
}
