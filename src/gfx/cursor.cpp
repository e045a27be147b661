#include "gfx/cursor.h"

#include <array>
#include <cstring>
#include <optional>

#include "gfx/codecs.h"

namespace kova {

namespace {

constexpr uint8_t kPngMagic[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool IsPng(std::span<const uint8_t> d) {
  return d.size() >= 8 && std::memcmp(d.data(), kPngMagic, 8) == 0;
}

bool IsIconDir(std::span<const uint8_t> d) {
  return d.size() >= 4 && d[0] == 0 && d[1] == 0 && (d[2] == 1 || d[2] == 2) && d[3] == 0;
}

bool IsAni(std::span<const uint8_t> d) {
  return d.size() >= 12 && std::memcmp(d.data(), "RIFF", 4) == 0 &&
         std::memcmp(d.data() + 8, "ACON", 4) == 0;
}

uint32_t BigEndian32(std::span<const uint8_t> s) {
  return static_cast<uint32_t>(s[0]) << 24 | s[1] << 16 | s[2] << 8 | s[3];
}

// One image of an icon directory as the directory and the image's own header describe it.
struct Entry {
  size_t offset = 0, size = 0;
  int32_t width = 0, height = 0;
  int bits = 0;
  uint16_t hotX = 0, hotY = 0;
  bool png = false;
};

// Reads the image header far enough to rank the image; refuses what cannot be decoded.
void Inspect(Entry& e, std::span<const uint8_t> image, const std::string& name, uint64_t base) {
  ByteReader h(image, name, base);
  if (IsPng(image)) {
    h.Skip(16);
    e.width = static_cast<int32_t>(BigEndian32(h.Span(4)));
    e.height = static_cast<int32_t>(BigEndian32(h.Span(4)));
    if (e.width <= 0 || e.height <= 0 || e.width > CursorImage::kMaxSide ||
        e.height > CursorImage::kMaxSide)
      h.FailAt(16, "PNG image size");
    e.bits = 32;
    e.png = true;
    return;
  }
  if (h.U32() < 40) h.FailAt(0, "image header size");
  const int32_t w = h.I32(), h2 = h.I32();
  h.U16();
  const int bits = h.U16();
  if (w <= 0 || w > CursorImage::kMaxSide) h.FailAt(4, "image width " + std::to_string(w));
  // The stored height covers the colour rows and the mask rows.
  if (h2 <= 0 || h2 % 2 != 0 || h2 / 2 > CursorImage::kMaxSide)
    h.FailAt(8, "image height " + std::to_string(h2));
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
    h.FailAt(14, "bit count " + std::to_string(bits));
  e.width = w, e.height = h2 / 2, e.bits = bits;
}

CursorImage DecodePng(std::span<const uint8_t> image, const std::string& name, uint64_t base) {
  TDIBSurface pic;
  try {
    pic = ReadPng(image, name);
  } catch (const DamagedPicture& d) {
    throw FormatError(name, base, "PNG image: " + d.Detail());
  }
  if (pic.Width() > CursorImage::kMaxSide || pic.Height() > CursorImage::kMaxSide)
    throw FormatError(name, base, "PNG image size");
  CursorImage out;
  out.width = pic.Width(), out.height = pic.Height();
  out.rgba.resize(static_cast<size_t>(out.width) * out.height * 4);
  const TDIBSurface* alpha = pic.AlphaPlane();
  for (int32_t y = 0; y < out.height; ++y) {
    const uint8_t* s = pic.ScanLine(y);
    uint8_t* d = out.rgba.data() + static_cast<size_t>(y) * out.width * 4;
    for (int32_t x = 0; x < out.width; ++x, d += 4) {
      d[0] = s[3 * x + 2], d[1] = s[3 * x + 1], d[2] = s[3 * x];
      d[3] = alpha ? alpha->ScanLine(y)[x] : 255;
    }
  }
  return out;
}

CursorImage DecodeDib(const Entry& e, std::span<const uint8_t> image, const std::string& name,
                      uint64_t base) {
  ByteReader r(image, name, base);
  const uint32_t headerSize = r.U32();
  r.Skip(12);  // width, doubled height, planes, bit count: checked by Inspect
  if (r.U32() != 0) r.FailAt(16, "compressed image");
  r.Skip(12);
  const uint32_t clrUsed = r.U32();
  r.U32();
  r.Skip(headerSize - 40);
  const int32_t w = e.width, h = e.height;
  std::array<uint32_t, 256> palette{};
  if (e.bits <= 8) {
    const uint32_t max = 1u << e.bits;
    const uint32_t n = clrUsed ? clrUsed : max;
    if (n > max) r.FailAt(32, "palette size " + std::to_string(n));
    r.Count(n, 4, "palette");
    for (uint32_t i = 0; i < n; ++i)
      palette[i] = r.U32() & 0xFFFFFF;
  }
  const size_t xorRow = (static_cast<size_t>(w) * e.bits + 31) / 32 * 4;
  const size_t andRow = (static_cast<size_t>(w) + 31) / 32 * 4;
  r.Count(static_cast<uint64_t>(h), xorRow, "colour rows");
  const std::span<const uint8_t> colour = r.Span(xorRow * h);
  // A 32-bit image carries its own alpha unless every alpha byte is 0 (older files).
  bool ownAlpha = false;
  if (e.bits == 32)
    for (size_t i = 3; i < colour.size() && !ownAlpha; i += 4)
      ownAlpha = colour[i] != 0;
  std::span<const uint8_t> mask;
  if (!ownAlpha) {
    r.Count(static_cast<uint64_t>(h), andRow, "mask rows");
    mask = r.Span(andRow * h);
  }

  CursorImage out;
  out.width = w, out.height = h;
  out.rgba.resize(static_cast<size_t>(w) * h * 4);
  for (int32_t y = 0; y < h; ++y) {
    // Rows are stored bottom-up.
    const uint8_t* s = colour.data() + static_cast<size_t>(h - 1 - y) * xorRow;
    const uint8_t* m =
        mask.empty() ? nullptr : mask.data() + static_cast<size_t>(h - 1 - y) * andRow;
    uint8_t* d = out.rgba.data() + static_cast<size_t>(y) * w * 4;
    for (int32_t x = 0; x < w; ++x, d += 4) {
      uint32_t rgb = 0;
      uint8_t a = 255;
      switch (e.bits) {
        case 1:
          rgb = palette[(s[x >> 3] >> (7 - (x & 7))) & 1];
          break;
        case 4:
          rgb = palette[(s[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
          break;
        case 8:
          rgb = palette[s[x]];
          break;
        case 24:
          rgb = s[3 * x] | s[3 * x + 1] << 8 | s[3 * x + 2] << 16;
          break;
        default:
          rgb = s[4 * x] | s[4 * x + 1] << 8 | s[4 * x + 2] << 16;
          a = ownAlpha ? s[4 * x + 3] : 255;
          break;
      }
      if (m && ((m[x >> 3] >> (7 - (x & 7))) & 1)) {
        // Transparent, or a pixel that inverts the screen: a colour cursor cannot invert, so
        // such pixels are drawn black to keep the shape visible.
        a = rgb ? 255 : 0;
        rgb = 0;
      }
      d[0] = static_cast<uint8_t>(rgb >> 16), d[1] = static_cast<uint8_t>(rgb >> 8);
      d[2] = static_cast<uint8_t>(rgb), d[3] = a;
    }
  }
  return out;
}

CursorImage ReadIconDirectory(std::span<const uint8_t> data, const std::string& name,
                              uint64_t base) {
  ByteReader r(data, name, base);
  if (r.U16() != 0) r.FailAt(0, "not a cursor file");
  const uint16_t type = r.U16();
  if (type != 1 && type != 2) r.FailAt(2, "not a cursor file");
  const uint16_t n = r.U16();
  if (n == 0) r.FailAt(4, "no images");
  r.Count(n, 16, "directory entries");
  std::optional<Entry> best;
  for (uint16_t i = 0; i < n; ++i) {
    const size_t at = r.Pos();
    Entry e;
    r.Skip(4);
    e.hotX = r.U16();
    e.hotY = r.U16();
    e.size = r.U32();
    e.offset = r.U32();
    if (e.offset > data.size() || e.size > data.size() - e.offset || e.size < 8)
      r.FailAt(at + 8, "image " + std::to_string(i) + " lies outside the file");
    Inspect(e, data.subspan(e.offset, e.size), name, base + e.offset);
    const int64_t area = int64_t{e.width} * e.height;
    if (!best || area > int64_t{best->width} * best->height ||
        (area == int64_t{best->width} * best->height && e.bits > best->bits))
      best = e;
  }
  const std::span<const uint8_t> image = data.subspan(best->offset, best->size);
  CursorImage out = best->png ? DecodePng(image, name, base + best->offset)
                              : DecodeDib(*best, image, name, base + best->offset);
  // Icons have no hot spot; their directory holds planes and bit count there.
  if (type == 2) out.hotX = best->hotX, out.hotY = best->hotY;
  return out;
}

CursorImage ReadAni(std::span<const uint8_t> data, const std::string& name) {
  ByteReader r(data, name);
  r.Skip(4);
  const uint32_t riffSize = r.U32();
  if (riffSize < 4 || riffSize > r.Left()) r.FailAt(4, "RIFF size " + std::to_string(riffSize));
  r.Skip(4);
  const size_t end = 8 + static_cast<size_t>(riffSize);

  bool haveHeader = false;
  uint32_t flags = 0;
  size_t seqAt = 0;
  std::optional<uint32_t> firstStep;
  std::vector<std::pair<size_t, size_t>> frames;  // offset, size

  // Walks the chunks between the reader's position and `limit`, calling `each` with the
  // chunk's id, data offset and size; the reader ends on the next chunk.
  auto walk = [&](size_t limit, auto&& each) {
    while (r.Pos() < limit) {
      const size_t at = r.Pos();
      if (limit - at < 8) r.Fail("truncated chunk header");
      const std::string id = r.Str(4);
      const uint32_t size = r.U32();
      if (size > limit - r.Pos())
        r.FailAt(at + 4, "chunk '" + id + "' size " + std::to_string(size));
      const size_t dataAt = r.Pos();
      each(id, dataAt, static_cast<size_t>(size));
      // Chunks are padded to an even length; the pad byte may be missing at the very end.
      size_t next = dataAt + size;
      if ((size & 1) && next < limit) ++next;
      r.Seek(next);
    }
  };
  walk(end, [&](const std::string& id, size_t at, size_t size) {
    if (id == "anih") {
      if (size < 36) r.FailAt(at - 4, "anih size " + std::to_string(size));
      r.Skip(32);
      flags = r.U32();
      haveHeader = true;
    } else if (id == "seq ") {
      if (size >= 4) firstStep = r.U32(), seqAt = at;
    } else if (id == "LIST" && size >= 4 && r.Str(4) == "fram") {
      walk(at + size, [&](const std::string& sub, size_t subAt, size_t subSize) {
        if (sub == "icon") frames.emplace_back(subAt, subSize);
      });
    }
  });
  if (!haveHeader) r.FailAt(0, "no anih header");
  if (!(flags & 1)) r.FailAt(0, "frames are raw bitmaps, not cursor images");
  if (frames.empty()) r.FailAt(0, "no frames");
  const uint32_t shown = firstStep.value_or(0);
  if (shown >= frames.size())
    r.FailAt(seqAt, "sequence shows frame " + std::to_string(shown) + " of " +
                        std::to_string(frames.size()));
  const auto [at, size] = frames[shown];
  const std::span<const uint8_t> frame = data.subspan(at, size);
  if (!IsIconDir(frame)) r.FailAt(at, "frame is not a cursor image");
  return ReadIconDirectory(frame, name, at);
}

}  // namespace

bool LooksLikeCursor(std::span<const uint8_t> data) {
  return IsIconDir(data) || IsAni(data);
}

CursorImage ReadCursor(std::span<const uint8_t> data, const std::string& name) {
  if (IsAni(data)) return ReadAni(data, name);
  if (IsIconDir(data)) return ReadIconDirectory(data, name, 0);
  throw FormatError(name, 0, "not a cursor file");
}

Bytes WriteCursor(const CursorImage& c) {
  if (c.width <= 0 || c.height <= 0 || c.width > CursorImage::kMaxSide ||
      c.height > CursorImage::kMaxSide ||
      c.rgba.size() != static_cast<size_t>(c.width) * c.height * 4)
    throw Error("a cursor must be 1 to 256 pixels on each side");
  const uint32_t colourSize = static_cast<uint32_t>(c.width) * c.height * 4;
  const uint32_t andRow = (static_cast<uint32_t>(c.width) + 31) / 32 * 4;
  const uint32_t imageSize = 40 + colourSize + andRow * c.height;
  ByteWriter w;
  w.U16(0);
  w.U16(2);
  w.U16(1);
  w.U8(static_cast<uint8_t>(c.width & 0xFF));  // 256 is written as 0
  w.U8(static_cast<uint8_t>(c.height & 0xFF));
  w.U8(0);
  w.U8(0);
  w.U16(static_cast<uint16_t>(c.hotX));
  w.U16(static_cast<uint16_t>(c.hotY));
  w.U32(imageSize);
  w.U32(22);
  w.U32(40);
  w.I32(c.width);
  w.I32(c.height * 2);
  w.U16(1);
  w.U16(32);
  w.U32(0);
  w.U32(colourSize + andRow * c.height);
  for (int i = 0; i < 4; ++i)
    w.U32(0);
  for (int32_t y = c.height - 1; y >= 0; --y)
    for (int32_t x = 0; x < c.width; ++x) {
      const uint8_t* p = c.rgba.data() + (static_cast<size_t>(y) * c.width + x) * 4;
      // Clear pixels are stored black: with the mask set, any other colour would invert.
      if (p[3] == 0)
        w.U32(0);
      else
        w.U8(p[2]), w.U8(p[1]), w.U8(p[0]), w.U8(p[3]);
    }
  for (int32_t y = c.height - 1; y >= 0; --y) {
    std::vector<uint8_t> row(andRow, 0);
    for (int32_t x = 0; x < c.width; ++x)
      if (c.rgba[(static_cast<size_t>(y) * c.width + x) * 4 + 3] == 0)
        row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    w.Raw(row.data(), row.size());
  }
  return w.Take();
}

}  // namespace kova
