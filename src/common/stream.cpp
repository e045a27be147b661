#include "common/stream.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace kova {

void TNxBigStream::ReadExact(void* buffer, size_t n) {
  if (Read(buffer, n) != n)
    throw Error(Name() + ": unexpected end of data at offset " + std::to_string(Position()));
}

void TNxBigStream::WriteExact(const void* buffer, size_t n) {
  if (Write(buffer, n) != n) throw Error(Name() + ": write failed");
}

namespace {
int64_t Clamp(int64_t pos, int64_t size) {
  return std::clamp<int64_t>(pos, 0, size);
}

// Reads from bytes in memory at a position, advancing it.
size_t ReadAt(const uint8_t* data, int64_t size, int64_t& pos, void* buffer, size_t n) {
  const size_t k = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(n), size - pos));
  if (k > 0) std::memcpy(buffer, data + pos, k);
  pos += static_cast<int64_t>(k);
  return k;
}
}  // namespace

void TNxBigMemoryStream::SetPosition(int64_t pos) {
  pos_ = Clamp(pos, Size());
}

size_t TNxBigMemoryStream::Read(void* buffer, size_t n) {
  return ReadAt(data_.data(), Size(), pos_, buffer, n);
}

size_t TNxBigMemoryStream::Write(const void* buffer, size_t n) {
  if (n == 0) return 0;
  const size_t end = static_cast<size_t>(pos_) + n;
  if (end > data_.size()) data_.resize(end);
  std::memcpy(data_.data() + pos_, buffer, n);
  pos_ = static_cast<int64_t>(end);
  return n;
}

void TNxBigMemoryStream::SetSize(int64_t n) {
  data_.resize(static_cast<size_t>(std::max<int64_t>(n, 0)));
  pos_ = std::min(pos_, Size());
}

void TSpanStream::SetPosition(int64_t pos) {
  pos_ = Clamp(pos, Size());
}

size_t TSpanStream::Read(void* buffer, size_t n) {
  return ReadAt(data_.data(), Size(), pos_, buffer, n);
}

int64_t CopyStream(TNxBigStream& target, TNxBigStream& source, int64_t count) {
  return CopyStream(target, source, count, [](size_t n) { return new (std::nothrow) uint8_t[n]; });
}

int64_t CopyStream(TNxBigStream& target, TNxBigStream& source, int64_t count,
                   const CopyBufferAllocator& alloc) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  count = std::min(count, source.Left());
  if (count <= 0) return 0;

  if (auto* mem = dynamic_cast<TNxBigMemoryStream*>(&source)) {
    const size_t n = static_cast<size_t>(count);
    target.WriteExact(mem->Data().data() + mem->Position(), n);
    mem->SetPosition(mem->Position() + count);
    return count;
  }

  size_t size = static_cast<size_t>(std::min<int64_t>(count, kCopyBufferMax));
  std::unique_ptr<uint8_t[]> buf;
  for (;;) {
    buf.reset(alloc(size));
    if (buf) break;
    if (size <= kCopyBufferFloor) throw Error("out of memory copying " + source.Name());
    size = size > kCopyBufferStep ? size - kCopyBufferStep : kCopyBufferFloor;
    size = std::max(size, kCopyBufferFloor);
  }
  int64_t done = 0;
  while (done < count) {
    size_t want = static_cast<size_t>(std::min<int64_t>(count - done, static_cast<int64_t>(size)));
    size_t got = source.Read(buf.get(), want);
    if (got == 0) break;
    target.WriteExact(buf.get(), got);
    done += static_cast<int64_t>(got);
  }
  return done;
}

}  // namespace kova
