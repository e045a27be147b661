// Streams over files on disk. A file stream continues across volumes of 1 GiB: "data.bin" goes
// on in "data.001", "data.002", ... A range stream shows a window of another stream and may be
// read from decoder threads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "common/stream.h"

namespace kova {

class TNxBigFileStream : public TNxBigStream {
 public:
  static constexpr int64_t kVolumeSize = int64_t{1} << 30;
  enum class Mode { kRead, kCreate };

  // kRead opens every volume (an error when one cannot be opened); kCreate deletes the old
  // volumes and starts an empty file. `volumeSize` is only changed by tests.
  TNxBigFileStream(std::filesystem::path path, Mode mode, int64_t volumeSize = kVolumeSize);
  ~TNxBigFileStream() override;
  TNxBigFileStream(const TNxBigFileStream&) = delete;
  TNxBigFileStream& operator=(const TNxBigFileStream&) = delete;

  int64_t Size() const override;
  int64_t Position() const override { return pos_; }
  void SetPosition(int64_t pos) override;
  size_t Read(void* buffer, size_t n) override;
  size_t Write(const void* buffer, size_t n) override;
  std::string Name() const override { return path_.string(); }

  // Flushes written data to the disk; an error when it cannot.
  void Sync();
  int VolumeCount() const { return static_cast<int>(volumes_.size()); }
  // Name of volume k: the file itself for 0, else the name without extension + ".%03d".
  static std::filesystem::path VolumeName(const std::filesystem::path& path, int k);

 private:
  struct Volume {
    int fd;
    int64_t size;
  };
  void OpenVolume(int k, bool create);

  std::filesystem::path path_;
  Mode mode_;
  int64_t volumeSize_;
  std::vector<Volume> volumes_;
  int64_t pos_ = 0;
};

enum class SeekOrigin { kBegin, kCurrent, kEnd };

// A read-only window [start, start + length) of a source stream, positions relative to start.
// Seek and Read each hold the stream's lock for their whole run.
class TRangeStream : public TNxBigStream {
 public:
  // Start and length are clamped to the source; no length means up to the end of the source.
  TRangeStream(std::unique_ptr<TNxBigStream> source, int64_t start, std::optional<int64_t> length);

  int64_t Seek(int64_t offset, SeekOrigin origin);
  int64_t Size() const override { return length_; }
  int64_t Position() const override;
  void SetPosition(int64_t pos) override { Seek(pos, SeekOrigin::kBegin); }
  size_t Read(void* buffer, size_t n) override;
  size_t Write(const void*, size_t) override { return 0; }
  std::string Name() const override { return source_->Name(); }

 private:
  std::unique_ptr<TNxBigStream> source_;
  int64_t start_;
  int64_t length_;
  mutable std::mutex lock_;
};

// A range of a file on disk, opened for reading.
class TFileRangeStream : public TRangeStream {
 public:
  TFileRangeStream(const std::filesystem::path& path, int64_t start, std::optional<int64_t> length)
      : TRangeStream(std::make_unique<TNxBigFileStream>(path, TNxBigFileStream::Mode::kRead), start,
                     length) {}
};

// Reads a stream through a buffer. Freeing the reader gives back the bytes read ahead but not
// handed out, so the source continues right after the last byte the caller received.
class TNxBuffBigStream {
 public:
  static constexpr size_t kBufferSize = 102400;
  explicit TNxBuffBigStream(TNxBigStream& source, size_t bufferSize = kBufferSize)
      : source_(source), buffer_(bufferSize) {}
  ~TNxBuffBigStream();
  TNxBuffBigStream(const TNxBuffBigStream&) = delete;
  TNxBuffBigStream& operator=(const TNxBuffBigStream&) = delete;

  size_t Read(void* buffer, size_t n);

 private:
  TNxBigStream& source_;
  std::vector<uint8_t> buffer_;
  size_t have_ = 0;
  size_t used_ = 0;
};

// Reads a whole file; an Error naming it when it cannot.
Bytes ReadWholeFile(const std::filesystem::path& path);
// Replaces a file atomically: temporary file in the same folder, fsync, rename.
void WriteFileAtomic(const std::filesystem::path& path, std::span<const uint8_t> data);

}  // namespace kova
