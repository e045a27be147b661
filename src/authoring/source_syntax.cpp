#include "authoring/source_syntax.h"

#include <cctype>

#include "common/cp932.h"

namespace kova::authoring {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@';
}

}  // namespace

void LineScanner::SkipSpace() {
  while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t'))
    ++i_;
}

bool LineScanner::Take(std::string_view lit) {
  SkipSpace();
  if (s_.substr(i_, lit.size()) != lit) return false;
  i_ += lit.size();
  return true;
}

std::string LineScanner::Word() {
  SkipSpace();
  const size_t start = i_;
  while (i_ < s_.size() && IsWordChar(s_[i_]))
    ++i_;
  return std::string(s_.substr(start, i_ - start));
}

std::string LineScanner::Bare() {
  SkipSpace();
  const size_t start = i_;
  while (i_ < s_.size() && s_[i_] != ' ' && s_[i_] != '\t')
    ++i_;
  return std::string(s_.substr(start, i_ - start));
}

std::string LineScanner::QuotedCp932() {
  SkipSpace();
  if (i_ >= s_.size() || s_[i_] != '"') throw Error("a quoted string was expected");
  ++i_;
  std::string out, pending;  // pending: UTF-8 text not yet converted
  auto flush = [&] {
    if (pending.empty()) return;
    auto conv = cp932::FromUtf8(pending);
    if (!conv) throw Error("text cannot be written in CP932: " + pending);
    out += *conv;
    pending.clear();
  };
  for (;;) {
    if (i_ >= s_.size()) throw Error("unterminated string");
    const char c = s_[i_++];
    if (c == '"') break;
    if (c != '\\') {
      pending += c;
      continue;
    }
    if (i_ >= s_.size()) throw Error("unterminated string");
    const char e = s_[i_++];
    switch (e) {
      case '\\':
        pending += '\\';
        break;
      case '"':
        pending += '"';
        break;
      case 'r':
        pending += '\r';
        break;
      case 'n':
        pending += '\n';
        break;
      case 't':
        pending += '\t';
        break;
      case 'x': {
        const int hi = i_ < s_.size() ? HexDigit(s_[i_]) : -1;
        const int lo = i_ + 1 < s_.size() ? HexDigit(s_[i_ + 1]) : -1;
        if (hi < 0 || lo < 0) throw Error("\\x takes two hex digits");
        i_ += 2;
        flush();
        out += static_cast<char>(hi * 16 + lo);
        break;
      }
      default:
        throw Error(std::string("unknown escape \\") + e);
    }
  }
  flush();
  return out;
}

std::string LineScanner::Braced() {
  SkipSpace();
  if (i_ >= s_.size() || s_[i_] != '{') throw Error("'{' was expected");
  const size_t start = ++i_;
  int depth = 1;
  bool quoted = false;
  while (i_ < s_.size()) {
    const char c = s_[i_];
    if (quoted) {
      if (c == '\\' && i_ + 1 < s_.size())
        ++i_;
      else if (c == '"')
        quoted = false;
    } else if (c == '"') {
      quoted = true;
    } else if (c == '{') {
      ++depth;
    } else if (c == '}' && --depth == 0) {
      return std::string(s_.substr(start, i_++ - start));
    }
    ++i_;
  }
  throw Error("unterminated expression: '}' is missing");
}

std::string LineScanner::Bracketed() {
  SkipSpace();
  if (i_ >= s_.size() || s_[i_] != '[') throw Error("'[' was expected");
  const size_t start = ++i_;
  const size_t close = s_.find(']', start);
  if (close == std::string_view::npos) throw Error("unterminated raw form: ']' is missing");
  i_ = close + 1;
  return std::string(s_.substr(start, close - start));
}

Bytes ParseHexBytes(std::string_view text) {
  Bytes out;
  int hi = -1;
  for (char c : text) {
    if (c == ' ' || c == '\t') {
      if (hi >= 0) throw Error("hex bytes take two digits");
      continue;
    }
    const int v = HexDigit(c);
    if (v < 0) throw Error(std::string("not a hex digit: '") + c + "'");
    if (hi < 0) {
      hi = v;
    } else {
      out.push_back(static_cast<uint8_t>(hi * 16 + v));
      hi = -1;
    }
  }
  if (hi >= 0) throw Error("odd number of hex digits");
  return out;
}

std::string HexOf(std::span<const uint8_t> b) {
  static const char* const kDigits = "0123456789abcdef";
  std::string s;
  s.reserve(b.size() * 2);
  for (uint8_t v : b) {
    s += kDigits[v >> 4];
    s += kDigits[v & 15];
  }
  return s;
}

std::optional<int64_t> ParseInteger(std::string_view t, int64_t lo, int64_t hi) {
  bool neg = false;
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
    neg = t[0] == '-';
    t.remove_prefix(1);
  }
  int base = 10;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    base = 16;
    t.remove_prefix(2);
  }
  if (t.empty() || t.size() > 20) return std::nullopt;
  int64_t v = 0;
  for (char c : t) {
    const int d = HexDigit(c);
    if (d < 0 || d >= base) return std::nullopt;
    v = v * base + d;
    if (v > (int64_t{1} << 40)) return std::nullopt;
  }
  if (neg) v = -v;
  if (v < lo || v > hi) return std::nullopt;
  return v;
}

std::string QuoteCp932(std::string_view s) {
  std::string out;
  auto hex = [&](uint8_t b) {
    static const char* const kDigits = "0123456789abcdef";
    out += "\\x";
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  };
  for (size_t i = 0; i < s.size();) {
    const uint8_t c = static_cast<uint8_t>(s[i]);
    if (c < 0x80) {
      switch (c) {
        case '\\':
          out += "\\\\";
          break;
        case '"':
          out += "\\\"";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\t':
          out += "\\t";
          break;
        default:
          if (c < 0x20 || c == 0x7F)
            hex(c);
          else
            out += static_cast<char>(c);
      }
      ++i;
      continue;
    }
    size_t n = cp932::CharLen(s, i);
    if (n == 0 || i + n > s.size()) n = 1;
    const std::string_view ch = s.substr(i, n);
    const std::string utf8 = cp932::ToUtf8(ch);
    const auto back = cp932::FromUtf8(utf8);
    if (back && *back == ch) {
      out += utf8;
    } else {
      for (char b : ch)
        hex(static_cast<uint8_t>(b));
    }
    i += n;
  }
  return out;
}

}  // namespace kova::authoring
