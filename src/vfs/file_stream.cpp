#include "vfs/file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kova {

namespace {
std::string SysError(const std::string& what, const std::filesystem::path& p) {
  return what + " " + p.string() + ": " + std::strerror(errno);
}
}  // namespace

std::filesystem::path TNxBigFileStream::VolumeName(const std::filesystem::path& path, int k) {
  if (k == 0) return path;
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".%.3d", k);
  std::filesystem::path p = path;
  p.replace_extension();
  p += suffix;
  return p;
}

TNxBigFileStream::TNxBigFileStream(std::filesystem::path path, Mode mode, int64_t volumeSize)
    : path_(std::move(path)), mode_(mode), volumeSize_(volumeSize) {
  if (mode_ == Mode::kCreate) {
    // Old continuation volumes go too, but only those that really continue this file.
    for (int k = 0;; ++k) {
      std::filesystem::path v = VolumeName(path_, k);
      struct stat st;
      if (::stat(v.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) break;
      ::unlink(v.c_str());
      if (st.st_size != volumeSize_) break;
    }
    OpenVolume(0, true);
    return;
  }
  OpenVolume(0, false);
  // A continuation volume belongs to the stream only when the one before it is full;
  // "voice.001" beside a short "voice.ogg" is another file.
  while (volumes_.back().size == volumeSize_) {
    std::filesystem::path next = VolumeName(path_, VolumeCount());
    struct stat st;
    if (::stat(next.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) break;
    OpenVolume(VolumeCount(), false);
  }
}

void TNxBigFileStream::OpenVolume(int k, bool create) {
  std::filesystem::path name = VolumeName(path_, k);
  int fd = create ? ::open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)
                  : ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw Error(SysError("cannot open", name));
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw Error("not a regular file: " + name.string());
  }
  volumes_.push_back({fd, create ? 0 : static_cast<int64_t>(st.st_size)});
}

TNxBigFileStream::~TNxBigFileStream() {
  for (const Volume& v : volumes_) {
    if (mode_ == Mode::kCreate) ::fsync(v.fd);
    ::close(v.fd);
  }
}

void TNxBigFileStream::Sync() {
  for (const Volume& v : volumes_)
    if (::fsync(v.fd) != 0) throw Error(SysError("cannot write", path_));
}

int64_t TNxBigFileStream::Size() const {
  int64_t s = 0;
  for (const Volume& v : volumes_)
    s += v.size;
  return s;
}

void TNxBigFileStream::SetPosition(int64_t pos) {
  pos_ = std::clamp<int64_t>(pos, 0, Size());
}

size_t TNxBigFileStream::Read(void* buffer, size_t n) {
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < n) {
    const size_t k = static_cast<size_t>(pos_ / volumeSize_);
    if (k >= volumes_.size()) break;
    const int64_t off = pos_ % volumeSize_;
    const int64_t avail = volumes_[k].size - off;
    if (avail <= 0) break;
    const size_t want =
        static_cast<size_t>(std::min<int64_t>(avail, static_cast<int64_t>(n - done)));
    ssize_t got = ::pread(volumes_[k].fd, out + done, want, off);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw Error(SysError("cannot read", VolumeName(path_, static_cast<int>(k))));
    if (got == 0) break;
    done += static_cast<size_t>(got);
    pos_ += got;
  }
  return done;
}

size_t TNxBigFileStream::Write(const void* buffer, size_t n) {
  if (mode_ != Mode::kCreate) return 0;
  auto* in = static_cast<const uint8_t*>(buffer);
  size_t done = 0;
  while (done < n) {
    const size_t k = static_cast<size_t>(pos_ / volumeSize_);
    while (k >= volumes_.size())
      OpenVolume(VolumeCount(), true);
    const int64_t off = pos_ % volumeSize_;
    const size_t want =
        static_cast<size_t>(std::min<int64_t>(volumeSize_ - off, static_cast<int64_t>(n - done)));
    ssize_t put = ::pwrite(volumes_[k].fd, in + done, want, off);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += static_cast<size_t>(put);
    pos_ += put;
    volumes_[k].size = std::max(volumes_[k].size, off + put);
  }
  return done;
}

TRangeStream::TRangeStream(std::unique_ptr<TNxBigStream> source, int64_t start,
                           std::optional<int64_t> length)
    : source_(std::move(source)) {
  const int64_t size = source_->Size();
  start_ = std::clamp<int64_t>(start, 0, size);
  length_ = length ? std::clamp<int64_t>(*length, 0, size - start_) : size - start_;
  source_->SetPosition(start_);
}

int64_t TRangeStream::Seek(int64_t offset, SeekOrigin origin) {
  std::lock_guard lock(lock_);
  int64_t p = source_->Position();
  switch (origin) {
    case SeekOrigin::kBegin:
      p = start_ + offset;
      break;
    case SeekOrigin::kCurrent:
      p += offset;
      break;
    case SeekOrigin::kEnd:
      p = start_ + length_ + offset;
      break;
  }
  source_->SetPosition(std::clamp<int64_t>(p, start_, start_ + length_));
  return source_->Position() - start_;
}

int64_t TRangeStream::Position() const {
  std::lock_guard lock(lock_);
  return source_->Position() - start_;
}

size_t TRangeStream::Read(void* buffer, size_t n) {
  std::lock_guard lock(lock_);
  const int64_t left = start_ + length_ - source_->Position();
  if (left <= 0) return 0;
  return source_->Read(buffer,
                       static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(n))));
}

size_t TNxBuffBigStream::Read(void* buffer, size_t n) {
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < n) {
    if (used_ == have_) {
      const int64_t left = source_.Size() - source_.Position();
      const size_t want =
          static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(buffer_.size())));
      have_ = want ? source_.Read(buffer_.data(), want) : 0;
      used_ = 0;
      if (have_ == 0) break;
    }
    const size_t k = std::min(n - done, have_ - used_);
    std::memcpy(out + done, buffer_.data() + used_, k);
    used_ += k;
    done += k;
  }
  return done;
}

TNxBuffBigStream::~TNxBuffBigStream() {
  if (have_ > used_) source_.SetPosition(source_.Position() - static_cast<int64_t>(have_ - used_));
}

Bytes ReadWholeFile(const std::filesystem::path& path) {
  TNxBigFileStream f(path, TNxBigFileStream::Mode::kRead);
  Bytes data(static_cast<size_t>(f.Size()));
  if (f.Read(data.data(), data.size()) != data.size()) throw Error("cannot read " + path.string());
  return data;
}

void WriteFileAtomic(const std::filesystem::path& path, std::span<const uint8_t> data) {
  std::filesystem::path tmp = path;
  tmp += ".tmp-XXXXXX";
  std::string name = tmp.string();
  int fd = ::mkstemp(name.data());
  if (fd < 0) throw Error(SysError("cannot write", path));
  size_t done = 0;
  while (done < data.size()) {
    ssize_t put = ::write(fd, data.data() + done, data.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += static_cast<size_t>(put);
  }
  const bool ok = done == data.size() && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
  const int savedErrno = errno;
  ::close(fd);
  if (!ok || ::rename(name.c_str(), path.c_str()) != 0) {
    errno = ok ? errno : savedErrno;
    std::string msg = SysError("cannot write", path);
    ::unlink(name.c_str());
    throw Error(msg);
  }
}

}  // namespace kova
