// Random page bytes: the loader either refuses them with an Error or accepts them, and then
// the decompiled source must compile back to exactly the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "authoring/page_decompile.h"
#include "authoring/page_source.h"
#include "script/page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  const std::span<const uint8_t> bytes(data, size);
  kova::TPage page("f.ksb");
  try {
    page.Load(bytes);
  } catch (const kova::Error&) {
    return 0;
  }
  if (page.Version() > kova::TPage::kMaxVersion) return 0;
  const std::string source = kova::authoring::DecompilePage(page);
  kova::Bytes again;
  try {
    again = kova::authoring::CompilePageSource(source, "f.ksb", "f.kss")->Save();
  } catch (const kova::Error& e) {
    std::fprintf(stderr, "decompiled source does not compile: %s\n%s", e.what(), source.c_str());
    __builtin_trap();
  }
  if (again.size() != size || !std::equal(again.begin(), again.end(), data)) {
    std::fprintf(stderr, "round trip changed the page:\n%s", source.c_str());
    __builtin_trap();
  }
  return 0;
}
