// The project file `kova.kpb`: the title's settings, its global variables and the folders that
// live on other discs.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "vfs/install_set.h"

namespace kova {

struct ProjectVar {
  uint8_t type = 1;  // 1 integer, 2 float, 3 boolean, 4 string; others carry no value
  std::string name;
  int32_t intValue = 0;
  long double floatValue = 0;
  // The 10 stored bytes of a float as read; written back while they still hold floatValue, so
  // NaN payloads and unnormal encodings survive a round trip.
  std::optional<std::array<uint8_t, 10>> floatStored;
  uint8_t flagValue = 0;  // non-zero is true; kept as stored
  std::string strValue;
};

struct ProjectFile {
  static constexpr int32_t kMaxVersion = 110;

  int32_t version = kMaxVersion;
  std::string title;
  int32_t screenWidth = 0, screenHeight = 0;
  int32_t fullScreenWidth = 0, fullScreenHeight = 0;
  std::string startPage;
  std::string exitPage;  // version >= 110
  std::string registryKey;
  int32_t identCode = 0;
  uint8_t writeStatus = 1;                              // version >= 104; bytes kept as stored
  uint8_t frameSleep = 0;                               // version >= 106
  std::string streamedExtensions = ".wav.wma.ogg.mid";  // version >= 109
  std::string discPrompt;
  std::string exitPrompt;
  std::vector<ProjectVar> vars;
  TFolderDiskList folders;

  // Throws FormatError when damaged, Error when the version is above 110.
  void Read(ByteReader& r);
  Bytes Write() const;
};

}  // namespace kova
