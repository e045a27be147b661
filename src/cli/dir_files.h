// Title files read from a folder on disk, for the command line until the player's file manager
// serves them. Names use '\' separators; absolute names and ".." never leave the folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "expr/sysfunc.h"

namespace kova::cli {

class DirFileAccess : public FileAccess {
 public:
  explicit DirFileAccess(std::filesystem::path base) : base_(std::move(base)) {}
  bool Exists(const std::string& cp932Name) override;
  std::optional<Bytes> Load(const std::string& cp932Name) override;
  // The file a name stands for, or nothing when the name is refused or nothing is there.
  std::optional<std::filesystem::path> Resolve(const std::string& cp932Name) const;

 private:
  std::filesystem::path base_;
};

}  // namespace kova::cli
