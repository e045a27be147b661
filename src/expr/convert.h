// Conversions between the four storage types of script values. Every float-to-integer
// conversion in the engine goes through FloatToInt, so an out-of-range or NaN value can never
// reach an undefined cast.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kova {

// Truncates toward zero; saturates at the i32 limits; NaN gives 0.
int32_t FloatToInt(long double v);

// Decimal text of an integer.
std::string IntToText(int32_t v);
// 15 significant digits, '.' as separator whatever the locale, trailing zeros dropped, the
// exponent form ("1.5E-7", "1E15") only outside 1e-5 <= |x| < 1e15. Never "NAN" or "INF": a
// value that is not finite gives "0" (callers refuse such values before they are stored).
std::string FloatToText(long double v);
inline std::string FlagToText(bool v) {
  return v ? "TRUE" : "FALSE";
}

// Decimal (or "$" hexadecimal) 32-bit integer; nothing when the text is not one.
std::optional<int32_t> TextToIntOpt(std::string_view s);
// A decimal float with optional exponent, '.' as separator; nothing when the text is not one or
// does not fit a finite float.
std::optional<long double> TextToFloatOpt(std::string_view s);
inline int32_t TextToInt(std::string_view s) {
  return TextToIntOpt(s).value_or(0);
}
inline long double TextToFloat(std::string_view s) {
  return TextToFloatOpt(s).value_or(0.0L);
}
// True only for exactly "TRUE".
inline bool TextToFlag(std::string_view s) {
  return s == "TRUE";
}

// Throws the run-time failure used when a float computation leaves the finite range.
long double CheckFinite(long double v);

}  // namespace kova
