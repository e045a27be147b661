#include "gfx/vel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/cp932.h"
#include "common/nx_random.h"
#include "common/stream.h"
#include "gfx/codecs.h"
#include "vfs/file_stream.h"

namespace kova {

namespace {

constexpr int kNewestVersion = 106;
constexpr uint32_t kMaxHeaderSize = 4096;
// Smallest frame and layer records, for refusing counts that cannot fit.
constexpr size_t kMinFrameRecord = 33;
constexpr size_t kMinLayerRecord = 8 + 1 + 4 + 4 + 4 + 4;

uint32_t RecU32(const uint8_t* rec, int at) {
  return rec[at] | (rec[at + 1] << 8) | (rec[at + 2] << 16) |
         (static_cast<uint32_t>(rec[at + 3]) << 24);
}

// Reads the signature and header; leaves `r` at the first frame.
VelHeader ReadHeaderFrom(ByteReader& r) {
  VelHeader h;
  bool signature = false;
  if (r.Left() >= 7) {
    auto sig = r.Span(7);
    if (std::memcmp(sig.data(), "Vell", 4) == 0) {
      signature = true;
      for (int i = 4; i < 7; ++i) {
        if (sig[i] < '0' || sig[i] > '9') r.FailAt(i, "version digits");
        h.version = h.version * 10 + (sig[i] - '0');
      }
    }
  }
  if (!signature) {
    r.Seek(0);
    h.version = 0;
  }
  if (h.version > kNewestVersion) r.Fail("version " + std::to_string(h.version));
  if (h.version >= 103) {
    const uint32_t size = r.U32();
    if (size > kMaxHeaderSize) r.Fail("header size " + std::to_string(size));
    uint8_t rec[40] = {};
    const uint32_t take = std::min<uint32_t>(size, 40);
    auto bytes = r.Span(take);
    std::memcpy(rec, bytes.data(), take);
    r.Skip(size - take);
    h.width = RecU32(rec, 4);
    h.height = RecU32(rec, 8);
    h.bits = RecU32(rec, 12);
    h.frameCount = RecU32(rec, 16);
    h.protectedFlag = rec[21];
    h.kind = rec[22];
    h.background = static_cast<ColorRef>(RecU32(rec, 24));
    h.tileWidth = RecU32(rec, 28);
    h.tileHeight = RecU32(rec, 32);
    h.bottomOpaque = h.version >= 105 ? rec[36] : 0;
    h.jpegQuality = rec[37];
    if (h.kind > 2) r.Fail("compression kind " + std::to_string(h.kind));
  } else {
    h.frameCount = r.U32();
    r.Skip(1);
    if (h.version >= 102) h.background = static_cast<ColorRef>(r.U32());
  }
  return h;
}

class VelReader {
 public:
  VelReader(std::span<const uint8_t> data, const std::string& name, TVellFrameList& list,
            bool firstOnly, bool post)
      : r_(data, name), name_(name), list_(list), firstOnly_(firstOnly), post_(post) {}

  void Read() {
    h_ = ReadHeaderFrom(r_);
    list_.version = h_.version;
    list_.background = h_.background;
    list_.bottomOpaque = h_.bottomOpaque;
    uint32_t count = r_.Count(h_.frameCount, kMinFrameRecord, "frames");
    if (firstOnly_ && count > 1) count = 1;
    for (uint32_t i = 0; i < count; ++i) {
      TVellFrame& f = list_.AddFrame();
      ReadFrame(f, static_cast<int>(i));
      if (post_) PostProcessFrame(f, list_.targetDepth);
    }
    for (int i = 0; i < list_.Count(); ++i)
      list_.Frame(i).layers.clear();
  }

 private:
  bool Legacy() const { return h_.version <= 102; }
  bool Tiled() const { return !Legacy() && h_.tileWidth > 0 && h_.tileHeight > 0 && h_.kind != 2; }

  void ReadFrame(TVellFrame& f, int index) {
    f.name = r_.LpString();
    f.transparentValue = r_.I32();
    f.delay = r_.I32();
    r_.Skip(1);
    r_.Skip(4);
    const uint32_t layerCount = r_.Count(r_.U32(), kMinLayerRecord, "layers");
    f.layerCount = static_cast<int32_t>(layerCount);
    const uint32_t w = r_.U32(), h = r_.U32(), bpp = r_.U32();
    if (!IsValidBitCount(static_cast<int>(bpp))) r_.Fail("bit count " + std::to_string(bpp));
    if (w > static_cast<uint32_t>(kMaxPictureSide) || h > static_cast<uint32_t>(kMaxPictureSide) ||
        uint64_t{w} * h > static_cast<uint64_t>(kMaxPicturePixels))
      r_.Fail("size " + std::to_string(w) + "x" + std::to_string(h));
    TDIBSurface& pic = f.picture;
    // The picture, each layer and their alpha planes: layers stay until the file is read.
    Spend(DibRowSize(w, static_cast<int>(bpp)) * h * (int64_t{1} + layerCount) +
          DibRowSize(w, 8) * h);
    pic.SetSize(static_cast<int32_t>(w), static_cast<int32_t>(h), static_cast<int>(bpp));
    if (bpp <= 8) {
      const uint32_t n = 1u << bpp;
      r_.Count(n, 4, "palette");
      for (uint32_t i = 0; i < n; ++i)
        pic.Palette()[i] = r_.U32() & 0xFFFFFF;
    }
    if (f.transparentValue >= 0 && !pic.Empty()) {
      pic.SetPixel(0, 0, static_cast<uint32_t>(f.transparentValue));
      f.transparentColor = PixelToColorRef(pic.NativeToRGB(pic.GetPixel(0, 0)));
    } else {
      f.transparentColor = -1;
    }
    pic.FillRect(pic.Bounds(), pic.RGBToNative(ColorRefToPixel(list_.background)));

    bool anyVisible = false;
    for (uint32_t i = 0; i < layerCount; ++i) {
      auto layer = std::make_unique<TVellLayer>();
      TVellLayer& L = *layer;
      L.surface.Palette() = pic.Palette();
      L.surface.SetSize(pic.Width(), pic.Height(), pic.BitCount());
      r_.Skip(8);
      L.visible = r_.U8();
      L.transparent = r_.I32();
      L.opacity = static_cast<int32_t>(std::min<uint32_t>(r_.U32(), 255));
      if (h_.version > 100) L.alphaFlag = r_.U8();
      const uint32_t nameLen = r_.U32();
      r_.Skip(nameLen);
      const uint32_t colourSize = r_.U32();
      auto colour = r_.Span(colourSize);
      DecodeColour(colour, L.surface, index, i);
      if (h_.version > 99) {
        const uint32_t alphaSize = r_.U32();
        if (alphaSize > 0) {
          auto alpha = r_.Span(alphaSize);
          L.transparent = -1;
          Spend(DibRowSize(pic.Width(), 8) * pic.Height());
          TDIBSurface& plane = L.surface.CreateAlphaPlane();
          DecodeAlpha(alpha, plane, index, i);
        }
      }
      if (L.visible) {
        Compose(f, L, i, !anyVisible);
        anyVisible = true;
      }
      f.layers.push_back(std::move(layer));
    }
    if (h_.version >= 104) {
      ReadRects(f.rectsA);
      ReadRects(f.rectsB);
    }
  }

  void ReadRects(std::vector<Rect>& out) {
    const int32_t n = r_.I32();
    if (n < 0) return;
    const uint32_t count = r_.Count(static_cast<uint32_t>(n), 16, "rectangles");
    out.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
      Rect rc;
      rc.left = r_.I32(), rc.top = r_.I32(), rc.right = r_.I32(), rc.bottom = r_.I32();
      out.push_back(rc);
    }
  }

  void Compose(TVellFrame& f, TVellLayer& L, uint32_t i, bool firstVisible) {
    TDIBSurface& pic = f.picture;
    const TDIBSurface* plane = L.surface.AlphaPlane();
    if (plane && L.alphaFlag && i == 0) pic.CopyAlphaFrom(*plane);
    if (plane && L.alphaFlag && i > 0) {
      pic.BlendAlphaPlane(0, 0, 255, L.surface.Bounds(), L.surface);
    } else if ((L.transparent == -1 || (firstVisible && list_.bottomOpaque)) && L.opacity > 254) {
      pic.CopyRect(0, 0, L.surface.Bounds(), L.surface);
    } else {
      pic.BlendOpacity(0, 0, L.opacity, L.transparent, L.surface.Bounds(), L.surface);
    }
  }

  // ---- Blocks. ----

  size_t RawSize(const TDIBSurface& s) const { return static_cast<size_t>(s.Pitch() * s.Height()); }

  size_t TiledMax(const TDIBSurface& s) const {
    const uint64_t tx =
        (uint64_t{static_cast<uint32_t>(s.Width())} + h_.tileWidth - 1) / h_.tileWidth;
    const uint64_t ty =
        (uint64_t{static_cast<uint32_t>(s.Height())} + h_.tileHeight - 1) / h_.tileHeight;
    // The table, and every tile stored once: each own tile row takes at most its bytes plus one.
    return static_cast<size_t>(tx * ty * 8 + RawSize(s) +
                               tx * ty * std::min<uint64_t>(h_.tileHeight, s.Height()));
  }

  Bytes Unwrap(std::span<const uint8_t> block, bool inflate, size_t expected) {
    if (!inflate) return Bytes(block.begin(), block.end());
    return InflateUpTo(block, expected, name_);
  }

  void DecodeColour(std::span<const uint8_t> block, TDIBSurface& s, int frame, uint32_t layer) {
    if (s.Empty()) return;
    if (!Legacy() && h_.kind == 2) {
      TDIBSurface jpeg = ReadJpeg(block, name_, s.Width(), s.Height());
      if (jpeg.Width() != s.Width() || jpeg.Height() != s.Height())
        r_.Fail("JPEG block size differs from the frame");
      if (s.BitCount() <= 8) {
        // Nearest entries of the frame's palette.
        for (int32_t y = 0; y < s.Height(); ++y)
          for (int32_t x = 0; x < s.Width(); ++x)
            s.SetPixel(x, y, s.RGBToNative(jpeg.GetPixel(x, y)));
      } else {
        jpeg.ConvertDepth(s.BitCount());
        std::vector<uint8_t> keep = std::move(jpeg.Data());
        s.Data() = std::move(keep);
        if (s.BitCount() == 32)  // a colour block carries no alpha byte
          for (int32_t y = 0; y < s.Height(); ++y)
            for (int32_t x = 0; x < s.Width(); ++x)
              s.SetPixel(x, y, s.GetPixel(x, y) & 0xFFFFFF);
      }
      return;
    }
    DecodeRows(block, s, h_.kind != 1, frame, layer, false);
  }

  void DecodeAlpha(std::span<const uint8_t> block, TDIBSurface& plane, int frame, uint32_t layer) {
    if (plane.Empty()) return;
    DecodeRows(block, plane, Legacy() || h_.kind != 1, frame, layer, true);
  }

  void DecodeRows(std::span<const uint8_t> block, TDIBSurface& s, bool inflate, int frame,
                  uint32_t layer, bool alpha) {
    const bool tiled = Tiled();
    const Bytes data = Unwrap(block, inflate, tiled ? TiledMax(s) : RawSize(s));
    ByteReader br(data, name_);
    if (tiled) return DecodeTiles(br, s, frame, alpha);
    const bool permute = Legacy() || (h_.protectedFlag && h_.kind != 2);
    TNxRandom gen(Legacy() ? 0u : static_cast<uint32_t>(list_.ProtectionCode()));
    if (permute) gen.InitPool(s.Height());
    const size_t row = static_cast<size_t>(s.Pitch());
    for (int32_t k = 0; k < s.Height(); ++k) {
      const int32_t y = permute ? gen.DrawFromPool() : k;
      auto bytes = br.Span(row);
      std::memcpy(s.ScanLine(y), bytes.data(), row);
    }
  }

  void DecodeTiles(ByteReader& br, TDIBSurface& s, int frame, bool alpha) {
    const int64_t tw = h_.tileWidth, th = h_.tileHeight;
    const int64_t tilesX = (s.Width() + tw - 1) / tw, tilesY = (s.Height() + th - 1) / th;
    const uint32_t entries = br.Count(static_cast<uint64_t>(tilesX * tilesY), 8, "tile table");
    std::vector<std::pair<int32_t, int32_t>> table(entries);
    TNxRandom gen(static_cast<uint32_t>(list_.ProtectionCode()));
    const bool permute = h_.protectedFlag != 0;
    if (permute) gen.InitPool(static_cast<int>(entries));
    for (uint32_t k = 0; k < entries; ++k) {
      const int32_t src = br.I32(), idx = br.I32();
      const int32_t at = permute ? gen.DrawFromPool() : static_cast<int32_t>(k);
      table[static_cast<size_t>(at)] = {src, idx};
    }
    const int bits = StoreBits(s.BitCount());
    const int64_t pitch = s.Pitch();
    for (uint32_t t = 0; t < entries; ++t) {
      const int64_t left = (t % tilesX) * tw, top = (t / tilesX) * th;
      const int64_t right = std::min<int64_t>(left + tw, s.Width());
      const int64_t bottom = std::min<int64_t>(top + th, s.Height());
      const int64_t start = left * bits / 8;
      const int64_t bytes = ((right - left) * bits + 7) / 8;
      // Bytes that land inside the row (sub-byte depths may reach one byte past the edge).
      const int64_t fit = std::max<int64_t>(0, std::min(bytes, pitch - start));
      const auto [src, idx] = table[t];
      if (src == -1) {
        for (int64_t y = top; y < bottom; ++y) {
          auto b = br.Span(static_cast<size_t>(bytes));
          std::memcpy(s.ScanLine(static_cast<int32_t>(y)) + start, b.data(),
                      static_cast<size_t>(fit));
        }
      } else if (src == -2) {
        if (idx < 0 || static_cast<uint32_t>(idx) >= t)
          br.Fail("tile refers to a tile not yet decoded");
        const int64_t sl = (idx % tilesX) * tw, st = (idx / tilesX) * th;
        const int64_t sstart = sl * bits / 8;
        if (st + (bottom - top) > s.Height() || sstart + fit > pitch)
          br.Fail("tile copy outside the picture");
        for (int64_t y = 0; y < bottom - top; ++y)
          std::memmove(s.ScanLine(static_cast<int32_t>(top + y)) + start,
                       s.ScanLine(static_cast<int32_t>(st + y)) + sstart, static_cast<size_t>(fit));
      } else if (src >= 0) {
        if (src >= frame) br.Fail("tile refers to a later frame");
        const TVellFrame& other = list_.Frame(src);
        if (idx < 0 || static_cast<size_t>(idx) >= other.layers.size())
          br.Fail("tile refers to a missing layer");
        const TDIBSurface* from = &other.layers[static_cast<size_t>(idx)]->surface;
        if (alpha) from = from->AlphaPlane();
        if (!from || from->Width() != s.Width() || from->Height() != s.Height() ||
            from->BitCount() != s.BitCount())
          br.Fail("tile refers to a frame of another size or depth");
        for (int64_t y = top; y < bottom; ++y)
          std::memcpy(s.ScanLine(static_cast<int32_t>(y)) + start,
                      from->ScanLine(static_cast<int32_t>(y)) + start, static_cast<size_t>(fit));
      } else {
        br.Fail("tile source " + std::to_string(src));
      }
    }
  }

  // Refuses files whose decoded pictures would exceed the list's budget: a few bytes of tile
  // references or layers can otherwise demand any amount of memory.
  void Spend(int64_t bytes) {
    spent_ += bytes;
    if (spent_ > list_.decodeBudget)
      r_.Fail("decoded size beyond " + std::to_string(list_.decodeBudget) + " bytes");
  }

  ByteReader r_;
  int64_t spent_ = 0;
  const std::string& name_;
  TVellFrameList& list_;
  bool firstOnly_, post_;
  VelHeader h_;
};

std::string LowerExt(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string e = path.substr(dot);
  for (char& c : e)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return e;
}

}  // namespace

VelHeader TVellFrameList::ReadHeader(std::span<const uint8_t> data, const std::string& name) {
  try {
    ByteReader r(data, name);
    return ReadHeaderFrom(r);
  } catch (const DamagedPicture&) {
    throw;
  } catch (const FormatError& e) {
    Damaged(name, e.what());
  }
}

void TVellFrameList::LoadFromBytes(std::span<const uint8_t> data, const std::string& name,
                                   bool firstOnly, bool postProcess) {
  frames_.clear();
  try {
    VelReader(data, name, *this, firstOnly, postProcess).Read();
  } catch (const DamagedPicture&) {
    frames_.clear();
    throw;
  } catch (const Error& e) {
    frames_.clear();
    Damaged(name, e.what());
  }
}

void TVellFrameList::LoadFromStream(TNxBigStream& stream, bool firstOnly, bool postProcess) {
  Bytes data(static_cast<size_t>(std::max<int64_t>(0, stream.Left())));
  stream.ReadExact(data.data(), data.size());
  LoadFromBytes(data, cp932::ToUtf8(stream.Name()), firstOnly, postProcess);
}

void TVellFrameList::LoadByExtension(std::span<const uint8_t> data, const std::string& ext,
                                     const std::string& name, bool firstOnly, bool postProcess) {
  frames_.clear();
  if (ext == ".vel") return LoadFromBytes(data, name, firstOnly, postProcess);
  TDIBSurface pic;
  if (ext == ".png")
    pic = ReadPng(data, name);
  else if (ext == ".bmp" || ext == ".dib")
    pic = ReadBmp(data, name);
  else
    return;
  version = kNewestVersion;
  TVellFrame& f = AddFrame();
  f.picture = std::move(pic);
  f.name = "Frame1";
  f.layerCount = 1;
  if (postProcess) PostProcessFrame(f, targetDepth);
}

void TVellFrameList::LoadFromFile(const std::string& path, bool firstOnly, bool postProcess) {
  const std::string ext = LowerExt(path);
  if (ext != ".vel" && ext != ".png" && ext != ".bmp" && ext != ".dib") {
    frames_.clear();
    return;
  }
  const Bytes data = ReadWholeFile(path);
  LoadByExtension(data, ext, path, firstOnly, postProcess);
}

TVellFrame& TVellFrameList::AddFrame() {
  frames_.push_back(std::make_unique<TVellFrame>());
  return *frames_.back();
}

void TVellFrameList::MakeMasks() {
  for (auto& f : frames_) {
    TDIBSurface& pic = f->picture;
    if (pic.AlphaPlane()) continue;
    TDIBSurface& plane = pic.CreateAlphaPlane();
    std::fill(plane.Data().begin(), plane.Data().end(), uint8_t{255});
    if (f->transparentValue < 0) continue;
    const uint32_t tv = static_cast<uint32_t>(f->transparentValue);
    for (int32_t y = 0; y < pic.Height(); ++y)
      for (int32_t x = 0; x < pic.Width(); ++x)
        if (pic.GetPixel(x, y) == tv) plane.ScanLine(y)[x] = 0;
  }
}

void PostProcessFrame(TVellFrame& f, int32_t targetDepth) {
  TDIBSurface& pic = f.picture;
  if (!pic.AlphaPlane() && f.transparentColor != -1) {
    // MakeMasks of this one frame.
    TDIBSurface& plane = pic.CreateAlphaPlane();
    std::fill(plane.Data().begin(), plane.Data().end(), uint8_t{255});
    if (f.transparentValue >= 0)
      for (int32_t y = 0; y < pic.Height(); ++y)
        for (int32_t x = 0; x < pic.Width(); ++x)
          if (pic.GetPixel(x, y) == static_cast<uint32_t>(f.transparentValue))
            plane.ScanLine(y)[x] = 0;
  }
  if (pic.AlphaPlane() || f.transparentColor == -1) {
    if (targetDepth > 0 && IsValidBitCount(targetDepth)) pic.ConvertDepth(targetDepth);
  } else if (pic.BitCount() <= 8) {
    bool found = false;
    int32_t fx = 0, fy = 0;
    for (int32_t y = 0; y < pic.Height() && !found; ++y)
      for (int32_t x = 0; x < pic.Width(); ++x)
        if (pic.GetPixel(x, y) == static_cast<uint32_t>(f.transparentValue)) {
          found = true, fx = x, fy = y;
          break;
        }
    pic.ConvertDepth(24);
    if (found) f.transparentValue = static_cast<int32_t>(pic.GetPixel(fx, fy));
  }
}

bool TrimBox(const TVellFrame& f, Rect& box) {
  if (const TDIBSurface* plane = f.picture.AlphaPlane()) {
    box = plane->BoundingBox(0);
    return true;
  }
  if (f.transparentColor == -1) return false;
  box = f.picture.BoundingBox(f.transparentValue);
  return true;
}

bool TVellFrameList::IsUncompressed(std::span<const uint8_t> data) {
  try {
    ByteReader r(data, "picture");
    const VelHeader h = ReadHeaderFrom(r);
    return h.version >= 103 && h.kind == 1;
  } catch (const Error&) {
    return false;
  }
}

// ---- Writing. ----

namespace {

Bytes Rows(const TDIBSurface& s, bool permute, int32_t code) {
  ByteWriter w;
  TNxRandom gen(static_cast<uint32_t>(code));
  if (permute) gen.InitPool(s.Height());
  const size_t row = static_cast<size_t>(s.Pitch());
  for (int32_t k = 0; k < s.Height(); ++k) {
    const int32_t y = permute ? gen.DrawFromPool() : k;
    w.Raw(s.ScanLine(y), row);
  }
  return w.Take();
}

}  // namespace

Bytes TVellFrameList::SaveToBytes(int kind, int jpegQuality) const {
  if (kind < 0 || kind > 2) throw Error("compression kind " + std::to_string(kind));
  if (protect && code_ == 0) throw Error("識別コードを設定してください");
  if (protect) kind = 1;
  ByteWriter w;
  w.Raw("Vell106");
  w.U32(40);
  const TDIBSurface* first = frames_.empty() ? nullptr : &frames_[0]->picture;
  w.U32(106);
  w.U32(first ? static_cast<uint32_t>(first->Width()) : 0);
  w.U32(first ? static_cast<uint32_t>(first->Height()) : 0);
  w.U32(first ? static_cast<uint32_t>(first->BitCount()) : 0);
  w.U32(static_cast<uint32_t>(frames_.size()));
  w.U8(1);
  w.U8(protect ? 1 : 0);
  w.U8(static_cast<uint8_t>(kind));
  w.U8(0);
  w.I32(background);
  w.U32(0);
  w.U32(0);
  w.U8(bottomOpaque);
  w.U8(static_cast<uint8_t>(std::clamp(jpegQuality, 0, 100)));
  w.U16(0);
  for (size_t i = 0; i < frames_.size(); ++i) {
    const TVellFrame& f = *frames_[i];
    const TDIBSurface& pic = f.picture;
    char name[32];
    std::snprintf(name, sizeof name, "Frame%zu", i + 1);
    w.LpString(name);
    w.I32(f.transparentValue);
    w.I32(f.delay);
    w.U8(2);
    w.U32(0);
    w.U32(1);
    w.U32(static_cast<uint32_t>(pic.Width()));
    w.U32(static_cast<uint32_t>(pic.Height()));
    w.U32(static_cast<uint32_t>(pic.BitCount()));
    if (pic.BitCount() <= 8)
      for (int e = 0; e < (1 << pic.BitCount()); ++e)
        w.U32(pic.Palette()[e] & 0xFFFFFF);
    w.U32(0);
    w.U32(0);
    w.U8(1);
    w.I32(-1);
    w.U32(255);
    w.U8(pic.AlphaPlane() ? 1 : 0);
    w.LpString("Layer");
    Bytes colour;
    if (kind == 2)
      colour = WriteJpeg(pic, std::clamp(jpegQuality, 0, 100));
    else
      colour = Rows(pic, protect, code_);
    if (kind == 0) colour = Deflate(colour);
    w.U32(static_cast<uint32_t>(colour.size()));
    w.Raw(colour);
    if (const TDIBSurface* plane = pic.AlphaPlane()) {
      Bytes a = Rows(*plane, protect && kind != 2, code_);
      if (kind != 1) a = Deflate(a);
      w.U32(static_cast<uint32_t>(a.size()));
      w.Raw(a);
    } else {
      w.U32(0);
    }
    w.U32(0);
    w.U32(0);
  }
  return w.Take();
}

void TVellFrameList::SaveToStream(TNxBigStream& stream, int kind, int jpegQuality) const {
  const Bytes data = SaveToBytes(kind, jpegQuality);
  stream.WriteExact(data.data(), data.size());
}

void TVellFrameList::SaveToFile(const std::string& path) const {
  WriteFileAtomic(path, SaveToBytes(0, 70));
}

}  // namespace kova
