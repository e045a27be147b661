#include "vfs/file_manager.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>

#include "common/cp932.h"
#include "vfs/zlib_codec.h"

namespace kova {

namespace fs = std::filesystem;

namespace {

// Texts of the system; engine strings are CP932.
const std::string& Text(const char* utf8) {
  thread_local std::map<const char*, std::string> cache;
  auto it = cache.find(utf8);
  if (it == cache.end()) it = cache.emplace(utf8, cp932::FromUtf8(utf8).value_or(utf8)).first;
  return it->second;
}

constexpr const char* kInsertDisc = "ディスクを入れてください";
constexpr const char* kInsertDiscN = "ディスク%dを入れてから[OK]をクリックしてください";
constexpr const char* kEnding = "終了します";
constexpr const char* kReinstall = "インストールし直してください";
constexpr const char* kInformation = "情報";

// "%d" in a title's own text becomes the number; nothing else is interpreted, so a text with
// other '%' sequences cannot misbehave.
std::string WithNumber(std::string text, int number) {
  const size_t at = text.find("%d");
  if (at != std::string::npos) text.replace(at, 2, std::to_string(number));
  return text;
}

fs::path Normalised(const fs::path& p) {
  std::error_code ec;
  fs::path n = fs::weakly_canonical(fs::absolute(p, ec), ec);
  return ec ? p.lexically_normal() : n;
}

}  // namespace

// ---- cache ----

TVrCacheList::TVrCache& TVrCacheList::Find(std::string_view name) {
  std::string key = cp932::Upper(name);
  if (auto it = index_.find(key); it != index_.end()) {
    items_.splice(items_.begin(), items_, it->second);
    return items_.front();
  }
  items_.push_front({key, {}});
  index_.emplace(std::move(key), items_.begin());
  while (items_.size() > 1 && total_ > kLimit) {
    total_ -= static_cast<int64_t>(items_.back().data.size());
    index_.erase(items_.back().key);
    items_.pop_back();
  }
  return items_.front();
}

void TVrCacheList::SetData(TVrCache& item, Bytes data) {
  total_ += static_cast<int64_t>(data.size()) - static_cast<int64_t>(item.data.size());
  item.data = std::move(data);
}

const TVrCacheList::TVrCache* TVrCacheList::Peek(std::string_view name) const {
  auto it = index_.find(cp932::Upper(name));
  return it == index_.end() ? nullptr : &*it->second;
}

void TVrCacheList::Remove(const TVrCache& item) {
  RemoveByName(item.key);
}

void TVrCacheList::RemoveByName(std::string_view name) {
  auto it = index_.find(cp932::Upper(name));
  if (it == index_.end()) return;
  total_ -= static_cast<int64_t>(it->second->data.size());
  items_.erase(it->second);
  index_.erase(it);
}

void TVrCacheList::Clear() {
  items_.clear();
  index_.clear();
  total_ = 0;
}

// ---- work files ----

TVrLockList::~TVrLockList() {
  for (auto& l : locks_)
    deleteList_.push_back(WorkFileName(*l));
  for (auto& l : release_)
    deleteList_.push_back(WorkFileName(*l));
  FlushDeleteList();
  if (!folder_.empty()) {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
}

const fs::path& TVrLockList::Folder() {
  if (folder_.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = (fs::path(tmp && *tmp ? tmp : "/tmp") / "kova-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw Error("作業用ファイルが作れません");
    folder_ = tmpl;
  }
  return folder_;
}

TVrLockList::TVrLockData& TVrLockList::NewLock(std::string name) {
  auto lock = std::make_unique<TVrLockData>();
  lock->name = std::move(name);
  lock->id = nextId_;
  auto taken = [&](int32_t id) {
    return std::any_of(locks_.begin(), locks_.end(), [&](auto& l) { return l->id == id; });
  };
  do
    ++nextId_;
  while (taken(nextId_));
  locks_.push_back(std::move(lock));
  return *locks_.back();
}

int TVrLockList::IndexOfName(std::string_view name) const {
  for (size_t i = 0; i < locks_.size(); ++i)
    if (locks_[i]->name == name) return static_cast<int>(i);
  return -1;
}

fs::path TVrLockList::WorkFileName(const TVrLockData& lock) {
  char id[16];
  std::snprintf(id, sizeof id, "~kv%08X", static_cast<uint32_t>(lock.id));
  // The entry's extension, with its dot, after the last separator.
  std::string ext;
  const size_t slash = cp932::FindLastChar(lock.name, '\\');
  const size_t dot = cp932::FindLastChar(lock.name, '.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
    ext = cp932::ToUtf8(lock.name.substr(dot));
  // An extension with a '/' would reach into another folder.
  std::replace(ext.begin(), ext.end(), '/', '_');
  return Folder() / (id + ext);
}

void TVrLockList::AgeLocks(int32_t deltaMs) {
  for (size_t i = release_.size(); i-- > 0;) {
    release_[i]->countdown -= deltaMs;
    if (release_[i]->countdown <= 0) {
      deleteList_.push_back(WorkFileName(*release_[i]));
      release_.erase(release_.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
}

void TVrLockList::FlushDeleteList() {
  for (const auto& p : deleteList_)
    ::unlink(p.c_str());  // a file still in use is dropped anyway
  deleteList_.clear();
}

// ---- manager ----

int TVrFileManager::AddArchive(const fs::path& fileName) {
  if (!fileName.empty()) {
    const fs::path n = Normalised(fileName);
    for (const auto& c : collections_)
      if (!c->ArchiveFileName().empty() && Normalised(c->ArchiveFileName()) == n) return -1;
  }
  auto c = std::make_unique<TVrFileCollection>();
  c->OpenArchive(fileName);
  collections_.push_back(std::move(c));
  return CollectionCount() - 1;
}

int TVrFileManager::AddResourceArchive(std::span<const uint8_t> data, std::string name) {
  auto c = std::make_unique<TVrFileCollection>();
  c->OpenResourceArchive(data, std::move(name));
  collections_.push_back(std::move(c));
  return CollectionCount() - 1;
}

void TVrFileManager::RemoveArchive(int index) {
  if (index >= 0 && index < CollectionCount()) collections_.erase(collections_.begin() + index);
}

void TVrFileManager::SetBaseFolder(const fs::path& folder) {
  base_ = folder;
  if (folder.empty())
    baseFolder_.reset();
  else
    baseFolder_.emplace(folder);
}

std::optional<fs::path> TVrFileManager::BaseFile(std::string_view name) const {
  if (!baseFolder_) return std::nullopt;
  return baseFolder_->Resolve(name);
}

std::optional<fs::path> TVrFileManager::DiscFile(std::string_view name) {
  for (const fs::path& root : discs_.Roots())
    if (auto p = DiskFolder(root).Resolve(name)) return p;
  return std::nullopt;
}

TVrFile* TVrFileManager::FindEntry(std::string_view name) {
  for (auto& c : collections_)
    if (TVrFile* e = c->FindEntry(name)) return e;
  return nullptr;
}

bool TVrFileManager::Exists(std::string_view name) {
  return FindEntry(name) || BaseFile(name) || DiscFile(name);
}

void TVrFileManager::Put(TNxBigStream& target, const Bytes& data) {
  if (auto* mem = dynamic_cast<TNxBigMemoryStream*>(&target)) {
    mem->Data() = data;
  } else {
    target.WriteExact(data.data(), data.size());
  }
  target.SetPosition(0);
}

void TVrFileManager::LoadToStream(TNxBigStream& target, std::string_view name) {
  if (auto* mem = dynamic_cast<TNxBigMemoryStream*>(&target)) mem->Clear();
  TVrCacheList::TVrCache& item = cache_.Find(name);
  if (!item.data.empty()) return Put(target, item.data);

  if (auto p = BaseFile(name)) {
    cache_.SetData(item, ReadWholeFile(*p));
    return Put(target, item.data);
  }
  for (auto& c : collections_) {
    TVrFile* e = c->FindEntry(name);
    if (!e) continue;
    if (e->data) {
      const Bytes data = e->data->Data();
      cache_.Remove(item);
      return Put(target, data);
    }
    if (!c->HasArchive()) continue;
    if (e->size > 0) {
      try {
        Bytes raw(static_cast<size_t>(e->size));
        TNxBigStream& s = *c->ArchiveStream();
        s.SetPosition(e->offset);
        s.ReadExact(raw.data(), raw.size());
        cache_.SetData(item, e->stored ? std::move(raw) : Inflate(raw, cp932::ToUtf8(e->Name())));
      } catch (...) {
        // Never leave compressed or partial bytes behind to be served as a hit later.
        cache_.Remove(item);
        throw;
      }
    }
    return Put(target, item.data);
  }
  if (auto p = DiscFile(name)) {
    cache_.SetData(item, ReadWholeFile(*p));
    return Put(target, item.data);
  }
  throw Error(cp932::ToUtf8(name) + ":ファイルがありません");
}

std::optional<Bytes> TVrFileManager::ReadFile(const std::string& name) {
  if (!Exists(name)) return std::nullopt;
  return Load(name);
}

Bytes TVrFileManager::Load(std::string_view name) {
  TNxBigMemoryStream m;
  LoadToStream(m, name);
  return std::move(m.Data());
}

fs::path TVrFileManager::GetRealPath(std::string_view name) {
  if (auto p = BaseFile(name)) return *p;
  for (auto& c : collections_) {
    if (!c->FindEntry(name)) continue;
    const int i = locks_.IndexOfName(name);
    if (i >= 0) {
      locks_.At(i).useCount++;
      return locks_.WorkFileName(locks_.At(i));
    }
    auto& lock = locks_.NewLock(std::string(name));
    const fs::path work = locks_.WorkFileName(lock);
    const Bytes data = Load(name);
    // Created fresh in our private folder: never through a link, never readable by others.
    const int fd = ::open(work.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) throw Error("作業用ファイルが作れません");
    size_t done = 0;
    while (done < data.size()) {
      const ssize_t put = ::write(fd, data.data() + done, data.size() - done);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) break;
      done += static_cast<size_t>(put);
    }
    ::close(fd);
    if (done != data.size()) throw Error("作業用ファイルが作れません");
    return work;
  }
  if (auto p = DiscFile(name)) return *p;
  return fs::path(cp932::ToUtf8(name));
}

std::unique_ptr<TRangeStream> TVrFileManager::OpenRangeStream(std::string_view name) {
  if (auto p = BaseFile(name)) return std::make_unique<TFileRangeStream>(*p, 0, std::nullopt);
  for (auto& c : collections_)
    if (auto r = c->OpenEntryRange(name)) return r;
  if (auto p = DiscFile(name)) return std::make_unique<TFileRangeStream>(*p, 0, std::nullopt);
  throw Error(cp932::ToUtf8(name) + ":ファイルがありません");
}

std::string TVrFileManager::ExtractFolder(std::string_view path) {
  const bool absolute = (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') ||
                        (path.size() >= 2 && path[1] == ':');
  size_t cut = cp932::FindLastChar(path, '\\');
  if (absolute) {
    const size_t colon = cp932::FindLastChar(path, ':');
    if (colon != std::string_view::npos && (cut == std::string_view::npos || colon > cut))
      cut = colon;
  }
  return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut + 1));
}

bool TVrFileManager::FindDisc(int index, const std::string& title) {
  bool found = false;
  for (const fs::path& root : discs_.Roots()) {
    DiskFolder disc(root);
    auto game = disc.Resolve("game.dat");
    auto install = disc.Resolve("install.dat");
    if (!game || !install) continue;
    TKovaInstallSet set;
    if (!set.LoadFromFile(*install) || set.title != title || set.discIndex != index) continue;
    AddArchive(*game);
    found = true;
  }
  return found;
}

bool TVrFileManager::RequestDisc(int number, const TitleDiscInfo& info) {
  // Collections from discs go first: the disc in the drive is about to change.
  const auto roots = discs_.Roots();
  for (int i = CollectionCount() - 1; i >= 0; --i) {
    const fs::path base = Normalised(collections_[i]->BaseFolder());
    for (const fs::path& root : roots) {
      const std::string r = Normalised(root).string();
      if (!r.empty() && base.string().rfind(r, 0) == 0) {
        RemoveArchive(i);
        break;
      }
    }
  }
  const std::string text =
      WithNumber(info.discText.empty() ? Text(kInsertDiscN) : info.discText, number);
  const std::string& exitText = info.exitText.empty() ? Text(kEnding) : info.exitText;
  for (;;) {
    if (prompt_.Ask(text, info.title, PromptIcon::kInformation, PromptButtons::kOkCancel) ==
        PromptAnswer::kOk) {
      if (FindDisc(number - 1, info.title)) return true;
      continue;
    }
    if (prompt_.Ask(exitText, info.title, PromptIcon::kInformation, PromptButtons::kOkCancel) ==
        PromptAnswer::kOk) {
      ending_ = true;
      return false;
    }
  }
}

bool LocateTitleData(TVrFileManager& files, const fs::path& exeFolder, const TitleDiscInfo& info) {
  DiskFolder exe(exeFolder);
  if (exe.Exists("install.dat") && files.BaseFolder().empty()) files.SetBaseFolder(exeFolder);
  if (!files.Exists("install.dat")) {
    files.Prompter().Ask(Text(kReinstall), Text(kInformation), PromptIcon::kInformation,
                         PromptButtons::kOk);
    return false;
  }
  TKovaInstallSet set;
  set.LoadFromBytes(files.Load("install.dat"), "install.dat");
  const std::string title = set.title;
  const bool complete = set.complete != 0;
  if (auto game = exe.Resolve("game.dat")) {
    files.AddArchive(*game);
    if (complete) return true;
  } else {
    // "At least one collection" means an archive besides the memory collection (index 0).
    bool archive = false;
    for (int i = 0; i < files.CollectionCount(); ++i)
      archive = archive || files.Collection(i).HasArchive();
    if (archive && complete) return true;
  }
  auto searchDiscs = [&] {
    for (const fs::path& root : files.Discs().Roots()) {
      DiskFolder disc(root);
      auto game = disc.Resolve("game.dat");
      auto install = disc.Resolve("install.dat");
      if (!game || !install || fs::file_size(*game) == 0) continue;
      TKovaInstallSet other;
      if (other.LoadFromFile(*install) && other.title == title) {
        files.AddArchive(*game);
        return true;
      }
    }
    return false;
  };
  const std::string& exitText = info.exitText.empty() ? Text(kEnding) : info.exitText;
  for (;;) {
    if (searchDiscs()) return true;
    if (files.Prompter().Ask(Text(kInsertDisc), Text(kInformation), PromptIcon::kInformation,
                             PromptButtons::kOkCancel) == PromptAnswer::kOk)
      continue;
    if (files.Prompter().Ask(exitText, info.title, PromptIcon::kInformation,
                             PromptButtons::kOkCancel) == PromptAnswer::kOk)
      return false;
  }
}

bool EnsureFile(TVrFileManager& files, std::string_view name, const TitleDiscInfo& info) {
  if (name.empty()) return false;
  if (files.Exists(name)) return true;
  const int32_t disc = info.folders.DiscOf(name);
  if (disc <= 0) return false;
  // Streamed media are never worth a disc change.
  const size_t slash = cp932::FindLastChar(name, '\\');
  const size_t dot = cp932::FindLastChar(name, '.');
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) {
    const std::string x = cp932::Lower(name.substr(dot)) + ".";
    const std::string list = cp932::Lower(info.streamedExtensions) + ".";
    if (list.find(x) != std::string::npos) return false;
  }
  return files.RequestDisc(disc, info);
}

}  // namespace kova
