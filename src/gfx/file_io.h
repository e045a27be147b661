// Whole-file reading and atomic replacement of files the player writes.
#pragma once

#include <string>

#include "common/bytes.h"

namespace kova {

// Throws Error naming the file when it cannot be read.
Bytes ReadFileBytes(const std::string& path);
// Writes a sibling temporary file and renames it over `path`, so readers never see half a file.
void WriteFileAtomic(const std::string& path, std::span<const uint8_t> data);

}  // namespace kova
