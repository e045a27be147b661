#include "vfs/disk_folder.h"

#include <dirent.h>
#include <sys/stat.h>

#include "common/cp932.h"

namespace kova {

namespace {

std::string FoldUtf8(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    c = cp932::FoldAscii(c);  // bytes of multi-byte sequences are >= 0x80
  return out;
}

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

std::optional<std::vector<std::string>> DiskFolder::Split(std::string_view name) {
  if (name.empty() || name[0] == '\\' || name[0] == '/') return std::nullopt;
  if (name.size() >= 2 && name[1] == ':') return std::nullopt;
  std::vector<std::string> parts;
  size_t start = 0;
  auto flush = [&](size_t end) -> bool {
    std::string_view c = name.substr(start, end - start);
    if (c.empty() || c == ".") return true;
    if (c == "..") {
      if (parts.empty()) return false;
      parts.pop_back();
      return true;
    }
    parts.emplace_back(c);
    return true;
  };
  for (size_t i = 0; i < name.size(); i += cp932::CharLen(name, i)) {
    if ((name[i] == '\\' || name[i] == '/') && cp932::CharLen(name, i) == 1) {
      if (!flush(i)) return std::nullopt;
      start = i + 1;
    }
  }
  if (!flush(name.size())) return std::nullopt;
  return parts;
}

const DiskFolder::Listing* DiskFolder::ListingOf(const std::filesystem::path& dir,
                                                 bool revalidate) const {
  auto it = listings_.find(dir.native());
  if (it != listings_.end() && !revalidate) return &it->second;
  struct stat st;
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    if (it != listings_.end()) listings_.erase(it);
    return nullptr;
  }
  // A folder's time changes whenever an entry is added, removed or renamed in it.
  if (it != listings_.end() && SameTime(it->second.mtime, st.st_mtim)) return &it->second;

  Listing l;
  l.mtime = st.st_mtim;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) {
      std::string n = e->d_name;
      if (n == "." || n == "..") continue;
      // Symbolic links are never followed: they could lead outside the folder.
      bool isDir = e->d_type == DT_DIR, isFile = e->d_type == DT_REG;
      if (e->d_type == DT_UNKNOWN) {
        struct stat es;
        if (::lstat((dir / n).c_str(), &es) != 0) continue;
        isDir = S_ISDIR(es.st_mode), isFile = S_ISREG(es.st_mode);
      }
      if (!isDir && !isFile) continue;
      l.isDir[n] = isDir;
      l.exact.emplace(n, n);
      l.foldedRaw.emplace(cp932::Lower(n), n);
      l.foldedUtf8.emplace(FoldUtf8(n), n);
    }
    ::closedir(d);
  }
  return &(listings_[dir.native()] = std::move(l));
}

std::optional<std::filesystem::path> DiskFolder::Walk(const std::vector<std::string>& parts,
                                                      bool wantFolder, bool revalidate) const {
  std::filesystem::path p = root_;
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string& c = parts[i];
    const Listing* l = ListingOf(p, revalidate);
    if (!l) return std::nullopt;
    const std::string* found = nullptr;
    if (auto it = l->exact.find(c); it != l->exact.end()) {
      found = &it->second;
    } else if (auto it2 = l->foldedRaw.find(cp932::Lower(c)); it2 != l->foldedRaw.end()) {
      found = &it2->second;
    } else {
      // Only a component that converts cleanly can match a UTF-8 name.
      const std::string utf8 = cp932::ToUtf8(c);
      if (utf8.find("\\x") == std::string::npos || cp932::FromUtf8(utf8) == c)
        if (auto it3 = l->foldedUtf8.find(FoldUtf8(utf8)); it3 != l->foldedUtf8.end())
          found = &it3->second;
    }
    if (!found) return std::nullopt;
    const bool last = i + 1 == parts.size();
    const bool isDir = l->isDir.at(*found);
    if (!last && !isDir) return std::nullopt;
    if (last && isDir != wantFolder) return std::nullopt;
    p /= *found;
  }
  return p;
}

std::optional<std::filesystem::path> DiskFolder::Find(std::string_view name,
                                                      bool wantFolder) const {
  auto parts = Split(name);
  if (!parts || (parts->empty() && !wantFolder)) return std::nullopt;
  // Listings read earlier answer at once; the one stat confirms the answer is still true.
  if (auto p = Walk(*parts, wantFolder, false)) {
    struct stat st;
    if (::lstat(p->c_str(), &st) == 0 && (wantFolder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode)))
      return p;
  }
  // Not found, or gone since: look again where folders changed.
  return Walk(*parts, wantFolder, true);
}

std::optional<std::filesystem::path> DiskFolder::Resolve(std::string_view name) const {
  return Find(name, false);
}

std::optional<std::filesystem::path> DiskFolder::ResolveFolder(std::string_view name) const {
  return Find(name, true);
}

}  // namespace kova
