#include "gfx/file_io.h"

#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/error.h"

namespace kova {

Bytes ReadFileBytes(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw Error(path + ": " + std::strerror(errno));
  Bytes out;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
    out.insert(out.end(), buf, buf + n);
  const bool bad = std::ferror(f);
  std::fclose(f);
  if (bad) throw Error(path + ": read error");
  return out;
}

void WriteFileAtomic(const std::string& path, std::span<const uint8_t> data) {
  const std::string tmp = path + ".tmp" + std::to_string(::getpid());
  FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) throw Error(path + ": " + std::strerror(errno));
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = std::fflush(f) == 0 && ok;
  ok = ::fsync(::fileno(f)) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
    const std::string why = std::strerror(errno);
    std::remove(tmp.c_str());
    throw Error(path + ": " + why);
  }
}

}  // namespace kova
