#include "vfs/archive.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>

#include "common/cp932.h"
#include "common/nx_random.h"
#include "vfs/file_stream.h"
#include "vfs/zlib_codec.h"

namespace kova {

namespace {

uint32_t Le32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24;
}

// Scrambling and unscrambling are the same XOR with one generator across the whole table.
void ScrambleName(TNxRandom& rng, std::string& name) {
  for (char& c : name)
    c = static_cast<char>(c ^ static_cast<uint8_t>(rng.Next()));
}

int64_t SignExtended(uint32_t v) {
  return static_cast<int64_t>(static_cast<int32_t>(v));
}

bool IsEofName(std::string_view name) {
  return cp932::EqualNoCase(name, TVrFileCollection::kEofName);
}

std::string DisplayName(const std::filesystem::path& p) {
  return p.string();
}

}  // namespace

TVrFileCollection::~TVrFileCollection() = default;

void TVrFileCollection::Reset() {
  Clear();
  archive_.reset();
  resource_ = {};
  resourceName_.clear();
  archiveFile_.clear();
  version_ = 0;
}

void TVrFileCollection::SetBaseFolder(const std::filesystem::path& folder) {
  base_ = folder;
  if (folder.empty())
    folder_.reset();
  else
    folder_.emplace(folder);
}

void TVrFileCollection::ReadIndex(TNxBigStream& stream, int64_t end) {
  const int64_t base = stream.Position();
  const std::string file = archiveFile_.empty() ? resourceName_ : DisplayName(archiveFile_);

  // Gather the directory's bytes: the name lengths are walked here, each checked against what
  // the stream really holds, and the bytes are parsed below by the bounded reader.
  Bytes dir;
  {
    TNxBuffBigStream ahead(stream);
    auto take = [&](uint64_t n) -> size_t {
      const size_t at = dir.size();
      const int64_t left = stream.Size() - base - static_cast<int64_t>(at);
      if (n > static_cast<uint64_t>(std::max<int64_t>(left, 0)))
        throw FormatError(file, base + at, "directory passes the end of the data");
      dir.resize(at + n);
      if (ahead.Read(dir.data() + at, n) != n)
        throw FormatError(file, base + at, "directory cannot be read");
      return at;
    };
    take(2);
    int32_t version = 0;
    if (dir[0] == 'v' && dir[1] == 'f') {
      const size_t at = take(4);
      version = static_cast<int32_t>(Le32(dir.data() + at));
      take(4);
    } else {
      take(2);  // the first four bytes are N
    }
    const int32_t n = static_cast<int32_t>(Le32(dir.data() + dir.size() - 4));
    if (n < 0) throw FormatError(file, base + dir.size() - 4, "negative entry count");
    for (int32_t i = 0; i < n; ++i) {
      const size_t at = take(4);  // take() may move the buffer
      take(Le32(dir.data() + at));
    }
    const uint64_t count = static_cast<uint64_t>(n);
    uint64_t tables = (count + 1) * (version >= 101 ? 8 : 4);
    if (version >= 101) tables += count * (1 + 4 + 4 + (version >= 102 ? 1 : 0));
    take(tables);
  }

  ByteReader r(dir, file, static_cast<uint64_t>(base));
  version_ = r.Match("vf") ? r.I32() : 0;
  const int32_t n = r.I32();
  std::vector<std::string> names(static_cast<size_t>(n));
  for (auto& name : names)
    name = r.Str(r.U32());
  if (version_ >= 100) {
    TNxRandom rng(kKey);
    for (auto& name : names)
      ScrambleName(rng, name);
  }
  std::vector<int64_t> offsets(names.size() + 1);
  {
    TNxRandom rng(kKey);
    for (auto& off : offsets) {
      if (version_ >= 101) {
        off = r.I64() ^ SignExtended(rng.Next());
      } else {
        uint32_t v = r.U32();
        off = version_ >= 100 ? (v ^ rng.Next()) : v;
      }
    }
  }
  for (size_t i = 0; i + 1 < offsets.size(); ++i)
    if (offsets[i] < 0 || offsets[i] > offsets[i + 1])
      r.Fail("entry " + std::to_string(i) + " has a bad offset");
  if (offsets.back() < 0 || offsets.back() > end - base)
    r.Fail("data end " + std::to_string(offsets.back()) + " lies outside the archive");

  std::vector<uint8_t> stored(names.size()), modes(names.size());
  std::vector<uint32_t> times(names.size()), crcs(names.size());
  if (version_ >= 101) {
    for (auto& s : stored)
      s = r.U8();
    for (auto& t : times)
      t = r.U32();
    for (auto& c : crcs)
      c = r.U32();
    if (version_ >= 102)
      for (auto& m : modes)
        m = r.U8();
  }

  for (size_t i = 0; i < names.size(); ++i) {
    auto e = std::make_unique<TVrFile>(std::move(names[i]));
    e->offset = base + offsets[i];
    e->size = offsets[i + 1] - offsets[i];
    e->stored = stored[i];
    e->fileTime = times[i];
    e->crc = crcs[i];
    e->crcMode = modes[i];
    Add(std::move(e));
  }
  auto eof = std::make_unique<TVrFile>(kEofName);
  eof->offset = offsets.back();
  Add(std::move(eof));
}

void TVrFileCollection::OpenArchive(const std::filesystem::path& fileName) {
  Reset();
  archiveFile_ = fileName;
  if (fileName.empty()) return;
  struct stat st;
  const bool exists = ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  SetBaseFolder(exists ? fileName.parent_path() : fileName);
  if (!exists) return;

  try {
    archive_ = std::make_unique<TNxBigFileStream>(fileName, TNxBigFileStream::Mode::kRead);
    const int64_t size = archive_->Size();
    // An executable carries its archive before a trailer: the archive's position, then "kv".
    if (size >= 6) {
      uint8_t t[6];
      archive_->SetPosition(size - 6);
      archive_->ReadExact(t, 6);
      const int64_t pos = static_cast<int32_t>(Le32(t));
      uint8_t magic[2] = {};
      if (t[4] == 'k' && t[5] == 'v' && pos >= 0 && pos + 2 <= size - 6) {
        archive_->SetPosition(pos);
        archive_->ReadExact(magic, 2);
        if (magic[0] == 'v' && magic[1] == 'f') {
          archive_->SetPosition(pos);
          ReadIndex(*archive_, size - 6);
          return;
        }
      }
    }
    // A separate index beside a data file; the save file never has one.
    std::filesystem::path ext = fileName;
    ext.replace_extension(".ext");
    const bool isSave = cp932::EqualNoCase(fileName.filename().string(), "save.dat");
    if (!isSave && ext != fileName && ::stat(ext.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      TNxBigMemoryStream index(ReadWholeFile(ext));
      ReadIndex(index, size);
      return;
    }
    archive_->SetPosition(0);
    ReadIndex(*archive_, size);
  } catch (const FormatError& e) {
    const std::filesystem::path keep = fileName;
    Reset();
    archiveFile_ = keep;
    throw Error("archive is damaged: " + DisplayName(fileName) + " (offset " +
                std::to_string(e.Offset()) + ": " + e.What() + ")");
  }
}

void TVrFileCollection::OpenResourceArchive(std::span<const uint8_t> data, std::string name) {
  Reset();
  if (data.empty()) throw Error("リソースが見つかりません");
  resource_ = data;
  resourceName_ = std::move(name);
  archive_ = std::make_unique<TSpanStream>(data, resourceName_);
  try {
    ReadIndex(*archive_, archive_->Size());
  } catch (const FormatError& e) {
    const std::string keep = resourceName_;
    Reset();
    throw Error("archive is damaged: " + keep + " (offset " + std::to_string(e.Offset()) + ": " +
                e.What() + ")");
  }
}

int TVrFileCollection::EntryCount() const {
  int n = 0;
  for (int i = 0; i < Count(); ++i)
    n += !IsEofName(At(i).Name());
  return n;
}

TVrFile* TVrFileCollection::FindEntry(std::string_view name) const {
  if (IsEofName(name)) return nullptr;
  return Find(name);
}

std::optional<std::filesystem::path> TVrFileCollection::LooseFile(std::string_view name) const {
  if (!folder_) return std::nullopt;
  auto p = folder_->Resolve(name);
  if (!p || (!archiveFile_.empty() && std::filesystem::equivalent(*p, archiveFile_)))
    return std::nullopt;
  return p;
}

Bytes TVrFileCollection::ReadStored(const TVrFile& e) {
  Bytes raw(static_cast<size_t>(e.size));
  archive_->SetPosition(e.offset);
  archive_->ReadExact(raw.data(), raw.size());
  return raw;
}

Bytes TVrFileCollection::ReadEntryBytes(std::string_view name) {
  if (TVrFile* e = FindEntry(name)) {
    if (e->data) return e->data->Data();
    if (archive_) {
      // An empty entry is empty data, whatever its flag says.
      if (e->size == 0) return {};
      Bytes raw = ReadStored(*e);
      return e->stored ? raw : Inflate(raw, cp932::ToUtf8(e->Name()));
    }
  }
  if (auto p = LooseFile(name)) return ReadWholeFile(*p);
  throw Error(cp932::ToUtf8(name) + ":ファイルがありません");
}

void TVrFileCollection::ReadEntry(TNxBigStream& target, std::string_view name) {
  Bytes data = ReadEntryBytes(name);
  if (auto* mem = dynamic_cast<TNxBigMemoryStream*>(&target)) {
    mem->Data() = std::move(data);
  } else {
    target.WriteExact(data.data(), data.size());
  }
  target.SetPosition(0);
}

std::unique_ptr<TRangeStream> TVrFileCollection::OpenEntryRange(std::string_view name) const {
  TVrFile* e = FindEntry(name);
  if (!archive_ || !e || e->data) return nullptr;
  if (!resource_.empty())
    return std::make_unique<TRangeStream>(std::make_unique<TSpanStream>(resource_, resourceName_),
                                          e->offset, e->size);
  return std::make_unique<TFileRangeStream>(archiveFile_, e->offset, e->size);
}

int64_t TVrFileCollection::UnpackedSize(const TVrFile& e) {
  if (e.data) return e.data->Size();
  if (!archive_ || e.stored || e.size == 0) return e.size;
  archive_->SetPosition(e.offset);
  return static_cast<int64_t>(InflatedSize(*archive_, e.size, cp932::ToUtf8(e.Name())));
}

TVrFile& TVrFileCollection::AddMemoryEntry(std::string name) {
  auto e = std::make_unique<TVrFile>(std::move(name));
  e->data = std::make_unique<TNxBigMemoryStream>();
  return Add(std::move(e));
}

TVrFile& TVrFileCollection::AddFileEntry(std::string name) {
  return Add(std::make_unique<TVrFile>(std::move(name)));
}

void TVrFileCollection::DeleteEntry(std::string_view name) {
  if (TVrFile* e = FindEntry(name)) Delete(e->Index());
}

void TVrFileCollection::SaveArchive(TNxBigStream& out) {
  std::vector<TVrFile*> entries;
  for (int i = 0; i < Count(); ++i)
    if (!IsEofName(At(i).Name())) entries.push_back(&At(i));
  const size_t n = entries.size();

  ByteWriter head;
  head.Raw("vf");
  head.I32(kVersion);
  head.I32(static_cast<int32_t>(n));
  {
    TNxRandom rng(kKey);
    for (TVrFile* e : entries) {
      std::string name = e->Name();
      ScrambleName(rng, name);
      head.LpString(name);
    }
  }
  out.WriteExact(head.Data().data(), head.Size());
  const int64_t tablesAt = out.Position();
  const size_t tablesSize = (n + 1) * 8 + n * 10;
  out.WriteExact(Bytes(tablesSize).data(), tablesSize);

  std::vector<int64_t> offsets;
  std::vector<uint8_t> stored(n), modes(n);
  std::vector<uint32_t> times(n), crcs(n);
  auto write = [&](std::span<const uint8_t> b) { out.WriteExact(b.data(), b.size()); };

  for (size_t i = 0; i < n; ++i) {
    TVrFile& e = *entries[i];
    offsets.push_back(out.Position());
    modes[i] = e.crcMode;
    times[i] = e.fileTime;
    if (e.data) {
      const Bytes& d = e.data->Data();
      if (static_cast<int64_t>(d.size()) > kStoreLimit) {
        write(d);
        stored[i] = 1;
        crcs[i] = Crc32(d);
      } else {
        Bytes z = Deflate(d);
        write(z);
        crcs[i] = e.crcMode == 1 ? Crc32(d) : Crc32(z);
      }
    } else if (auto path = LooseFile(e.Name())) {
      TNxBigFileStream file(*path, TNxBigFileStream::Mode::kRead);
      const int64_t size = file.Size();
      times[i] = DosFileTime(*path);
      if (IsCompressible(*path, e.Name(), size)) {
        Bytes d(static_cast<size_t>(size));
        file.ReadExact(d.data(), d.size());
        Bytes z = Deflate(d);
        const bool keepRaw = static_cast<int64_t>(z.size()) > size * 9 / 10;
        write(keepRaw ? d : z);
        stored[i] = keepRaw;
        crcs[i] = e.crcMode == 1 || keepRaw ? Crc32(d) : Crc32(z);
      } else {
        stored[i] = 1;
        crcs[i] = Crc32(file);
        file.SetPosition(0);
        if (CopyStream(out, file, size) != size) throw Error("cannot read " + DisplayName(*path));
      }
    } else {
      // Carried over from the archive this collection was read from.
      Bytes d;
      try {
        d = ReadEntryBytes(e.Name());
      } catch (const Error& err) {
        throw Error("cannot carry over entry " + cp932::ToUtf8(e.Name()) + ": " + err.what());
      }
      Bytes z;
      if (static_cast<int64_t>(d.size()) > kStoreLimit) {
        stored[i] = 1;
      } else {
        z = Deflate(d);
      }
      write(stored[i] ? d : z);
      crcs[i] = Crc32(stored[i] ? d : z);
      modes[i] = 0;  // the CRC covers the written bytes
    }
  }
  offsets.push_back(out.Position());
  const int64_t end = out.Position();

  ByteWriter tables;
  TNxRandom rng(kKey);
  for (int64_t off : offsets)
    tables.I64(off ^ SignExtended(rng.Next()));
  for (uint8_t s : stored)
    tables.U8(s);
  for (uint32_t t : times)
    tables.U32(t);
  for (uint32_t c : crcs)
    tables.U32(c);
  for (uint8_t m : modes)
    tables.U8(m);
  out.SetPosition(tablesAt);
  write(tables.Data());
  out.SetPosition(end);
}

uint32_t DosFileTime(const std::filesystem::path& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return 0;
  std::tm tm{};
  const time_t t = st.st_mtime;
  if (!::localtime_r(&t, &tm)) return 0;
  const int year = tm.tm_year + 1900;
  // DOS times cover 1980..2107; clamp rather than wrap.
  if (year < 1980) return (1u << 5 | 1u) << 16;
  if (year > 2107) return ((127u << 9) | (12u << 5) | 31u) << 16 | (23u << 11) | (59u << 5) | 29u;
  const uint32_t date =
      static_cast<uint32_t>((year - 1980) << 9 | (tm.tm_mon + 1) << 5 | tm.tm_mday);
  const uint32_t time = static_cast<uint32_t>(tm.tm_hour << 11 | tm.tm_min << 5 | tm.tm_sec / 2);
  return date << 16 | time;
}

bool IsCompressible(const std::filesystem::path& path, std::string_view name, int64_t size) {
  // The extension with its dot, taken after the last separator.
  std::string ext;
  const size_t slash = cp932::FindLastChar(name, '\\');
  const size_t dot = cp932::FindLastChar(name, '.');
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash))
    ext = cp932::Upper(name.substr(dot));

  if (ext == ".VEL") {
    // A picture that says its pixels are worth compressing, whatever its size.
    uint8_t h[7 + 4 + 40] = {};
    try {
      TNxBigFileStream f(path, TNxBigFileStream::Mode::kRead);
      const size_t got = f.Read(h, sizeof h);
      if (got >= 11 && std::memcmp(h, "Vell", 4) == 0 && std::isdigit(h[4]) && std::isdigit(h[5]) &&
          std::isdigit(h[6])) {
        const int version = (h[4] - '0') * 100 + (h[5] - '0') * 10 + (h[6] - '0');
        const uint32_t block = Le32(h + 7);
        // Only the first 40 bytes of the block count; a shorter block reads as zeros.
        const size_t have = std::min<size_t>({block, 40, got - 11});
        if (version >= 103 && have > 22 && h[11 + 22] == 1) return true;
      }
    } catch (const Error&) {
    }
  }
  static constexpr std::string_view kMedia = ".WAV.WMA.OGG.AVI.MPG.MPEG.M1V.WMV.ASF.DAT.";
  if (!ext.empty() && kMedia.find(ext) != std::string_view::npos) return false;
  return size < 5242880;
}

}  // namespace kova
