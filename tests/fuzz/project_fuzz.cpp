// Reads arbitrary bytes as a project file and writes what was read back.
#include <cstddef>
#include <cstdint>

#include "script/project_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kova::ProjectFile p;
  try {
    kova::ByteReader r({data, size}, "kova.kpb");
    p.Read(r);
  } catch (const kova::Error&) {
    return 0;
  }
  const kova::Bytes again = p.Write();
  kova::ProjectFile q;
  kova::ByteReader r2(again, "again");
  q.Read(r2);  // what was written must read back
  return 0;
}
