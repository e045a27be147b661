#include "gfx/surface.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "common/error.h"
#include "gfx/packed_pixels.h"

namespace kova {

namespace {

// Ordered-dither cells for the opacity blend at 8 bits and fewer: bit 3 - x of row y.
constexpr uint8_t kDither[16][4] = {
    {0x8, 0x0, 0x0, 0x0}, {0x8, 0x0, 0x2, 0x0}, {0xA, 0x0, 0x2, 0x0}, {0xA, 0x0, 0xA, 0x0},
    {0xA, 0x4, 0xA, 0x0}, {0xA, 0x4, 0xA, 0x1}, {0xA, 0x5, 0xA, 0x1}, {0xA, 0x5, 0xA, 0x5},
    {0xE, 0x5, 0xA, 0x5}, {0xE, 0x5, 0xB, 0x5}, {0xF, 0x5, 0xB, 0x5}, {0xF, 0x5, 0xF, 0x5},
    {0xF, 0xD, 0xF, 0x5}, {0xF, 0xD, 0xF, 0x7}, {0xF, 0xF, 0xF, 0x7}, {0xF, 0xF, 0xF, 0xF},
};

bool DitherCell(int level, int32_t x, int32_t y) {
  return (kDither[level][y & 3] >> (3 - (x & 3))) & 1;
}

uint32_t Blend32(uint32_t d, uint32_t s, uint32_t a) {
  return ((((d & 0xFF00FF) * (255 - a) + a * (s & 0xFF00FF)) >> 8) & 0xFF00FF) |
         ((((d & 0xFF00) * (255 - a) + (s & 0xFF00) * a) >> 8) & 0xFF00);
}

int Dist(uint32_t a, uint32_t b) {
  int dr = static_cast<int>((a >> 16) & 255) - static_cast<int>((b >> 16) & 255);
  int dg = static_cast<int>((a >> 8) & 255) - static_cast<int>((b >> 8) & 255);
  int db = static_cast<int>(a & 255) - static_cast<int>(b & 255);
  return dr * dr + dg * dg + db * db;
}

}  // namespace

bool IsValidBitCount(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 15 || bits == 16 || bits == 24 ||
         bits == 32;
}

TDIBSurface::TDIBSurface(const TDIBSurface& other) {
  *this = other;
}

TDIBSurface& TDIBSurface::operator=(const TDIBSurface& other) {
  if (this == &other) return *this;
  width_ = other.width_;
  height_ = other.height_;
  bits_ = other.bits_;
  pitch_ = other.pitch_;
  data_ = other.data_;
  palette_ = other.palette_;
  clip_ = other.clip_;
  alpha_ = other.alpha_ ? std::make_unique<TDIBSurface>(*other.alpha_) : nullptr;
  return *this;
}

void TDIBSurface::SetSize(int32_t width, int32_t height, int bits) {
  if (!IsValidBitCount(bits)) throw Error("unsupported bit count " + std::to_string(bits));
  if (width < 0 || height < 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
      int64_t{width} * height > kMaxPicturePixels)
    throw Error("picture size " + std::to_string(width) + "x" + std::to_string(height) +
                " is too large");
  width_ = width;
  height_ = height;
  bits_ = bits;
  pitch_ = DibRowSize(width, bits);
  data_.assign(static_cast<size_t>(pitch_ * height), 0);
}

uint8_t* TDIBSurface::ScanLine(int32_t y) {
  if (y < 0 || y >= height_) throw Error("scan line " + std::to_string(y) + " out of range");
  return data_.data() + y * pitch_;
}
const uint8_t* TDIBSurface::ScanLine(int32_t y) const {
  return const_cast<TDIBSurface*>(this)->ScanLine(y);
}

uint32_t TDIBSurface::GetPixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return ReadPixelAt(data_.data() + y * pitch_, x, bits_);
}

void TDIBSurface::SetPixel(int32_t x, int32_t y, uint32_t v) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  WritePixelAt(data_.data() + y * pitch_, x, bits_, v);
}

uint32_t TDIBSurface::RGBToNative(uint8_t r, uint8_t g, uint8_t b) const {
  switch (bits_) {
    case 1:
    case 4:
    case 8: {
      const uint32_t rgb = (r << 16) | (g << 8) | b;
      const int n = 1 << bits_;
      int best = 0, bestDist = Dist(palette_[0], rgb);
      for (int i = 1; i < n && bestDist > 0; ++i) {
        int d = Dist(palette_[i], rgb);
        if (d < bestDist) best = i, bestDist = d;
      }
      return static_cast<uint32_t>(best);
    }
    case 15:
      return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case 16:
      return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    default:
      return (r << 16) | (g << 8) | b;
  }
}

uint32_t TDIBSurface::NativeToRGB(uint32_t v, bool expand) const {
  auto widen = [expand](uint32_t c, int bits) {
    uint32_t out = c << (8 - bits);
    if (expand && c != 0) out |= (1u << (8 - bits)) - 1;
    return out;
  };
  switch (bits_) {
    case 1:
    case 4:
    case 8:
      return palette_[v & 255] & 0xFFFFFF;
    case 15:
      return (widen((v >> 10) & 31, 5) << 16) | (widen((v >> 5) & 31, 5) << 8) | widen(v & 31, 5);
    case 16:
      return (widen((v >> 11) & 31, 5) << 16) | (widen((v >> 5) & 63, 6) << 8) | widen(v & 31, 5);
    default:
      return v & 0xFFFFFF;
  }
}

bool TDIBSurface::ClipCopy(int32_t x, int32_t y, const Rect& srIn, const TDIBSurface& src,
                           Span2& out) const {
  if (src.bits_ != bits_) throw Error("surfaces of different bit counts");
  const Rect sr = srIn.Intersect(src.Bounds());
  if (sr.Empty()) return false;
  int64_t dx = int64_t{x} + (sr.left - srIn.left), dy = int64_t{y} + (sr.top - srIn.top);
  Rect clip = clip_.Empty() ? Bounds() : clip_.Intersect(Bounds());
  int64_t l = std::max<int64_t>(dx, clip.left), t = std::max<int64_t>(dy, clip.top);
  int64_t r = std::min<int64_t>(dx + sr.Width(), clip.right);
  int64_t b = std::min<int64_t>(dy + sr.Height(), clip.bottom);
  if (r <= l || b <= t) return false;
  out.dx = static_cast<int32_t>(l);
  out.dy = static_cast<int32_t>(t);
  out.sx = static_cast<int32_t>(sr.left + (l - dx));
  out.sy = static_cast<int32_t>(sr.top + (t - dy));
  out.w = static_cast<int32_t>(r - l);
  out.h = static_cast<int32_t>(b - t);
  return true;
}

void TDIBSurface::CopyKeyed(int32_t x, int32_t y, int64_t key, const Rect& sr,
                            const TDIBSurface& src) {
  Span2 s;
  if (!ClipCopy(x, y, sr, src, s)) return;
  const bool keyed = key >= 0;
  const uint32_t k = static_cast<uint32_t>(key);
  const int sb = StoreBits(bits_);
  if (!keyed && sb >= 8) {
    const size_t bpp = static_cast<size_t>(sb / 8);
    for (int32_t j = 0; j < s.h; ++j)
      std::memmove(ScanLine(s.dy + j) + s.dx * bpp, src.ScanLine(s.sy + j) + s.sx * bpp, s.w * bpp);
    return;
  }
  for (int32_t j = 0; j < s.h; ++j) {
    for (int32_t i = 0; i < s.w; ++i) {
      uint32_t sp = src.GetPixel(s.sx + i, s.sy + j);
      if (bits_ == 1) {
        // A 1-bit destination changes only where the source bit differs from the key bit.
        if (keyed && sp == (k & 1)) continue;
      } else if (keyed && sp == k) {
        continue;
      }
      SetPixel(s.dx + i, s.dy + j, sp);
    }
  }
}

void TDIBSurface::BlendOpacity(int32_t x, int32_t y, int32_t a, int64_t key, const Rect& sr,
                               const TDIBSurface& src) {
  if (a == 0) return;
  int level = 0;
  if (bits_ <= 8 && a > 0) level = a / 16;
  if (a > 254 || a < 0 || (bits_ <= 8 && level > 14)) return CopyKeyed(x, y, key, sr, src);
  Span2 s;
  if (!ClipCopy(x, y, sr, src, s)) return;
  const bool keyed = key >= 0;
  const uint32_t k = static_cast<uint32_t>(key);
  const uint32_t ua = static_cast<uint32_t>(a);
  for (int32_t j = 0; j < s.h; ++j) {
    const int32_t dy = s.dy + j;
    uint8_t* drow = ScanLine(dy);
    const uint8_t* srow = src.ScanLine(s.sy + j);
    for (int32_t i = 0; i < s.w; ++i) {
      const int32_t dx = s.dx + i;
      if (bits_ <= 8) {
        uint32_t sp = src.GetPixel(s.sx + i, s.sy + j);
        if (keyed && sp == k) continue;
        if (DitherCell(level, dx, dy)) SetPixel(dx, dy, sp);
      } else if (bits_ == 15 || bits_ == 16) {
        uint32_t sp = Load16(srow + 2 * (s.sx + i)), dp = Load16(drow + 2 * dx);
        if (keyed && sp == k) continue;
        const uint32_t masks[3] = {bits_ == 15 ? 0x7C00u : 0xF800u, bits_ == 15 ? 0x03E0u : 0x07E0u,
                                   0x001Fu};
        uint32_t out = 0;
        for (uint32_t m : masks)
          out |= (((255 - ua) * (dp & m) + ua * (sp & m)) / 255) & m;
        Store16(drow + 2 * dx, out);
      } else if (bits_ == 24) {
        const uint8_t* sp = srow + 3 * (s.sx + i);
        uint8_t* dp = drow + 3 * dx;
        if (keyed && Load24(sp) == k) continue;
        for (int c = 0; c < 3; ++c)
          dp[c] = static_cast<uint8_t>(((255 - ua) * dp[c] + ua * sp[c]) / 255);
      } else {
        uint32_t sp = Load32(srow + 4 * (s.sx + i)), dp = Load32(drow + 4 * dx);
        if (keyed && sp == k) continue;
        Store32(drow + 4 * dx, Blend32(dp, sp, ua));
      }
    }
  }
}

void TDIBSurface::BlendAlphaPlane(int32_t x, int32_t y, int32_t a, const Rect& sr,
                                  const TDIBSurface& src) {
  const TDIBSurface* plane = src.AlphaPlane();
  if (!plane) return BlendOpacity(x, y, a, -1, sr, src);
  Span2 s;
  if (!ClipCopy(x, y, sr, src, s)) return;
  const uint32_t ua = static_cast<uint32_t>(std::clamp(a, 0, 255));
  for (int32_t j = 0; j < s.h; ++j) {
    uint8_t* drow = ScanLine(s.dy + j);
    const uint8_t* srow = src.ScanLine(s.sy + j);
    const uint8_t* arow = plane->ScanLine(s.sy + j);
    for (int32_t i = 0; i < s.w; ++i) {
      const int32_t sx = s.sx + i, dx = s.dx + i;
      const uint32_t c = arow[sx];
      if (bits_ <= 8) {
        if (c >= 128) SetPixel(dx, s.dy + j, src.GetPixel(sx, s.sy + j));
      } else if (bits_ == 15 || bits_ == 16) {
        if (c == 0) continue;
        uint32_t sp = Load16(srow + 2 * sx), dp = Load16(drow + 2 * dx);
        if (c == 255) {
          Store16(drow + 2 * dx, sp);
          continue;
        }
        const uint32_t masks[3] = {bits_ == 15 ? 0x7C00u : 0xF800u, bits_ == 15 ? 0x03E0u : 0x07E0u,
                                   0x001Fu};
        uint32_t out = 0;
        for (uint32_t m : masks)
          out |= ((((dp & m) * (255 - c)) + c * (sp & m)) >> 8) & m;
        Store16(drow + 2 * dx, out);
      } else if (bits_ == 24) {
        const uint8_t* sp = srow + 3 * sx;
        uint8_t* dp = drow + 3 * dx;
        if (ua == 255) {
          if (c == 0) continue;
          if (c == 255) {
            std::memcpy(dp, sp, 3);
            continue;
          }
          for (int k = 0; k < 3; ++k)
            dp[k] = static_cast<uint8_t>((sp[k] * c + dp[k] * (255 - c)) >> 8);
        } else {
          if (ua * c < 256) continue;
          const uint32_t c2 = ua * c >> 8;
          const uint32_t d = Load24(dp), sv = Load24(sp);
          const uint32_t t = (d & 0xFF00FF) * (255 - c2) + c2 * (sv & 0xFF00FF);
          const uint32_t g = ((d & 0xFF00) * (255 - c2) + (sv & 0xFF00) * c2) >> 16;
          dp[0] = static_cast<uint8_t>(t >> 8);
          dp[1] = static_cast<uint8_t>(g);
          dp[2] = static_cast<uint8_t>(t >> 24);
        }
      } else {
        if (c == 0) continue;
        uint32_t sp = Load32(srow + 4 * sx);
        if (c == 255) {
          Store32(drow + 4 * dx, sp);
          continue;
        }
        Store32(drow + 4 * dx, Blend32(Load32(drow + 4 * dx), sp, c));
      }
    }
  }
}

void TDIBSurface::FillRect(const Rect& rIn, uint32_t value) {
  const Rect r = rIn.Intersect(Bounds());
  if (r.Empty()) return;
  for (int32_t y = r.top; y < r.bottom; ++y)
    for (int32_t x = r.left; x < r.right; ++x)
      SetPixel(x, y, value);
}

void TDIBSurface::Crop(const Rect& rIn) {
  const Rect r = rIn.Intersect(Bounds());
  TDIBSurface out;
  out.palette_ = palette_;
  out.SetSize(std::max(0, r.Width()), std::max(0, r.Height()), bits_);
  if (!r.Empty()) out.CopyRect(0, 0, r, *this);
  if (alpha_) {
    alpha_->Crop(r);
    out.alpha_ = std::move(alpha_);
  }
  *this = std::move(out);
}

Rect TDIBSurface::BoundingBox(int64_t v) const {
  if (v < 0) return Bounds();
  const uint32_t uv = static_cast<uint32_t>(v);
  auto rowAll = [&](int32_t y, int32_t l, int32_t r) {
    for (int32_t x = l; x < r; ++x)
      if (GetPixel(x, y) != uv) return false;
    return true;
  };
  auto colAll = [&](int32_t x, int32_t t, int32_t b) {
    for (int32_t y = t; y < b; ++y)
      if (GetPixel(x, y) != uv) return false;
    return true;
  };
  Rect r = Bounds();
  while (r.top < r.bottom && rowAll(r.top, r.left, r.right))
    ++r.top;
  while (r.bottom > r.top && rowAll(r.bottom - 1, r.left, r.right))
    --r.bottom;
  while (r.left < r.right && colAll(r.left, r.top, r.bottom))
    ++r.left;
  while (r.right > r.left && colAll(r.right - 1, r.top, r.bottom))
    --r.right;
  if (r.Empty()) return {};
  return r;
}

void TDIBSurface::Resize(int32_t width, int32_t height, int64_t key, bool smooth) {
  if (width == width_ && height == height_) return;
  if (alpha_) alpha_->Resize(width, height, -1, smooth);
  TDIBSurface out;
  out.palette_ = palette_;
  if (!smooth || Empty()) {
    out.SetSize(width, height, bits_);
    if (!Empty())
      for (int32_t y = 0; y < height; ++y) {
        const int32_t sy = static_cast<int32_t>(int64_t{y} * height_ / height);
        for (int32_t x = 0; x < width; ++x)
          out.SetPixel(x, y, GetPixel(static_cast<int32_t>(int64_t{x} * width_ / width), sy));
      }
  } else {
    TDIBSurface old = *this;
    old.alpha_.reset();
    old.ConvertDepth(24);
    const uint32_t key24 = key >= 0 ? NativeToRGB(static_cast<uint32_t>(key)) : 0;
    out.SetSize(width, height, 24);
    const double rx = double(width) / width_, ry = double(height) / height_;
    if (width > width_ || height > height_) {
      for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
          const double fxs = x / rx, fys = y / ry;
          const int32_t ix = static_cast<int32_t>(fxs), iy = static_cast<int32_t>(fys);
          const double fx = fxs - ix, fy = fys - iy;
          const double w[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
          const uint32_t p[4] = {old.GetPixel(ix, iy), old.GetPixel(ix + 1, iy),
                                 old.GetPixel(ix, iy + 1), old.GetPixel(ix + 1, iy + 1)};
          uint32_t v = 0;
          for (int sh = 0; sh < 24; sh += 8) {
            double sum = 0;
            for (int n = 0; n < 4; ++n)
              sum += w[n] * ((p[n] >> sh) & 255);
            v |= static_cast<uint32_t>(std::min(255L, std::lround(sum))) << sh;
          }
          out.SetPixel(x, y, v);
        }
    } else {
      for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
          const int32_t x0 = static_cast<int32_t>(x / rx), x1 = static_cast<int32_t>((x + 1) / rx);
          const int32_t y0 = static_cast<int32_t>(y / ry), y1 = static_cast<int32_t>((y + 1) / ry);
          uint64_t sum[3] = {0, 0, 0}, n = 0;
          for (int32_t sy = y0; sy < y1; ++sy)
            for (int32_t sx = x0; sx < x1; ++sx) {
              uint32_t p = old.GetPixel(sx, sy);
              if (key >= 0 && p == key24) continue;
              for (int c = 0; c < 3; ++c)
                sum[c] += (p >> (8 * c)) & 255;
              ++n;
            }
          uint32_t v = key24;
          if (n)
            v = static_cast<uint32_t>((sum[0] * 2 + n) / (2 * n)) |
                static_cast<uint32_t>((sum[1] * 2 + n) / (2 * n)) << 8 |
                static_cast<uint32_t>((sum[2] * 2 + n) / (2 * n)) << 16;
          out.SetPixel(x, y, v);
        }
    }
    if (bits_ != 24) {
      if (bits_ <= 8) out.palette_ = palette_;
      out.ConvertDepth(bits_);
      if (bits_ <= 8) out.palette_ = palette_;
    }
  }
  out.alpha_ = std::move(alpha_);
  out.clip_ = {};
  *this = std::move(out);
}

void TDIBSurface::ConvertDepth(int bits) {
  if (!IsValidBitCount(bits)) throw Error("unsupported bit count " + std::to_string(bits));
  if (bits == bits_) return;
  TDIBSurface out;
  out.SetSize(width_, height_, bits);
  if (bits <= 8) {
    // The palette: the old one when it has room, else the picture's own colours when few,
    // else a fixed spread of colours.
    const int n = 1 << bits;
    if (bits_ <= 8 && bits_ <= bits) {
      out.palette_ = palette_;
    } else {
      std::vector<uint32_t> seen;
      bool few = true;
      for (int32_t y = 0; y < height_ && few; ++y)
        for (int32_t x = 0; x < width_; ++x) {
          uint32_t c = NativeToRGB(GetPixel(x, y));
          if (std::find(seen.begin(), seen.end(), c) != seen.end()) continue;
          if (static_cast<int>(seen.size()) == n) {
            few = false;
            break;
          }
          seen.push_back(c);
        }
      out.palette_.fill(0);
      if (few) {
        std::copy(seen.begin(), seen.end(), out.palette_.begin());
      } else if (bits == 8) {
        int i = 0;
        for (int r = 0; r < 6; ++r)
          for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
              out.palette_[i++] = (r * 51) << 16 | (g * 51) << 8 | b * 51;
        for (int k = 0; i < 256; ++i, ++k)
          out.palette_[i] = 0x010101u * (k * 255 / 39);
      } else if (bits == 4) {
        static constexpr uint32_t kVga[16] = {
            0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
            0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
        std::copy(std::begin(kVga), std::end(kVga), out.palette_.begin());
      } else {
        out.palette_[1] = 0xFFFFFF;
      }
    }
    std::unordered_map<uint32_t, uint32_t> memo;
    for (int32_t y = 0; y < height_; ++y)
      for (int32_t x = 0; x < width_; ++x) {
        uint32_t c = NativeToRGB(GetPixel(x, y));
        auto it = memo.find(c);
        if (it == memo.end()) it = memo.emplace(c, out.RGBToNative(c)).first;
        out.SetPixel(x, y, it->second);
      }
  } else {
    for (int32_t y = 0; y < height_; ++y)
      for (int32_t x = 0; x < width_; ++x) {
        uint32_t v = out.RGBToNative(NativeToRGB(GetPixel(x, y)));
        if (bits == 32) v |= 0xFF000000u;
        out.SetPixel(x, y, v);
      }
  }
  out.alpha_ = std::move(alpha_);
  out.clip_ = clip_;
  *this = std::move(out);
}

TDIBSurface& TDIBSurface::CreateAlphaPlane() {
  if (!alpha_ || alpha_->width_ != width_ || alpha_->height_ != height_ || alpha_->bits_ != 8)
    alpha_ = std::make_unique<TDIBSurface>(width_, height_, 8);
  return *alpha_;
}

void TDIBSurface::CopyAlphaFrom(const TDIBSurface& plane) {
  TDIBSurface& a = CreateAlphaPlane();
  const int32_t h = std::min(height_, plane.height_);
  const int32_t w = std::min(width_, plane.width_);
  for (int32_t y = 0; y < h; ++y) {
    if (plane.bits_ == 8) {
      std::memcpy(a.ScanLine(y), plane.ScanLine(y), static_cast<size_t>(w));
    } else {
      for (int32_t x = 0; x < w; ++x)
        a.SetPixel(x, y, plane.GetPixel(x, y) & 255);
    }
  }
}

void TDIBSurface::FillAlphaOpaque() {
  TDIBSurface& a = CreateAlphaPlane();
  std::fill(a.data_.begin(), a.data_.end(), uint8_t{255});
}

}  // namespace kova
