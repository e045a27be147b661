// Random page source: the compiler either refuses it with an error naming the file and a line,
// or gives a page that loads and round-trips through the decompiler.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "authoring/page_decompile.h"
#include "authoring/page_source.h"
#include "authoring/source_syntax.h"
#include "script/page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  kova::Bytes bytes;
  try {
    bytes = kova::authoring::CompilePageSource(text, "f.ksb", "f.kss")->Save();
  } catch (const kova::authoring::SourceError& e) {
    if (e.File() != "f.kss" || e.Line() < 1) __builtin_trap();
    return 0;
  }
  kova::TPage page("f.ksb");
  page.Load(bytes);  // a compiled page must load: any throw here is a finding
  const std::string source = kova::authoring::DecompilePage(page);
  const kova::Bytes again = kova::authoring::CompilePageSource(source, "f.ksb", "f.kss")->Save();
  if (again != bytes) {
    std::fprintf(stderr, "round trip changed the page:\n%s", source.c_str());
    __builtin_trap();
  }
  return 0;
}
