#include "common/stream.h"

#include <gtest/gtest.h>

namespace kova {
namespace {

TEST(MemoryStream, PositionsClampAtBothEnds) {
  TNxBigMemoryStream m(Bytes{1, 2, 3});
  m.SetPosition(-5);
  EXPECT_EQ(m.Position(), 0);
  m.SetPosition(10);
  EXPECT_EQ(m.Position(), 3);
  uint8_t b[4];
  EXPECT_EQ(m.Read(b, 4), 0u);
  m.Write("xy", 2);
  EXPECT_EQ(m.Size(), 5);
}

// A stream that is not a memory stream, so the buffered path runs.
class Spans : public TSpanStream {
  using TSpanStream::TSpanStream;
};

TEST(CopyStream, CountZeroCopiesWholeSourceAndBufferShrinks) {
  Bytes data(300000);
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<uint8_t>(i * 7);
  TSpanStream src(data);
  src.SetPosition(1000);
  TNxBigMemoryStream dst;
  std::vector<size_t> tried;
  auto alloc = [&](size_t n) -> uint8_t* {
    tried.push_back(n);
    return n <= 100000 ? new uint8_t[n] : nullptr;
  };
  EXPECT_EQ(CopyStream(dst, src, 0, alloc), 300000);
  EXPECT_EQ(dst.Data(), data);
  // 300000 first, then the 64 KiB floor (1 MiB steps would go below zero).
  EXPECT_EQ(tried, (std::vector<size_t>{300000, kCopyBufferFloor}));
}

TEST(CopyStream, FailsBelowTheFloor) {
  Bytes data(1 << 20);
  TSpanStream src(data);
  TNxBigMemoryStream dst;
  EXPECT_THROW(CopyStream(dst, src, 0, [](size_t) -> uint8_t* { return nullptr; }), Error);
}

TEST(CopyStream, MemorySourceAndShortSource) {
  TNxBigMemoryStream src(Bytes{1, 2, 3, 4, 5});
  src.SetPosition(2);
  TNxBigMemoryStream dst;
  EXPECT_EQ(CopyStream(dst, src, 10), 3);
  EXPECT_EQ(dst.Data(), (Bytes{3, 4, 5}));
}

}  // namespace
}  // namespace kova
