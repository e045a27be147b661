#include "common/bytes.h"

#include "common/float80.h"

namespace kova {

template <typename T>
T ByteReader::Le() {
  Need(sizeof(T), "number");
  T v = 0;
  for (size_t i = 0; i < sizeof(T); ++i)
    v |= static_cast<T>(data_[pos_ + i]) << (8 * i);
  pos_ += sizeof(T);
  return v;
}

void ByteReader::Seek(size_t pos) {
  if (pos > data_.size()) Fail("position " + std::to_string(pos) + " beyond the end");
  pos_ = pos;
}

uint8_t ByteReader::U8() {
  return Le<uint8_t>();
}
uint16_t ByteReader::U16() {
  return Le<uint16_t>();
}
uint32_t ByteReader::U32() {
  return Le<uint32_t>();
}
uint64_t ByteReader::U64() {
  return Le<uint64_t>();
}

long double ByteReader::F80() {
  Need(10, "float");
  long double v = DecodeFloat80(data_.data() + pos_);
  pos_ += 10;
  return v;
}

std::span<const uint8_t> ByteReader::Span(size_t n) {
  Need(n, "block");
  auto s = data_.subspan(pos_, n);
  pos_ += n;
  return s;
}

std::string ByteReader::Str(size_t n) {
  return std::string(AsText(Span(n)));
}

std::string ByteReader::LpString() {
  int32_t n = I32();
  if (n <= 0) return {};
  Need(static_cast<size_t>(n), "string");
  return Str(static_cast<size_t>(n));
}

uint32_t ByteReader::Count(uint64_t count, size_t minItemSize, const char* what) {
  if (count > UINT32_MAX || (minItemSize > 0 && count > Left() / minItemSize))
    Fail(std::string(what) + " count " + std::to_string(count) + " exceeds the data");
  return static_cast<uint32_t>(count);
}

bool ByteReader::Match(std::string_view magic) {
  if (Left() < magic.size() || std::memcmp(data_.data() + pos_, magic.data(), magic.size()) != 0)
    return false;
  pos_ += magic.size();
  return true;
}

void ByteReader::Fail(const std::string& what) const {
  FailAt(pos_, what);
}

void ByteReader::FailAt(size_t pos, const std::string& what) const {
  throw FormatError(file_, base_ + pos, what);
}

void ByteReader::FailNeed(size_t n, const char* what) const {
  Fail(std::string(what) + " of " + std::to_string(n) + " bytes passes the end (" +
       std::to_string(Left()) + " left)");
}

void ByteWriter::F80(long double v) {
  uint8_t b[10];
  EncodeFloat80(v, b);
  Raw(b, 10);
}

}  // namespace kova
