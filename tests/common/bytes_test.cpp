#include "common/bytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "common/float80.h"

namespace kova {
namespace {

TEST(ByteReader, ReadsLittleEndianAndStrings) {
  ByteWriter w;
  w.U8(7);
  w.U16(0xBEEF);
  w.I32(-2);
  w.I64(-3);
  w.LpString("abc");
  w.I32(-5);  // a negative length is the empty string
  ByteReader r(w.Data(), "t.bin");
  EXPECT_EQ(r.U8(), 7);
  EXPECT_EQ(r.U16(), 0xBEEF);
  EXPECT_EQ(r.I32(), -2);
  EXPECT_EQ(r.I64(), -3);
  EXPECT_EQ(r.LpString(), "abc");
  EXPECT_EQ(r.LpString(), "");
  EXPECT_TRUE(r.AtEnd());
}

TEST(ByteReader, RefusesReadsPastTheEndWithFileAndOffset) {
  const Bytes data = {1, 2, 3, 0xFF, 0xFF, 0xFF, 0x7F};
  ByteReader r(data, "x.dat", 100);
  r.Skip(3);
  try {
    r.LpString();  // length 0x7FFFFFFF with nothing behind it
    FAIL();
  } catch (const FormatError& e) {
    EXPECT_EQ(e.File(), "x.dat");
    EXPECT_EQ(e.Offset(), 107u);
    EXPECT_NE(std::string(e.what()).find("x.dat"), std::string::npos);
  }
  ByteReader r2(data, "x.dat");
  EXPECT_THROW(r2.Count(2, 4, "item"), FormatError);
  EXPECT_EQ(r2.Count(1, 4, "item"), 1u);
  EXPECT_THROW(r2.Count(uint64_t{1} << 33, 0, "item"), FormatError);
  EXPECT_THROW(r2.Seek(8), FormatError);
  EXPECT_THROW(r2.Span(8), FormatError);
  EXPECT_EQ(r2.Pos(), 0u);  // a refused read consumes nothing
}

// Known encodings of the x87 format.
TEST(Float80, KnownEncodings) {
  struct Case {
    long double v;
    uint8_t bytes[10];
  } cases[] = {
      {1.0L, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}},
      {-1.5L, {0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0xBF}},
      {0.0L, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {-0.0L, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80}},
      {100.0L, {0, 0, 0, 0, 0, 0, 0, 0xC8, 0x05, 0x40}},
      {std::numeric_limits<long double>::infinity(), {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F}},
  };
  for (const auto& c : cases) {
    uint8_t b[10];
    EncodeFloat80(c.v, b);
    EXPECT_EQ(std::memcmp(b, c.bytes, 10), 0) << static_cast<double>(c.v);
    long double back = DecodeFloat80(c.bytes);
    EXPECT_EQ(back, c.v);
    EXPECT_EQ(std::signbit(back), std::signbit(c.v));
  }
}

TEST(Float80, NaNsAndUnnormalsDecodeAsNaN) {
  const uint8_t nan[10] = {0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x7F};
  const uint8_t unnormal[10] = {1, 0, 0, 0, 0, 0, 0, 0x40, 0xFF, 0x3F};
  const uint8_t pseudoInf[10] = {0, 0, 0, 0, 0, 0, 0, 0x00, 0xFF, 0x7F};
  EXPECT_TRUE(std::isnan(DecodeFloat80(nan)));
  EXPECT_TRUE(std::isnan(DecodeFloat80(unnormal)));
  EXPECT_TRUE(std::isnan(DecodeFloat80(pseudoInf)));
}

#if defined(__x86_64__) || defined(__i386__)
// On x86 long double is the x87 format itself: every valid bit pattern must survive the codec.
TEST(Float80, MatchesTheNativeFormatForRandomPatterns) {
  std::mt19937_64 rng(42);
  for (int i = 0; i < 200000; ++i) {
    uint8_t b[10];
    uint64_t m = rng();
    unsigned e = static_cast<unsigned>(rng() % 0x8000);
    if (i % 7 == 0) e = 0;  // denormals
    if (e != 0 && e != 0x7FFF) m |= uint64_t{1} << 63;
    if (e == 0) m &= ~(uint64_t{1} << 63);
    if (e == 0x7FFF) continue;
    std::memcpy(b, &m, 8);
    unsigned se = e | (rng() & 1 ? 0x8000u : 0u);
    b[8] = static_cast<uint8_t>(se), b[9] = static_cast<uint8_t>(se >> 8);
    long double native;
    std::memset(&native, 0, sizeof native);
    std::memcpy(&native, b, 10);
    long double decoded = DecodeFloat80(b);
    ASSERT_EQ(std::memcmp(&decoded, &native, 10), 0) << i;
    uint8_t again[10];
    EncodeFloat80(native, again);
    ASSERT_EQ(std::memcmp(again, b, 10), 0) << i;
  }
}
#endif

}  // namespace
}  // namespace kova
