// Writes archives of any version the reader accepts, field by field, so tests can make the
// old layouts the writer no longer produces.
#pragma once

#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/nx_random.h"
#include "vfs/zlib_codec.h"

namespace kova::test {

struct RawEntry {
  std::string name;
  Bytes stored;  // the bytes as they lie in the archive
  uint8_t storedFlag = 1;
  uint32_t time = 0, crc = 0;
  uint8_t crcMode = 0;
};

inline RawEntry Deflated(std::string name, std::string_view text) {
  return {std::move(name), Deflate(AsBytes(text)), 0};
}
inline RawEntry Stored(std::string name, std::string_view text) {
  return {std::move(name), Bytes(text.begin(), text.end()), 1};
}

// `version` 0 has no magic; below 100 nothing is scrambled; below 101 offsets are 4 bytes.
inline Bytes BuildArchive(int32_t version, const std::vector<RawEntry>& entries) {
  ByteWriter w;
  if (version != 0) {
    w.Raw("vf");
    w.I32(version);
  }
  w.I32(static_cast<int32_t>(entries.size()));
  TNxRandom names(0x5B8E2C71);
  for (const auto& e : entries) {
    std::string n = e.name;
    if (version >= 100)
      for (char& c : n)
        c = static_cast<char>(c ^ static_cast<uint8_t>(names.Next()));
    w.LpString(n);
  }
  size_t tables = (entries.size() + 1) * (version >= 101 ? 8 : 4);
  if (version >= 101) tables += entries.size() * (version >= 102 ? 10 : 9);
  int64_t off = static_cast<int64_t>(w.Size() + tables);
  TNxRandom offs(0x5B8E2C71);
  auto put = [&](int64_t v) {
    if (version >= 101) {
      w.I64(v ^ static_cast<int64_t>(static_cast<int32_t>(offs.Next())));
    } else {
      w.U32(static_cast<uint32_t>(v) ^ (version >= 100 ? offs.Next() : 0));
    }
  };
  for (const auto& e : entries) {
    put(off);
    off += static_cast<int64_t>(e.stored.size());
  }
  put(off);
  if (version >= 101) {
    for (const auto& e : entries)
      w.U8(e.storedFlag);
    for (const auto& e : entries)
      w.U32(e.time);
    for (const auto& e : entries)
      w.U32(e.crc);
    if (version >= 102)
      for (const auto& e : entries)
        w.U8(e.crcMode);
  }
  for (const auto& e : entries)
    w.Raw(e.stored);
  return w.Take();
}

}  // namespace kova::test
