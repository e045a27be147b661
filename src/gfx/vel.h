// Layered, optionally animated pictures (".vel"): reading every version from 0 to 106, layer
// composition, and writing the single-layer form "Vell106".
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/colour.h"
#include "common/geometry.h"
#include "gfx/surface.h"

namespace kova {
class TNxBigStream;
}

namespace kova {

class TVellFrame;

struct TVellLayer {
  TDIBSurface surface;  // the frame's size, depth and palette; optional alpha plane
  uint8_t visible = 1;
  int32_t transparent = -1;  // raw pixel value, -1 none
  int32_t opacity = 255;
  uint8_t alphaFlag = 0;
};

class TVellFrame {
 public:
  TDIBSurface picture;  // the composed picture, optional alpha plane
  int32_t transparentValue = -1;
  ColorRef transparentColor = -1;
  int32_t delay = 100;
  std::string name;
  std::vector<Rect> rectsA, rectsB;
  int32_t layerCount = 0;  // as stored
  // Kept while the file is read: later frames may repeat their tiles.
  std::vector<std::unique_ptr<TVellLayer>> layers;
};

struct VelHeader {
  int32_t version = 0;
  uint32_t width = 0, height = 0, bits = 0, frameCount = 0;
  uint8_t protectedFlag = 0, kind = 0;
  ColorRef background = 0;
  uint32_t tileWidth = 0, tileHeight = 0;
  uint8_t bottomOpaque = 0, jpegQuality = 0;
};

class TVellFrameList {
 public:
  explicit TVellFrameList(int32_t protectionCode = 0) : code_(protectionCode) {}

  // Clears the list and reads a picture. `name` (UTF-8) names it in errors: any violation of
  // the format throws DamagedPicture. With firstOnly, at most one frame is read.
  void LoadFromBytes(std::span<const uint8_t> data, const std::string& name, bool firstOnly,
                     bool postProcess);
  // The rest of the stream from its position, read as above.
  void LoadFromStream(TNxBigStream& stream, bool firstOnly, bool postProcess);
  // By the lower-cased extension: ".vel", ".png", ".bmp"/".dib"; others leave the list empty.
  void LoadFromFile(const std::string& path, bool firstOnly, bool postProcess);
  void LoadByExtension(std::span<const uint8_t> data, const std::string& ext,
                       const std::string& name, bool firstOnly, bool postProcess);

  // Compression kind 0 (zlib), 1 (none) or 2 (JPEG colour blocks). Protected lists are written
  // uncompressed with permuted rows.
  Bytes SaveToBytes(int kind, int jpegQuality) const;
  void SaveToStream(TNxBigStream& stream, int kind, int jpegQuality) const;
  void SaveToFile(const std::string& path) const;  // kind 0, quality 70

  // Gives every frame without an alpha plane one built from its transparent value.
  void MakeMasks();
  TVellFrame& AddFrame();
  TVellFrame& Frame(int i) { return *frames_.at(static_cast<size_t>(i)); }
  const TVellFrame& Frame(int i) const { return *frames_.at(static_cast<size_t>(i)); }
  int Count() const { return static_cast<int>(frames_.size()); }
  void Clear() { frames_.clear(); }

  // True when the picture is version 103 or later and stored without compression.
  static bool IsUncompressed(std::span<const uint8_t> data);
  // The file's header (legacy fields read as zero); throws DamagedPicture.
  static VelHeader ReadHeader(std::span<const uint8_t> data, const std::string& name);

  int32_t version = 0;
  ColorRef background = 0;
  uint8_t bottomOpaque = 0;
  int32_t targetDepth = 0;  // post-processing converts to it when positive
  bool protect = false;     // written with permuted rows (needs a nonzero code)
  // Bytes the decoded pictures and layers of one file may take; larger files are refused.
  int64_t decodeBudget = int64_t{1} << 30;
  int32_t ProtectionCode() const { return code_; }
  void SetProtectionCode(int32_t code) { code_ = code; }

 private:
  int32_t code_;
  std::vector<std::unique_ptr<TVellFrame>> frames_;
};

// Post-processing of one frame after reading (masks, depth conversion).
void PostProcessFrame(TVellFrame& f, int32_t targetDepth);
// Bounding rectangle of the frame's visible pixels for trimming; false when it cannot be
// trimmed (no alpha plane and no transparent colour).
bool TrimBox(const TVellFrame& f, Rect& box);

}  // namespace kova
