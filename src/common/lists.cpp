#include "common/lists.h"

#include "common/cp932.h"

namespace kova {

void TIntList::Set(int i, int32_t value) {
  if (i < 0) return;
  if (i >= Count()) v_.resize(static_cast<size_t>(i) + 1, 0);
  v_[i] = value;
}

void TArrayString::Write(ByteWriter& w) const {
  w.U32(static_cast<uint32_t>(v_.size()));
  for (const auto& s : v_)
    w.LpString(s);
}

TArrayString TArrayString::Read(ByteReader& r) {
  TArrayString a;
  uint32_t n = r.Count(r.U32(), 4, "string");
  a.v_.reserve(n);
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t len = r.U32();
    a.v_.push_back(r.Str(len));
  }
  return a;
}

void TTabStrings::Split(std::string_view text, char sep) {
  v_.clear();
  if (text.empty()) return;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); i += cp932::CharLen(text, i)) {
    if (text[i] == sep && cp932::CharLen(text, i) == 1) {
      v_.emplace_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  v_.emplace_back(text.substr(start));
}

const std::string& TTabStrings::operator[](int i) const {
  static const std::string empty;
  return i >= 0 && i < Count() ? v_[i] : empty;
}

}  // namespace kova
