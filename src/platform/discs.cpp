#include "platform/discs.h"

#include <fstream>
#include <sstream>

namespace kova {

namespace {
// Mount tables write spaces and other bytes as \ooo.
std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    auto oct = [&](size_t k) { return s[k] >= '0' && s[k] <= '7'; };
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] <= '3' && oct(i + 1) && oct(i + 2) &&
        oct(i + 3)) {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}
}  // namespace

std::vector<std::filesystem::path> MountedDiscs::ParseMounts(const std::string& table) {
  std::vector<std::filesystem::path> roots;
  std::istringstream in(table);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string device, mountPoint, type;
    if (!(fields >> device >> mountPoint >> type)) continue;
    if (type == "iso9660" || type == "udf") roots.emplace_back(Unescape(mountPoint));
  }
  return roots;
}

std::vector<std::filesystem::path> MountedDiscs::Roots() {
  std::ifstream f(mountTable_);
  std::stringstream text;
  text << f.rdbuf();
  std::vector<std::filesystem::path> roots = ParseMounts(text.str());
  roots.insert(roots.end(), folders_.begin(), folders_.end());
  return roots;
}

}  // namespace kova
