// A private folder for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "common/bytes.h"

namespace kova::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }
  // Writes a file below the folder, making folders as needed; returns its path.
  std::filesystem::path Write(std::string_view relative, std::string_view content) const;
  std::filesystem::path Write(std::string_view relative, const Bytes& content) const;

 private:
  std::filesystem::path path_;
};

Bytes ReadFileBytes(const std::filesystem::path& p);

}  // namespace kova::test
