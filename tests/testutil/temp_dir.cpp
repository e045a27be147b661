#include "testutil/temp_dir.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace kova::test {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "kova-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::Write(std::string_view relative, std::string_view content) const {
  std::filesystem::path p = path_ / std::filesystem::path(std::string(relative));
  std::filesystem::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary);
  f.write(content.data(), static_cast<std::streamsize>(content.size()));
  return p;
}

std::filesystem::path TempDir::Write(std::string_view relative, const Bytes& content) const {
  return Write(relative, AsText(content));
}

Bytes ReadFileBytes(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

}  // namespace kova::test
