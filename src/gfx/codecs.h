// Reading and writing of the single-picture file formats: bitmap files (own code), PNG and JPEG.
#pragma once

#include <span>
#include <string>

#include "common/bytes.h"
#include "vfs/zlib_codec.h"
#include "common/error.h"
#include "gfx/surface.h"

namespace kova {

// Any violation of a picture file's format. The message is "picture is damaged: NAME"; the
// detail says what was wrong, for diagnostics.
class DamagedPicture : public Error {
 public:
  DamagedPicture(const std::string& name, std::string detail)
      : Error("picture is damaged: " + name), detail_(std::move(detail)) {}
  const std::string& Detail() const { return detail_; }

 private:
  std::string detail_;
};
[[noreturn]] inline void Damaged(const std::string& name, std::string detail) {
  throw DamagedPicture(name, std::move(detail));
}

// `name` is the UTF-8 display name used in errors.
// Bitmap files: 1, 4, 8, 16 (5-5-5 or 5-6-5), 24 and 32 bits, uncompressed or bit fields.
TDIBSurface ReadBmp(std::span<const uint8_t> data, const std::string& name);
Bytes WriteBmp24(const TDIBSurface& pic);
// PNG: a 24-bit picture, with an alpha plane when the file has transparency.
TDIBSurface ReadPng(std::span<const uint8_t> data, const std::string& name);
// The picture as 8-bit RGB, or RGBA when it has an alpha plane.
Bytes WritePng(const TDIBSurface& pic);
// JPEG: a 24-bit picture. With an expected size, another size is refused before decoding.
TDIBSurface ReadJpeg(std::span<const uint8_t> data, const std::string& name, int32_t expectW = -1,
                     int32_t expectH = -1);
Bytes WriteJpeg(const TDIBSurface& pic, int quality);

// zlib: deflate at level 1 in zlib format; inflate stops at `limit` bytes of output.
// Inflates at most `limit` bytes (a picture block knows its size); damaged data is an error.
Bytes InflateUpTo(std::span<const uint8_t> data, size_t limit, const std::string& name);

}  // namespace kova
