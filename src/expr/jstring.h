// Character-wise (double-byte aware) string routines over CP932 text. Positions are 1-based and
// count characters; a lead byte in the last position counts as one character.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kova::jstr {

int JLength(std::string_view s);
// Character i (1-based) as lead*256+trail or the single byte; 0 outside the text.
uint16_t JCharAt(std::string_view s, int i);
std::string JCopy(std::string_view s, int from, int count);
void JInsert(std::string_view sub, std::string& s, int index);
void JDelete(std::string& s, int from, int count);
int JPos(std::string_view sub, std::string_view s);
std::string JTrim(std::string_view s);
// Byte i (1-based) is the second byte of a double-byte character; outside 1..length raises
// "Illegal Index".
bool IsTrailByte(std::string_view s, int i);
// The text before the first single-byte delimiter (never a trail byte); removes it and the
// delimiter from s.
std::string Fetch(std::string& s, std::string_view delimiters);
std::string HanToZen(std::string_view s);
std::string ZenToHan(std::string_view s);

// Byte offset (0-based) of character position pos (1-based, clamped to 1); s.size() when past
// the end.
size_t ByteOffsetOfChar(std::string_view s, int pos);

}  // namespace kova::jstr
