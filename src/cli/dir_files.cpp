#include "cli/dir_files.h"

#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "common/cp932.h"

namespace kova::cli {

namespace fs = std::filesystem;

std::optional<fs::path> DirFileAccess::Resolve(const std::string& cp932Name) const {
  if (cp932Name.empty()) return std::nullopt;
  // Split at '\' (never a trail byte) and '/'.
  std::vector<std::string> parts;
  std::string cur;
  for (size_t i = 0; i < cp932Name.size();) {
    const size_t n = cp932::CharLen(cp932Name, i);
    const char c = cp932Name[i];
    if (n == 1 && (c == '\\' || c == '/')) {
      if (i == 0) return std::nullopt;  // absolute
      parts.push_back(cur), cur.clear();
    } else {
      cur.append(cp932Name, i, n);
    }
    i += n;
  }
  parts.push_back(cur);
  fs::path p = base_;
  std::error_code ec;
  for (const std::string& part : parts) {
    if (part.empty() || part == ".") continue;
    if (part == ".." || part.find(':') != std::string::npos) return std::nullopt;
    const std::string name = cp932::ToUtf8(part);
    fs::path next = p / name;
    if (!fs::exists(next, ec)) {
      // Title names are case-insensitive; the folder may not be.
      bool found = false;
      for (const auto& e : fs::directory_iterator(p, ec)) {
        const std::string have = e.path().filename().string();
        auto back = cp932::FromUtf8(have);
        if (back && cp932::EqualNoCase(*back, part)) {
          next = e.path(), found = true;
          break;
        }
      }
      if (!found) return std::nullopt;
    }
    p = next;
  }
  if (!fs::is_regular_file(p, ec)) return std::nullopt;
  return p;
}

bool DirFileAccess::Exists(const std::string& cp932Name) {
  return Resolve(cp932Name).has_value();
}

std::optional<Bytes> DirFileAccess::Load(const std::string& cp932Name) {
  auto p = Resolve(cp932Name);
  if (!p) return std::nullopt;
  std::ifstream in(*p, std::ios::binary);
  if (!in) return std::nullopt;
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace kova::cli
