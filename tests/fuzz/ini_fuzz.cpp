// Settings text of any shape: parsing and reading must neither crash nor read past the text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const kova::TIniFile ini(text);
  ini.ReadInteger("Sound", "DelayTime", 500);
  ini.ReadBool("Sound", "DirectSound", true);
  ini.ReadBool("Display", "IntegerScaling", false);
  // Keys named by the text itself, so the fuzzer can reach the matching paths.
  const size_t eq = text.find('=');
  if (eq != std::string_view::npos) ini.ReadInteger("", text.substr(0, eq), 0);
  return 0;
}
