// Small lists shared across the engine whose observable rules matter to saved data.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/bytes.h"

namespace kova {

// 32-bit integers; writing past the end first appends zeros up to the index.
class TIntList {
 public:
  int Count() const { return static_cast<int>(v_.size()); }
  int32_t Get(int i) const { return i >= 0 && i < Count() ? v_[i] : 0; }
  void Set(int i, int32_t value);
  void Add(int32_t value) { v_.push_back(value); }
  void Clear() { v_.clear(); }
  const std::vector<int32_t>& Items() const { return v_; }

 private:
  std::vector<int32_t> v_;
};

// A growable array of 32-bit integers: append, count, get.
class TIntArray {
 public:
  int Count() const { return static_cast<int>(v_.size()); }
  int32_t Get(int i) const { return v_.at(i); }
  void Add(int32_t value) { v_.push_back(value); }
  void Clear() { v_.clear(); }

 private:
  std::vector<int32_t> v_;
};

// Strings serialised as u32 count, then per string a u32 byte length and the bytes.
class TArrayString {
 public:
  int Count() const { return static_cast<int>(v_.size()); }
  const std::string& Get(int i) const { return v_.at(i); }
  void Add(std::string s) { v_.push_back(std::move(s)); }
  void Clear() { v_.clear(); }
  std::vector<std::string>& Items() { return v_; }

  void Write(ByteWriter& w) const;
  static TArrayString Read(ByteReader& r);

 private:
  std::vector<std::string> v_;
};

// The fields of a text split at a separator; the second byte of a double-byte character is
// never a separator. Reading beyond the end gives an empty string.
class TTabStrings {
 public:
  TTabStrings() = default;
  explicit TTabStrings(std::string_view text, char sep = '\t') { Split(text, sep); }
  void Split(std::string_view text, char sep = '\t');
  int Count() const { return static_cast<int>(v_.size()); }
  const std::string& operator[](int i) const;

 private:
  std::vector<std::string> v_;
};

}  // namespace kova
