// Finds title files on disk by the names scripts use: CP932, '\' separators, any case. Files
// copied from Windows or extracted by our tools may be named in UTF-8 or in raw CP932 bytes.
// A name never resolves outside the folder: absolute names, drive letters and ".." that would
// climb above the root are not found.
#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kova {

class DiskFolder {
 public:
  explicit DiskFolder(std::filesystem::path root) : root_(std::move(root)) {}

  const std::filesystem::path& Root() const { return root_; }
  // The regular file a title name stands for, or nothing.
  std::optional<std::filesystem::path> Resolve(std::string_view cp932Name) const;
  // The folder a title name stands for (every component a folder), or nothing.
  std::optional<std::filesystem::path> ResolveFolder(std::string_view cp932Name) const;
  bool Exists(std::string_view cp932Name) const { return Resolve(cp932Name).has_value(); }
  // Forgets every listing (after the player itself created or removed files).
  void Invalidate() const { listings_.clear(); }

  // The components of a title name with "." dropped and ".." applied; nothing when the name is
  // absolute, has a drive letter or climbs above the root.
  static std::optional<std::vector<std::string>> Split(std::string_view cp932Name);

 private:
  struct Listing {
    timespec mtime{};
    // Keys: the raw name; the CP932-folded raw name; the ASCII-folded name as UTF-8 text.
    std::unordered_map<std::string, std::string> exact, foldedRaw, foldedUtf8;
    std::unordered_map<std::string, bool> isDir;
  };
  // A folder's listing; `revalidate` reads it again when the folder changed since.
  const Listing* ListingOf(const std::filesystem::path& dir, bool revalidate) const;
  std::optional<std::filesystem::path> Walk(const std::vector<std::string>& parts, bool wantFolder,
                                            bool revalidate) const;
  std::optional<std::filesystem::path> Find(std::string_view cp932Name, bool wantFolder) const;

  std::filesystem::path root_;
  mutable std::unordered_map<std::string, Listing> listings_;
};

}  // namespace kova
