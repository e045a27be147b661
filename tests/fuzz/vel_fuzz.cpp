// Reads arbitrary bytes as a layered picture, with and without post-processing and with a
// protection code, then writes what was read again.
#include <cstddef>
#include <cstdint>

#include "gfx/codecs.h"
#include "gfx/vel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> in(data, size);
  for (int pass = 0; pass < 2; ++pass) {
    kova::TVellFrameList list(pass ? 4660 : 0);
    list.decodeBudget = 64 << 20;  // keeps single inputs fast; the default allows 1 GiB
    if (pass) list.targetDepth = 32;
    try {
      list.LoadFromBytes(in, "fuzz.vel", false, pass == 1);
      for (int i = 0; i < list.Count(); ++i)
        list.Frame(i).layers.clear();
      if (list.Count() > 0 && list.Frame(0).picture.Width() * list.Frame(0).picture.Height() < 4096)
        list.SaveToBytes(pass, 70);
    } catch (const kova::DamagedPicture&) {
    }
    kova::TVellFrameList::IsUncompressed(in);
  }
  return 0;
}
