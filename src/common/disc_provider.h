// Where title discs can be found: mounted optical discs and folders the user names. Asked
// anew before every search, so a disc inserted while the player waits is found.
#pragma once

#include <filesystem>
#include <vector>

namespace kova {

class DiscProvider {
 public:
  virtual ~DiscProvider() = default;
  virtual std::vector<std::filesystem::path> Roots() = 0;
};

}  // namespace kova
