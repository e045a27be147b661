// The one place every title file is opened by name. It hides where a file lives: in memory, in
// one of the registered archives, in the base folder, or on a disc, and keeps a small cache of
// recently read files and the work files extracted for decoders that need a real path.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/disc_provider.h"
#include "common/prompt.h"
#include "common/stream.h"
#include "common/title_files.h"
#include "vfs/archive.h"
#include "vfs/disk_folder.h"
#include "vfs/file_stream.h"
#include "vfs/install_set.h"

namespace kova {

// Recently read files, most recent first. Keys are the names upper-cased.
class TVrCacheList {
 public:
  static constexpr int64_t kLimit = 4194304;

  struct TVrCache {
    std::string key;
    Bytes data;
  };

  // The item for a name: a hit moves to the front; a miss adds an empty item at the front and
  // then drops the least recently used items while more than one is held and they exceed the
  // limit (the new item is still empty then).
  TVrCache& Find(std::string_view name);
  // Fills an item (so the total size stays known without walking the list).
  void SetData(TVrCache& item, Bytes data);
  void Remove(const TVrCache& item);
  void RemoveByName(std::string_view name);
  void Clear();
  int64_t TotalSize() const { return total_; }
  int Count() const { return static_cast<int>(items_.size()); }
  const TVrCache* Peek(std::string_view name) const;

 private:
  std::list<TVrCache> items_;
  std::unordered_map<std::string, std::list<TVrCache>::iterator> index_;
  int64_t total_ = 0;
};

// Work files: archive entries extracted for decoders that need a real path. They live in a
// private folder of this process, made on first use and removed with everything in it.
class TVrLockList {
 public:
  struct TVrLockData {
    std::string name;  // as requested
    int32_t id = 0;
    int32_t useCount = 1;
    int32_t countdown = 0;  // milliseconds, for the release list
  };

  ~TVrLockList();
  TVrLockData& NewLock(std::string name);
  // Exact, case-sensitive.
  int IndexOfName(std::string_view name) const;
  TVrLockData& At(int i) { return *locks_[i]; }
  int Count() const { return static_cast<int>(locks_.size()); }
  std::filesystem::path WorkFileName(const TVrLockData& lock);
  // Lowers the release countdowns and frees expired items (their files join the delete list).
  void AgeLocks(int32_t deltaMs);
  // Deletes every work file queued for deletion.
  void FlushDeleteList();
  std::vector<std::filesystem::path>& DeleteList() { return deleteList_; }

 private:
  const std::filesystem::path& Folder();

  std::vector<std::unique_ptr<TVrLockData>> locks_;
  std::vector<std::unique_ptr<TVrLockData>> release_;
  int32_t nextId_ = 0;
  std::filesystem::path folder_;
  std::vector<std::filesystem::path> deleteList_;
};

// What the title says about finding its data on discs (from its project file).
struct TitleDiscInfo {
  std::string title;     // CP932
  std::string discText;  // with %d for the disc number; empty: the default
  std::string exitText;  // empty: the default
  std::string streamedExtensions = ".wav.wma.ogg.mid";
  TFolderDiskList folders;
};

class TVrFileManager : public TitleFiles {
 public:
  TVrFileManager(Prompt& prompt, DiscProvider& discs) : prompt_(prompt), discs_(discs) {}

  // Registers an archive; -1 when the same file is registered already. An empty name adds an
  // empty collection (the memory collection).
  int AddArchive(const std::filesystem::path& fileName);
  int AddResourceArchive(std::span<const uint8_t> data, std::string name);
  void RemoveArchive(int index);
  void Clear() { collections_.clear(); }
  int CollectionCount() const { return static_cast<int>(collections_.size()); }
  TVrFileCollection& Collection(int i) { return *collections_[i]; }

  void SetBaseFolder(const std::filesystem::path& folder);
  const std::filesystem::path& BaseFolder() const { return base_; }

  bool Exists(std::string_view name);
  // TitleFiles: what expressions and the picture cache read through.
  bool FileExists(const std::string& name) override { return Exists(name); }
  std::optional<Bytes> ReadFile(const std::string& name) override;
  void LoadToStream(TNxBigStream& target, std::string_view name);
  Bytes Load(std::string_view name);
  // A real file holding the data (a work file for an archive entry); the name itself when the
  // file exists nowhere, so the caller's own open fails.
  std::filesystem::path GetRealPath(std::string_view name);
  std::unique_ptr<TRangeStream> OpenRangeStream(std::string_view name);
  TVrFile* FindEntry(std::string_view name);
  // The folder part of a path, with its trailing separator.
  static std::string ExtractFolder(std::string_view path);

  // Asks for disc `number` (1-based) until it is found or the user gives up.
  bool RequestDisc(int number, const TitleDiscInfo& info);
  bool FindDisc(int index, const std::string& title);
  // Set when the user chose to quit at a disc prompt.
  bool Ending() const { return ending_; }

  TVrCacheList& Cache() { return cache_; }
  TVrLockList& Locks() { return locks_; }
  Prompt& Prompter() { return prompt_; }
  DiscProvider& Discs() { return discs_; }

 private:
  std::optional<std::filesystem::path> BaseFile(std::string_view name) const;
  std::optional<std::filesystem::path> DiscFile(std::string_view name);
  static void Put(TNxBigStream& target, const Bytes& data);

  Prompt& prompt_;
  DiscProvider& discs_;
  std::vector<std::unique_ptr<TVrFileCollection>> collections_;
  std::filesystem::path base_;
  std::optional<DiskFolder> baseFolder_;
  TVrCacheList cache_;
  TVrLockList locks_;
  bool ending_ = false;
};

// Finds the title's data when no folder was named on the command line: `install.dat` and
// `game.dat` beside the program, else on a disc. False means the program stops.
bool LocateTitleData(TVrFileManager& files, const std::filesystem::path& exeFolder,
                     const TitleDiscInfo& info);

// Makes sure a file is available, asking for its disc when needed.
bool EnsureFile(TVrFileManager& files, std::string_view name, const TitleDiscInfo& info);

}  // namespace kova
