// Random project file bytes: refused with an Error, or read, decompiled and compiled back to the
// same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "authoring/project_source.h"
#include "script/project_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  kova::ByteReader r(std::span<const uint8_t>(data, size), "kova.kpb");
  kova::ProjectFile p;
  try {
    p.Read(r);
  } catch (const kova::Error&) {
    return 0;
  }
  if (!r.AtEnd()) return 0;  // bytes after the folder list have no source form
  const std::string source = kova::authoring::DecompileProject(p);
  kova::Bytes again;
  try {
    again = kova::authoring::CompileProjectSource(source, "kova.kps").Write();
  } catch (const kova::Error& e) {
    std::fprintf(stderr, "decompiled source does not compile: %s\n%s", e.what(), source.c_str());
    __builtin_trap();
  }
  if (again.size() != size || !std::equal(again.begin(), again.end(), data)) {
    std::fprintf(stderr, "round trip changed the project file:\n%s", source.c_str());
    __builtin_trap();
  }
  return 0;
}
