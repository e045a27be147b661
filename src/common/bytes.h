// Bounded little-endian reading and writing of binary formats. Every count and length a file
// gives is checked against the bytes that are really left before anything is allocated.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"

namespace kova {

using Bytes = std::vector<uint8_t>;

class ByteReader {
 public:
  // `file` names the data in errors; `base` is the file offset of data[0].
  ByteReader(std::span<const uint8_t> data, std::string file, uint64_t base = 0)
      : data_(data), file_(std::move(file)), base_(base) {}
  ByteReader(std::string_view data, std::string file, uint64_t base = 0)
      : ByteReader(
            std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.data()), data.size()),
            std::move(file), base) {}

  size_t Pos() const { return pos_; }
  size_t Size() const { return data_.size(); }
  size_t Left() const { return data_.size() - pos_; }
  bool AtEnd() const { return pos_ == data_.size(); }
  const std::string& File() const { return file_; }
  // Offset of the next byte in the file, for messages.
  uint64_t FileOffset() const { return base_ + pos_; }

  void Seek(size_t pos);
  void Skip(size_t n) { Need(n, "skip"), pos_ += n; }

  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  int32_t I32() { return static_cast<int32_t>(U32()); }
  uint64_t U64();
  int64_t I64() { return static_cast<int64_t>(U64()); }
  long double F80();

  // n bytes, as a view into the data (valid while the data lives).
  std::span<const uint8_t> Span(size_t n);
  // The bytes already read from `from` up to the current position.
  std::span<const uint8_t> ReadSince(size_t from) const {
    return from <= pos_ ? data_.subspan(from, pos_ - from) : std::span<const uint8_t>();
  }
  std::string Str(size_t n);
  // u32 length, then the bytes; a length of 0 or less (as i32) is the empty string.
  std::string LpString();
  // A count of items each at least `minItemSize` bytes long: refused when they cannot all fit.
  uint32_t Count(uint64_t count, size_t minItemSize, const char* what);
  bool Match(std::string_view magic);

  // Throws a FormatError at the current offset.
  [[noreturn]] void Fail(const std::string& what) const;
  [[noreturn]] void FailAt(size_t pos, const std::string& what) const;
  void Need(size_t n, const char* what) const {
    if (n > Left()) FailNeed(n, what);
  }

 private:
  [[noreturn]] void FailNeed(size_t n, const char* what) const;
  template <typename T>
  T Le();

  std::span<const uint8_t> data_;
  std::string file_;
  uint64_t base_;
  size_t pos_ = 0;
};

class ByteWriter {
 public:
  Bytes& Data() { return out_; }
  const Bytes& Data() const { return out_; }
  Bytes Take() { return std::move(out_); }
  size_t Size() const { return out_.size(); }

  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) { Le(v, 2); }
  void U32(uint32_t v) { Le(v, 4); }
  void I32(int32_t v) { Le(static_cast<uint32_t>(v), 4); }
  void U64(uint64_t v) { Le(v, 8); }
  void I64(int64_t v) { Le(static_cast<uint64_t>(v), 8); }
  void F80(long double v);
  void Raw(const void* p, size_t n) {
    auto* b = static_cast<const uint8_t*>(p);
    out_.insert(out_.end(), b, b + n);
  }
  void Raw(std::string_view s) { Raw(s.data(), s.size()); }
  void Raw(std::span<const uint8_t> s) { Raw(s.data(), s.size()); }
  void LpString(std::string_view s) {
    U32(static_cast<uint32_t>(s.size()));
    Raw(s);
  }
  // Overwrites 4 bytes written earlier.
  void PatchU32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
      out_[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }

 private:
  void Le(uint64_t v, int n) {
    for (int i = 0; i < n; ++i)
      out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  Bytes out_;
};

inline std::string_view AsText(std::span<const uint8_t> b) {
  return {reinterpret_cast<const char*>(b.data()), b.size()};
}
inline std::span<const uint8_t> AsBytes(std::string_view s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

}  // namespace kova
