// Opens arbitrary bytes as an archive, reads every entry, and writes the result again.
#include <cstddef>
#include <cstdint>

#include "common/error.h"
#include "common/stream.h"
#include "vfs/archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kova::TVrFileCollection c;
  try {
    c.OpenResourceArchive({data, size}, "fuzz");
  } catch (const kova::Error&) {
    return 0;
  }
  for (int i = 0; i < c.Count(); ++i) {
    try {
      c.ReadEntryBytes(c.At(i).Name());
      c.UnpackedSize(c.At(i));
    } catch (const kova::Error&) {
    }
  }
  try {
    kova::TNxBigMemoryStream out;
    c.SaveArchive(out);
    kova::TVrFileCollection again;
    again.OpenResourceArchive(out.Data(), "again");
  } catch (const kova::Error&) {
  }
  return 0;
}
