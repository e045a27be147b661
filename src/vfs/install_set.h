// `install.dat`: written by a title's installer, it ties an installed title to its discs; the
// player itself only appends to its list of created files.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/bytes.h"

namespace kova {

class TKovaInstallSet {
 public:
  static constexpr int kVersion = 107;

  int version = kVersion;  // as read; the writer always writes kVersion
  int32_t discIndex = 0;
  std::string title;
  // Installer fields, carried unchanged.
  std::array<std::string, 3> texts4{};
  uint8_t byte7 = 0;
  std::string text8;
  uint8_t byte9 = 0;
  std::string text11;
  int32_t int12 = 0;
  uint8_t byte13 = 0, byte14 = 0;
  std::array<std::string, 2> texts15{};
  std::vector<std::array<int64_t, 4>> table;
  std::array<int64_t, 4> ints17{};
  uint8_t byte18 = 0, byte19 = 0;
  std::vector<std::string> createdFiles;
  uint8_t complete = 0;
  uint8_t byte22 = 0, byte23 = 0;
  std::vector<std::string> list24;
  std::string text25;

  // Throws FormatError on a damaged file.
  void Read(ByteReader& r);
  Bytes Write() const;
  // False (and the fields reset) when the file is missing or damaged.
  bool LoadFromFile(const std::filesystem::path& path);
  bool LoadFromBytes(std::span<const uint8_t> data, const std::string& name);
  // Replaces the file atomically.
  void SaveToFile(const std::filesystem::path& path) const;

  int IndexOfCreatedFile(std::string_view name) const;
  void AddCreatedFile(std::string name);
};

// Folders of a title and the discs that hold them (from the project file).
class TFolderDiskList {
 public:
  void Add(std::string folder, int32_t disc) { lines_.push_back({std::move(folder), disc}); }
  // u32 count, then per line a string and a u32 disc number.
  void Read(ByteReader& r);
  void Write(ByteWriter& w) const;
  // The disc of the nearest listed folder of a path, or 0.
  int32_t DiscOf(std::string_view path) const;
  int Count() const { return static_cast<int>(lines_.size()); }
  const std::string& Folder(int i) const { return lines_[static_cast<size_t>(i)].folder; }
  int32_t Disc(int i) const { return lines_[static_cast<size_t>(i)].disc; }

 private:
  struct Line {
    std::string folder;
    int32_t disc;
  };
  std::vector<Line> lines_;
};

}  // namespace kova
