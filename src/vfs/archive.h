// Title archives: `game.dat`, an executable with the archive appended, data embedded in the
// program, and the save file. Names and offsets are scrambled with TNxRandom.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "common/hash_collection.h"
#include "common/stream.h"
#include "vfs/disk_folder.h"

namespace kova {

class TRangeStream;

// One entry. Offsets are absolute positions in the archive stream.
class TVrFile : public THashCollectionItem {
 public:
  using THashCollectionItem::THashCollectionItem;

  int64_t offset = 0;
  int64_t size = 0;                          // as stored (compressed size for a compressed entry)
  std::unique_ptr<TNxBigMemoryStream> data;  // only for entries added with AddMemoryEntry
  uint8_t stored = 0;                        // 1: bytes as they are; 0: one zlib stream
  uint32_t fileTime = 0;                     // DOS date (high word) and time (low word)
  uint32_t crc = 0;
  uint8_t crcMode = 0;  // 1: the CRC covers the uncompressed data
};

class TVrFileCollection : public THashCollectionOf<TVrFile> {
 public:
  static constexpr uint32_t kKey = 0x5B8E2C71;
  static constexpr int32_t kVersion = 102;
  static constexpr const char* kEofName = "\\EOF\\";
  // Entries this large or larger are stored as they are, so they can be streamed.
  static constexpr int64_t kStoreLimit = 0x4FFFFF;

  TVrFileCollection() = default;
  ~TVrFileCollection() override;

  // Opens an archive file: an executable with a trailer (by its content), a data file with or
  // without a ".ext" index beside it. A missing file leaves the collection empty; an empty name
  // too (the memory collection). A damaged directory throws "archive is damaged: FILE" and
  // leaves the collection empty.
  void OpenArchive(const std::filesystem::path& fileName);
  // Opens an archive held in memory that outlives the collection (data built into the program).
  void OpenResourceArchive(std::span<const uint8_t> data, std::string name);
  // Reads header, names and tables from the stream's position; `end` bounds the data.
  void ReadIndex(TNxBigStream& stream, int64_t end);

  // Entries of the title, without the closing "\EOF\" entry.
  int EntryCount() const;
  TVrFile* FindEntry(std::string_view name) const;
  // The entry's bytes, decompressed; loose files in the base folder are read when the archive
  // lacks the name. Throws "%s:ファイルがありません" when found nowhere.
  void ReadEntry(TNxBigStream& target, std::string_view name);
  Bytes ReadEntryBytes(std::string_view name);
  // A read-only stream over an entry's stored bytes, or nothing.
  std::unique_ptr<TRangeStream> OpenEntryRange(std::string_view name) const;
  // Decompressed size of an entry of the archive.
  int64_t UnpackedSize(const TVrFile& entry);

  TVrFile& AddMemoryEntry(std::string name);
  // An entry whose data the writer takes from the loose file base folder + name.
  TVrFile& AddFileEntry(std::string name);
  void DeleteEntry(std::string_view name);

  // Writes the whole collection as an archive to a stream at position 0. Throws on a short
  // write or an entry whose data cannot be read.
  void SaveArchive(TNxBigStream& stream);

  const std::filesystem::path& BaseFolder() const { return base_; }
  void SetBaseFolder(const std::filesystem::path& folder);
  const std::filesystem::path& ArchiveFileName() const { return archiveFile_; }
  bool HasArchive() const { return archive_ != nullptr; }
  TNxBigStream* ArchiveStream() const { return archive_.get(); }
  int32_t Version() const { return version_; }

 private:
  void Reset();
  Bytes ReadStored(const TVrFile& e);
  std::optional<std::filesystem::path> LooseFile(std::string_view name) const;

  std::filesystem::path base_;
  std::optional<DiskFolder> folder_;
  std::filesystem::path archiveFile_;
  std::unique_ptr<TNxBigStream> archive_;
  std::span<const uint8_t> resource_;
  std::string resourceName_;
  int32_t version_ = 0;
};

// DOS date and time (date in the high word) of a file's modification time, in local time.
uint32_t DosFileTime(const std::filesystem::path& path);
// Whether the writer may deflate a loose file: by extension, size and picture header.
bool IsCompressible(const std::filesystem::path& path, std::string_view cp932Name, int64_t size);

}  // namespace kova
