// Screen bitmaps: the pixel buffers scene objects, text and transitions draw on, with the whole
// family of drawing operations. Screen bitmaps are 32-bit 0x00RRGGBB (top byte 0); 8-bit
// bitmaps serve as masks (255 opaque) and as table-indexed sources, 1- and 4-bit ones as packed
// sources for the monochrome and nibble draws.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/colour.h"
#include "common/geometry.h"

namespace kova {

class TDIBSurface;
class TNxBigStream;
class TCustomDIBX;

// Operations taking a blend value v (0..511) choose by it: 0 nothing, 1..254 alpha, 255 copy,
// 256..511 add with strength v - 256.
struct BlendChoice {
  enum Kind { kNone, kAlpha, kCopy, kAdd } kind;
  uint32_t weight;
};
BlendChoice ChooseBlend(int32_t v);

class TCustomDIBX {
 public:
  TCustomDIBX() = default;
  virtual ~TCustomDIBX() = default;
  TCustomDIBX(const TCustomDIBX&) = delete;
  TCustomDIBX& operator=(const TCustomDIBX&) = delete;

  // ---- Storage; a storage class supplies these. ----
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual int BitCount() const = 0;
  virtual int StoreBitCount() const { return BitCount(); }
  virtual void SetSize(int32_t width, int32_t height, int bits) = 0;
  void SetBitCount(int bits) { SetSize(Width(), Height(), bits); }
  // Pointer to pixel (x, y), or null when the store cannot be accessed. Rows are Pitch apart.
  virtual uint8_t* Lock(int32_t x, int32_t y) { return nullptr; }
  virtual void Unlock() {}
  virtual int64_t Pitch() const { return 0; }
  virtual uint32_t GetPixel(int32_t x, int32_t y) const;
  virtual void SetPixel(int32_t x, int32_t y, uint32_t native);
  // The wrapped bitmap of a row-shifting wrapper; null otherwise.
  virtual TCustomDIBX* Target() { return nullptr; }
  virtual void Release() { SetSize(0, 0, BitCount()); }
  virtual void DropSurface() {}
  virtual void Flush() {}
  // 256 palette entries (0x00RRGGBB) of 8-bit and smaller stores.
  virtual std::array<uint32_t, 256>* PaletteStore() { return nullptr; }
  const std::array<uint32_t, 256>* PaletteStore() const {
    return const_cast<TCustomDIBX*>(this)->PaletteStore();
  }
  std::array<uint32_t, 256> GetPalette() const;
  void SetPalette(const std::array<uint32_t, 256>& p);
  void GetPaletteEntries(int first, std::span<uint32_t> out) const;
  void SetPaletteEntries(int first, std::span<const uint32_t> in);

  bool IsEmpty() const { return Width() == 0 || Height() == 0; }
  uint32_t RedMask() const;
  uint32_t GreenMask() const;
  uint32_t BlueMask() const;
  int RedShift() const;
  int GreenShift() const;
  int BlueShift() const;
  Rect Bounds() const { return {0, 0, Width(), Height()}; }

  // ---- Update rectangle, colour key, rectangle lists. ----
  const Rect& UpdateRect() const { return update_; }
  bool UpdateActive() const { return update_.right != 0; }
  void SetUpdateRect(const Rect& r) { update_ = r; }
  void ClearUpdate() { update_ = {}; }
  void AddUpdate(const Rect& r);
  // The update rectangle when active, else the whole bitmap (always inside the bitmap).
  Rect ClipArea() const;
  int64_t ColorKey() const { return colorKey_; }
  void SetColorKey(int64_t key) { colorKey_ = key; }
  std::vector<Rect>& RectsA() { return rectsA_; }
  std::vector<Rect>& RectsB() { return rectsB_; }
  const std::vector<Rect>& RectsA() const { return rectsA_; }
  const std::vector<Rect>& RectsB() const { return rectsB_; }

  // Colour reference 0x00BBGGRR to this bitmap's pixel value; -1 stays -1; at 8 bits and fewer
  // the value passes unchanged.
  int64_t NativeColor(ColorRef c) const;

  // ---- Rectangle operations (native colours). ----
  virtual void Fill(uint32_t c);
  virtual void FillRect(const Rect& r, uint32_t c);
  virtual void FillRectAlpha(const Rect& r, uint32_t c, int32_t a);
  virtual void AddRect(const Rect& r, uint32_t c);
  virtual void SubRect(const Rect& r, uint32_t c);
  void FrameRect(const Rect& r, int32_t thickness, uint32_t c);
  void FrameRectAlpha(const Rect& r, int32_t thickness, uint32_t c, int32_t a);
  void FrameRectAdd(const Rect& r, int32_t thickness, uint32_t c);

  // ---- Copy family: source rectangle sr of src drawn with its top-left at (x, y). ----
  void Assign(const TCustomDIBX& src);
  virtual void Draw(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src,
                    bool flipV = false, bool flipH = false, bool useKey = false);
  virtual void DrawAlpha(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src, int32_t a,
                         bool flipV = false, bool flipH = false, bool useKey = false);
  virtual void DrawAdd(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src, int32_t k,
                       bool flipV = false, bool flipH = false, bool useKey = false);
  virtual void DrawMask(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src,
                        const TCustomDIBX& mask, bool flipV = false, bool flipH = false);
  virtual void DrawMaskAlpha(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src,
                             int32_t a, const TCustomDIBX& mask, bool flipV = false,
                             bool flipH = false);
  virtual void DrawMaskAdd(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src, int32_t k,
                           const TCustomDIBX& mask, bool flipV = false, bool flipH = false);
  // The blend value rule over the copy family; with a mask the mask variants.
  void DrawBlend(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src, int32_t v,
                 const TCustomDIBX* mask = nullptr, bool flipV = false, bool flipH = false,
                 bool useKey = false);

  // ---- Scaling and rotation (blend value v). ----
  virtual void StretchDraw(const Rect& dr, const TCustomDIBX& src, int32_t v, const Rect& sr,
                           bool flipV = false, bool flipH = false, bool useKey = false,
                           const TCustomDIBX* mask = nullptr);
  void StretchDrawMask(const Rect& dr, const TCustomDIBX& src, const TCustomDIBX& mask, int32_t v,
                       const Rect& sr, bool flipV = false, bool flipH = false) {
    StretchDraw(dr, src, v, sr, flipV, flipH, false, &mask);
  }
  // Additive forms: strength k 0..255.
  void StretchDrawAdd(const Rect& dr, const TCustomDIBX& src, int32_t k, const Rect& sr,
                      bool flipV = false, bool flipH = false, bool useKey = false) {
    if (k > 0) StretchDraw(dr, src, 256 + std::min(k, 255), sr, flipV, flipH, useKey);
  }
  void StretchDrawMaskAdd(const Rect& dr, const TCustomDIBX& src, const TCustomDIBX& mask,
                          int32_t k, const Rect& sr, bool flipV = false, bool flipH = false) {
    if (k > 0) StretchDraw(dr, src, 256 + std::min(k, 255), sr, flipV, flipH, false, &mask);
  }
  // Angle in 1/256 turn, zooms in 1/256; (pivotX, pivotY) in source coordinates is placed at
  // (cx, cy).
  virtual void DrawRotate(int32_t cx, int32_t cy, int32_t v, bool flipV, bool flipH, bool useKey,
                          int32_t angle, int32_t pivotY, int32_t pivotX, const Rect& sr,
                          const TCustomDIBX& src, int32_t zoomY, int32_t zoomX,
                          const TCustomDIBX* mask = nullptr);
  void DrawRotateMask(int32_t cx, int32_t cy, int32_t v, bool flipV, bool flipH, int32_t angle,
                      int32_t pivotY, int32_t pivotX, const Rect& sr, const TCustomDIBX& src,
                      const TCustomDIBX& mask, int32_t zoomY, int32_t zoomX) {
    DrawRotate(cx, cy, v, flipV, flipH, false, angle, pivotY, pivotX, sr, src, zoomY, zoomX, &mask);
  }

  // ---- Tiles. ----
  enum class TileOp { kDraw, kMask, kAlpha, kMaskAlpha, kAdd, kMaskAdd };
  // Repeats sr from dr's top-left shifted by the offsets, gapX/gapY apart, through `op`
  // (weight: alpha or strength).
  void TileDraw(TileOp op, const Rect& dr, int32_t gapX, int32_t gapY, int32_t offsetX,
                int32_t offsetY, const Rect& sr, const TCustomDIBX& src,
                const TCustomDIBX* mask = nullptr, int32_t weight = 255, bool flipV = false,
                bool flipH = false, bool useKey = false);
  // Repetitions at zoom/256 through the stretch operations with blend value v.
  void ZoomTile(const Rect& dr, int32_t zoom, int32_t v, int32_t offsetX, int32_t offsetY,
                const Rect& sr, const TCustomDIBX& src, const TCustomDIBX* mask = nullptr,
                bool flipV = false, bool flipH = false);
  void ZoomTileMask(const Rect& dr, int32_t zoom, int32_t v, int32_t offsetX, int32_t offsetY,
                    const Rect& sr, const TCustomDIBX& src, const TCustomDIBX& mask) {
    ZoomTile(dr, zoom, v, offsetX, offsetY, sr, src, &mask);
  }
  // Wrap-around repetition of the whole source; dr's top-left shows source pixel (offsetX mod
  // width, offsetY mod height).
  void TileFill(const Rect& dr, const TCustomDIBX& src, bool flipV, bool flipH, int32_t offsetY,
                int32_t offsetX);
  void TileFillAlpha(const Rect& dr, int32_t a, bool flipV, bool flipH, bool useKey,
                     int32_t offsetY, int32_t offsetX, const TCustomDIBX& src);
  void TileFillMask(const Rect& dr, int32_t a, bool flipV, bool flipH, int32_t offsetY,
                    int32_t offsetX, const TCustomDIBX& src, const TCustomDIBX& mask);
  void FrameTile(const Rect& r, int32_t thickness, int32_t offsetY, int32_t offsetX,
                 const TCustomDIBX& src);

  // ---- Glyph and table sources. ----
  // Colour through an 8-bit mask: r != 0 blends c with a * r >> 8.
  virtual void FillMask(int32_t x, int32_t y, int32_t a, uint32_t c, bool flipV, bool flipH,
                        const Rect& sr, const TCustomDIBX& mask);
  // 1-bit source at 1/n scale; coverage is the count of 0 bits of each n x n block.
  void DrawMono(int32_t x, int32_t y, int32_t n, int32_t a, bool flipV, bool flipH, uint32_t c,
                const Rect& sr, const TCustomDIBX& src);
  // As DrawMono with the colour chosen per coverage level (table of n*n + 1 native colours).
  void DrawMonoTable(int32_t x, int32_t y, int32_t n, int32_t a, bool flipV, bool flipH,
                     std::span<const uint32_t> table, const Rect& sr, const TCustomDIBX& src);
  // 4-bit source through 16 entries of two words (the first used).
  void DrawNibbles(int32_t x, int32_t y, std::span<const uint32_t> table, int32_t v, bool flipV,
                   bool flipH, const Rect& sr, const TCustomDIBX& src);
  // 8-bit source: values above `key` index the table; the colour is added with strength k.
  void DrawTableAdd(int32_t x, int32_t y, std::span<const uint32_t> table, int32_t k, bool flipV,
                    bool flipH, int32_t key, const Rect& sr, const TCustomDIBX& src);
  void StretchTableAdd(const Rect& dr, std::span<const uint32_t> table, int32_t k, int32_t key,
                       const Rect& sr, const TCustomDIBX& src);

  // ---- Files. ----
  // By content: "BM" bitmap, PNG, or the first frame of a layered picture.
  void LoadFromBytes(std::span<const uint8_t> data, const std::string& name,
                     int32_t protectionCode);
  void LoadFromStream(TNxBigStream& stream, int32_t protectionCode);  // the rest, by content
  void LoadFromFile(const std::string& path);                         // ".bmp" only
  void SaveToFile(const std::string& path) const;                     // ".bmp", 24 bits per pixel
  // Copies a decoded picture (any depth) into this bitmap at its own depth.
  void AssignSurface(const TDIBSurface& pic);

 public:
  // A copy plan: destination rectangle, first source pixel, source steps.
  struct Plan {
    int32_t dx, dy, w, h;  // destination
    int32_t sx, sy;        // source pixel of the destination's first column and row
    int32_t stepX, stepY;  // +1 or -1
  };
  bool MakePlan(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src, bool flipV,
                bool flipH, Plan& p) const;

 protected:
  TCustomDIBX(TCustomDIBX&&) = default;
  TCustomDIBX& operator=(TCustomDIBX&&) = default;

  Rect update_;
  int64_t colorKey_ = -1;
  std::vector<Rect> rectsA_, rectsB_;
};

// The bitmap with its own store: 32 bits (screen), 8 bits (masks, table sources), 4 and 1 bits
// (packed sources). Rows top-down, each a whole number of 32-bit words.
class TDIBX : public TCustomDIBX {
 public:
  TDIBX() { SetSize(1, 1, 32); }
  TDIBX(int32_t width, int32_t height, int bits = 32) { SetSize(width, height, bits); }
  TDIBX(TDIBX&&) = default;
  TDIBX& operator=(TDIBX&&) = default;

  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  int BitCount() const override { return bits_; }
  // Accepts 1, 4, 8 and 32 bits; pixels start as 0.
  void SetSize(int32_t width, int32_t height, int bits) override;
  uint8_t* Lock(int32_t x, int32_t y) override;
  int64_t Pitch() const override { return pitch_; }
  uint32_t GetPixel(int32_t x, int32_t y) const override;
  void SetPixel(int32_t x, int32_t y, uint32_t native) override;
  std::array<uint32_t, 256>* PaletteStore() override { return &palette_; }
  void Release() override { SetSize(8, 8, bits_); }

  uint8_t* Row(int32_t y);  // throws outside 0..height-1
  const uint8_t* Row(int32_t y) const { return const_cast<TDIBX*>(this)->Row(y); }
  std::vector<uint8_t>& Store() { return store_; }
  const std::vector<uint8_t>& Store() const { return store_; }

 private:
  int32_t width_ = 0, height_ = 0;
  int bits_ = 32;
  int64_t pitch_ = 0;
  std::vector<uint8_t> store_;
  std::array<uint32_t, 256> palette_{};
};

// Draws onto a target bitmap with every row shifted by its own horizontal offset (water and
// heat effects). Runs of rows with equal offsets are drawn on the target in one go.
class TDIBXWave : public TCustomDIBX {
 public:
  TDIBXWave(TCustomDIBX* target, int32_t originX, int32_t originY, int32_t width, int32_t height)
      : target_(target), originX_(originX), originY_(originY) {
    SetSize(width, height, 32);
  }
  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  int BitCount() const override { return target_ ? target_->BitCount() : 32; }
  void SetSize(int32_t width, int32_t height, int bits) override;
  TCustomDIBX* Target() override { return target_; }
  uint32_t GetPixel(int32_t x, int32_t y) const override;
  void SetPixel(int32_t x, int32_t y, uint32_t native) override;
  std::vector<int32_t>& Offsets() { return offsets_; }
  void SetOrigin(int32_t x, int32_t y) { originX_ = x, originY_ = y; }

  void Fill(uint32_t c) override { FillRect(Bounds(), c); }
  void FillRect(const Rect& r, uint32_t c) override;
  void FillRectAlpha(const Rect& r, uint32_t c, int32_t a) override;
  void AddRect(const Rect& r, uint32_t c) override;
  void SubRect(const Rect& r, uint32_t c) override;
  void Draw(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src, bool flipV, bool flipH,
            bool useKey) override;
  void DrawAlpha(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src, int32_t a,
                 bool flipV, bool flipH, bool useKey) override;
  void DrawAdd(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src, int32_t k, bool flipV,
               bool flipH, bool useKey) override;
  void DrawMask(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src,
                const TCustomDIBX& mask, bool flipV, bool flipH) override;
  void DrawMaskAlpha(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src, int32_t a,
                     const TCustomDIBX& mask, bool flipV, bool flipH) override;
  void DrawMaskAdd(int32_t x, int32_t y, const Rect& sr, const TCustomDIBX& src, int32_t k,
                   const TCustomDIBX& mask, bool flipV, bool flipH) override;
  void StretchDraw(const Rect& dr, const TCustomDIBX& src, int32_t v, const Rect& sr, bool flipV,
                   bool flipH, bool useKey, const TCustomDIBX* mask) override;
  void DrawRotate(int32_t cx, int32_t cy, int32_t v, bool flipV, bool flipH, bool useKey,
                  int32_t angle, int32_t pivotY, int32_t pivotX, const Rect& sr,
                  const TCustomDIBX& src, int32_t zoomY, int32_t zoomX,
                  const TCustomDIBX* mask) override;
  void FillMask(int32_t x, int32_t y, int32_t a, uint32_t c, bool flipV, bool flipH, const Rect& sr,
                const TCustomDIBX& mask) override;

 private:
  // Calls fn(dx, dy) once per run of rows with equal offsets, with the target's update
  // rectangle narrowed to the run; (dx, dy) moves wrapper coordinates onto the target.
  template <typename Fn>
  void Bands(Fn fn);

  TCustomDIBX* target_;
  int32_t originX_, originY_;
  int32_t width_ = 0, height_ = 0;
  std::vector<int32_t> offsets_;
};

}  // namespace kova
