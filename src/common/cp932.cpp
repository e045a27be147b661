#include "common/cp932.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>

namespace kova::cp932 {

bool IsTrailAt(std::string_view s, size_t i) {
  size_t p = 0;
  while (p < i)
    p += CharLen(s, p);
  return p > i;
}

namespace {

template <char (*F)(char)>
std::string Map(std::string_view s) {
  std::string out(s);
  for (size_t i = 0; i < out.size();) {
    size_t n = CharLen(out, i);
    if (n == 1) out[i] = F(out[i]);
    i += n;
  }
  return out;
}

// Folds ASCII letters outside double-byte characters; `i` advances over one character.
inline int FoldedAt(std::string_view s, size_t& i) {
  if (CharLen(s, i) == 2) {
    int v = (static_cast<uint8_t>(s[i]) << 8) | static_cast<uint8_t>(s[i + 1]);
    i += 2;
    return v;
  }
  return static_cast<uint8_t>(FoldAscii(s[i++]));
}

}  // namespace

std::string Lower(std::string_view s) {
  return Map<FoldAscii>(s);
}
std::string Upper(std::string_view s) {
  return Map<UpperAscii>(s);
}

namespace {

// Walks a string byte by byte, yielding each byte with ASCII letters folded when they stand
// alone (a trail byte is passed through as it is).
struct FoldCursor {
  std::string_view s;
  size_t i = 0;
  size_t trailAt = std::string_view::npos;
  bool Done() const { return i >= s.size(); }
  uint8_t Next() {
    uint8_t c = static_cast<uint8_t>(s[i]);
    if (i == trailAt) {
      ++i;
      return c;
    }
    if (CharLen(s, i) == 2) {
      trailAt = i + 1;
      ++i;
      return c;
    }
    ++i;
    return static_cast<uint8_t>(FoldAscii(static_cast<char>(c)));
  }
};

}  // namespace

int CompareNoCase(std::string_view a, std::string_view b) {
  FoldCursor x{a}, y{b};
  while (!x.Done() && !y.Done()) {
    uint8_t ca = x.Next(), cb = y.Next();
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (!x.Done()) return 1;
  if (!y.Done()) return -1;
  return 0;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  size_t i = 0, j = 0;
  while (i < a.size()) {
    if (FoldedAt(a, i) != FoldedAt(b, j)) return false;
  }
  return j == b.size();
}

size_t FindLastChar(std::string_view s, char c) {
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < s.size(); i += CharLen(s, i))
    if (s[i] == c && CharLen(s, i) == 1) found = i;
  return found;
}

size_t CharCount(std::string_view s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); i += CharLen(s, i))
    ++n;
  return n;
}

namespace {

// iconv descriptors are not thread-safe; each direction is used under its own lock.
struct Converter {
  Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
  ~Converter() {
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
  iconv_t cd;
  std::mutex mu;
};

Converter& ToUtf8Conv() {
  static Converter c("UTF-8", "CP932");
  return c;
}
Converter& FromUtf8Conv() {
  static Converter c("CP932", "UTF-8");
  return c;
}

// Converts one piece; returns false at the first byte sequence that does not convert.
// `in` and `inLeft` stop there.
bool Convert(Converter& c, const char*& in, size_t& inLeft, std::string& out) {
  char buf[1024];
  iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
  while (inLeft > 0) {
    char* o = buf;
    size_t oLeft = sizeof buf;
    size_t r = iconv(c.cd, const_cast<char**>(&in), &inLeft, &o, &oLeft);
    out.append(buf, o - buf);
    if (r == static_cast<size_t>(-1) && errno != E2BIG) return false;
  }
  return true;
}

const char kHex[] = "0123456789ABCDEF";

}  // namespace

std::string ToUtf8(std::string_view s) {
  Converter& c = ToUtf8Conv();
  std::lock_guard lock(c.mu);
  std::string out;
  out.reserve(s.size() * 3 / 2);
  const char* in = s.data();
  size_t left = s.size();
  while (!Convert(c, in, left, out)) {
    // Show the offending byte and go on with the next one.
    const uint8_t b = static_cast<uint8_t>(*in);
    out += "\\x";
    out += kHex[b >> 4];
    out += kHex[b & 15];
    ++in, --left;
  }
  return out;
}

std::optional<std::string> FromUtf8(std::string_view s) {
  Converter& c = FromUtf8Conv();
  std::lock_guard lock(c.mu);
  std::string out;
  const char* in = s.data();
  size_t left = s.size();
  if (!Convert(c, in, left, out)) return std::nullopt;
  return out;
}

std::string FromUtf8Lossy(std::string_view s) {
  Converter& c = FromUtf8Conv();
  std::lock_guard lock(c.mu);
  std::string out;
  const char* in = s.data();
  size_t left = s.size();
  while (!Convert(c, in, left, out)) {
    out += '?';
    // Skip one whole UTF-8 sequence.
    size_t n = 1;
    while (n < left && (static_cast<uint8_t>(in[n]) & 0xC0) == 0x80)
      ++n;
    in += n, left -= n;
  }
  return out;
}

}  // namespace kova::cp932
