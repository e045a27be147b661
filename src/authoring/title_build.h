// `kova build`: a source folder to a playable title (game.dat and install.dat, or a player with
// the title appended).
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "common/bytes.h"

namespace kova::authoring {

struct BuildOptions {
  std::filesystem::path source;
  std::filesystem::path output;
  // Writes OUTPUT/<player's file name> = the player with the archive appended.
  std::optional<std::filesystem::path> embedPlayer;
};

struct BuildReport {
  int pages = 0;
  int projects = 0;
  int converted = 0;
  int copied = 0;
  std::filesystem::path archive;  // game.dat or the player that carries the title
};

// Asset conversion hook: files whose extension (lower case, with the dot) has a converter are
// stored under the converter's name and bytes instead of being copied (pictures to .vel, ...).
struct ConvertedAsset {
  std::string name;  // archive name (CP932)
  Bytes data;
};
using AssetConverter =
    std::function<ConvertedAsset(const std::string& archiveName, const Bytes& data)>;
void RegisterAssetConverter(std::string extension, AssetConverter converter);

// The archive name of a file below the source folder: relative path with '\', CP932, ".kss" ->
// ".ksb", "kova.kps" -> "kova.kpb".
std::string ArchiveNameOf(const std::filesystem::path& relative);

// Throws SourceError (source file and line) or Error.
BuildReport BuildTitle(const BuildOptions& options);

}  // namespace kova::authoring
