// Title discs on Linux: mounted ISO 9660 and UDF file systems, and folders the user names
// (a copied disc, or a mount point of one's own).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "common/disc_provider.h"

namespace kova {

class MountedDiscs : public DiscProvider {
 public:
  explicit MountedDiscs(std::vector<std::filesystem::path> folders = {},
                        std::string mountTable = "/proc/self/mounts")
      : folders_(std::move(folders)), mountTable_(std::move(mountTable)) {}

  std::vector<std::filesystem::path> Roots() override;

  // Mount points of optical file systems in a mount table's text.
  static std::vector<std::filesystem::path> ParseMounts(const std::string& table);

 private:
  std::vector<std::filesystem::path> folders_;
  std::string mountTable_;
};

}  // namespace kova
