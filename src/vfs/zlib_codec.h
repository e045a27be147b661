// zlib as the archives and pictures use it: level-1 deflate in zlib format, and an inflate that
// must reach the stream end and may not grow past a cap.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "common/bytes.h"

namespace kova {

class TNxBigStream;

// The most a deflate stream can expand: 1032:1, plus room for the headers.
inline uint64_t InflateCap(uint64_t compressed) {
  return compressed * 1032 + 4096;
}

// Decompresses one whole zlib stream. `name` is used in errors. Trailing bytes after the
// stream end are ignored, as zlib itself does.
Bytes Inflate(std::span<const uint8_t> in, const std::string& name, uint64_t cap);
inline Bytes Inflate(std::span<const uint8_t> in, const std::string& name) {
  return Inflate(in, name, InflateCap(in.size()));
}
// Decompressed size of `count` zlib bytes read from the stream's position, without keeping them.
uint64_t InflatedSize(TNxBigStream& in, int64_t count, const std::string& name);

// zlib format at level 1 (fastest).
Bytes Deflate(std::span<const uint8_t> in);

uint32_t Crc32(std::span<const uint8_t> data, uint32_t crc = 0);
// CRC-32 of the whole stream from position 0, read in 1 MiB pieces; leaves the position at the end.
uint32_t Crc32(TNxBigStream& s);

}  // namespace kova
