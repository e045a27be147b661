#include "expr/jstring.h"

#include <array>
#include <unordered_map>

#include "common/cp932.h"
#include "common/error.h"

namespace kova::jstr {

namespace {

size_t Step(std::string_view s, size_t i) {
  return cp932::IsLead(static_cast<uint8_t>(s[i])) ? 2 : 1;
}

}  // namespace

int JLength(std::string_view s) {
  int n = 0;
  for (size_t i = 0; i < s.size(); i += Step(s, i))
    ++n;
  return n;
}

size_t ByteOffsetOfChar(std::string_view s, int pos) {
  size_t i = 0;
  for (int c = 1; c < pos && i < s.size(); ++c)
    i += Step(s, i);
  return i < s.size() ? i : s.size();
}

uint16_t JCharAt(std::string_view s, int i) {
  if (i < 1) return 0;
  const size_t b = ByteOffsetOfChar(s, i);
  if (b >= s.size()) return 0;
  const auto lead = static_cast<uint8_t>(s[b]);
  if (cp932::IsLead(lead) && b + 1 < s.size())
    return static_cast<uint16_t>(lead * 256 + static_cast<uint8_t>(s[b + 1]));
  return lead;
}

std::string JCopy(std::string_view s, int from, int count) {
  if (count <= 0) return {};
  const size_t b = ByteOffsetOfChar(s, from < 1 ? 1 : from);
  size_t e = b;
  for (int c = 0; c < count && e < s.size(); ++c)
    e += Step(s, e);
  if (e > s.size()) e = s.size();
  return std::string(s.substr(b, e - b));
}

void JInsert(std::string_view sub, std::string& s, int index) {
  const size_t b = ByteOffsetOfChar(s, index < 1 ? 1 : index);
  s.insert(b, sub);
}

void JDelete(std::string& s, int from, int count) {
  if (count <= 0) return;
  const size_t b = ByteOffsetOfChar(s, from < 1 ? 1 : from);
  if (b >= s.size()) return;
  size_t e = b;
  for (int c = 0; c < count && e < s.size(); ++c)
    e += Step(s, e);
  if (e > s.size()) e = s.size();
  s.erase(b, e - b);
}

int JPos(std::string_view sub, std::string_view s) {
  if (sub.empty()) return 0;
  int c = 1;
  for (size_t i = 0; i < s.size(); i += Step(s, i), ++c)
    if (s.compare(i, sub.size(), sub) == 0) return c;
  return 0;
}

std::string JTrim(std::string_view s) {
  size_t b = 0;
  for (;;) {
    if (b < s.size() && s[b] == ' ')
      b += 1;
    else if (b + 1 < s.size() && s[b] == '\x81' && s[b + 1] == '\x40')
      b += 2;
    else
      break;
  }
  // The end is found by walking characters, so a trail byte 0x40 after another lead byte is
  // never taken for half of a full-width space.
  size_t lastKeep = b;
  for (size_t i = b; i < s.size();) {
    const size_t n = cp932::CharLen(s, i);
    const bool space = (n == 1 && s[i] == ' ') || (n == 2 && s[i] == '\x81' && s[i + 1] == '\x40');
    i += n;
    if (!space) lastKeep = i;
  }
  return std::string(s.substr(b, lastKeep - b));
}

bool IsTrailByte(std::string_view s, int i) {
  if (i < 1 || static_cast<size_t>(i) > s.size()) throw Error("Illegal Index");
  if (i == 1) return false;
  int run = 0;
  for (int k = i - 2; k >= 0 && cp932::IsLead(static_cast<uint8_t>(s[k])); --k)
    ++run;
  return run % 2 == 1;
}

std::string Fetch(std::string& s, std::string_view delimiters) {
  for (size_t i = 0; i < s.size(); i += cp932::CharLen(s, i)) {
    if (cp932::CharLen(s, i) == 1 && delimiters.find(s[i]) != std::string_view::npos) {
      std::string head = s.substr(0, i);
      s.erase(0, i + 1);
      return head;
    }
  }
  std::string all = std::move(s);
  s.clear();
  return all;
}

namespace {

// Full-width forms of the half-width katakana 0xA1..0xDF.
constexpr uint16_t kKana[63] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342, 0x8344, 0x8346, 0x8348,
    0x8383, 0x8385, 0x8387, 0x8362, 0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A,
    0x834C, 0x834E, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E, 0x8360,
    0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C, 0x836D, 0x836E, 0x8371, 0x8374,
    0x8377, 0x837A, 0x837D, 0x837E, 0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389,
    0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B};

// Full-width forms of the printable ASCII bytes 0x20..0x7E (letters and digits computed).
uint16_t AsciiToZen(uint8_t c) {
  if (c >= '0' && c <= '9') return static_cast<uint16_t>(0x824F + (c - '0'));
  if (c >= 'A' && c <= 'Z') return static_cast<uint16_t>(0x8260 + (c - 'A'));
  if (c >= 'a' && c <= 'z') return static_cast<uint16_t>(0x8281 + (c - 'a'));
  switch (c) {
    case ' ':
      return 0x8140;
    case '!':
      return 0x8149;
    case '"':
      return 0x8168;
    case '#':
      return 0x8194;
    case '$':
      return 0x8190;
    case '%':
      return 0x8193;
    case '&':
      return 0x8195;
    case '\'':
      return 0x8166;
    case '(':
      return 0x8169;
    case ')':
      return 0x816A;
    case '*':
      return 0x8196;
    case '+':
      return 0x817B;
    case ',':
      return 0x8143;
    case '-':
      return 0x817C;
    case '.':
      return 0x8144;
    case '/':
      return 0x815E;
    case ':':
      return 0x8146;
    case ';':
      return 0x8147;
    case '<':
      return 0x8183;
    case '=':
      return 0x8181;
    case '>':
      return 0x8184;
    case '?':
      return 0x8148;
    case '@':
      return 0x8197;
    case '[':
      return 0x816D;
    case '\\':
      return 0x818F;
    case ']':
      return 0x816E;
    case '^':
      return 0x814F;
    case '_':
      return 0x8151;
    case '`':
      return 0x8165;
    case '{':
      return 0x816F;
    case '|':
      return 0x8162;
    case '}':
      return 0x8170;
    case '~':
      return 0x8160;
    default:
      return 0;
  }
}

bool Voiceable(uint8_t c) {
  return (c >= 0xB6 && c <= 0xC4) || (c >= 0xCA && c <= 0xCE);
}
bool SemiVoiceable(uint8_t c) {
  return c >= 0xCA && c <= 0xCE;
}

void Put(std::string& out, uint16_t code) {
  out += static_cast<char>(code >> 8);
  out += static_cast<char>(code & 0xFF);
}

const std::unordered_map<uint16_t, std::string>& ZenTable() {
  static const auto table = [] {
    std::unordered_map<uint16_t, std::string> t;
    for (int c = 0x20; c <= 0x7E; ++c)
      t[AsciiToZen(static_cast<uint8_t>(c))] = std::string(1, static_cast<char>(c));
    for (int c = 0xA1; c <= 0xDF; ++c) {
      const uint16_t z = kKana[c - 0xA1];
      t[z] = std::string(1, static_cast<char>(c));
      if (Voiceable(static_cast<uint8_t>(c)))
        t[static_cast<uint16_t>(z + 1)] = std::string{static_cast<char>(c), '\xDE'};
      if (SemiVoiceable(static_cast<uint8_t>(c)))
        t[static_cast<uint16_t>(z + 2)] = std::string{static_cast<char>(c), '\xDF'};
    }
    t[0x8167] = "\"";
    return t;
  }();
  return table;
}

}  // namespace

std::string HanToZen(std::string_view s) {
  std::string out;
  out.reserve(s.size() * 2);
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<uint8_t>(s[i]);
    if (cp932::IsLead(c)) {
      out += s[i];
      if (i + 1 < s.size()) out += s[++i];
      continue;
    }
    if (c >= 0x20 && c <= 0x7E) {
      Put(out, AsciiToZen(c));
    } else if (c >= 0xA1 && c <= 0xDF) {
      uint16_t z = kKana[c - 0xA1];
      const uint8_t next = i + 1 < s.size() ? static_cast<uint8_t>(s[i + 1]) : 0;
      if (next == 0xDE && Voiceable(c)) {
        z = static_cast<uint16_t>(z + 1), ++i;
      } else if (next == 0xDF && SemiVoiceable(c)) {
        z = static_cast<uint16_t>(z + 2), ++i;
      }
      Put(out, z);
    }
    // Control characters, 0x7F, 0x80, 0xA0 and 0xFD..0xFF are dropped.
  }
  return out;
}

std::string ZenToHan(std::string_view s) {
  const auto& table = ZenTable();
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<uint8_t>(s[i]);
    if (!cp932::IsLead(c) || i + 1 >= s.size()) {
      out += s[i];
      continue;
    }
    const auto code = static_cast<uint16_t>(c * 256 + static_cast<uint8_t>(s[i + 1]));
    ++i;
    if (auto it = table.find(code); it != table.end()) out += it->second;
  }
  return out;
}

}  // namespace kova::jstr
