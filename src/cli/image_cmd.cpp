// kova image: looks into layered pictures and converts between them and PNG, BMP and JPEG.
#include <cstdio>
#include <optional>
#include <string>
#include <tuple>

#include "cli/args.h"
#include "cli/commands.h"
#include "common/cp932.h"
#include "gfx/codecs.h"
#include "gfx/cursor.h"
#include "gfx/vel.h"
#include "vfs/file_stream.h"

namespace kova::cli {

namespace {

constexpr const char* kUsage =
    "usage: kova image info FILE.vel|FILE.cur [--code N]\n"
    "       kova image convert IN OUT [--kind 0|1] [--code N] [--frame K] [--hot X,Y]\n"
    "  info     prints the header and every frame (size, depth, delay, layers, key); for a\n"
    "           cursor (.cur, .ani, .ico), the size and hot spot of the picture it shows\n"
    "  convert  PNG/BMP/JPEG -> .vel (one frame, one layer; PNG alpha becomes the alpha plane),\n"
    "           .vel -> PNG (frame K, counted from 0, composed; alpha plane as PNG alpha),\n"
    "           .vel -> .vel (every frame composed, written again),\n"
    "           .cur/.ani/.ico -> PNG or .vel (the picture the cursor shows, with alpha),\n"
    "           any picture -> .cur (up to 256x256; alpha 0 is transparent)\n"
    "  --hot    the hot spot of a .cur written (default: as read from a cursor, else 0,0)\n"
    "  --kind   0 zlib (default), 1 uncompressed\n"
    "  --code   the title's identification code: reads protected pictures; when writing, the\n"
    "           rows are stored protected (uncompressed)";

std::string Ext(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string e = path.substr(dot);
  return cp932::Lower(e);
}

int32_t ParseInt(const std::string& s, const char* what) {
  try {
    size_t used = 0;
    const long long v = std::stoll(s, &used, 0);
    if (used != s.size() || v < INT32_MIN || v > UINT32_MAX) throw std::out_of_range(what);
    return static_cast<int32_t>(v);
  } catch (const std::logic_error&) {
    throw UsageError(std::string("bad ") + what + ": " + s);
  }
}

int Info(Args& args) {
  const std::string path = args.Next("FILE.vel");
  const auto code = args.Option("code");
  args.Done();
  const Bytes data = ReadWholeFile(path);
  if (LooksLikeCursor(data)) {
    const CursorImage c = ReadCursor(data, path);
    std::printf("file: %s\n", path.c_str());
    std::printf("cursor: %dx%d, hot spot %d,%d\n", c.width, c.height, c.hotX, c.hotY);
    return 0;
  }
  const VelHeader h = TVellFrameList::ReadHeader(data, path);
  TVellFrameList list(code ? ParseInt(*code, "code") : 0);
  list.LoadFromBytes(data, path, false, false);
  std::printf("file: %s\n", path.c_str());
  std::printf("version: %d\n", h.version);
  if (h.version >= 103) {
    std::printf("size: %ux%u, %u bits per pixel\n", h.width, h.height, h.bits);
    std::printf("protected: %s\n", h.protectedFlag ? "yes" : "no");
    static const char* kKinds[] = {"0 (zlib)", "1 (none)", "2 (JPEG)"};
    std::printf("compression: %s\n", kKinds[h.kind]);
    std::printf("tiles: %ux%u\n", h.tileWidth, h.tileHeight);
    std::printf("bottom layer opaque: %s\n", h.bottomOpaque ? "yes" : "no");
    std::printf("JPEG quality: %u\n", h.jpegQuality);
  }
  std::printf("background: 0x%06X\n", static_cast<unsigned>(h.background) & 0xFFFFFF);
  std::printf("frames: %d\n", list.Count());
  for (int i = 0; i < list.Count(); ++i) {
    const TVellFrame& f = list.Frame(i);
    std::printf("frame %d: \"%s\" %dx%d, %d bits, delay %d, layers %d, ", i,
                cp932::ToUtf8(f.name).c_str(), f.picture.Width(), f.picture.Height(),
                f.picture.BitCount(), f.delay, f.layerCount);
    if (f.transparentValue < 0)
      std::printf("key none");
    else
      std::printf("key %d (colour 0x%06X)", f.transparentValue,
                  static_cast<unsigned>(f.transparentColor));
    std::printf(", alpha %s", f.picture.AlphaPlane() ? "yes" : "no");
    if (!f.rectsA.empty() || !f.rectsB.empty())
      std::printf(", rectangles %zu+%zu", f.rectsA.size(), f.rectsB.size());
    std::printf("\n");
  }
  return 0;
}

int Convert(Args& args) {
  const std::string in = args.Next("IN");
  const std::string out = args.Next("OUT");
  const auto kindArg = args.Option("kind");
  const auto codeArg = args.Option("code");
  const auto frameArg = args.Option("frame");
  const auto hotArg = args.Option("hot");
  args.Done();
  int kind = 0;
  if (kindArg) {
    if (*kindArg != "0" && *kindArg != "1") throw UsageError("--kind is 0 or 1");
    kind = *kindArg == "1" ? 1 : 0;
  }
  const int32_t code = codeArg ? ParseInt(*codeArg, "code") : 0;
  const int frame = frameArg ? ParseInt(*frameArg, "frame") : 0;
  const std::string inExt = Ext(in), outExt = Ext(out);
  const bool picIn =
      inExt == ".png" || inExt == ".bmp" || inExt == ".dib" || inExt == ".jpg" || inExt == ".jpeg";
  // Wrong names are usage errors, found before anything is read.
  const bool cursorIn = inExt == ".cur" || inExt == ".ani" || inExt == ".ico";
  if (inExt != ".vel" && !picIn && !cursorIn)
    throw UsageError("IN must be .vel, .png, .bmp, .jpg, .cur, .ani or .ico: " + in);
  if (outExt != ".vel" && outExt != ".png" && outExt != ".cur")
    throw UsageError("OUT must be .vel, .png or .cur: " + out);
  std::optional<std::pair<int32_t, int32_t>> hot;
  if (hotArg) {
    if (outExt != ".cur") throw UsageError("--hot is for a .cur written");
    const size_t comma = hotArg->find(',');
    if (comma == std::string::npos) throw UsageError("--hot needs X,Y");
    hot.emplace(ParseInt(hotArg->substr(0, comma), "hot spot"),
                ParseInt(hotArg->substr(comma + 1), "hot spot"));
    if (hot->first < 0 || hot->second < 0 || hot->first >= CursorImage::kMaxSide ||
        hot->second >= CursorImage::kMaxSide)
      throw UsageError("--hot must lie in the picture");
  }
  const Bytes data = ReadWholeFile(in);

  TVellFrameList list(code);
  std::pair<int32_t, int32_t> readHot{0, 0};
  if (cursorIn) {
    const CursorImage c = ReadCursor(data, in);
    readHot = {c.hotX, c.hotY};
    TVellFrame& f = list.AddFrame();
    f.picture.SetSize(c.width, c.height, 24);
    TDIBSurface& a = f.picture.CreateAlphaPlane();
    for (int32_t y = 0; y < c.height; ++y)
      for (int32_t x = 0; x < c.width; ++x) {
        const uint32_t p = c.Pixel(x, y);
        f.picture.SetPixel(x, y, p & 0xFFFFFF);
        a.SetPixel(x, y, p >> 24);
      }
  } else if (inExt == ".vel") {
    list.LoadFromBytes(data, in, false, false);
  } else {
    TVellFrame& f = list.AddFrame();
    f.picture = inExt == ".png"                       ? ReadPng(data, in)
                : inExt == ".jpg" || inExt == ".jpeg" ? ReadJpeg(data, in)
                                                      : ReadBmp(data, in);
  }

  if (outExt == ".vel") {
    list.protect = codeArg.has_value();
    for (int i = 0; i < list.Count(); ++i)
      list.Frame(i).layers.clear();
    WriteFileAtomic(out, list.SaveToBytes(kind, 70));
    std::printf("%s: %d frame(s), %dx%d, %d bits, kind %d%s\n", out.c_str(), list.Count(),
                list.Count() ? list.Frame(0).picture.Width() : 0,
                list.Count() ? list.Frame(0).picture.Height() : 0,
                list.Count() ? list.Frame(0).picture.BitCount() : 0, list.protect ? 1 : kind,
                list.protect ? ", protected" : "");
  } else if (outExt == ".cur") {
    if (frame < 0 || frame >= list.Count())
      throw UsageError("--frame " + std::to_string(frame) + " outside 0.." +
                       std::to_string(list.Count() - 1));
    const TDIBSurface& pic = list.Frame(frame).picture;
    if (pic.Width() > CursorImage::kMaxSide || pic.Height() > CursorImage::kMaxSide)
      throw Error(in + ": a cursor is at most 256x256 pixels, not " + std::to_string(pic.Width()) +
                  "x" + std::to_string(pic.Height()));
    CursorImage c;
    c.width = pic.Width(), c.height = pic.Height();
    std::tie(c.hotX, c.hotY) = hot.value_or(readHot);
    if (c.hotX >= c.width || c.hotY >= c.height) throw UsageError("--hot must lie in the picture");
    c.rgba.resize(static_cast<size_t>(c.width) * c.height * 4);
    const TDIBSurface* alpha = pic.AlphaPlane();
    for (int32_t y = 0; y < c.height; ++y)
      for (int32_t x = 0; x < c.width; ++x) {
        const uint32_t rgb = pic.NativeToRGB(pic.GetPixel(x, y));
        uint8_t* d = c.rgba.data() + (static_cast<size_t>(y) * c.width + x) * 4;
        d[0] = static_cast<uint8_t>(rgb >> 16), d[1] = static_cast<uint8_t>(rgb >> 8);
        d[2] = static_cast<uint8_t>(rgb);
        d[3] = alpha ? static_cast<uint8_t>(alpha->GetPixel(x, y)) : 255;
      }
    WriteFileAtomic(out, WriteCursor(c));
    std::printf("%s: cursor %dx%d, hot spot %d,%d\n", out.c_str(), c.width, c.height, c.hotX,
                c.hotY);
  } else {
    if (frame < 0 || frame >= list.Count())
      throw UsageError("--frame " + std::to_string(frame) + " outside 0.." +
                       std::to_string(list.Count() - 1));
    const TDIBSurface& pic = list.Frame(frame).picture;
    WriteFileAtomic(out, WritePng(pic));
    std::printf("%s: frame %d, %dx%d%s\n", out.c_str(), frame, pic.Width(), pic.Height(),
                pic.AlphaPlane() ? ", with alpha" : "");
  }
  return 0;
}

}  // namespace

int RunImage(std::span<char* const> argv) {
  Args args(argv, kUsage);
  if (args.WantsHelp()) {
    std::printf("%s\n", kUsage);
    return 0;
  }
  const std::string sub = args.Next("subcommand (info or convert)");
  if (sub == "info") return Info(args);
  if (sub == "convert") return Convert(args);
  throw UsageError("unknown subcommand: " + sub);
}

}  // namespace kova::cli
