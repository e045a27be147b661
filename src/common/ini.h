// Reading INI text (sections in brackets, key=value lines), as the player's settings file uses.
// Section and key names match without regard to ASCII case; the first occurrence wins.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kova {

class TIniFile {
 public:
  TIniFile() = default;
  explicit TIniFile(std::string_view text);

  std::optional<std::string> Read(std::string_view section, std::string_view key) const;
  // Decimal with an optional sign, or hexadecimal after '$' or "0x"; the default otherwise.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
  // An integer that is not 0 is true.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;

 private:
  struct Entry {
    std::string section, key, value;
  };
  std::vector<Entry> entries_;
};

}  // namespace kova
