#include "vfs/zlib_codec.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

#include "common/stream.h"

namespace kova {

namespace {

class InflateState {
 public:
  explicit InflateState(const std::string& name) : name_(name) {
    if (inflateInit(&z_) != Z_OK) throw Error(name_ + ": cannot start decompression");
  }
  ~InflateState() { inflateEnd(&z_); }

  // Feeds `in`; hands each produced piece to `out`. Returns true at the stream end.
  template <typename Out>
  bool Feed(std::span<const uint8_t> in, uint8_t* buf, size_t bufSize, Out&& out) {
    z_.next_in = const_cast<Bytef*>(in.data());
    z_.avail_in = static_cast<uInt>(in.size());
    for (;;) {
      z_.next_out = buf;
      z_.avail_out = static_cast<uInt>(bufSize);
      int r = inflate(&z_, Z_NO_FLUSH);
      size_t produced = bufSize - z_.avail_out;
      if (produced) out(buf, produced);
      if (r == Z_STREAM_END) return true;
      if (r == Z_BUF_ERROR && z_.avail_in == 0) return false;  // wants more input
      if (r != Z_OK) throw Error(name_ + ": compressed data is damaged");
      if (z_.avail_in == 0 && z_.avail_out != 0) return false;
    }
  }

 private:
  z_stream z_{};
  const std::string& name_;
};

}  // namespace

Bytes Inflate(std::span<const uint8_t> in, const std::string& name, uint64_t cap) {
  // Inflates straight into the result, doubling it as needed: no bounce buffer.
  Bytes out(static_cast<size_t>(std::min<uint64_t>(cap, in.size() * 4 + 256)));
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw Error(name + ": cannot start decompression");
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  size_t done = 0;
  int r = Z_OK;
  for (;;) {
    if (done == out.size()) {
      if (out.size() >= cap) {
        inflateEnd(&z);
        throw Error(name + ": compressed data expands too far");
      }
      out.resize(static_cast<size_t>(std::min<uint64_t>(cap, out.size() * 2)));
    }
    z.next_out = out.data() + done;
    z.avail_out = static_cast<uInt>(std::min<size_t>(out.size() - done, 1u << 30));
    const uInt before = z.avail_out;
    r = inflate(&z, Z_NO_FLUSH);
    done += before - z.avail_out;
    if (r == Z_STREAM_END) break;
    if (r == Z_BUF_ERROR && z.avail_in == 0) break;  // input ended early
    if (r != Z_OK) break;
  }
  inflateEnd(&z);
  if (r == Z_STREAM_END) {
    out.resize(done);
    return out;
  }
  if (r == Z_BUF_ERROR || r == Z_OK) throw Error(name + ": compressed data is truncated");
  throw Error(name + ": compressed data is damaged");
}

uint64_t InflatedSize(TNxBigStream& in, int64_t count, const std::string& name) {
  const uint64_t cap = InflateCap(static_cast<uint64_t>(std::max<int64_t>(count, 0)));
  std::vector<uint8_t> inBuf(256 * 1024), outBuf(256 * 1024);
  InflateState z(name);
  uint64_t total = 0;
  bool end = false;
  while (count > 0 && !end) {
    size_t n = in.Read(inBuf.data(), static_cast<size_t>(std::min<int64_t>(count, inBuf.size())));
    if (n == 0) break;
    count -= static_cast<int64_t>(n);
    end = z.Feed({inBuf.data(), n}, outBuf.data(), outBuf.size(), [&](const uint8_t*, size_t k) {
      total += k;
      if (total > cap) throw Error(name + ": compressed data expands too far");
    });
  }
  if (!end) throw Error(name + ": compressed data is truncated");
  return total;
}

Bytes Deflate(std::span<const uint8_t> in) {
  uLongf size = compressBound(static_cast<uLong>(in.size()));
  Bytes out(size);
  if (compress2(out.data(), &size, in.data(), static_cast<uLong>(in.size()), 1) != Z_OK)
    throw Error("compression failed");
  out.resize(size);
  return out;
}

uint32_t Crc32(std::span<const uint8_t> data, uint32_t crc) {
  // zlib takes 32-bit lengths; feed large spans in pieces.
  while (!data.empty()) {
    size_t n = std::min<size_t>(data.size(), 1u << 30);
    crc = static_cast<uint32_t>(crc32(crc, data.data(), static_cast<uInt>(n)));
    data = data.subspan(n);
  }
  return crc;
}

uint32_t Crc32(TNxBigStream& s) {
  s.SetPosition(0);
  std::vector<uint8_t> buf(1u << 20);
  uint32_t crc = 0;
  for (;;) {
    size_t n = s.Read(buf.data(), buf.size());
    if (n == 0) break;
    crc = Crc32({buf.data(), n}, crc);
  }
  return crc;
}

}  // namespace kova
