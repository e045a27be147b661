#include "common/float80.h"

#include <cmath>
#include <limits>

namespace kova {

namespace {
constexpr int kBias = 16383;
}

long double DecodeFloat80(const uint8_t* b) {
  uint64_t mant = 0;
  for (int i = 0; i < 8; ++i)
    mant |= static_cast<uint64_t>(b[i]) << (8 * i);
  const unsigned se = b[8] | (b[9] << 8);
  const bool neg = se & 0x8000;
  const int exp = se & 0x7FFF;
  long double v;
  if (exp == 0x7FFF) {
    // Infinity only with the integer bit set and an empty fraction; the rest are NaNs.
    v = (mant << 1) == 0 && (mant >> 63) ? std::numeric_limits<long double>::infinity()
                                         : std::numeric_limits<long double>::quiet_NaN();
  } else if (exp == 0) {
    v = std::ldexp(static_cast<long double>(mant), 1 - kBias - 63);
  } else if ((mant >> 63) == 0) {
    // An unnormal: the x87 refuses it as an invalid operand.
    v = std::numeric_limits<long double>::quiet_NaN();
  } else {
    v = std::ldexp(static_cast<long double>(mant), exp - kBias - 63);
  }
  return neg ? -v : v;
}

void EncodeFloat80(long double v, uint8_t* b) {
  uint64_t mant = 0;
  unsigned exp = 0;
  const bool neg = std::signbit(v);
  if (std::isnan(v)) {
    exp = 0x7FFF;
    mant = 0xC000000000000000ull;
  } else if (std::isinf(v)) {
    exp = 0x7FFF;
    mant = 0x8000000000000000ull;
  } else if (v != 0) {
    int e = 0;
    long double f = std::frexp(std::fabs(v), &e);  // f in [0.5, 1)
    int biased = e - 1 + kBias;
    if (biased >= 0x7FFF) {  // too large for 80 bits (only with a wider long double)
      exp = 0x7FFF;
      mant = 0x8000000000000000ull;
    } else if (biased <= 0) {
      // Denormal: the exponent stays at its minimum and the mantissa loses bits.
      long double scaled = std::ldexp(f, 64 - (1 - biased));
      mant = static_cast<uint64_t>(std::nearbyint(scaled));
      exp = 0;
    } else {
      long double scaled = std::ldexp(f, 64);
      long double rounded = std::nearbyint(scaled);
      if (rounded >= 18446744073709551616.0L) {  // rounding carried into a new bit
        rounded = std::ldexp(rounded, -1);
        ++biased;
      }
      mant = static_cast<uint64_t>(rounded);
      exp = static_cast<unsigned>(biased);
      if (exp >= 0x7FFF) exp = 0x7FFF, mant = 0x8000000000000000ull;
    }
  }
  for (int i = 0; i < 8; ++i)
    b[i] = static_cast<uint8_t>(mant >> (8 * i));
  const unsigned se = exp | (neg ? 0x8000u : 0u);
  b[8] = static_cast<uint8_t>(se);
  b[9] = static_cast<uint8_t>(se >> 8);
}

}  // namespace kova
