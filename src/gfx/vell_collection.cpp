#include "gfx/vell_collection.h"

#include <algorithm>

#include "common/cp932.h"
#include "gfx/vel.h"

namespace kova {

void MemoryPictureSource::Put(const std::string& name, Bytes data) {
  files_[cp932::Lower(name)] = std::move(data);
}
void MemoryPictureSource::Remove(const std::string& name) {
  files_.erase(cp932::Lower(name));
}
bool MemoryPictureSource::FileExists(const std::string& name) {
  return files_.count(cp932::Lower(name)) > 0;
}

std::optional<Bytes> MemoryPictureSource::ReadFile(const std::string& name) {
  ++loads;
  auto it = files_.find(cp932::Lower(name));
  if (it == files_.end()) return std::nullopt;
  return it->second;
}

int64_t TVellItem::ByteSize() const {
  int64_t n = 0;
  auto size = [](const TDIBX* b) {
    return b ? int64_t{b->Width()} * b->Height() * ((b->BitCount() + 7) / 8) : 0;
  };
  for (const TVellItemFrame& f : frames)
    n += size(f.image.get()) + size(f.mask.get());
  return n;
}

std::string TVellCollection::KeyOf(const std::string& path, bool trim, bool mask) {
  return path + (mask ? "?m" : "") + (trim ? "?t" : "");
}

std::string TVellCollection::PathOfKey(const std::string& key) {
  std::string p = key;
  if (key.find("?m") != std::string::npos && p.size() >= 2) p.resize(p.size() - 2);
  if (key.find("?t") != std::string::npos && p.size() >= 2) p.resize(p.size() - 2);
  return p;
}

namespace {

std::string Ext(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || path.find_first_of("\\/", dot) != std::string::npos) return {};
  return cp932::Lower(path.substr(dot));
}

// Trims a frame to its visible pixels; returns the offset of the kept part.
Point Trim(TVellFrame& f) {
  Rect box;
  if (!TrimBox(f, box)) return {};
  if (box.Empty() || box == f.picture.Bounds()) return {};
  f.picture.Crop(box);
  for (auto* list : {&f.rectsA, &f.rectsB}) {
    std::vector<Rect> kept;
    for (const Rect& r : *list) {
      const Rect i = r.Intersect(box);
      if (!i.Empty()) kept.push_back(i);
    }
    *list = std::move(kept);
  }
  return {box.left, box.top};
}

// Converts a frame into the item frame's bitmaps: image, colour key and mask.
void Convert(const TVellFrame& f, TVellItemFrame& out, bool wantMask) {
  out.image->AssignSurface(f.picture);
  out.image->RectsA() = f.rectsA;
  out.image->RectsB() = f.rectsB;
  // The key goes through the same conversion as the pixels, so keyed pixels match it exactly.
  out.image->SetColorKey(out.image->NativeColor(f.transparentColor));
  if (const TDIBSurface* plane = f.picture.AlphaPlane(); plane || wantMask) {
    if (!out.mask) out.mask = std::make_unique<TDIBX>(1, 1, 8);
    out.mask->SetSize(f.picture.Width(), f.picture.Height(), 8);
    if (plane)
      for (int32_t y = 0; y < plane->Height(); ++y)
        std::copy_n(plane->ScanLine(y), plane->Width(), out.mask->Row(y));
  } else {
    out.mask.reset();
  }
}

}  // namespace

bool TVellCollection::LoadFrames(const std::string& key, std::vector<TVellItemFrame>& frames,
                                 int32_t& width, int32_t& height, int32_t& totalDelay) {
  const std::string path = PathOfKey(key);
  const bool wantMask = key.find("?m") != std::string::npos;
  const bool trim = key.find("?t") != std::string::npos;
  std::optional<Bytes> data = source_ ? source_->ReadFile(path) : std::nullopt;
  if (!data) return false;
  TVellFrameList list(code_);
  if (convert_) list.targetDepth = screenDepth_;
  std::string ext = Ext(path);
  if (ext != ".png" && ext != ".bmp" && ext != ".dib") ext = ".vel";
  list.LoadByExtension(*data, ext, cp932::ToUtf8(path), false, false);
  if (wantMask) list.MakeMasks();
  width = list.Count() ? list.Frame(0).picture.Width() : 0;
  height = list.Count() ? list.Frame(0).picture.Height() : 0;
  totalDelay = 0;
  frames.clear();
  frames.resize(static_cast<size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i) {
    TVellFrame& f = list.Frame(i);
    TVellItemFrame& out = frames[static_cast<size_t>(i)];
    if (trim) {
      const Point off = Trim(f);
      out.offsetX = off.x, out.offsetY = off.y;
    }
    out.image = std::make_unique<TDIBX>(1, 1, 32);  // screen bitmaps are 32-bit
    Convert(f, out, wantMask);
    out.transparentColor = f.transparentColor;
    // A delay below 1 ms would stall or reverse an animation.
    out.delay = std::max(1, f.delay);
    totalDelay += out.delay;
  }
  return true;
}

void TVellCollection::Placeholder(TVellItem& item, bool mask) {
  item.frames.clear();
  item.frames.resize(1);
  TVellItemFrame& f = item.frames[0];
  f.image = std::make_unique<TDIBX>(8, 8, 32);
  f.image->Fill(0);
  f.image->SetColorKey(0);
  // All zero: the placeholder is fully transparent through its mask as well.
  if (mask) f.mask = std::make_unique<TDIBX>(8, 8, 8);
  f.delay = 1;
  item.width = 8;
  item.height = 8;
  item.totalDelay = 1;
}

TVellItem& TVellCollection::Acquire(const void* owner, const std::string& path, bool trim,
                                    bool mask) {
  const std::string key = KeyOf(path, trim, mask);
  TVellItem* item = items_.Find(key);
  if (!item) {
    auto fresh = std::make_unique<TVellItem>(key);
    if (!LoadFrames(key, fresh->frames, fresh->width, fresh->height, fresh->totalDelay))
      Placeholder(*fresh, mask);
    item = &items_.Add(std::move(fresh));
  }
  if (std::find(item->users.begin(), item->users.end(), owner) == item->users.end())
    item->users.push_back(owner);
  auto it = std::find(idle_.begin(), idle_.end(), item);
  if (it != idle_.end()) idle_.erase(it);
  return *item;
}

int64_t TVellCollection::IdleBytes() const {
  int64_t n = 0;
  for (const TVellItem* i : idle_)
    n += i->ByteSize();
  return n;
}

void TVellCollection::Release(TVellItem* item, const void* owner) {
  if (!item) return;
  auto it = std::find(item->users.begin(), item->users.end(), owner);
  if (it != item->users.end()) {
    item->users.erase(it);
    if (item->users.empty()) idle_.push_back(item);
  }
  while (idle_.size() > 1 && IdleBytes() > kIdleLimit) {
    TVellItem* oldest = idle_.front();
    idle_.pop_front();
    Free(oldest);
  }
}

void TVellCollection::Free(TVellItem* item) {
  auto it = std::find(idle_.begin(), idle_.end(), item);
  if (it != idle_.end()) idle_.erase(it);
  items_.Delete(item->Index());
}

void TVellCollection::Purge(const std::string& path) {
  for (const std::string& key : {path, path + "?m", path + "?t", path + "?m?t"}) {
    TVellItem* item = items_.Find(key);
    if (item && item->users.empty()) Free(item);
  }
}

void TVellCollection::SetConvertFlag(bool value) {
  if (value == convert_) return;
  convert_ = value;
  ReloadAll(false);
}

void TVellCollection::ReloadAll(bool recreate) {
  for (int i = 0; i < items_.Count(); ++i)
    Reload(items_.At(i), recreate);
}

void TVellCollection::ReleaseSurfaces() {
  for (int i = 0; i < items_.Count(); ++i)
    for (TVellItemFrame& f : items_.At(i).frames)
      if (f.image) f.image->DropSurface();
}

void TVellCollection::Reload(TVellItem& item, bool recreate) {
  const std::string& key = item.Name();
  const std::string path = PathOfKey(key);
  const bool wantMask = key.find("?m") != std::string::npos;
  const bool trim = key.find("?t") != std::string::npos;
  std::optional<Bytes> data = source_ ? source_->ReadFile(path) : std::nullopt;
  if (!data) return;
  TVellFrameList list(code_);
  if (convert_) list.targetDepth = screenDepth_;
  std::string ext = Ext(path);
  if (ext != ".png" && ext != ".bmp" && ext != ".dib") ext = ".vel";
  list.LoadByExtension(*data, ext, cp932::ToUtf8(path), false, false);
  if (wantMask) list.MakeMasks();
  // A changed file with other frame counts or sizes cannot be refreshed frame by frame.
  bool same = list.Count() == item.FrameCount() && list.Count() > 0 &&
              list.Frame(0).picture.Width() == item.width &&
              list.Frame(0).picture.Height() == item.height;
  for (int i = 0; same && i < list.Count(); ++i) {
    const TDIBSurface& p = list.Frame(i).picture;
    const TVellItemFrame& f = item.frames[static_cast<size_t>(i)];
    if (!trim && (!f.image || p.Width() != f.image->Width() || p.Height() != f.image->Height()))
      same = false;
  }
  if (!same) {
    std::vector<TVellItemFrame> frames;
    int32_t w, h, total;
    LoadFrames(key, frames, w, h, total);
    item.frames = std::move(frames);
    item.width = w, item.height = h, item.totalDelay = total;
    return;
  }
  for (int i = 0; i < list.Count(); ++i) {
    TVellFrame& f = list.Frame(i);
    TVellItemFrame& out = item.frames[static_cast<size_t>(i)];
    if (!recreate && f.transparentColor != -1 && !f.picture.AlphaPlane()) continue;
    Point off;
    if (trim && (f.transparentColor != -1 || f.picture.AlphaPlane())) off = Trim(f);
    out.offsetX = off.x, out.offsetY = off.y;
    if (recreate || !out.image) out.image = std::make_unique<TDIBX>(1, 1, 32);
    Convert(f, out, wantMask);
  }
}

}  // namespace kova
