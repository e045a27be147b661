#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "common/nx_random.h"
#include "testutil/temp_dir.h"
#include "vfs/archive.h"
#include "vfs/archive_builder.h"
#include "vfs/file_stream.h"
#include "vfs/zlib_codec.h"

namespace kova {
namespace {

std::string Text(const Bytes& b) {
  return std::string(AsText(b));
}

Bytes Noise(size_t n, uint32_t seed) {
  std::mt19937 r(seed);
  Bytes b(n);
  for (auto& x : b)
    x = static_cast<uint8_t>(r() >> 13);
  return b;
}

Bytes Save(TVrFileCollection& c) {
  TNxBigMemoryStream out;
  c.SaveArchive(out);
  return out.Data();
}

TEST(ArchiveWriter, MemoryEntriesByteExact) {
  TVrFileCollection c;
  auto& a = c.AddMemoryEntry("A");
  a.data->Write("hello hello hello", 17);
  a.crcMode = 1;
  c.AddMemoryEntry("B");  // empty, CRC mode 0
  const Bytes out = Save(c);

  // Expected bytes, written out from the layout.
  const Bytes za = Deflate(AsBytes("hello hello hello"));
  const Bytes zb = Deflate({});
  ByteWriter w;
  w.Raw("vf");
  w.I32(102);
  w.I32(2);
  TNxRandom names(0x5B8E2C71);
  for (const char* n : {"A", "B"}) {
    w.U32(1);
    w.U8(static_cast<uint8_t>(n[0] ^ static_cast<uint8_t>(names.Next())));
  }
  const int64_t data0 = static_cast<int64_t>(w.Size() + 3 * 8 + 2 * 10);
  TNxRandom offs(0x5B8E2C71);
  for (int64_t off : {data0, data0 + static_cast<int64_t>(za.size()),
                      data0 + static_cast<int64_t>(za.size() + zb.size())})
    w.I64(off ^ static_cast<int64_t>(static_cast<int32_t>(offs.Next())));
  w.U8(0), w.U8(0);                            // stored flags
  w.U32(0), w.U32(0);                          // file times
  w.U32(Crc32(AsBytes("hello hello hello")));  // mode 1: CRC of the data
  w.U32(Crc32(zb));                            // mode 0: CRC of the deflated bytes
  w.U8(1), w.U8(0);
  w.Raw(za);
  w.Raw(zb);
  EXPECT_EQ(out, w.Data());
}

TEST(ArchiveWriter, LooseFileRules) {
  test::TempDir dir;
  const Bytes noise = Noise(4000, 7);
  dir.Write("text.txt", std::string(5000, 'k'));   // compresses well: deflated
  dir.Write("noise.bin", noise);                   // does not: kept, flag 1
  dir.Write("music.ogg", std::string(5000, 'k'));  // media: never deflated
  dir.Write("a.m", std::string(5000, 'k'));        // ".M" is inside ".MPG": media too
  dir.Write("noext", std::string(5000, 'k'));      // no extension: compressible
  TVrFileCollection c;
  c.SetBaseFolder(dir.Path());
  for (const char* n : {"text.txt", "noise.bin", "music.ogg", "a.m", "noext"})
    c.AddFileEntry(n).crcMode = 1;
  const auto file = dir / "out.dat";
  {
    TNxBigFileStream s(file, TNxBigFileStream::Mode::kCreate);
    c.SaveArchive(s);
  }
  TVrFileCollection r;
  r.OpenArchive(file);
  struct Want {
    const char* name;
    uint8_t stored;
  } wants[] = {{"text.txt", 0}, {"noise.bin", 1}, {"music.ogg", 1}, {"a.m", 1}, {"noext", 0}};
  for (const auto& want : wants) {
    SCOPED_TRACE(want.name);
    TVrFile* e = r.FindEntry(want.name);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->stored, want.stored);
    EXPECT_NE(e->fileTime, 0u);
    const Bytes back = r.ReadEntryBytes(want.name);
    EXPECT_EQ(e->crc, Crc32(back));  // mode 1 or stored: CRC of the file
    EXPECT_EQ(back, test::ReadFileBytes(dir / want.name));
  }
}

TEST(ArchiveWriter, PictureHeaderDecidesLargePictures) {
  test::TempDir dir;
  auto vel = [&](const char* name, int version, uint8_t flag, size_t size) {
    ByteWriter w;
    w.Raw("Vell" + std::to_string(version));
    w.U32(40);
    Bytes block(40);
    block[22] = flag;
    w.Raw(block);
    w.Raw(Bytes(size - w.Size()));
    dir.Write(name, w.Data());
    return dir / name;
  };
  const int64_t big = 6 << 20;
  EXPECT_TRUE(IsCompressible(vel("a.vel", 106, 1, big), "a.vel", big));
  EXPECT_FALSE(IsCompressible(vel("b.vel", 106, 0, big), "b.vel", big));
  EXPECT_FALSE(IsCompressible(vel("c.vel", 102, 1, big), "c.vel", big));
  EXPECT_TRUE(IsCompressible(vel("d.vel", 106, 0, 1000), "d.vel", 1000));  // small: by size
  EXPECT_FALSE(IsCompressible(dir / "x", "bgm\\x.WAV", 10));
  EXPECT_TRUE(IsCompressible(dir / "x", "wav.dir\\x", 10));  // a dot in a folder is no extension
}

TEST(ArchiveWriter, RoundTripCarriesEntriesOverAndReDeflates) {
  test::TempDir dir;
  // A source archive whose stored entry is carried over into a new archive.
  auto src = dir.Write("src.dat", test::BuildArchive(101, {test::Stored("keep.txt", "kept data"),
                                                           test::Deflated("z.txt", "zzz")}));
  TVrFileCollection c;
  c.OpenArchive(src);
  c.FindEntry("keep.txt")->crcMode = 1;
  c.AddMemoryEntry("new.txt").data->Write("fresh", 5);
  c.DeleteEntry("z.txt");
  const Bytes out = Save(c);

  TVrFileCollection r;
  r.OpenResourceArchive(out, "written");
  ASSERT_EQ(r.EntryCount(), 2);
  EXPECT_EQ(r.At(0).Name(), "keep.txt");
  EXPECT_EQ(r.At(1).Name(), "new.txt");
  TVrFile& keep = r.At(0);
  EXPECT_EQ(keep.stored, 0);   // re-deflated
  EXPECT_EQ(keep.crcMode, 0);  // its CRC covers the written bytes
  Bytes written(static_cast<size_t>(keep.size));
  std::copy(out.begin() + keep.offset, out.begin() + keep.offset + keep.size, written.begin());
  EXPECT_EQ(keep.crc, Crc32(written));
  EXPECT_EQ(Text(r.ReadEntryBytes("keep.txt")), "kept data");
  EXPECT_EQ(Text(r.ReadEntryBytes("new.txt")), "fresh");
}

TEST(ArchiveWriter, LargeMemoryEntryIsStored) {
  TVrFileCollection c;
  Bytes big(TVrFileCollection::kStoreLimit + 1, 'q');
  c.AddMemoryEntry("big").data->Write(big.data(), big.size());
  c.AddMemoryEntry("edge").data->Write(big.data(), big.size() - 1);
  const Bytes out = Save(c);
  TVrFileCollection r;
  r.OpenResourceArchive(out, "written");
  EXPECT_EQ(r.FindEntry("big")->stored, 1);
  EXPECT_EQ(r.FindEntry("edge")->stored, 0);
  EXPECT_EQ(r.ReadEntryBytes("big").size(), big.size());
}

// A target that accepts only so many bytes.
class ShortStream : public TNxBigMemoryStream {
 public:
  size_t Write(const void* b, size_t n) override {
    return Size() + static_cast<int64_t>(n) > 40 ? 0 : TNxBigMemoryStream::Write(b, n);
  }
};

TEST(ArchiveWriter, FailuresAreReported) {
  TVrFileCollection c;
  c.AddMemoryEntry("a").data->Write(std::string(500, 'x').data(), 500);
  ShortStream s;
  EXPECT_THROW(c.SaveArchive(s), Error);

  // An entry that exists nowhere cannot be carried over.
  TVrFileCollection d;
  d.AddFileEntry("ghost.txt");
  TNxBigMemoryStream m;
  EXPECT_THROW(d.SaveArchive(m), Error);
}

}  // namespace
}  // namespace kova
