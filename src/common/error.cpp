#include "common/error.h"

namespace kova {

FormatError::FormatError(std::string file, uint64_t offset, std::string what)
    : Error(file + ": damaged at offset " + std::to_string(offset) + ": " + what),
      file_(std::move(file)),
      offset_(offset),
      what_(std::move(what)) {}

}  // namespace kova
