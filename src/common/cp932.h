// CP932 (Shift-JIS) byte strings: the engine's own text. Case folding touches ASCII letters only
// and never a trail byte, so two double-byte characters never fold together.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kova::cp932 {

inline bool IsLead(uint8_t c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Length in bytes of the character at s[i]: 2 for a lead byte with a trail byte after it, else 1.
inline size_t CharLen(std::string_view s, size_t i) {
  return IsLead(static_cast<uint8_t>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

// True when byte i is the second byte of a double-byte character.
bool IsTrailAt(std::string_view s, size_t i);

inline char FoldAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}
inline char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}
std::string Lower(std::string_view s);
std::string Upper(std::string_view s);
bool EqualNoCase(std::string_view a, std::string_view b);
// <0, 0, >0 in the byte order of the folded strings.
int CompareNoCase(std::string_view a, std::string_view b);

// Last position of byte `c` that is not a trail byte, or npos.
size_t FindLastChar(std::string_view s, char c);
// Character count (a double-byte character counts 1).
size_t CharCount(std::string_view s);

// CP932 to UTF-8; bytes that do not convert come out as the text \xNN.
std::string ToUtf8(std::string_view s);
// UTF-8 to CP932; nothing when some character has no CP932 form.
std::optional<std::string> FromUtf8(std::string_view s);
// As FromUtf8, with '?' for what does not convert (for display only).
std::string FromUtf8Lossy(std::string_view s);

}  // namespace kova::cp932
