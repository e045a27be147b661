#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "expr/convert.h"

namespace kova {
namespace {

TEST(Convert, FloatText) {
  const struct {
    long double v;
    const char* text;
  } cases[] = {
      {0.0L, "0"},
      {1.0L, "1"},
      {-1.5L, "-1.5"},
      {2.5L, "2.5"},
      {0.1L, "0.1"},
      {1.0L / 3, "0.333333333333333"},
      {2.0L / 3, "0.666666666666667"},
      {123456789012345.0L, "123456789012345"},
      {999999999999999.0L, "999999999999999"},
      {1e15L, "1E15"},
      {1.5e20L, "1.5E20"},
      {-2.5e-7L, "-2.5E-7"},
      {0.00001L, "0.00001"},
      {0.0000099L, "9.9E-6"},
      {0.0001234L, "0.0001234"},
      {100.0L, "100"},
      {3.14159265358979323846L, "3.14159265358979"},
      // Rounding to 15 digits carries into the next power of ten.
      {999999999999999.9L, "1E15"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FloatToText(c.v), c.text) << static_cast<double>(c.v);
  EXPECT_EQ(FloatToText(std::numeric_limits<long double>::quiet_NaN()), "0");
  EXPECT_EQ(FloatToText(std::numeric_limits<long double>::infinity()), "0");
}

TEST(Convert, TextToInt) {
  const struct {
    const char* text;
    std::optional<int32_t> v;
  } cases[] = {
      {"0", 0},
      {"42", 42},
      {"-42", -42},
      {"+7", 7},
      {"  12", 12},
      {"$FF", 255},
      {"$ffffffff", -1},
      {"-$10", -16},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},
      {"12 ", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"1.0", std::nullopt},
      {"x1", std::nullopt},
      {"0x10", std::nullopt},
      {"$", std::nullopt},
      {"$123456789", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TextToIntOpt(c.text), c.v) << c.text;
  EXPECT_EQ(TextToInt("junk"), 0);
}

TEST(Convert, TextToFloat) {
  const struct {
    const char* text;
    std::optional<long double> v;
  } cases[] = {
      {"1.5", 1.5L},          {"-2", -2.0L},
      {" 3.25 ", 3.25L},      {"1e3", 1000.0L},
      {"1.", 1.0L},           {".5", 0.5L},
      {"2E-2", 0.02L},        {"", std::nullopt},
      {".", std::nullopt},    {"1e", std::nullopt},
      {"1,5", std::nullopt},  {"nan", std::nullopt},
      {"inf", std::nullopt},  {"1e99999", std::nullopt},
      {"TRUE", std::nullopt},
  };
  for (const auto& c : cases) {
    auto got = TextToFloatOpt(c.text);
    ASSERT_EQ(got.has_value(), c.v.has_value()) << c.text;
    if (got) {
      EXPECT_EQ(*got, *c.v) << c.text;
    }
  }
}

TEST(Convert, FloatToIntSaturatesAndTruncates) {
  EXPECT_EQ(FloatToInt(2.9L), 2);
  EXPECT_EQ(FloatToInt(-2.9L), -2);
  EXPECT_EQ(FloatToInt(1e30L), INT32_MAX);
  EXPECT_EQ(FloatToInt(-1e30L), INT32_MIN);
  EXPECT_EQ(FloatToInt(std::numeric_limits<long double>::quiet_NaN()), 0);
  EXPECT_EQ(FloatToInt(std::numeric_limits<long double>::infinity()), INT32_MAX);
}

}  // namespace
}  // namespace kova
