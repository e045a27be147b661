// Random project source: refused with an error naming a line, or compiled to a file that reads
// back and round-trips through the decompiler.
#include <cstddef>
#include <cstdint>
#include <string>

#include "authoring/project_source.h"
#include "authoring/source_syntax.h"
#include "script/project_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  kova::Bytes bytes;
  try {
    bytes = kova::authoring::CompileProjectSource(text, "kova.kps").Write();
  } catch (const kova::authoring::SourceError& e) {
    if (e.File() != "kova.kps" || e.Line() < 1) __builtin_trap();
    return 0;
  }
  kova::ByteReader r(bytes, "kova.kpb");
  kova::ProjectFile p;
  p.Read(r);  // a compiled project must read back: any throw here is a finding
  if (!r.AtEnd()) __builtin_trap();
  const std::string source = kova::authoring::DecompileProject(p);
  if (kova::authoring::CompileProjectSource(source, "kova.kps").Write() != bytes) __builtin_trap();
  return 0;
}
