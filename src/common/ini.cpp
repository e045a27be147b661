#include "common/ini.h"

#include <charconv>

#include "common/cp932.h"

namespace kova {

namespace {

std::string_view Trim(std::string_view s) {
  const size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

}  // namespace

TIniFile::TIniFile(std::string_view text) {
  std::string section;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      if (close != std::string_view::npos) section = Trim(line.substr(1, close - 1));
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    entries_.push_back(
        {section, std::string(Trim(line.substr(0, eq))), std::string(Trim(line.substr(eq + 1)))});
  }
}

std::optional<std::string> TIniFile::Read(std::string_view section, std::string_view key) const {
  for (const Entry& e : entries_)
    if (cp932::EqualNoCase(e.section, section) && cp932::EqualNoCase(e.key, key)) return e.value;
  return std::nullopt;
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
  const auto v = Read(section, key);
  if (!v || v->empty()) return def;
  std::string_view s = *v;
  const bool negative = s[0] == '-';
  if (s[0] == '-' || s[0] == '+') s.remove_prefix(1);
  int base = 10;
  if (!s.empty() && s[0] == '$') {
    base = 16, s.remove_prefix(1);
  } else if (s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16, s.remove_prefix(2);
  }
  uint32_t magnitude = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return def;
  // Hexadecimal spells any 32-bit pattern; decimal must fit a signed 32-bit integer.
  if (base == 10 && magnitude > (negative ? 0x80000000u : 0x7FFFFFFFu)) return def;
  const uint32_t bits = negative ? 0u - magnitude : magnitude;
  return static_cast<int32_t>(bits);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

}  // namespace kova
