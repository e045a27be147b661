// The stream interface under every file format, with 64-bit positions, and the streams that
// need nothing from the operating system: memory and read-only byte spans.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "common/bytes.h"

namespace kova {

class TNxBigStream {
 public:
  virtual ~TNxBigStream() = default;

  virtual int64_t Size() const = 0;
  virtual int64_t Position() const = 0;
  // Sets the position, clamped to [0, Size()].
  virtual void SetPosition(int64_t pos) = 0;
  // Reads up to n bytes; returns how many were read (fewer at the end).
  virtual size_t Read(void* buffer, size_t n) = 0;
  // Writes n bytes; returns how many were written (0 for a read-only stream).
  virtual size_t Write(const void* buffer, size_t n) = 0;

  int64_t Left() const { return Size() - Position(); }
  // Reads exactly n bytes or throws.
  void ReadExact(void* buffer, size_t n);
  void WriteExact(const void* buffer, size_t n);
  // Name for error messages.
  virtual std::string Name() const { return "stream"; }
};

// A stream kept in memory; the program's own save data and decompressed entries live in these.
class TNxBigMemoryStream : public TNxBigStream {
 public:
  TNxBigMemoryStream() = default;
  explicit TNxBigMemoryStream(Bytes data) : data_(std::move(data)) {}

  int64_t Size() const override { return static_cast<int64_t>(data_.size()); }
  int64_t Position() const override { return pos_; }
  void SetPosition(int64_t pos) override;
  size_t Read(void* buffer, size_t n) override;
  size_t Write(const void* buffer, size_t n) override;

  void Clear() { data_.clear(), pos_ = 0; }
  void SetSize(int64_t n);
  Bytes& Data() { return data_; }
  const Bytes& Data() const { return data_; }
  std::span<const uint8_t> View() const { return data_; }

 private:
  Bytes data_;
  int64_t pos_ = 0;
};

// Read-only bytes that outlive the stream (data embedded in the program, a mapped entry).
class TSpanStream : public TNxBigStream {
 public:
  explicit TSpanStream(std::span<const uint8_t> data, std::string name = "data")
      : data_(data), name_(std::move(name)) {}

  int64_t Size() const override { return static_cast<int64_t>(data_.size()); }
  int64_t Position() const override { return pos_; }
  void SetPosition(int64_t pos) override;
  size_t Read(void* buffer, size_t n) override;
  size_t Write(const void*, size_t) override { return 0; }
  std::string Name() const override { return name_; }

 private:
  std::span<const uint8_t> data_;
  std::string name_;
  int64_t pos_ = 0;
};

// Copies `count` bytes from the source's position; a count of 0 copies the whole source from
// its start. Returns the bytes copied (fewer when the source ends early). A memory source is
// copied with one write; others through a buffer of at most 10 MiB that shrinks by 1 MiB while
// it cannot be allocated, down to a floor of 64 KiB, below which the copy fails with an Error.
int64_t CopyStream(TNxBigStream& target, TNxBigStream& source, int64_t count);

// The same, with the buffer allocation supplied (tests simulate a failing allocator with it).
using CopyBufferAllocator = std::function<uint8_t*(size_t)>;
int64_t CopyStream(TNxBigStream& target, TNxBigStream& source, int64_t count,
                   const CopyBufferAllocator& alloc);

inline constexpr size_t kCopyBufferMax = 10u << 20;
inline constexpr size_t kCopyBufferStep = 1u << 20;
inline constexpr size_t kCopyBufferFloor = 64u << 10;

}  // namespace kova
