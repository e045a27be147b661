#include "expr/convert.h"

#include <locale.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "common/error.h"

namespace kova {

int32_t FloatToInt(long double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0L) return INT32_MAX;
  if (v <= -2147483648.0L) return INT32_MIN;
  return static_cast<int32_t>(v);
}

std::string IntToText(int32_t v) {
  return std::to_string(v);
}

std::string FloatToText(long double v) {
  if (!std::isfinite(v) || v == 0) return "0";
  // %Le gives d.dddddddddddddde+XX; only the digits and the exponent are read back, so the
  // locale's separator never matters.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14Le", v);
  std::string digits;
  bool neg = false;
  const char* p = buf;
  if (*p == '-') neg = true, ++p;
  for (; *p && *p != 'e' && *p != 'E'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  int exp = *p ? std::atoi(p + 1) : 0;
  while (digits.size() > 1 && digits.back() == '0')
    digits.pop_back();
  std::string out = neg ? "-" : "";
  if (exp >= 15 || exp < -5) {
    out += digits[0];
    if (digits.size() > 1) out += '.', out += digits.substr(1);
    out += 'E';
    out += std::to_string(exp);
    return out;
  }
  if (exp < 0) {
    out += "0.";
    out.append(static_cast<size_t>(-exp - 1), '0');
    out += digits;
    return out;
  }
  const size_t intLen = static_cast<size_t>(exp) + 1;
  if (digits.size() <= intLen) {
    out += digits;
    out.append(intLen - digits.size(), '0');
  } else {
    out += digits.substr(0, intLen);
    out += '.';
    out += digits.substr(intLen);
  }
  return out;
}

std::optional<int32_t> TextToIntOpt(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ')
    ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i] == '-', ++i;
  bool hex = false;
  // Only "$" marks hexadecimal: a prefix such as "x" would turn variable names like "x1" into
  // numbers when expressions are compiled.
  if (i < s.size() && s[i] == '$') hex = true, ++i;
  if (i >= s.size()) return std::nullopt;
  uint64_t v = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return std::nullopt;
    v = v * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    if (v > 0xFFFFFFFFull) return std::nullopt;
  }
  if (hex) {
    // Hexadecimal texts cover the whole 32-bit pattern.
    uint32_t u = static_cast<uint32_t>(v);
    if (neg) u = 0u - u;
    return static_cast<int32_t>(u);
  }
  if (neg) {
    if (v > 2147483648ull) return std::nullopt;
    return static_cast<int32_t>(static_cast<uint32_t>(0u - static_cast<uint32_t>(v)));
  }
  if (v > 2147483647ull) return std::nullopt;
  return static_cast<int32_t>(v);
}

std::optional<long double> TextToFloatOpt(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ')
    ++b;
  while (e > b && s[e - 1] == ' ')
    --e;
  std::string norm;
  size_t i = b;
  if (i < e && (s[i] == '+' || s[i] == '-')) norm += s[i++];
  int mant = 0;
  while (i < e && s[i] >= '0' && s[i] <= '9')
    norm += s[i++], ++mant;
  if (i < e && s[i] == '.') {
    norm += s[i++];
    while (i < e && s[i] >= '0' && s[i] <= '9')
      norm += s[i++], ++mant;
  }
  if (mant == 0) return std::nullopt;
  if (i < e && (s[i] == 'e' || s[i] == 'E')) {
    norm += 'e', ++i;
    if (i < e && (s[i] == '+' || s[i] == '-')) norm += s[i++];
    int ed = 0;
    while (i < e && s[i] >= '0' && s[i] <= '9')
      norm += s[i++], ++ed;
    if (ed == 0) return std::nullopt;
  }
  if (i != e) return std::nullopt;
  static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  long double v = strtold_l(norm.c_str(), nullptr, cLocale);
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

long double CheckFinite(long double v) {
  if (!std::isfinite(v)) throw Error("浮動小数点演算が不正です");
  return v;
}

}  // namespace kova
