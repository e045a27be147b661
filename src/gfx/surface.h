// A decoded picture in its file's own depth (1, 4, 8, 15, 16, 24 or 32 bits per pixel, a
// palette at 8 bits and fewer) with an optional 8-bit alpha plane. Pictures are decoded and their
// layers composed here before they become screen bitmaps.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/geometry.h"

namespace kova {

// Largest picture any reader accepts: bounds what a small compressed file can make us allocate.
inline constexpr int32_t kMaxPictureSide = 32768;
inline constexpr int64_t kMaxPicturePixels = int64_t{1} << 25;

bool IsValidBitCount(int bits);
// Bits a pixel takes in memory and in files: 15-bit pixels are stored in 16-bit words.
inline int StoreBits(int bits) {
  return bits == 15 ? 16 : bits;
}
// Bytes of one row in the device-independent layout: whole 32-bit words.
inline int64_t DibRowSize(int64_t width, int bits) {
  return (width * StoreBits(bits) + 31) / 32 * 4;
}

// Pixel values in RGB form are 0x00RRGGBB.
class TDIBSurface {
 public:
  TDIBSurface() = default;
  TDIBSurface(int32_t width, int32_t height, int bits) { SetSize(width, height, bits); }
  TDIBSurface(const TDIBSurface& other);
  TDIBSurface& operator=(const TDIBSurface& other);
  TDIBSurface(TDIBSurface&&) = default;
  TDIBSurface& operator=(TDIBSurface&&) = default;

  // Throws Error for a depth outside {1,4,8,15,16,24,32} or a size above the caps. Pixels start
  // as 0; the palette is kept.
  void SetSize(int32_t width, int32_t height, int bits);
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int BitCount() const { return bits_; }
  int64_t Pitch() const { return pitch_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  Rect Bounds() const { return {0, 0, width_, height_}; }

  // Row y (0 at the top); throws Error outside 0..height-1.
  uint8_t* ScanLine(int32_t y);
  const uint8_t* ScanLine(int32_t y) const;
  std::vector<uint8_t>& Data() { return data_; }
  const std::vector<uint8_t>& Data() const { return data_; }

  // 256 entries 0x00RRGGBB (the blue, green, red, reserved bytes of the file, little-endian).
  std::array<uint32_t, 256>& Palette() { return palette_; }
  const std::array<uint32_t, 256>& Palette() const { return palette_; }

  uint32_t GetPixel(int32_t x, int32_t y) const;  // 0 outside
  void SetPixel(int32_t x, int32_t y, uint32_t value);

  uint32_t RGBToNative(uint8_t r, uint8_t g, uint8_t b) const;
  uint32_t RGBToNative(uint32_t rgb) const {
    return RGBToNative(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                       static_cast<uint8_t>(rgb));
  }
  // 0x00RRGGBB of a native value; `expand` fills the vacated low bits of nonzero 15/16-bit
  // channels with ones.
  uint32_t NativeToRGB(uint32_t value, bool expand = false) const;

  void SetClip(const Rect& r) { clip_ = r; }
  const Rect& Clip() const { return clip_; }

  // All copy and blend operations: destination (x, y), a source rectangle of `src`, both of
  // the same bit count (else Error). Clipped to the clip rectangle (or the surface) and to the
  // source surface. A negative key means none.
  void CopyKeyed(int32_t x, int32_t y, int64_t key, const Rect& sr, const TDIBSurface& src);
  void BlendOpacity(int32_t x, int32_t y, int32_t a, int64_t key, const Rect& sr,
                    const TDIBSurface& src);
  void BlendAlphaPlane(int32_t x, int32_t y, int32_t a, const Rect& sr, const TDIBSurface& src);
  void Copy(int32_t x, int32_t y, const TDIBSurface& src) {
    CopyKeyed(x, y, -1, src.Bounds(), src);
  }
  void CopyRect(int32_t x, int32_t y, const Rect& sr, const TDIBSurface& src) {
    CopyKeyed(x, y, -1, sr, src);
  }
  void FillRect(const Rect& r, uint32_t value);

  void Crop(const Rect& r);
  void Resize(int32_t width, int32_t height, int64_t key, bool smooth);
  void ConvertDepth(int bits);
  // Box of the pixels that differ from v; (0,0,0,0) when none; v < 0: the whole surface.
  Rect BoundingBox(int64_t v) const;

  TDIBSurface* AlphaPlane() { return alpha_.get(); }
  const TDIBSurface* AlphaPlane() const { return alpha_.get(); }
  TDIBSurface& CreateAlphaPlane();
  void FreeAlphaPlane() { alpha_.reset(); }
  void CopyAlphaFrom(const TDIBSurface& plane);
  void FillAlphaOpaque();

 private:
  struct Span2 {
    int32_t dx, dy, sx, sy, w, h;
  };
  // Clips a copy; false when nothing is left.
  bool ClipCopy(int32_t x, int32_t y, const Rect& sr, const TDIBSurface& src, Span2& out) const;

  int32_t width_ = 0, height_ = 0;
  int bits_ = 8;
  int64_t pitch_ = 0;
  std::vector<uint8_t> data_;
  std::array<uint32_t, 256> palette_{};
  Rect clip_;
  std::unique_ptr<TDIBSurface> alpha_;
};

}  // namespace kova
