#include "vfs/install_set.h"

#include "common/cp932.h"
#include "vfs/file_stream.h"

namespace kova {

namespace {
std::string Str(ByteReader& r) {
  return r.Str(r.U32());
}

std::vector<std::string> StrList(ByteReader& r, bool skipEmpty) {
  std::vector<std::string> v;
  const uint32_t n = r.Count(r.U32(), 4, "list");
  for (uint32_t i = 0; i < n; ++i) {
    std::string s = Str(r);
    if (!skipEmpty || !s.empty()) v.push_back(std::move(s));
  }
  return v;
}

void PutList(ByteWriter& w, const std::vector<std::string>& v) {
  w.U32(static_cast<uint32_t>(v.size()));
  for (const auto& s : v)
    w.LpString(s);
}
}  // namespace

void TKovaInstallSet::Read(ByteReader& r) {
  *this = TKovaInstallSet();
  version = 0;
  if (r.Match("is")) {
    const std::string digits = r.Str(3);
    for (char c : digits)
      if (c < '0' || c > '9') r.Fail("bad version digits");
    version = std::stoi(digits);
  }
  discIndex = r.I32();
  title = Str(r);
  for (auto& t : texts4)
    t = Str(r);
  byte7 = r.U8();
  text8 = Str(r);
  byte9 = r.U8();
  const int32_t rows = r.I32();
  if (rows < 0) r.Fail("negative row count");
  text11 = Str(r);
  int12 = r.I32();
  byte13 = r.U8();
  byte14 = r.U8();
  for (auto& t : texts15)
    t = Str(r);
  const bool wide = version >= 100;
  auto integer = [&] { return wide ? r.I64() : static_cast<int64_t>(r.I32()); };
  r.Count(static_cast<uint64_t>(rows), wide ? 32 : 16, "row");
  table.resize(static_cast<size_t>(rows));
  for (auto& row : table)
    for (auto& v : row)
      v = integer();
  for (auto& v : ints17)
    v = integer();
  byte18 = r.U8();
  if (version >= 101) byte19 = r.U8();
  if (version >= 102) createdFiles = StrList(r, true);
  if (version >= 103) complete = r.U8();
  if (version >= 104) byte22 = r.U8();
  if (version >= 105) byte23 = r.U8();
  if (version >= 106) list24 = StrList(r, false);
  if (version >= 107) text25 = Str(r);
}

Bytes TKovaInstallSet::Write() const {
  ByteWriter w;
  w.Raw("is107");
  w.I32(discIndex);
  w.LpString(title);
  for (const auto& t : texts4)
    w.LpString(t);
  w.U8(byte7);
  w.LpString(text8);
  w.U8(byte9);
  w.I32(static_cast<int32_t>(table.size()));
  w.LpString(text11);
  w.I32(int12);
  w.U8(byte13);
  w.U8(byte14);
  for (const auto& t : texts15)
    w.LpString(t);
  for (const auto& row : table)
    for (int64_t v : row)
      w.I64(v);
  for (int64_t v : ints17)
    w.I64(v);
  w.U8(byte18);
  w.U8(byte19);
  PutList(w, createdFiles);
  w.U8(complete);
  w.U8(byte22);
  w.U8(byte23);
  PutList(w, list24);
  w.LpString(text25);
  return w.Take();
}

bool TKovaInstallSet::LoadFromBytes(std::span<const uint8_t> data, const std::string& name) {
  try {
    ByteReader r(data, name);
    Read(r);
    return true;
  } catch (const FormatError&) {
    *this = TKovaInstallSet();  // a damaged file counts as a missing one
    return false;
  }
}

bool TKovaInstallSet::LoadFromFile(const std::filesystem::path& path) {
  Bytes data;
  try {
    data = ReadWholeFile(path);
  } catch (const Error&) {
    *this = TKovaInstallSet();
    return false;
  }
  return LoadFromBytes(data, path.string());
}

void TKovaInstallSet::SaveToFile(const std::filesystem::path& path) const {
  WriteFileAtomic(path, Write());
}

int TKovaInstallSet::IndexOfCreatedFile(std::string_view name) const {
  for (size_t i = 0; i < createdFiles.size(); ++i)
    if (cp932::EqualNoCase(createdFiles[i], name)) return static_cast<int>(i);
  return -1;
}

void TKovaInstallSet::AddCreatedFile(std::string name) {
  if (IndexOfCreatedFile(name) < 0) createdFiles.push_back(std::move(name));
}

void TFolderDiskList::Read(ByteReader& r) {
  lines_.clear();
  const uint32_t n = r.Count(r.U32(), 8, "folder");
  for (uint32_t i = 0; i < n; ++i) {
    std::string folder = r.Str(r.U32());
    lines_.push_back({std::move(folder), r.I32()});
  }
}

void TFolderDiskList::Write(ByteWriter& w) const {
  w.U32(static_cast<uint32_t>(lines_.size()));
  for (const auto& l : lines_) {
    w.LpString(l.folder);
    w.I32(l.disc);
  }
}

int32_t TFolderDiskList::DiscOf(std::string_view path) const {
  auto withSep = [](std::string s) {
    if (s.empty() || cp932::FindLastChar(s, '\\') != s.size() - 1) s += '\\';
    return s;
  };
  std::string p = cp932::Upper(path);
  while (!p.empty()) {
    const std::string key = withSep(p);
    for (const auto& l : lines_)
      if (cp932::EqualNoCase(withSep(l.folder), key)) return l.disc;
    const size_t cut = cp932::FindLastChar(p, '\\');
    p = cut == std::string::npos ? std::string() : p.substr(0, cut);
  }
  return 0;
}

}  // namespace kova
