// Reads arbitrary bytes as a bitmap file, a PNG and a JPEG.
#include <cstddef>
#include <cstdint>

#include "gfx/codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> in(data, size);
  try {
    kova::ReadBmp(in, "fuzz.bmp");
  } catch (const kova::DamagedPicture&) {
  }
  try {
    kova::ReadPng(in, "fuzz.png");
  } catch (const kova::DamagedPicture&) {
  }
  try {
    kova::ReadJpeg(in, "fuzz.jpg");
  } catch (const kova::DamagedPicture&) {
  }
  return 0;
}
