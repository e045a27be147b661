#include "gfx/codecs.h"

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace kova {

namespace {

void CheckSize(int64_t w, int64_t h, const std::string& name) {
  if (w < 0 || h < 0 || w > kMaxPictureSide || h > kMaxPictureSide || w * h > kMaxPicturePixels)
    Damaged(name, "size " + std::to_string(w) + "x" + std::to_string(h));
}

}  // namespace

// ---- Bitmap files. ----

TDIBSurface ReadBmp(std::span<const uint8_t> data, const std::string& name) {
  try {
    ByteReader r(data, name);
    if (!r.Match("BM")) r.Fail("no bitmap signature");
    r.Skip(8);
    const uint32_t offBits = r.U32();
    const uint32_t h0 = r.U32();
    if (h0 != 12 && (h0 < 40 || h0 > 4096)) r.Fail("header size");
    int64_t w, h;
    int bpp;
    uint32_t compression = 0, clrUsed = 0;
    if (h0 == 12) {
      w = r.U16();
      h = static_cast<int16_t>(r.U16());
      r.U16();
      bpp = r.U16();
    } else {
      w = r.I32();
      h = r.I32();
      r.U16();
      bpp = r.U16();
      compression = r.U32();
      r.Skip(12);
      clrUsed = r.U32();
      r.U32();
      r.Skip(h0 - 40);
    }
    const bool topDown = h < 0;
    if (topDown) h = -h;
    if (w <= 0 || h <= 0) r.Fail("size");
    CheckSize(w, h, name);
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
      r.Fail("bit count");
    int bits = bpp == 16 ? 15 : bpp;
    if (compression == 3) {  // bit fields: the masks follow the 40-byte header
      if (bpp != 16 && bpp != 32) r.Fail("bit fields");
      uint32_t rm, gm, bm;
      if (h0 == 40) {
        rm = r.U32(), gm = r.U32(), bm = r.U32();
      } else {
        ByteReader m(data, name);
        m.Seek(14 + 40);
        rm = m.U32(), gm = m.U32(), bm = m.U32();
      }
      if (bpp == 16 && rm == 0xF800 && gm == 0x07E0 && bm == 0x001F)
        bits = 16;
      else if (bpp == 16 && rm == 0x7C00 && gm == 0x03E0 && bm == 0x001F)
        bits = 15;
      else if (!(bpp == 32 && rm == 0xFF0000 && gm == 0xFF00 && bm == 0xFF))
        r.Fail("bit masks");
    } else if (compression != 0) {
      r.Fail("compression");
    }
    TDIBSurface pic(static_cast<int32_t>(w), static_cast<int32_t>(h), bits);
    if (bpp <= 8) {
      const uint32_t n = clrUsed ? clrUsed : 1u << bpp;
      if (n > (1u << bpp)) r.Fail("palette size");
      const size_t entry = h0 == 12 ? 3 : 4;
      r.Count(n, entry, "palette");
      for (uint32_t i = 0; i < n; ++i) {
        auto e = r.Span(entry);
        pic.Palette()[i] = e[0] | (e[1] << 8) | (e[2] << 16);
      }
    }
    if (offBits < 14 || offBits > data.size()) r.Fail("pixel offset");
    r.Seek(offBits);
    const int64_t row = DibRowSize(w, bits);
    r.Count(static_cast<uint64_t>(h), static_cast<size_t>(row), "rows");
    for (int64_t y = 0; y < h; ++y) {
      auto s = r.Span(static_cast<size_t>(row));
      std::memcpy(pic.ScanLine(static_cast<int32_t>(topDown ? y : h - 1 - y)), s.data(), s.size());
    }
    return pic;
  } catch (const DamagedPicture&) {
    throw;
  } catch (const Error& e) {
    Damaged(name, e.what());
  }
}

Bytes WriteBmp24(const TDIBSurface& picIn) {
  const TDIBSurface* pic = &picIn;
  TDIBSurface conv;
  if (picIn.BitCount() != 24) {
    conv = picIn;
    conv.ConvertDepth(24);
    pic = &conv;
  }
  const uint32_t row = static_cast<uint32_t>(DibRowSize(pic->Width(), 24));
  const uint32_t size = row * static_cast<uint32_t>(pic->Height());
  ByteWriter w;
  w.Raw("BM");
  w.U32(54 + size);
  w.U32(0);
  w.U32(54);
  w.U32(40);
  w.I32(pic->Width());
  w.I32(pic->Height());
  w.U16(1);
  w.U16(24);
  w.U32(0);
  w.U32(size);
  w.U32(2835);
  w.U32(2835);
  w.U32(0);
  w.U32(0);
  for (int32_t y = pic->Height() - 1; y >= 0; --y)
    w.Raw(pic->ScanLine(y), row);
  return w.Take();
}

// ---- PNG, through the library's simplified interface. ----

TDIBSurface ReadPng(std::span<const uint8_t> data, const std::string& name) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, data.data(), data.size())) Damaged(name, img.message);
  struct Free {
    png_image* p;
    ~Free() { png_image_free(p); }
  } guard{&img};
  if (int64_t{img.width} * img.height > kMaxPicturePixels || img.width > kMaxPictureSide ||
      img.height > kMaxPictureSide)
    Damaged(name, "size");
  const bool alpha = (img.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  img.format = alpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
  std::vector<uint8_t> buf(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, buf.data(), 0, nullptr)) Damaged(name, img.message);
  const int32_t w = static_cast<int32_t>(img.width), h = static_cast<int32_t>(img.height);
  TDIBSurface pic(w, h, 24);
  TDIBSurface* plane = alpha ? &pic.CreateAlphaPlane() : nullptr;
  const size_t ch = alpha ? 4 : 3;
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* s = buf.data() + static_cast<size_t>(y) * w * ch;
    uint8_t* d = pic.ScanLine(y);
    for (int32_t x = 0; x < w; ++x) {
      std::memcpy(d + 3 * x, s + ch * x, 3);
      if (plane) plane->ScanLine(y)[x] = s[ch * x + 3];
    }
  }
  return pic;
}

Bytes WritePng(const TDIBSurface& picIn) {
  const int32_t w = picIn.Width(), h = picIn.Height();
  const TDIBSurface* plane = picIn.AlphaPlane();
  const size_t ch = plane ? 4 : 3;
  std::vector<uint8_t> buf(static_cast<size_t>(w) * h * ch);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t c = picIn.NativeToRGB(picIn.GetPixel(x, y));
      uint8_t* d = buf.data() + (static_cast<size_t>(y) * w + x) * ch;
      d[0] = static_cast<uint8_t>(c >> 16);
      d[1] = static_cast<uint8_t>(c >> 8);
      d[2] = static_cast<uint8_t>(c);
      if (plane) d[3] = static_cast<uint8_t>(plane->GetPixel(x, y));
    }
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = static_cast<png_uint_32>(w);
  img.height = static_cast<png_uint_32>(h);
  img.format = plane ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&img, nullptr, &size, 0, buf.data(), 0, nullptr))
    throw Error(std::string("PNG: ") + img.message);
  Bytes out(size);
  if (!png_image_write_to_memory(&img, out.data(), &size, 0, buf.data(), 0, nullptr))
    throw Error(std::string("PNG: ") + img.message);
  out.resize(size);
  return out;
}

// ---- JPEG. Library errors jump back out of the library and become exceptions here. ----

namespace {
struct JpegErr {
  jpeg_error_mgr mgr;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};
void JpegErrorExit(j_common_ptr cinfo) {
  auto* e = reinterpret_cast<JpegErr*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, e->message);
  std::longjmp(e->jump, 1);
}
void JpegSilent(j_common_ptr, int) {}

// Decodes into rows of 24-bit pixels; false with the message on failure. No C++ objects with
// destructors live in this frame, so the jump is safe.
bool DecodeJpeg(std::span<const uint8_t> data, TDIBSurface* pic, int32_t ew, int32_t eh,
                char* message) {
  jpeg_decompress_struct cinfo;
  JpegErr err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegErrorExit;
  err.mgr.emit_message = JpegSilent;
  if (setjmp(err.jump)) {
    std::memcpy(message, err.message, JMSG_LENGTH_MAX);
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_EXT_BGR;
  if (int64_t{cinfo.image_width} * cinfo.image_height > kMaxPicturePixels ||
      cinfo.image_width > kMaxPictureSide || cinfo.image_height > kMaxPictureSide ||
      (ew >= 0 && (cinfo.image_width != static_cast<JDIMENSION>(ew) ||
                   cinfo.image_height != static_cast<JDIMENSION>(eh)))) {
    std::snprintf(message, JMSG_LENGTH_MAX, "size %ux%u", cinfo.image_width, cinfo.image_height);
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != 3) {
    std::snprintf(message, JMSG_LENGTH_MAX, "components");
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  // The size was checked above, so this allocates without throwing anything but bad_alloc.
  pic->SetSize(static_cast<int32_t>(cinfo.output_width), static_cast<int32_t>(cinfo.output_height),
               24);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = pic->ScanLine(static_cast<int32_t>(cinfo.output_scanline));
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

bool EncodeJpeg(const TDIBSurface& pic, int quality, unsigned char** out, unsigned long* size,
                char* message) {
  jpeg_compress_struct cinfo;
  JpegErr err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegErrorExit;
  if (setjmp(err.jump)) {
    std::memcpy(message, err.message, JMSG_LENGTH_MAX);
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, out, size);
  cinfo.image_width = static_cast<JDIMENSION>(pic.Width());
  cinfo.image_height = static_cast<JDIMENSION>(pic.Height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(pic.ScanLine(static_cast<int32_t>(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}
}  // namespace

TDIBSurface ReadJpeg(std::span<const uint8_t> data, const std::string& name, int32_t expectW,
                     int32_t expectH) {
  TDIBSurface pic;
  char message[JMSG_LENGTH_MAX] = {};
  if (data.empty()) Damaged(name, "empty JPEG block");
  if (!DecodeJpeg(data, &pic, expectW, expectH, message))
    Damaged(name, std::string("JPEG: ") + message);
  return pic;
}

Bytes WriteJpeg(const TDIBSurface& picIn, int quality) {
  TDIBSurface pic = picIn;
  pic.FreeAlphaPlane();
  pic.ConvertDepth(24);
  if (pic.Empty()) throw Error("JPEG: empty picture");
  unsigned char* out = nullptr;
  unsigned long size = 0;
  char message[JMSG_LENGTH_MAX] = {};
  const bool ok = EncodeJpeg(pic, quality, &out, &size, message);
  Bytes bytes;
  if (ok) bytes.assign(out, out + size);
  std::free(out);
  if (!ok) throw Error(std::string("JPEG: ") + message);
  return bytes;
}

// ---- zlib. ----

Bytes InflateUpTo(std::span<const uint8_t> data, size_t limit, const std::string& name) {
  z_stream z;
  std::memset(&z, 0, sizeof z);
  if (inflateInit(&z) != Z_OK) throw Error("inflate failed");
  // Grows as the data really inflates, so a small block cannot make us reserve the limit.
  Bytes out(std::min<size_t>(limit, 65536));
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  size_t got = 0;
  int rc = Z_OK;
  while (got < limit) {
    if (got == out.size()) out.resize(std::min(limit, out.size() * 2));
    z.next_out = out.data() + got;
    z.avail_out = static_cast<uInt>(out.size() - got);
    rc = inflate(&z, Z_NO_FLUSH);
    got = out.size() - z.avail_out;
    if (rc != Z_OK || (z.avail_in == 0 && z.avail_out > 0)) break;
  }
  inflateEnd(&z);
  if (rc != Z_OK && rc != Z_STREAM_END && !(rc == Z_BUF_ERROR && got == limit))
    Damaged(name, "zlib data");
  out.resize(got);
  return out;
}

}  // namespace kova
