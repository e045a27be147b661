// Title files by the names scripts use (CP932, '\' separators, any case). The file manager
// implements it; expressions and the picture cache read through it without depending on it.
#pragma once

#include <optional>
#include <string>

#include "common/bytes.h"

namespace kova {

class TitleFiles {
 public:
  virtual ~TitleFiles() = default;
  virtual bool FileExists(const std::string& cp932Name) = 0;
  // The whole file, decompressed; nothing when the title has no such file.
  virtual std::optional<Bytes> ReadFile(const std::string& cp932Name) = 0;
};

}  // namespace kova
