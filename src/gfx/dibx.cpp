#include "gfx/dibx.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "common/cp932.h"
#include "common/error.h"
#include "common/stream.h"
#include "gfx/codecs.h"
#include "gfx/packed_pixels.h"
#include "gfx/pixel_kernels.h"
#include "gfx/surface.h"
#include "gfx/vel.h"
#include "vfs/file_stream.h"

namespace kova {

namespace {

constexpr uint32_t kMasks32[3] = {0xFF0000u, 0x00FF00u, 0x0000FFu};

// Per-channel formulas for destinations without row kernels (8-bit stores: one channel).
std::span<const uint32_t> ChannelMasks(int bits) {
  static constexpr uint32_t k8[1] = {0xFFu};
  if (bits == 32) return kMasks32;
  return k8;
}
uint32_t BlendPx(uint32_t d, uint32_t s, uint32_t a, std::span<const uint32_t> masks) {
  uint32_t out = 0;
  for (uint32_t m : masks)
    out |= (((d & m) * (255 - a) + (s & m) * a) >> 8) & m;
  return out;
}
uint32_t AddPx(uint32_t d, uint32_t s, uint32_t k, std::span<const uint32_t> masks) {
  uint32_t out = 0;
  for (uint32_t m : masks) {
    uint32_t t = (d & m) + (((s & m) * k >> 8) & m);
    out |= t < m ? t : m;
  }
  return out;
}

int64_t FloorDiv(int64_t a, int64_t b) {  // b > 0
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Narrows [i0, i1) to the steps i at which lo <= v0 + i * d < hi.
void NarrowRun(int64_t v0, int64_t d, int64_t lo, int64_t hi, int64_t& i0, int64_t& i1) {
  if (d == 0) {
    if (v0 < lo || v0 >= hi) i1 = i0;
    return;
  }
  if (d > 0) {
    i0 = std::max(i0, -FloorDiv(v0 - lo, d));  // ceil((lo - v0) / d)
    i1 = std::min(i1, -FloorDiv(v0 - hi, d));  // ceil((hi - v0) / d)
  } else {
    i0 = std::max(i0, FloorDiv(v0 - hi, -d) + 1);
    i1 = std::min(i1, FloorDiv(v0 - lo, -d) + 1);
  }
}

int64_t Clamp32(double v) {
  return static_cast<int64_t>(std::clamp(v, -2147483648.0, 2147483647.0));
}

// Restores a bitmap's update rectangle when a tiling operation ends, also by an exception.
class UpdateGuard {
 public:
  explicit UpdateGuard(TCustomDIBX& b) : b_(b), saved_(b.UpdateRect()) {}
  ~UpdateGuard() { b_.SetUpdateRect(saved_); }

 private:
  TCustomDIBX& b_;
  Rect saved_;
};

}  // namespace

BlendChoice ChooseBlend(int32_t v) {
  if (v <= 0) return {BlendChoice::kNone, 0};
  if (v < 255) return {BlendChoice::kAlpha, static_cast<uint32_t>(v)};
  if (v == 255) return {BlendChoice::kCopy, 255};
  if (v == 256) return {BlendChoice::kNone, 0};
  return {BlendChoice::kAdd, static_cast<uint32_t>(std::min(v, 511) - 256)};
}

// ---------------------------------------------------------------------------------------------
// Storage-independent parts of the base class.

uint32_t TCustomDIBX::GetPixel(int32_t x, int32_t y) const {
  return 0;
}
void TCustomDIBX::SetPixel(int32_t, int32_t, uint32_t) {}

std::array<uint32_t, 256> TCustomDIBX::GetPalette() const {
  const auto* p = PaletteStore();
  return p ? *p : std::array<uint32_t, 256>{};
}
void TCustomDIBX::SetPalette(const std::array<uint32_t, 256>& p) {
  if (auto* s = PaletteStore()) *s = p;
}
void TCustomDIBX::GetPaletteEntries(int first, std::span<uint32_t> out) const {
  const auto* p = PaletteStore();
  for (size_t i = 0; i < out.size(); ++i) {
    const size_t at = static_cast<size_t>(first) + i;
    out[i] = p && first >= 0 && at < 256 ? (*p)[at] : 0;
  }
}
void TCustomDIBX::SetPaletteEntries(int first, std::span<const uint32_t> in) {
  auto* p = PaletteStore();
  if (!p || first < 0) return;
  for (size_t i = 0; i < in.size() && first + i < 256; ++i)
    (*p)[first + i] = in[i];
}

uint32_t TCustomDIBX::RedMask() const {
  return BitCount() >= 24 ? 0xFF0000u : 0;
}
uint32_t TCustomDIBX::GreenMask() const {
  return BitCount() >= 24 ? 0x00FF00u : 0;
}
uint32_t TCustomDIBX::BlueMask() const {
  return BitCount() >= 24 ? 0x0000FFu : 0;
}
int TCustomDIBX::RedShift() const {
  return 16;
}
int TCustomDIBX::GreenShift() const {
  return 8;
}
int TCustomDIBX::BlueShift() const {
  return 0;
}

void TCustomDIBX::AddUpdate(const Rect& rIn) {
  const Rect r = rIn.Intersect(Bounds());
  if (r.Empty()) return;
  update_ = UpdateActive() ? update_.Union(r) : r;
}

Rect TCustomDIBX::ClipArea() const {
  return UpdateActive() ? update_.Intersect(Bounds()) : Bounds();
}

int64_t TCustomDIBX::NativeColor(ColorRef c) const {
  if (c < 0) return -1;
  if (BitCount() <= 8) return c;
  return ColorRefToPixel(c);
}

// ---- Rectangle operations. ----

void TCustomDIBX::Fill(uint32_t c) {
  const Rect saved = update_;
  update_ = {};
  try {
    FillRect(Bounds(), c);
  } catch (...) {
    update_ = saved;
    throw;
  }
  update_ = saved;
}

namespace {
enum class RectOp { kFill, kAlpha, kAdd, kSub };
}

static void RectOpImpl(TCustomDIBX& b, const Rect& rIn, uint32_t c, int32_t a, RectOp op) {
  const Rect r = rIn.Intersect(b.ClipArea());
  if (r.Empty()) return;
  uint8_t* base = b.Lock(0, 0);
  if (!base) return;
  struct Unlock {
    TCustomDIBX& b;
    ~Unlock() { b.Unlock(); }
  } unlock{b};
  const RowKernels& k = Kernels();
  const uint32_t ua = static_cast<uint32_t>(std::clamp(a, 0, 255));
  const auto masks = ChannelMasks(b.BitCount());
  for (int32_t y = r.top; y < r.bottom; ++y) {
    if (b.BitCount() == 32) {
      auto* row = reinterpret_cast<uint32_t*>(base + y * b.Pitch()) + r.left;
      const int n = r.Width();
      switch (op) {
        case RectOp::kFill:
          std::fill(row, row + n, c);
          break;
        case RectOp::kAlpha:
          k.fillAlpha(row, n, c, ua);
          break;
        case RectOp::kAdd:
          k.addRect(row, n, c);
          break;
        case RectOp::kSub:
          k.subRect(row, n, c);
          break;
      }
      continue;
    }
    for (int32_t x = r.left; x < r.right; ++x) {
      const uint32_t d = b.GetPixel(x, y);
      uint32_t out = 0;
      switch (op) {
        case RectOp::kFill:
          out = c;
          break;
        case RectOp::kAlpha:
          for (uint32_t m : masks)
            out |= (((c & m) * ua + (d & m) * (255 - ua)) >> 8) & m;
          break;
        case RectOp::kAdd:
          for (uint32_t m : masks)
            out |= std::min(m, (c & m) + (d & m));
          break;
        case RectOp::kSub:
          for (uint32_t m : masks)
            out |= (d & m) >= (c & m) ? (d & m) - (c & m) : 0;
          break;
      }
      b.SetPixel(x, y, out);
    }
  }
}

void TCustomDIBX::FillRect(const Rect& r, uint32_t c) {
  RectOpImpl(*this, r, c, 0, RectOp::kFill);
}
void TCustomDIBX::FillRectAlpha(const Rect& r, uint32_t c, int32_t a) {
  RectOpImpl(*this, r, c, a, RectOp::kAlpha);
}
void TCustomDIBX::AddRect(const Rect& r, uint32_t c) {
  RectOpImpl(*this, r, c, 0, RectOp::kAdd);
}
void TCustomDIBX::SubRect(const Rect& r, uint32_t c) {
  RectOpImpl(*this, r, c, 0, RectOp::kSub);
}

namespace {
// Four bands of a rectangle outline: top and bottom across the full width, the sides between.
template <typename Fn>
void Bands4(const Rect& r, int32_t t, Fn fn) {
  if (t <= 0 || r.Empty()) return;
  const int32_t th = std::min(t, r.Height());
  fn(Rect{r.left, r.top, r.right, r.top + th});
  if (r.Height() > th) fn(Rect{r.left, std::max(r.bottom - t, r.top + th), r.right, r.bottom});
  const int32_t top = r.top + t, bottom = r.bottom - t;
  if (bottom > top) {
    fn(Rect{r.left, top, std::min(r.left + t, r.right), bottom});
    fn(Rect{std::max(r.right - t, r.left + t), top, r.right, bottom});
  }
}
}  // namespace

void TCustomDIBX::FrameRect(const Rect& r, int32_t t, uint32_t c) {
  Bands4(r, t, [&](const Rect& b) { FillRect(b, c); });
}
void TCustomDIBX::FrameRectAlpha(const Rect& r, int32_t t, uint32_t c, int32_t a) {
  Bands4(r, t, [&](const Rect& b) { FillRectAlpha(b, c, a); });
}
void TCustomDIBX::FrameRectAdd(const Rect& r, int32_t t, uint32_t c) {
  Bands4(r, t, [&](const Rect& b) { AddRect(b, c); });
}

// ---- Copy family. ----

bool TCustomDIBX::MakePlan(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src, bool flipV,
                           bool flipH, Plan& p) const {
  const int64_t w = sr.Width(), h = sr.Height();
  if (w <= 0 || h <= 0) return false;
  const Rect sb = src.Bounds();
  const Rect clip = ClipArea();
  // Destination column i reads source column sr.left + i, or sr.right - 1 - i when mirrored.
  auto range = [](int64_t n, int64_t lo0, int64_t hi0, bool flip, int64_t srLo, int64_t srHi,
                  int64_t pos, int64_t clipLo, int64_t clipHi, int64_t& lo, int64_t& hi) {
    if (!flip) {
      lo = std::max<int64_t>(0, lo0 - srLo);
      hi = std::min<int64_t>(n, hi0 - srLo);
    } else {
      lo = std::max<int64_t>(0, srHi - hi0);
      hi = std::min<int64_t>(n, srHi - lo0);
    }
    lo = std::max(lo, clipLo - pos);
    hi = std::min(hi, clipHi - pos);
  };
  int64_t l, r, t, b;
  range(w, sb.left, sb.right, flipH, sr.left, sr.right, x, clip.left, clip.right, l, r);
  range(h, sb.top, sb.bottom, flipV, sr.top, sr.bottom, y, clip.top, clip.bottom, t, b);
  if (r <= l || b <= t) return false;
  p.dx = static_cast<int32_t>(x + l);
  p.dy = static_cast<int32_t>(y + t);
  p.w = static_cast<int32_t>(r - l);
  p.h = static_cast<int32_t>(b - t);
  p.sx = static_cast<int32_t>(flipH ? sr.right - 1 - l : sr.left + l);
  p.sy = static_cast<int32_t>(flipV ? sr.bottom - 1 - t : sr.top + t);
  p.stepX = flipH ? -1 : 1;
  p.stepY = flipV ? -1 : 1;
  return true;
}

namespace {

enum class Op { kCopy, kAlpha, kAdd, kMask, kMaskAlpha, kMaskAdd };

// Reads pixels of a source or mask: straight from the store of a TDIBX, through the virtual
// access otherwise; palette sources drawn on 32-bit targets give their colours.
class PixelReader {
 public:
  PixelReader(const TCustomDIBX& b, bool toRgb) : b_(b), toRgb_(toRgb) {
    if (const auto* t = dynamic_cast<const TDIBX*>(&b); t && !t->Store().empty()) {
      base_ = t->Store().data();
      pitch_ = t->Pitch();
    }
    bits_ = b.BitCount();
    if (toRgb_) pal_ = b.PaletteStore();
  }
  uint32_t At(int32_t x, int32_t y) const {
    uint32_t v;
    if (base_ && bits_ == 32) {
      std::memcpy(&v, base_ + y * pitch_ + int64_t{x} * 4, 4);
      return v;
    }
    v = base_ && bits_ == 8 ? base_[y * pitch_ + x] : b_.GetPixel(x, y);
    return toRgb_ && pal_ ? (*pal_)[v & 255] & 0xFFFFFF : v;
  }
  // The store of a 32-bit TDIBX and its row distance; null otherwise.
  const uint8_t* Base32() const { return bits_ == 32 ? base_ : nullptr; }
  int64_t StorePitch() const { return pitch_; }
  // Row pointers when the store is reachable at that depth; null otherwise.
  const uint32_t* Row32(int32_t y) const {
    return base_ && bits_ == 32 ? reinterpret_cast<const uint32_t*>(base_ + y * pitch_) : nullptr;
  }
  const uint8_t* Row8(int32_t y) const {
    return base_ && bits_ == 8 && !toRgb_ ? base_ + y * pitch_ : nullptr;
  }

 private:
  const TCustomDIBX& b_;
  bool toRgb_;
  const uint8_t* base_ = nullptr;
  int64_t pitch_ = 0;
  int bits_ = 32;
  const std::array<uint32_t, 256>* pal_ = nullptr;
};

// Writes n source pixels (and mask bytes) at destination (dx, dy).
void ApplyRow(TCustomDIBX& dst, uint8_t* base, Op op, uint32_t w, int32_t dx, int32_t dy, int n,
              const uint32_t* s, const uint8_t* m, bool useKey, uint32_t key) {
  if (n <= 0) return;
  if (dst.BitCount() == 32 && base) {
    auto* d = reinterpret_cast<uint32_t*>(base + dy * dst.Pitch()) + dx;
    const RowKernels& k = Kernels();
    switch (op) {
      case Op::kCopy:
        k.copy(d, s, n, useKey, key);
        break;
      case Op::kAlpha:
        k.alpha(d, s, n, w, useKey, key);
        break;
      case Op::kAdd:
        k.add(d, s, n, w, useKey, key);
        break;
      case Op::kMask:
        k.mask(d, s, m, n);
        break;
      case Op::kMaskAlpha:
        k.maskAlpha(d, s, m, n, w);
        break;
      case Op::kMaskAdd:
        k.maskAdd(d, s, m, n, w);
        break;
    }
    return;
  }
  const auto masks = ChannelMasks(dst.BitCount());
  const bool wide = dst.BitCount() >= 8;
  for (int i = 0; i < n; ++i) {
    const int32_t x = dx + i;
    const uint32_t sp = s[i];
    const uint32_t d = dst.GetPixel(x, dy);
    switch (op) {
      case Op::kCopy:
        if (!useKey || sp != key) dst.SetPixel(x, dy, sp);
        break;
      case Op::kAlpha:
        if ((!useKey || sp != key) && sp != d && wide)
          dst.SetPixel(x, dy, BlendPx(d, sp, w, masks));
        break;
      case Op::kAdd:
        if ((!useKey || sp != key) && wide)
          dst.SetPixel(x, dy,
                       dst.BitCount() == 8 ? std::min(255u, d + sp) : AddPx(d, sp, w, masks));
        break;
      case Op::kMask:
        if (m[i] == 255 || (!wide && m[i] != 0))
          dst.SetPixel(x, dy, sp);
        else if (m[i] != 0)
          dst.SetPixel(x, dy, BlendPx(d, sp, m[i], masks));
        break;
      case Op::kMaskAlpha:
        if (m[i] != 0 && wide) dst.SetPixel(x, dy, BlendPx(d, sp, w * m[i] >> 8, masks));
        break;
      case Op::kMaskAdd:
        if (m[i] != 0 && wide) dst.SetPixel(x, dy, AddPx(d, sp, w * m[i] >> 8, masks));
        break;
    }
  }
}

struct LockGuard {
  TCustomDIBX* a;
  ~LockGuard() {
    if (a) a->Unlock();
  }
};

}  // namespace

// The copy family's common body: clips, walks the rows and hands each to ApplyRow.
static void CopyFamily(TCustomDIBX& dst, int32_t x, int32_t y, const Rect& srIn,
                       const TCustomDIBX& src, const TCustomDIBX* mask, Op op, uint32_t w,
                       bool flipV, bool flipH, bool useKey) {
  if (mask && mask->BitCount() != 8) return;
  Rect sr = srIn;
  if (mask) {
    // The mask is read at the source pixel's coordinates: stay inside both.
    const Rect inside = sr.Intersect(mask->Bounds());
    if (inside.Empty()) return;
    if (!flipH)
      x += inside.left - sr.left;
    else
      x += sr.right - inside.right;
    if (!flipV)
      y += inside.top - sr.top;
    else
      y += sr.bottom - inside.bottom;
    sr = inside;
  }
  TCustomDIBX::Plan p;
  if (!dst.MakePlan(x, y, sr, src, flipV, flipH, p)) return;
  uint8_t* base = dst.Lock(0, 0);
  LockGuard g1{base ? &dst : nullptr};
  if (!base && dst.BitCount() == 32) return;
  const bool toRgb = src.BitCount() <= 8 && dst.BitCount() == 32;
  uint32_t key = static_cast<uint32_t>(src.ColorKey());
  if (useKey && src.ColorKey() < 0) useKey = false;
  if (useKey && toRgb) key = src.PaletteStore() ? (*src.PaletteStore())[key & 255] & 0xFFFFFF : key;
  const PixelReader sread(src, toRgb);
  const PixelReader mread(mask ? *mask : src, false);
  std::vector<uint32_t> buf(static_cast<size_t>(p.w));
  std::vector<uint8_t> mbuf(mask ? static_cast<size_t>(p.w) : 0);
  for (int32_t j = 0; j < p.h; ++j) {
    const int32_t sy = p.sy + j * p.stepY;
    const uint32_t* s = sread.Row32(sy);
    if (s && p.stepX == 1) {
      s += p.sx;
    } else if (s) {
      for (int32_t i = 0; i < p.w; ++i)
        buf[i] = s[p.sx - i];
      s = buf.data();
    } else {
      for (int32_t i = 0; i < p.w; ++i)
        buf[i] = sread.At(p.sx + i * p.stepX, sy);
      s = buf.data();
    }
    const uint8_t* m = mask ? mread.Row8(sy) : nullptr;
    if (m && p.stepX == 1) {
      m += p.sx;
    } else if (m) {
      for (int32_t i = 0; i < p.w; ++i)
        mbuf[i] = m[p.sx - i];
      m = mbuf.data();
    } else if (mask) {
      for (int32_t i = 0; i < p.w; ++i)
        mbuf[i] = static_cast<uint8_t>(mread.At(p.sx + i * p.stepX, sy));
      m = mbuf.data();
    }
    ApplyRow(dst, base, op, w, p.dx, p.dy + j, p.w, s, m, useKey, key);
  }
}

void TCustomDIBX::Assign(const TCustomDIBX& src) {
  auto* a = dynamic_cast<TDIBX*>(this);
  auto* b = dynamic_cast<const TDIBX*>(&src);
  if (a && b && a->Width() == b->Width() && a->Height() == b->Height() &&
      a->Pitch() == b->Pitch() && a->BitCount() == b->BitCount()) {
    a->Store() = b->Store();
    a->SetPalette(b->GetPalette());
    return;
  }
  Draw(0, 0, src.Bounds(), src);
}

void TCustomDIBX::Draw(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src, bool flipV,
                       bool flipH, bool useKey) {
  CopyFamily(*this, x, y, sr, src, nullptr, Op::kCopy, 255, flipV, flipH, useKey);
}
void TCustomDIBX::DrawAlpha(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src, int32_t a,
                            bool flipV, bool flipH, bool useKey) {
  if (a <= 0) return;
  CopyFamily(*this, x, y, sr, src, nullptr, Op::kAlpha, static_cast<uint32_t>(std::min(a, 255)),
             flipV, flipH, useKey);
}
void TCustomDIBX::DrawAdd(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src, int32_t k,
                          bool flipV, bool flipH, bool useKey) {
  if (k <= 0) return;
  CopyFamily(*this, x, y, sr, src, nullptr, Op::kAdd, static_cast<uint32_t>(std::min(k, 255)),
             flipV, flipH, useKey);
}
void TCustomDIBX::DrawMask(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src,
                           const TCustomDIBX& mask, bool flipV, bool flipH) {
  CopyFamily(*this, x, y, sr, src, &mask, Op::kMask, 255, flipV, flipH, false);
}
void TCustomDIBX::DrawMaskAlpha(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src,
                                int32_t a, const TCustomDIBX& mask, bool flipV, bool flipH) {
  if (a <= 0) return;
  CopyFamily(*this, x, y, sr, src, &mask, Op::kMaskAlpha, static_cast<uint32_t>(std::min(a, 255)),
             flipV, flipH, false);
}
void TCustomDIBX::DrawMaskAdd(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src,
                              int32_t k, const TCustomDIBX& mask, bool flipV, bool flipH) {
  if (k <= 0) return;
  CopyFamily(*this, x, y, sr, src, &mask, Op::kMaskAdd, static_cast<uint32_t>(std::min(k, 255)),
             flipV, flipH, false);
}

void TCustomDIBX::DrawBlend(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src, int32_t v,
                            const TCustomDIBX* mask, bool flipV, bool flipH, bool useKey) {
  const BlendChoice c = ChooseBlend(v);
  const int32_t w = static_cast<int32_t>(c.weight);
  switch (c.kind) {
    case BlendChoice::kNone:
      return;
    case BlendChoice::kAlpha:
      return mask ? DrawMaskAlpha(x, y, sr, src, w, *mask, flipV, flipH)
                  : DrawAlpha(x, y, sr, src, w, flipV, flipH, useKey);
    case BlendChoice::kCopy:
      return mask ? DrawMask(x, y, sr, src, *mask, flipV, flipH)
                  : Draw(x, y, sr, src, flipV, flipH, useKey);
    case BlendChoice::kAdd:
      return mask ? DrawMaskAdd(x, y, sr, src, w, *mask, flipV, flipH)
                  : DrawAdd(x, y, sr, src, w, flipV, flipH, useKey);
  }
}

namespace {

Op OpOf(BlendChoice c, bool masked) {
  switch (c.kind) {
    case BlendChoice::kAlpha:
      return masked ? Op::kMaskAlpha : Op::kAlpha;
    case BlendChoice::kAdd:
      return masked ? Op::kMaskAdd : Op::kAdd;
    default:
      return masked ? Op::kMask : Op::kCopy;
  }
}

}  // namespace

void TCustomDIBX::StretchDraw(const Rect& dr, const TCustomDIBX& src, int32_t v, const Rect& srIn,
                              bool flipV, bool flipH, bool useKey, const TCustomDIBX* mask) {
  const BlendChoice choice = ChooseBlend(v);
  if (choice.kind == BlendChoice::kNone || dr.Empty() || srIn.Empty()) return;
  if (mask && mask->BitCount() != 8) return;
  const Rect& sr = srIn;
  Rect inside = src.Bounds();
  if (mask) inside = inside.Intersect(mask->Bounds());
  const double stepX = double(sr.Width()) / dr.Width(), stepY = double(sr.Height()) / dr.Height();
  const Rect clip = ClipArea();
  const Rect cd = dr.Intersect(clip);
  if (cd.Empty()) return;
  // 16.16 positions in 64 bits: large pictures and zooms must not overflow.
  const int64_t fx = static_cast<int64_t>(stepX * 65536), fy = static_cast<int64_t>(stepY * 65536);
  const int64_t startX = static_cast<int64_t>((cd.left - dr.left) * stepX * 65536);
  const int64_t startY = static_cast<int64_t>((cd.top - dr.top) * stepY * 65536);
  const int64_t x0 =
      flipH ? int64_t{sr.right} * 65536 - startX - 1 : int64_t{sr.left} * 65536 + startX;
  const int64_t y0 =
      flipV ? int64_t{sr.bottom} * 65536 - startY - 1 : int64_t{sr.top} * 65536 + startY;
  const int64_t xs = flipH ? -fx : fx, ys = flipV ? -fy : fy;
  uint8_t* base = Lock(0, 0);
  LockGuard g{base ? this : nullptr};
  if (!base && BitCount() == 32) return;
  const bool toRgb = src.BitCount() <= 8 && BitCount() == 32;
  bool keyOn = useKey && src.ColorKey() >= 0;
  uint32_t key = static_cast<uint32_t>(src.ColorKey());
  if (keyOn && toRgb) key = src.PaletteStore() ? (*src.PaletteStore())[key & 255] & 0xFFFFFF : key;
  const int n = cd.Width();
  const PixelReader sread(src, toRgb);
  const PixelReader mread(mask ? *mask : src, false);
  // Every row samples the same columns: find them once. The columns move monotonically, so the
  // ones inside the source (and mask) form one run [i0, i1).
  const int64_t lo = std::max(sr.left, inside.left), hi = std::min(sr.right, inside.right);
  int i0 = n, i1 = n;
  {
    int64_t px = x0;
    for (int i = 0; i < n; ++i, px += xs) {
      const int64_t col = px >> 16;
      if (col >= lo && col < hi) {
        if (i0 == n) i0 = i;
        i1 = i + 1;
      } else if (i0 != n) {
        break;
      }
    }
  }
  if (i0 >= i1) return;
  const int m = i1 - i0;
  std::vector<int32_t> cols(m);
  for (int i = 0; i < m; ++i)
    cols[i] = static_cast<int32_t>((x0 + (i0 + i) * xs) >> 16);
  std::vector<uint32_t> buf(m);
  std::vector<uint8_t> mbuf(mask ? m : 0);
  // Enlarged rows repeat a source row: its samples are kept unless the source is the target
  // itself, whose rows the previous destination row may have changed.
  const bool reuse = &src != this && mask != this;
  int64_t lastRow = INT64_MIN;
  int64_t py = y0;
  for (int32_t y = cd.top; y < cd.bottom; ++y, py += ys) {
    const int64_t row64 = py >> 16;
    if (row64 < sr.top || row64 >= sr.bottom || row64 < inside.top || row64 >= inside.bottom)
      continue;
    const auto row = static_cast<int32_t>(row64);
    if (!reuse || row64 != lastRow) {
      lastRow = row64;
      if (const uint32_t* s = sread.Row32(row)) {
        for (int i = 0; i < m; ++i)
          buf[i] = s[cols[i]];
      } else {
        for (int i = 0; i < m; ++i)
          buf[i] = sread.At(cols[i], row);
      }
      if (mask) {
        if (const uint8_t* mr = mread.Row8(row)) {
          for (int i = 0; i < m; ++i)
            mbuf[i] = mr[cols[i]];
        } else {
          for (int i = 0; i < m; ++i)
            mbuf[i] = static_cast<uint8_t>(mread.At(cols[i], row));
        }
      }
    }
    ApplyRow(*this, base, OpOf(choice, mask != nullptr), choice.weight, cd.left + i0, y, m,
             buf.data(), mask ? mbuf.data() : nullptr, keyOn, key);
  }
}

void TCustomDIBX::DrawRotate(int32_t cx, int32_t cy, int32_t v, bool flipV, bool flipH, bool useKey,
                             int32_t angle, int32_t pivotY, int32_t pivotX, const Rect& sr,
                             const TCustomDIBX& src, int32_t zoomY, int32_t zoomX,
                             const TCustomDIBX* mask) {
  const BlendChoice choice = ChooseBlend(v);
  if (choice.kind == BlendChoice::kNone || zoomX <= 0 || zoomY <= 0 || sr.Empty()) return;
  if (mask && mask->BitCount() != 8) return;
  Rect inside = src.Bounds();
  if (mask) inside = inside.Intersect(mask->Bounds());
  const double th = angle * 2 * std::numbers::pi / 256;
  const double zx = zoomX / 256.0, zy = zoomY / 256.0;
  const double cs = std::cos(th), sn = std::sin(th);
  const int64_t dsx = static_cast<int64_t>(cs / zx * 65536),
                dsy = static_cast<int64_t>(-sn / zy * 65536);
  const int64_t dsx2 = static_cast<int64_t>(sn / zx * 65536),
                dsy2 = static_cast<int64_t>(cs / zy * 65536);
  const double w = sr.Width() * zx, h = sr.Height() * zy, px = pivotX * zx, py = pivotY * zy;
  const double xs[4] = {-px, w - px - 1, -px, w - px - 1};
  const double ys[4] = {-py, -py, h - py - 1, h - py - 1};
  double minX = 1e300, maxX = -1e300, minY = 1e300, maxY = -1e300;
  for (int i = 0; i < 4; ++i) {
    const double rx = xs[i] * cs - ys[i] * sn + cx, ry = xs[i] * sn + ys[i] * cs + cy;
    minX = std::min(minX, rx), maxX = std::max(maxX, rx);
    minY = std::min(minY, ry), maxY = std::max(maxY, ry);
  }
  const Rect clip = ClipArea();
  const int64_t l = std::max<int64_t>(Clamp32(std::trunc(minX)), clip.left);
  const int64_t t = std::max<int64_t>(Clamp32(std::trunc(minY)), clip.top);
  const int64_t r = std::min<int64_t>(Clamp32(std::trunc(maxX)) + 1, clip.right);
  const int64_t b = std::min<int64_t>(Clamp32(std::trunc(maxY)) + 1, clip.bottom);
  if (r <= l || b <= t) return;
  uint8_t* base = Lock(0, 0);
  LockGuard g{base ? this : nullptr};
  if (!base && BitCount() == 32) return;
  const bool toRgb = src.BitCount() <= 8 && BitCount() == 32;
  bool keyOn = useKey && src.ColorKey() >= 0;
  uint32_t key = static_cast<uint32_t>(src.ColorKey());
  if (keyOn && toRgb) key = src.PaletteStore() ? (*src.PaletteStore())[key & 255] & 0xFFFFFF : key;
  const int n = static_cast<int>(r - l);
  std::vector<uint32_t> buf(n);
  std::vector<uint8_t> mbuf(mask ? n : 0);
  const PixelReader sread(src, toRgb);
  const PixelReader mread(mask ? *mask : src, false);
  // Allowed ranges of the sample position relative to the source rectangle, in pixels: inside
  // the rectangle, inside the source (and mask), mirrored when flipped.
  const int64_t sw = sr.Width(), sh = sr.Height();
  const int64_t ax = std::max<int64_t>(
      0, flipH ? int64_t{sr.right} - inside.right : int64_t{inside.left} - sr.left);
  const int64_t bx = std::min<int64_t>(
      sw, flipH ? int64_t{sr.right} - inside.left : int64_t{inside.right} - sr.left);
  const int64_t ay = std::max<int64_t>(
      0, flipV ? int64_t{sr.bottom} - inside.bottom : int64_t{inside.top} - sr.top);
  const int64_t by = std::min<int64_t>(
      sh, flipV ? int64_t{sr.bottom} - inside.top : int64_t{inside.bottom} - sr.top);
  if (bx <= ax || by <= ay) return;
  const uint8_t* sbase = sread.Base32();
  const int64_t spitch = sread.StorePitch();
  // The sample at offset (c0, r0) into the rectangle, flips included: corner + r0 * rowStep +
  // c0 * colStep.
  const int64_t rowStep = flipV ? -spitch : spitch, colStep = flipH ? -4 : 4;
  const int64_t corner = (flipV ? int64_t{sr.bottom} - 1 : int64_t{sr.top}) * spitch +
                         (flipH ? int64_t{sr.right} - 1 : int64_t{sr.left}) * 4;
  for (int64_t y = t; y < b; ++y) {
    const int64_t sx0 = int64_t{pivotX} * 65536 + (l - cx) * dsx + (y - cy) * dsx2;
    const int64_t sy0 = int64_t{pivotY} * 65536 + (l - cx) * dsy + (y - cy) * dsy2;
    // The samples of a row move along a line: the valid ones form one run [i0, i1).
    int64_t i0 = 0, i1 = n;
    NarrowRun(sx0, dsx, ax << 16, bx << 16, i0, i1);
    NarrowRun(sy0, dsy, ay << 16, by << 16, i0, i1);
    if (i1 <= i0) continue;
    int64_t sx = sx0 + i0 * dsx, sy = sy0 + i0 * dsy;
    if (sbase && !mask) {
      // The usual case without branches: the address moves by whole rows and columns.
      uint32_t* out = buf.data();
      for (int64_t i = i0; i < i1; ++i, sx += dsx, sy += dsy)
        std::memcpy(out++, sbase + (corner + (sy >> 16) * rowStep + (sx >> 16) * colStep), 4);
    } else {
      for (int64_t i = i0; i < i1; ++i, sx += dsx, sy += dsy) {
        const int64_t c0 = sx >> 16, r0 = sy >> 16;
        const int64_t col = flipH ? sr.right - c0 - 1 : sr.left + c0;
        const int64_t row = flipV ? sr.bottom - r0 - 1 : sr.top + r0;
        if (sbase)
          std::memcpy(&buf[i - i0], sbase + row * spitch + col * 4, 4);
        else
          buf[i - i0] = sread.At(static_cast<int32_t>(col), static_cast<int32_t>(row));
        if (mask)
          mbuf[i - i0] =
              static_cast<uint8_t>(mread.At(static_cast<int32_t>(col), static_cast<int32_t>(row)));
      }
    }
    ApplyRow(*this, base, OpOf(choice, mask != nullptr), choice.weight,
             static_cast<int32_t>(l + i0), static_cast<int32_t>(y), static_cast<int>(i1 - i0),
             buf.data(), mask ? mbuf.data() : nullptr, keyOn, key);
  }
}

// ---- Tiles. ----

void TCustomDIBX::TileDraw(TileOp op, const Rect& dr, int32_t gapX, int32_t gapY, int32_t offsetX,
                           int32_t offsetY, const Rect& sr, const TCustomDIBX& src,
                           const TCustomDIBX* mask, int32_t weight, bool flipV, bool flipH,
                           bool useKey) {
  const int64_t sw = sr.Width(), sh = sr.Height();
  const int64_t stepX = sw + gapX, stepY = sh + gapY;
  // An empty source or a step that does not advance would never finish.
  if (sw <= 0 || sh <= 0 || stepX <= 0 || stepY <= 0) return;
  const bool needsMask = op == TileOp::kMask || op == TileOp::kMaskAlpha || op == TileOp::kMaskAdd;
  if (needsMask && !mask) return;
  const Rect area = dr.Intersect(ClipArea());
  if (area.Empty()) return;
  UpdateGuard guard(*this);
  SetUpdateRect(area);
  const int64_t ox = ((offsetX % sw) + sw) % sw, oy = ((offsetY % sh) + sh) % sh;
  for (int64_t y = int64_t{dr.top} - oy; y < area.bottom; y += stepY) {
    if (y + sh <= area.top) continue;
    for (int64_t x = int64_t{dr.left} - ox; x < area.right; x += stepX) {
      if (x + sw <= area.left) continue;
      const auto xi = static_cast<int32_t>(x), yi = static_cast<int32_t>(y);
      switch (op) {
        case TileOp::kDraw:
          Draw(xi, yi, sr, src, flipV, flipH, useKey);
          break;
        case TileOp::kMask:
          DrawMask(xi, yi, sr, src, *mask, flipV, flipH);
          break;
        case TileOp::kAlpha:
          DrawAlpha(xi, yi, sr, src, weight, flipV, flipH, useKey);
          break;
        case TileOp::kMaskAlpha:
          DrawMaskAlpha(xi, yi, sr, src, weight, *mask, flipV, flipH);
          break;
        case TileOp::kAdd:
          DrawAdd(xi, yi, sr, src, weight, flipV, flipH, useKey);
          break;
        case TileOp::kMaskAdd:
          DrawMaskAdd(xi, yi, sr, src, weight, *mask, flipV, flipH);
          break;
      }
    }
  }
}

void TCustomDIBX::ZoomTile(const Rect& dr, int32_t zoom, int32_t v, int32_t offsetX,
                           int32_t offsetY, const Rect& sr, const TCustomDIBX& src,
                           const TCustomDIBX* mask, bool flipV, bool flipH) {
  if (zoom <= 0 || sr.Empty() || ChooseBlend(v).kind == BlendChoice::kNone) return;
  const int64_t w = std::max<int64_t>(1, int64_t{sr.Width()} * zoom / 256);
  const int64_t h = std::max<int64_t>(1, int64_t{sr.Height()} * zoom / 256);
  if (w > kMaxPictureSide * 4 || h > kMaxPictureSide * 4) return;
  const Rect area = dr.Intersect(ClipArea());
  if (area.Empty()) return;
  UpdateGuard guard(*this);
  SetUpdateRect(area);
  const int64_t ox = ((offsetX % w) + w) % w, oy = ((offsetY % h) + h) % h;
  for (int64_t y = int64_t{dr.top} - oy; y < area.bottom; y += h) {
    if (y + h <= area.top) continue;
    for (int64_t x = int64_t{dr.left} - ox; x < area.right; x += w) {
      if (x + w <= area.left) continue;
      const Rect rep{static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(x + w),
                     static_cast<int32_t>(y + h)};
      StretchDraw(rep, src, v, sr, flipV, flipH, false, mask);
    }
  }
}

namespace {
void TileFillImpl(TCustomDIBX& dst, const Rect& dr, const TCustomDIBX& src, const TCustomDIBX* mask,
                  Op op, uint32_t w, bool flipV, bool flipH, bool useKey, int32_t offsetY,
                  int32_t offsetX) {
  const int64_t sw = src.Width(), sh = src.Height();
  if (sw <= 0 || sh <= 0) return;
  if (mask && (mask->BitCount() != 8 || mask->Width() < sw || mask->Height() < sh)) return;
  const Rect cd = dr.Intersect(dst.ClipArea());
  if (cd.Empty()) return;
  uint8_t* base = dst.Lock(0, 0);
  LockGuard g{base ? &dst : nullptr};
  if (!base && dst.BitCount() == 32) return;
  const bool toRgb = src.BitCount() <= 8 && dst.BitCount() == 32;
  bool keyOn = useKey && src.ColorKey() >= 0;
  uint32_t key = static_cast<uint32_t>(src.ColorKey());
  if (keyOn && toRgb) key = src.PaletteStore() ? (*src.PaletteStore())[key & 255] & 0xFFFFFF : key;
  const int n = cd.Width();
  std::vector<uint32_t> buf(n);
  std::vector<uint8_t> mbuf(mask ? n : 0);
  const PixelReader sread(src, toRgb);
  const PixelReader mread(mask ? *mask : src, false);
  const int64_t ox = ((offsetX % sw) + sw) % sw, oy = ((offsetY % sh) + sh) % sh;
  for (int32_t y = cd.top; y < cd.bottom; ++y) {
    int64_t ry = (oy + (y - dr.top)) % sh;
    if (flipV) ry = sh - 1 - ry;
    for (int i = 0; i < n; ++i) {
      int64_t rx = (ox + (cd.left - dr.left) + i) % sw;
      if (flipH) rx = sw - 1 - rx;
      buf[i] = sread.At(static_cast<int32_t>(rx), static_cast<int32_t>(ry));
      if (mask)
        mbuf[i] =
            static_cast<uint8_t>(mread.At(static_cast<int32_t>(rx), static_cast<int32_t>(ry)));
    }
    ApplyRow(dst, base, op, w, cd.left, y, n, buf.data(), mask ? mbuf.data() : nullptr, keyOn, key);
  }
}
}  // namespace

void TCustomDIBX::TileFill(const Rect& dr, const TCustomDIBX& src, bool flipV, bool flipH,
                           int32_t offsetY, int32_t offsetX) {
  TileFillImpl(*this, dr, src, nullptr, Op::kCopy, 255, flipV, flipH, false, offsetY, offsetX);
}
void TCustomDIBX::TileFillAlpha(const Rect& dr, int32_t a, bool flipV, bool flipH, bool useKey,
                                int32_t offsetY, int32_t offsetX, const TCustomDIBX& src) {
  if (a <= 0) return;
  TileFillImpl(*this, dr, src, nullptr, Op::kAlpha, static_cast<uint32_t>(std::min(a, 255)), flipV,
               flipH, useKey, offsetY, offsetX);
}
void TCustomDIBX::TileFillMask(const Rect& dr, int32_t a, bool flipV, bool flipH, int32_t offsetY,
                               int32_t offsetX, const TCustomDIBX& src, const TCustomDIBX& mask) {
  if (a <= 0) return;
  TileFillImpl(*this, dr, src, &mask, Op::kMaskAlpha, static_cast<uint32_t>(std::min(a, 255)),
               flipV, flipH, false, offsetY, offsetX);
}
void TCustomDIBX::FrameTile(const Rect& r, int32_t t, int32_t offsetY, int32_t offsetX,
                            const TCustomDIBX& src) {
  if (t <= 0 || r.Empty()) return;
  const int32_t th = std::min(t, r.Height()), tw = std::min(t, r.Width());
  TileFill({r.left, r.top, r.right, r.top + th}, src, false, false, offsetY, offsetX);
  TileFill({r.left, r.bottom - th, r.right, r.bottom}, src, false, false, offsetY, offsetX);
  TileFill({r.left, r.top, r.left + tw, r.bottom}, src, false, false, offsetY, offsetX);
  TileFill({r.right - tw, r.top, r.right, r.bottom}, src, false, false, offsetY, offsetX);
}

// ---- Glyph and table sources. ----

void TCustomDIBX::FillMask(int32_t x, int32_t y, int32_t a, uint32_t c, bool flipV, bool flipH,
                           const Rect& sr, const TCustomDIBX& mask) {
  if (a <= 0 || mask.BitCount() != 8) return;
  if (!mask.Bounds().Contains(sr) || sr.Empty()) return;
  Plan p;
  if (!MakePlan(x, y, sr, mask, flipV, flipH, p)) return;
  uint8_t* base = Lock(0, 0);
  LockGuard g{base ? this : nullptr};
  if (!base && BitCount() == 32) return;
  const uint32_t ua = static_cast<uint32_t>(std::min(a, 255));
  std::vector<uint8_t> mbuf(p.w);
  const PixelReader mread(mask, false);
  const auto masks = ChannelMasks(BitCount());
  for (int32_t j = 0; j < p.h; ++j) {
    const int32_t sy = p.sy + j * p.stepY;
    for (int32_t i = 0; i < p.w; ++i)
      mbuf[i] = static_cast<uint8_t>(mread.At(p.sx + i * p.stepX, sy));
    if (BitCount() == 32) {
      Kernels().fillMask(reinterpret_cast<uint32_t*>(base + (p.dy + j) * Pitch()) + p.dx,
                         mbuf.data(), p.w, c, ua);
      continue;
    }
    for (int32_t i = 0; i < p.w; ++i) {
      if (!mbuf[i]) continue;
      const uint32_t r2 = ua * mbuf[i] >> 8;
      SetPixel(p.dx + i, p.dy + j, BlendPx(GetPixel(p.dx + i, p.dy + j), c, r2, masks));
    }
  }
}

namespace {
void MonoImpl(TCustomDIBX& dst, int32_t x, int32_t y, int32_t n, int32_t a, bool flipV, bool flipH,
              uint32_t c, std::span<const uint32_t> table, const Rect& srIn,
              const TCustomDIBX& src) {
  if (n <= 0 || n > 16 || a <= 0 || src.BitCount() != 1) return;
  const int nn = n * n;
  if (!table.empty() && table.size() < static_cast<size_t>(nn + 1)) return;
  const Rect sr = srIn.Intersect(src.Bounds());
  const int32_t bw = sr.Width() / n, bh = sr.Height() / n;
  if (bw <= 0 || bh <= 0) return;
  const Rect cd = Rect{x, y, x + bw, y + bh}.Intersect(dst.ClipArea());
  const auto masks = ChannelMasks(dst.BitCount());
  for (int32_t dy = cd.top; dy < cd.bottom; ++dy) {
    const int32_t by = flipV ? bh - 1 - (dy - y) : dy - y;
    for (int32_t dx = cd.left; dx < cd.right; ++dx) {
      const int32_t bx = flipH ? bw - 1 - (dx - x) : dx - x;
      int cov = 0;
      for (int32_t j = 0; j < n; ++j)
        for (int32_t i = 0; i < n; ++i)
          cov += src.GetPixel(sr.left + bx * n + i, sr.top + by * n + j) == 0;
      if (cov == 0) continue;
      const uint32_t colour = table.empty() ? c : table[cov];
      uint32_t C = static_cast<uint32_t>(cov);
      if (a <= 254) C = static_cast<uint32_t>(a) * C >> 8;
      const uint32_t d = dst.GetPixel(dx, dy);
      uint32_t out = 0;
      for (uint32_t m : masks)
        out |= (((colour & m) * C + (d & m) * (nn - C)) / nn) & m;
      dst.SetPixel(dx, dy, out);
    }
  }
}
}  // namespace

void TCustomDIBX::DrawMono(int32_t x, int32_t y, int32_t n, int32_t a, bool flipV, bool flipH,
                           uint32_t c, const Rect& sr, const TCustomDIBX& src) {
  MonoImpl(*this, x, y, n, a, flipV, flipH, c, {}, sr, src);
}
void TCustomDIBX::DrawMonoTable(int32_t x, int32_t y, int32_t n, int32_t a, bool flipV, bool flipH,
                                std::span<const uint32_t> table, const Rect& sr,
                                const TCustomDIBX& src) {
  if (table.empty()) return;
  MonoImpl(*this, x, y, n, a, flipV, flipH, 0, table, sr, src);
}

void TCustomDIBX::DrawNibbles(int32_t x, int32_t y, std::span<const uint32_t> table, int32_t v,
                              bool flipV, bool flipH, const Rect& sr, const TCustomDIBX& src) {
  if (v <= 0 || v == 256 || table.size() < 32 || src.BitCount() != 4) return;
  Plan p;
  if (!MakePlan(x, y, sr, src, flipV, flipH, p)) return;
  const auto masks = ChannelMasks(BitCount());
  const uint32_t white = BitCount() == 32 ? 0xFFFFFFu : 0xFFu;
  for (int32_t j = 0; j < p.h; ++j)
    for (int32_t i = 0; i < p.w; ++i) {
      const uint32_t val = src.GetPixel(p.sx + i * p.stepX, p.sy + j * p.stepY);
      if (src.ColorKey() >= 0 && val == src.ColorKey()) continue;
      const uint32_t col = table[2 * val];
      const int32_t dx = p.dx + i, dy = p.dy + j;
      const uint32_t d = GetPixel(dx, dy);
      if (v == 255) {
        SetPixel(dx, dy, col);
      } else if (v > 255) {
        if (col == 0 || (d & white) == white) continue;
        SetPixel(dx, dy, AddPx(d, col, static_cast<uint32_t>(std::min(v, 511) - 256), masks));
      } else {
        if (col == d) continue;
        SetPixel(dx, dy, BlendPx(d, col, static_cast<uint32_t>(v), masks));
      }
    }
}

void TCustomDIBX::DrawTableAdd(int32_t x, int32_t y, std::span<const uint32_t> table, int32_t k,
                               bool flipV, bool flipH, int32_t key, const Rect& sr,
                               const TCustomDIBX& src) {
  if (k <= 0 || table.size() < 256 || src.BitCount() != 8) return;
  Plan p;
  if (!MakePlan(x, y, sr, src, flipV, flipH, p)) return;
  const auto masks = ChannelMasks(BitCount());
  const uint32_t uk = static_cast<uint32_t>(std::min(k, 255));
  for (int32_t j = 0; j < p.h; ++j)
    for (int32_t i = 0; i < p.w; ++i) {
      const int64_t val = src.GetPixel(p.sx + i * p.stepX, p.sy + j * p.stepY);
      if (val <= key) continue;
      SetPixel(p.dx + i, p.dy + j, AddPx(GetPixel(p.dx + i, p.dy + j), table[val], uk, masks));
    }
}

void TCustomDIBX::StretchTableAdd(const Rect& dr, std::span<const uint32_t> table, int32_t k,
                                  int32_t key, const Rect& srIn, const TCustomDIBX& src) {
  if (k <= 0 || table.size() < 256 || src.BitCount() != 8 || dr.Empty() || srIn.Empty()) return;
  const Rect sr = srIn.Intersect(src.Bounds());
  if (sr.Empty()) return;
  const Rect cd = dr.Intersect(ClipArea());
  const int64_t fx = int64_t{srIn.Width()} * 65536 / dr.Width();
  const int64_t fy = int64_t{srIn.Height()} * 65536 / dr.Height();
  const auto masks = ChannelMasks(BitCount());
  const uint32_t uk = static_cast<uint32_t>(std::min(k, 255));
  for (int32_t y = cd.top; y < cd.bottom; ++y) {
    const int64_t row = srIn.top + ((y - dr.top) * fy >> 16);
    if (row < sr.top || row >= sr.bottom) continue;
    for (int32_t x = cd.left; x < cd.right; ++x) {
      const int64_t col = srIn.left + ((x - dr.left) * fx >> 16);
      if (col < sr.left || col >= sr.right) continue;
      const int64_t val = src.GetPixel(static_cast<int32_t>(col), static_cast<int32_t>(row));
      if (val <= key) continue;
      SetPixel(x, y, AddPx(GetPixel(x, y), table[val], uk, masks));
    }
  }
}

// ---- Files. ----

void TCustomDIBX::AssignSurface(const TDIBSurface& pic) {
  const int bits = BitCount() == 32 ? 32 : (pic.BitCount() <= 8 ? 8 : 32);
  SetSize(pic.Width(), pic.Height(), bits);
  if (bits == 8) {
    SetPalette(pic.Palette());
    for (int32_t y = 0; y < pic.Height(); ++y)
      for (int32_t x = 0; x < pic.Width(); ++x)
        SetPixel(x, y, pic.GetPixel(x, y));
    return;
  }
  uint8_t* base = Lock(0, 0);
  LockGuard g{base ? this : nullptr};
  for (int32_t y = 0; y < pic.Height(); ++y) {
    const uint8_t* s = pic.ScanLine(y);
    auto* d = base ? reinterpret_cast<uint32_t*>(base + y * Pitch()) : nullptr;
    for (int32_t x = 0; x < pic.Width(); ++x) {
      uint32_t v;
      if (pic.BitCount() == 24)
        v = s[3 * x] | (s[3 * x + 1] << 8) | (s[3 * x + 2] << 16);
      else if (pic.BitCount() == 32)
        std::memcpy(&v, s + 4 * x, 4), v &= 0xFFFFFF;
      else
        v = pic.NativeToRGB(pic.GetPixel(x, y));
      if (d)
        d[x] = v;
      else
        SetPixel(x, y, v);
    }
  }
}

void TCustomDIBX::LoadFromBytes(std::span<const uint8_t> data, const std::string& name,
                                int32_t protectionCode) {
  if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M') {
    AssignSurface(ReadBmp(data, name));
  } else if (data.size() >= 4 && data[1] == 'P' && data[2] == 'N' && data[3] == 'G') {
    AssignSurface(ReadPng(data, name));
  } else if (data.size() >= 4 && std::memcmp(data.data(), "Vell", 4) == 0) {
    TVellFrameList list(protectionCode);
    list.LoadFromBytes(data, name, true, false);
    if (list.Count() > 0) AssignSurface(list.Frame(0).picture);
  }
}

void TCustomDIBX::LoadFromStream(TNxBigStream& stream, int32_t protectionCode) {
  Bytes data(static_cast<size_t>(std::max<int64_t>(0, stream.Left())));
  stream.ReadExact(data.data(), data.size());
  LoadFromBytes(data, cp932::ToUtf8(stream.Name()), protectionCode);
}

void TCustomDIBX::LoadFromFile(const std::string& path) {
  std::string lower = path;
  for (char& ch : lower)
    ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (lower.size() < 4 || lower.substr(lower.size() - 4) != ".bmp") return;
  const Bytes data = ReadWholeFile(path);
  AssignSurface(ReadBmp(data, path));
}

void TCustomDIBX::SaveToFile(const std::string& path) const {
  TDIBSurface pic(Width(), Height(), 24);
  for (int32_t y = 0; y < Height(); ++y)
    for (int32_t x = 0; x < Width(); ++x) {
      uint32_t v = GetPixel(x, y);
      if (BitCount() <= 8) v = GetPalette()[v & 255];
      pic.SetPixel(x, y, v & 0xFFFFFF);
    }
  WriteFileAtomic(path, WriteBmp24(pic));
}

// ---------------------------------------------------------------------------------------------
// TDIBX

void TDIBX::SetSize(int32_t width, int32_t height, int bits) {
  if (bits != 1 && bits != 4 && bits != 8 && bits != 32)
    throw Error("screen bitmaps have 1, 4, 8 or 32 bits per pixel, not " + std::to_string(bits));
  if (width < 0 || height < 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
      int64_t{width} * height > kMaxPicturePixels)
    throw Error("bitmap size " + std::to_string(width) + "x" + std::to_string(height) +
                " is too large");
  width_ = width;
  height_ = height;
  bits_ = bits;
  pitch_ = DibRowSize(width, bits);
  store_.assign(static_cast<size_t>(pitch_ * height), 0);
}

uint8_t* TDIBX::Lock(int32_t x, int32_t y) {
  if (store_.empty()) return nullptr;
  return store_.data() + y * pitch_ + int64_t{x} * bits_ / 8;
}

uint8_t* TDIBX::Row(int32_t y) {
  if (y < 0 || y >= height_) throw Error("scan line " + std::to_string(y) + " out of range");
  return store_.data() + y * pitch_;
}

uint32_t TDIBX::GetPixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return ReadPixelAt(store_.data() + y * pitch_, x, bits_);
}

void TDIBX::SetPixel(int32_t x, int32_t y, uint32_t v) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  WritePixelAt(store_.data() + y * pitch_, x, bits_, v);
}

// ---------------------------------------------------------------------------------------------
// TDIBXWave

void TDIBXWave::SetSize(int32_t width, int32_t height, int) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  offsets_.resize(static_cast<size_t>(height_), 0);
}

uint32_t TDIBXWave::GetPixel(int32_t x, int32_t y) const {
  if (!target_ || y < 0 || y >= height_ || x < 0 || x >= width_) return 0;
  return target_->GetPixel(x + originX_ + offsets_[y], y + originY_);
}
void TDIBXWave::SetPixel(int32_t x, int32_t y, uint32_t v) {
  if (!target_ || y < 0 || y >= height_ || x < 0 || x >= width_) return;
  target_->SetPixel(x + originX_ + offsets_[y], y + originY_, v);
}

template <typename Fn>
void TDIBXWave::Bands(Fn fn) {
  if (!target_) return;
  const Rect clip = ClipArea();
  const Rect tclip = target_->ClipArea();
  UpdateGuard guard(*target_);
  const int32_t rows = static_cast<int32_t>(offsets_.size());
  int32_t y = clip.top;
  while (y < clip.bottom) {
    if (y < 0 || y >= rows) {
      ++y;
      continue;
    }
    const int32_t o = offsets_[y];
    int32_t y1 = y + 1;
    while (y1 < clip.bottom && y1 < rows && offsets_[y1] == o)
      ++y1;
    const int64_t dx = int64_t{originX_} + o;
    const Rect band =
        Rect{static_cast<int32_t>(std::clamp<int64_t>(clip.left + dx, INT32_MIN, INT32_MAX)),
             y + originY_,
             static_cast<int32_t>(std::clamp<int64_t>(clip.right + dx, INT32_MIN, INT32_MAX)),
             y1 + originY_}
            .Intersect(tclip);
    if (!band.Empty()) {
      target_->SetUpdateRect(band);
      fn(static_cast<int32_t>(dx), originY_);
    }
    y = y1;
  }
}

void TDIBXWave::FillRect(const Rect& r, uint32_t c) {
  Bands([&](int32_t dx, int32_t dy) { target_->FillRect(r.Offset(dx, dy), c); });
}
void TDIBXWave::FillRectAlpha(const Rect& r, uint32_t c, int32_t a) {
  Bands([&](int32_t dx, int32_t dy) { target_->FillRectAlpha(r.Offset(dx, dy), c, a); });
}
void TDIBXWave::AddRect(const Rect& r, uint32_t c) {
  Bands([&](int32_t dx, int32_t dy) { target_->AddRect(r.Offset(dx, dy), c); });
}
void TDIBXWave::SubRect(const Rect& r, uint32_t c) {
  Bands([&](int32_t dx, int32_t dy) { target_->SubRect(r.Offset(dx, dy), c); });
}
void TDIBXWave::Draw(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src, bool flipV,
                     bool flipH, bool useKey) {
  Bands([&](int32_t dx, int32_t dy) {
    target_->Draw(x + dx, y + dy, sr, src, flipV, flipH, useKey);
  });
}
void TDIBXWave::DrawAlpha(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src, int32_t a,
                          bool flipV, bool flipH, bool useKey) {
  Bands([&](int32_t dx, int32_t dy) {
    target_->DrawAlpha(x + dx, y + dy, sr, src, a, flipV, flipH, useKey);
  });
}
void TDIBXWave::DrawAdd(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src, int32_t k,
                        bool flipV, bool flipH, bool useKey) {
  Bands([&](int32_t dx, int32_t dy) {
    target_->DrawAdd(x + dx, y + dy, sr, src, k, flipV, flipH, useKey);
  });
}
void TDIBXWave::DrawMask(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src,
                         const TCustomDIBX& mask, bool flipV, bool flipH) {
  Bands([&](int32_t dx, int32_t dy) {
    target_->DrawMask(x + dx, y + dy, sr, src, mask, flipV, flipH);
  });
}
void TDIBXWave::DrawMaskAlpha(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src,
                              int32_t a, const TCustomDIBX& mask, bool flipV, bool flipH) {
  Bands([&](int32_t dx, int32_t dy) {
    target_->DrawMaskAlpha(x + dx, y + dy, sr, src, a, mask, flipV, flipH);
  });
}
void TDIBXWave::DrawMaskAdd(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src, int32_t k,
                            const TCustomDIBX& mask, bool flipV, bool flipH) {
  Bands([&](int32_t dx, int32_t dy) {
    target_->DrawMaskAdd(x + dx, y + dy, sr, src, k, mask, flipV, flipH);
  });
}
void TDIBXWave::StretchDraw(const Rect& dr, const TCustomDIBX& src, int32_t v, const Rect& sr,
                            bool flipV, bool flipH, bool useKey, const TCustomDIBX* mask) {
  Bands([&](int32_t dx, int32_t dy) {
    target_->StretchDraw(dr.Offset(dx, dy), src, v, sr, flipV, flipH, useKey, mask);
  });
}
void TDIBXWave::DrawRotate(int32_t cx, int32_t cy, int32_t v, bool flipV, bool flipH, bool useKey,
                           int32_t angle, int32_t pivotY, int32_t pivotX, const Rect& sr,
                           const TCustomDIBX& src, int32_t zoomY, int32_t zoomX,
                           const TCustomDIBX* mask) {
  Bands([&](int32_t dx, int32_t dy) {
    target_->DrawRotate(cx + dx, cy + dy, v, flipV, flipH, useKey, angle, pivotY, pivotX, sr, src,
                        zoomY, zoomX, mask);
  });
}
void TDIBXWave::FillMask(int32_t x, int32_t y, int32_t a, uint32_t c, bool flipV, bool flipH,
                         const Rect& sr, const TCustomDIBX& mask) {
  Bands([&](int32_t dx, int32_t dy) {
    target_->FillMask(x + dx, y + dy, a, c, flipV, flipH, sr, mask);
  });
}

}  // namespace kova
