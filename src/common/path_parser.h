// A path split into components that keep their trailing '\': a UNC or drive prefix first, then
// each folder. Paths are upper-cased (ASCII letters only) when set.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kova {

class TPathParser {
 public:
  TPathParser() = default;
  explicit TPathParser(std::string_view path) { SetPath(path); }

  void SetPath(std::string_view path);
  int Count() const { return static_cast<int>(parts_.size()); }
  const std::string& operator[](int i) const { return parts_[i]; }
  std::string Path() const;

  // A path of at least two characters that neither begins with '\' nor has ':' second.
  static bool IsRelative(std::string_view path);
  // Resolves `path` against this folder: each leading "..\" drops the last component while one
  // remains; a path that is not relative comes back unchanged.
  std::string Resolve(std::string_view path) const;

 private:
  std::vector<std::string> parts_;
};

}  // namespace kova
