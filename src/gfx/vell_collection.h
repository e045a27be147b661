// The one picture cache: scene objects acquire converted screen bitmaps by file name with an
// owner token and release them; pictures nobody uses wait in an idle list and are freed, oldest
// first, once the idle ones together exceed 5,760,000 bytes.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/colour.h"
#include "common/hash_collection.h"
#include "common/title_files.h"
#include "gfx/dibx.h"

namespace kova {

// Where the cache finds title files by their CP932 name. The virtual file manager plugs in here.
// Files held in memory, names compared without regard to ASCII case.
class MemoryPictureSource : public TitleFiles {
 public:
  void Put(const std::string& cp932Name, Bytes data);
  void Remove(const std::string& cp932Name);
  bool FileExists(const std::string& cp932Name) override;
  std::optional<Bytes> ReadFile(const std::string& cp932Name) override;
  int loads = 0;  // how often Load was asked

 private:
  std::map<std::string, Bytes> files_;
};

struct TVellItemFrame {
  std::unique_ptr<TDIBX> image;  // screen depth
  std::unique_ptr<TDIBX> mask;   // 8 bits, or none
  ColorRef transparentColor = -1;
  int32_t delay = 1;
  int32_t offsetX = 0, offsetY = 0;
};

class TVellItem : public THashCollectionItem {
 public:
  using THashCollectionItem::THashCollectionItem;
  int FrameCount() const { return static_cast<int>(frames.size()); }
  // Bytes of the images and masks, for the idle bound.
  int64_t ByteSize() const;
  const std::vector<const void*>& Users() const { return users; }

  std::vector<const void*> users;
  std::vector<TVellItemFrame> frames;
  int32_t width = 0, height = 0;  // of frame 0 as stored, before trimming
  int32_t totalDelay = 0;
};

class TVellCollection {
 public:
  static constexpr int64_t kIdleLimit = 5760000;

  explicit TVellCollection(TitleFiles* source) : source_(source) {}

  // The item for path (CP932), loaded when not cached; a missing file gives an 8 x 8
  // placeholder that draws nothing. A damaged file throws DamagedPicture and caches nothing.
  TVellItem& Acquire(const void* owner, const std::string& path, bool trim, bool mask);
  void Release(TVellItem* item, const void* owner);
  // Frees the idle items of path in all four forms.
  void Purge(const std::string& path);
  void SetConvertFlag(bool value);
  bool ConvertFlag() const { return convert_; }
  void ReloadAll(bool recreate);
  void ReleaseSurfaces();
  void WriteState(ByteWriter& w) const { w.U8(convert_ ? 1 : 0); }
  void ReadState(ByteReader& r, int version) {
    if (version > 100) convert_ = r.U8() != 0;
  }

  void SetProtectionCode(int32_t code) { code_ = code; }
  void SetScreenDepth(int bits) { screenDepth_ = bits; }
  int Count() const { return items_.Count(); }
  TVellItem* Find(const std::string& key) const { return items_.Find(key); }
  const std::deque<TVellItem*>& Idle() const { return idle_; }
  int64_t IdleBytes() const;

  static std::string KeyOf(const std::string& path, bool trim, bool mask);
  static std::string PathOfKey(const std::string& key);

 private:
  // Builds an item's frames from the file; false when the file is missing.
  bool LoadFrames(const std::string& key, std::vector<TVellItemFrame>& frames, int32_t& width,
                  int32_t& height, int32_t& totalDelay);
  void Reload(TVellItem& item, bool recreate);
  void Placeholder(TVellItem& item, bool mask);
  void Free(TVellItem* item);

  TitleFiles* source_;
  THashCollectionOf<TVellItem> items_;
  std::deque<TVellItem*> idle_;
  bool convert_ = false;
  int32_t code_ = 0;
  int screenDepth_ = 32;
};

}  // namespace kova
