// The 80-bit x87 extended float, the engine's float type in files, expressions and saves.
// The codec works on the bits, so it is exact wherever long double has a 64-bit mantissa and
// rounds correctly where it has more or fewer.
#pragma once

#include <cstdint>

namespace kova {

long double DecodeFloat80(const uint8_t* b);
void EncodeFloat80(long double v, uint8_t* b);

}  // namespace kova
