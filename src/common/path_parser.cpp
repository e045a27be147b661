#include "common/path_parser.h"

#include "common/cp932.h"

namespace kova {

namespace {
// Position after the next '\' at or after `from` that is not a trail byte, or the end.
size_t AfterDelimiter(std::string_view s, size_t from) {
  for (size_t i = from; i < s.size(); i += cp932::CharLen(s, i))
    if (s[i] == '\\' && cp932::CharLen(s, i) == 1) return i + 1;
  return s.size();
}
}  // namespace

void TPathParser::SetPath(std::string_view path) {
  parts_.clear();
  std::string p = cp932::Upper(path);
  if (p.empty()) return;
  if (cp932::FindLastChar(p, '\\') != p.size() - 1) p += '\\';
  size_t i = 0;
  if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
    i = AfterDelimiter(p, 2);
  } else if (p.size() >= 3 && p[1] == ':') {
    i = 3;
  }
  if (i > 0) parts_.push_back(p.substr(0, i));
  while (i < p.size()) {
    size_t next = AfterDelimiter(p, i);
    parts_.push_back(p.substr(i, next - i));
    i = next;
  }
}

std::string TPathParser::Path() const {
  std::string s;
  for (const auto& part : parts_)
    s += part;
  return s;
}

bool TPathParser::IsRelative(std::string_view path) {
  return path.size() >= 2 && path[0] != '\\' && path[1] != ':';
}

std::string TPathParser::Resolve(std::string_view path) const {
  if (!IsRelative(path)) return std::string(path);
  size_t keep = parts_.size();
  while (path.size() >= 3 && path.substr(0, 3) == "..\\") {
    if (keep > 0) --keep;
    path.remove_prefix(3);
  }
  std::string s;
  for (size_t i = 0; i < keep; ++i)
    s += parts_[i];
  return s + std::string(path);
}

}  // namespace kova
