#include <gtest/gtest.h>

#include <filesystem>

#include "testutil/temp_dir.h"
#include "vfs/file_stream.h"

namespace kova {
namespace {

using Mode = TNxBigFileStream::Mode;

Bytes Pattern(size_t n, int seed = 1) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i)
    b[i] = static_cast<uint8_t>(i * 31 + seed);
  return b;
}

// Volumes are 1 GiB in the player; tests shrink them to 100 bytes.
constexpr int64_t kVol = 100;

TEST(FileStream, WritesAndReadsAcrossVolumes) {
  test::TempDir dir;
  const auto path = dir / "data.bin";
  const Bytes data = Pattern(230);
  {
    TNxBigFileStream w(path, Mode::kCreate, kVol);
    EXPECT_EQ(w.Write(data.data(), data.size()), data.size());
    EXPECT_EQ(w.VolumeCount(), 3);
  }
  EXPECT_EQ(std::filesystem::file_size(path), 100u);
  EXPECT_EQ(std::filesystem::file_size(dir / "data.001"), 100u);
  EXPECT_EQ(std::filesystem::file_size(dir / "data.002"), 30u);

  TNxBigFileStream r(path, Mode::kRead, kVol);
  EXPECT_EQ(r.Size(), 230);
  // 20 bytes at 90: the last 10 of volume 0, the first 10 of volume 1.
  r.SetPosition(90);
  uint8_t buf[20];
  ASSERT_EQ(r.Read(buf, 20), 20u);
  EXPECT_TRUE(std::equal(buf, buf + 20, data.begin() + 90));
  r.SetPosition(1000);
  EXPECT_EQ(r.Position(), 230);
  EXPECT_EQ(r.Read(buf, 20), 0u);
  r.SetPosition(-7);
  EXPECT_EQ(r.Position(), 0);
}

TEST(FileStream, StrayNumberedFileIsNotAContinuation) {
  test::TempDir dir;
  dir.Write("voice.ogg", std::string(60, 'a'));  // not a full volume
  dir.Write("voice.001", std::string(40, 'b'));
  TNxBigFileStream r(dir / "voice.ogg", Mode::kRead, kVol);
  EXPECT_EQ(r.Size(), 60);
  EXPECT_EQ(r.VolumeCount(), 1);
  // Creating "voice.ogg" anew must not delete the unrelated "voice.001" either.
  { TNxBigFileStream w(dir / "voice.ogg", Mode::kCreate, kVol); }
  EXPECT_TRUE(std::filesystem::exists(dir / "voice.001"));
}

TEST(FileStream, MissingFileIsAnError) {
  test::TempDir dir;
  EXPECT_THROW(TNxBigFileStream(dir / "none.dat", Mode::kRead), Error);
  EXPECT_THROW(ReadWholeFile(dir.Path()), Error);  // a folder is no file
}

TEST(RangeStream, WindowRules) {
  test::TempDir dir;
  dir.Write("f.bin", Pattern(300));
  TFileRangeStream r(dir / "f.bin", 100, 100);
  EXPECT_EQ(r.Seek(0, SeekOrigin::kEnd), 100);
  EXPECT_EQ(r.Seek(-50, SeekOrigin::kBegin), 0);
  EXPECT_EQ(r.Seek(90, SeekOrigin::kBegin), 90);
  uint8_t buf[500];
  EXPECT_EQ(r.Read(buf, 500), 10u);
  EXPECT_EQ(buf[0], Pattern(300)[190]);
  EXPECT_EQ(r.Read(buf, 500), 0u);
}

TEST(RangeStream, LengthZeroIsEmptyAndToEndIsExplicit) {
  test::TempDir dir;
  dir.Write("f.bin", Pattern(300));
  uint8_t buf[400];
  TFileRangeStream empty(dir / "f.bin", 10, 0);
  EXPECT_EQ(empty.Size(), 0);
  EXPECT_EQ(empty.Read(buf, 400), 0u);
  TFileRangeStream whole(dir / "f.bin", 0, std::nullopt);
  EXPECT_EQ(whole.Size(), 300);
  EXPECT_EQ(whole.Read(buf, 400), 300u);
  // Start and length are clamped to the source.
  TFileRangeStream clamped(dir / "f.bin", 250, 1000);
  EXPECT_EQ(clamped.Size(), 50);
  TFileRangeStream past(dir / "f.bin", 1000, 5);
  EXPECT_EQ(past.Size(), 0);
  TFileRangeStream negative(dir / "f.bin", -20, 30);
  EXPECT_EQ(negative.Size(), 30);
  EXPECT_EQ(negative.Read(buf, 1), 1u);
  EXPECT_EQ(buf[0], Pattern(300)[0]);
}

TEST(ReadAhead, GivesBackUnreadBytes) {
  TNxBigMemoryStream src(Pattern(200000));
  src.SetPosition(5);
  {
    TNxBuffBigStream ra(src);
    uint8_t buf[8];
    ASSERT_EQ(ra.Read(buf, 8), 8u);
    EXPECT_EQ(buf[0], Pattern(200000)[5]);
  }
  EXPECT_EQ(src.Position(), 13);
  src.SetPosition(199990);
  TNxBuffBigStream ra(src);
  uint8_t buf[50];
  EXPECT_EQ(ra.Read(buf, 50), 10u);
  EXPECT_EQ(ra.Read(buf, 50), 0u);
}

TEST(AtomicWrite, ReplacesAndLeavesNoTemporary) {
  test::TempDir dir;
  const auto p = dir.Write("save.dat", "old");
  WriteFileAtomic(p, AsBytes("new content"));
  EXPECT_EQ(test::ReadFileBytes(p),
            Bytes(AsBytes("new content").begin(), AsBytes("new content").end()));
  int files = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.Path()))
    ++files;
  EXPECT_EQ(files, 1);
  EXPECT_THROW(WriteFileAtomic(dir / "no/such/dir/x", AsBytes("x")), Error);
}

}  // namespace
}  // namespace kova
