#include "app/settings.h"

#include <algorithm>

#include "common/ini.h"
#include "vfs/file_stream.h"

namespace kova {

GameSettings LoadGameSettings(const std::filesystem::path& file) {
  GameSettings s;
  Bytes bytes;
  try {
    bytes = ReadWholeFile(file);
  } catch (const Error&) {
    return s;
  }
  const TIniFile ini(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  s.useDirectSound = ini.ReadBool("Sound", "DirectSound", s.useDirectSound);
  // Whole hundreds, truncating toward zero, then limited to 100..500.
  const int32_t d = ini.ReadInteger("Sound", "DelayTime", s.delayTime) / 100 * 100;
  s.delayTime = std::clamp(d, 100, 500);
  s.integerScaling = ini.ReadBool("Display", "IntegerScaling", s.integerScaling);
  return s;
}

}  // namespace kova
