// Writing JSON for the player's dumps (variables, scenes, page records).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace kova {

// Appends a UTF-8 text as a JSON string: quotes and backslashes escaped, control characters
// as \u00XX.
inline void AppendJsonString(std::string& out, std::string_view utf8) {
  out += '"';
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

}  // namespace kova
