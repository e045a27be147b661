#include "common/ini.h"

#include <gtest/gtest.h>

namespace kova {
namespace {

TEST(Ini, SectionsKeysAndValues) {
  const TIniFile ini(
      "; comment\r\n[Sound]\r\nDirectSound = 0\r\nDelayTime=300\r\n[other]\nDelayTime=9\n"
      "no equals sign\n[SOUND]\ndelaytime=111\n");
  EXPECT_EQ(ini.Read("sound", "DIRECTSOUND"), "0");
  EXPECT_EQ(ini.ReadInteger("Sound", "DelayTime", 500), 300);  // the first occurrence wins
  EXPECT_EQ(ini.ReadInteger("Other", "DelayTime", 500), 9);
  EXPECT_FALSE(ini.Read("Sound", "missing"));
  EXPECT_FALSE(ini.Read("Missing", "DelayTime"));
  EXPECT_FALSE(ini.ReadBool("Sound", "DirectSound", true));
  EXPECT_TRUE(ini.ReadBool("Sound", "missing", true));
}

TEST(Ini, Integers) {
  const struct {
    const char* text;
    int32_t want;
  } cases[] = {
      {"42", 42},
      {"-7", -7},
      {"+5", 5},
      {"$FF", 255},
      {"0x10", 16},
      {"$FFFFFFFF", -1},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", 99},
      {"12abc", 99},
      {"", 99},
      {"-", 99},
      {"$", 99},
      {"1 2", 99},
  };
  for (const auto& c : cases) {
    const TIniFile ini(std::string("[s]\nk=") + c.text + "\n");
    EXPECT_EQ(ini.ReadInteger("s", "k", 99), c.want) << c.text;
  }
}

}  // namespace
}  // namespace kova
