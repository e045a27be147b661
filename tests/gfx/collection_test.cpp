// The picture cache: owner tokens, the idle list and its bound, placeholders, trimming, masks,
// purging and reloading.
#include <gtest/gtest.h>

#include "gfx/codecs.h"
#include "gfx/vel.h"
#include "gfx/vell_collection.h"
#include "vel_builder.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace kova {
namespace {

// A picture file: frames of w x h 24-bit pixels of one colour, with a transparent border of
// `border` pixels when key >= 0.
Bytes VelFile(int w, int h, int frames = 1, int border = 0, int32_t key = -1, int delay = 100,
              bool alpha = false) {
  TVellFrameList list;
  for (int n = 0; n < frames; ++n) {
    TVellFrame& f = list.AddFrame();
    f.picture.SetSize(w, h, 24);
    f.picture.FillRect(f.picture.Bounds(), key >= 0 ? static_cast<uint32_t>(key) : 0);
    f.picture.FillRect({border, border, w - border, h - border}, 0x102030 + n);
    f.transparentValue = key;
    f.delay = delay;
    if (alpha) {
      TDIBSurface& a = f.picture.CreateAlphaPlane();
      a.FillRect({border, border, w - border, h - border}, 255);
    }
  }
  return list.SaveToBytes(0, 70);
}

struct Cache : ::testing::Test {
  MemoryPictureSource files;
  TVellCollection cache{&files};
  int ownerA = 0, ownerB = 0;
};

TEST_F(Cache, AcquireConvertsToScreenBitmaps) {
  files.Put("BG\\Sky.vel", VelFile(4, 3, 2, 0, -1, 50));
  TVellItem& item = cache.Acquire(&ownerA, "bg\\sky.VEL", false, false);
  EXPECT_EQ(item.Name(), "bg\\sky.VEL");
  ASSERT_EQ(item.FrameCount(), 2);
  EXPECT_EQ(item.width, 4);
  EXPECT_EQ(item.height, 3);
  EXPECT_EQ(item.totalDelay, 100);
  const TVellItemFrame& f = item.frames[1];
  EXPECT_EQ(f.image->BitCount(), 32);
  EXPECT_EQ(f.image->GetPixel(1, 1), 0x102031u);
  EXPECT_EQ(f.image->ColorKey(), -1);
  EXPECT_EQ(f.mask, nullptr);
  EXPECT_EQ(item.ByteSize(), 2 * 4 * 3 * 4);
}

TEST_F(Cache, OwnerTokensAndTheIdleList) {
  files.Put("a.vel", VelFile(2, 2));
  TVellItem& a = cache.Acquire(&ownerA, "a.vel", false, false);
  cache.Acquire(&ownerA, "a.vel", false, false);
  EXPECT_EQ(a.Users().size(), 1u);  // the same token once
  cache.Acquire(&ownerB, "a.vel", false, false);
  EXPECT_EQ(files.loads, 1);
  cache.Release(&a, &ownerA);
  EXPECT_TRUE(cache.Idle().empty());  // still used by B
  cache.Release(&a, &ownerA);         // not a user any more: nothing
  cache.Release(&a, &ownerB);
  ASSERT_EQ(cache.Idle().size(), 1u);
  // Acquiring revives it without loading again.
  EXPECT_EQ(&cache.Acquire(&ownerA, "a.vel", false, false), &a);
  EXPECT_TRUE(cache.Idle().empty());
  EXPECT_EQ(files.loads, 1);
}

TEST_F(Cache, IdleItemsAreEvictedOldestFirstButNeverTheLast) {
  // 800 x 600 x 4 = 1,920,000 bytes each: three fit under 5,760,000, the fourth does not.
  for (const char* n : {"1.vel", "2.vel", "3.vel", "4.vel"})
    files.Put(n, VelFile(800, 600));
  std::vector<TVellItem*> items;
  for (const char* n : {"1.vel", "2.vel", "3.vel", "4.vel"})
    items.push_back(&cache.Acquire(&ownerA, n, false, false));
  for (TVellItem* i : items)
    cache.Release(i, &ownerA);
  EXPECT_EQ(cache.Count(), 3);
  EXPECT_EQ(cache.Find("1.vel"), nullptr);
  EXPECT_NE(cache.Find("4.vel"), nullptr);
  EXPECT_LE(cache.IdleBytes(), TVellCollection::kIdleLimit);
  // A single idle item larger than the bound stays.
  files.Put("huge.vel", VelFile(2000, 1000));
  TVellItem& huge = cache.Acquire(&ownerB, "huge.vel", false, false);
  cache.Purge("2.vel");
  cache.Purge("3.vel");
  cache.Purge("4.vel");
  EXPECT_EQ(cache.Count(), 1);
  cache.Release(&huge, &ownerB);
  EXPECT_EQ(cache.Count(), 1);
  EXPECT_EQ(cache.Idle().size(), 1u);
}

TEST_F(Cache, MissingFileGivesATransparentPlaceholder) {
  TVellItem& item = cache.Acquire(&ownerA, "nothing.vel", false, true);
  ASSERT_EQ(item.FrameCount(), 1);
  const TVellItemFrame& f = item.frames[0];
  EXPECT_EQ(f.image->Width(), 8);
  EXPECT_EQ(f.image->ColorKey(), 0);
  ASSERT_NE(f.mask, nullptr);
  // The mask is fully transparent, so masked drawing shows nothing either.
  TDIBX screen(8, 8, 32);
  screen.Fill(0x123456);
  screen.DrawMask(0, 0, f.image->Bounds(), *f.image, *f.mask);
  screen.Draw(0, 0, f.image->Bounds(), *f.image, false, false, true);
  EXPECT_EQ(screen.GetPixel(3, 3), 0x123456u);
}

TEST_F(Cache, DamagedFileThrowsAndCachesNothing) {
  files.Put("bad.vel", Bytes{'V', 'e', 'l', 'l', '1', '0', '6', 1, 2});
  EXPECT_THROW(cache.Acquire(&ownerA, "bad.vel", false, false), DamagedPicture);
  EXPECT_EQ(cache.Count(), 0);
}

TEST_F(Cache, KeysTrimAndMasks) {
  EXPECT_EQ(TVellCollection::KeyOf("x.vel", true, true), "x.vel?m?t");
  EXPECT_EQ(TVellCollection::PathOfKey("x.vel?m?t"), "x.vel");
  EXPECT_EQ(TVellCollection::PathOfKey("x.vel?t"), "x.vel");
  files.Put("s.vel", VelFile(10, 8, 1, 2, 0xFF00FF));
  TVellItem& plain = cache.Acquire(&ownerA, "s.vel", false, false);
  TVellItem& trimmed = cache.Acquire(&ownerA, "s.vel", true, true);
  EXPECT_NE(&plain, &trimmed);
  EXPECT_EQ(cache.Count(), 2);
  // The plain item keys its transparent colour, converted like the pixels.
  EXPECT_EQ(plain.frames[0].image->ColorKey(), 0xFF00FF);
  EXPECT_EQ(plain.frames[0].image->GetPixel(0, 0), 0xFF00FFu);
  // Trimmed to the 6 x 4 inside, offset by the border; the mask comes from the key.
  const TVellItemFrame& t = trimmed.frames[0];
  EXPECT_EQ(trimmed.width, 10);
  EXPECT_EQ(t.image->Width(), 6);
  EXPECT_EQ(t.image->Height(), 4);
  EXPECT_EQ(t.offsetX, 2);
  EXPECT_EQ(t.offsetY, 2);
  ASSERT_NE(t.mask, nullptr);
  EXPECT_EQ(t.mask->GetPixel(0, 0), 255u);
}

TEST_F(Cache, TrimUsesTheAlphaPlaneAndCutsRectangleLists) {
  TDIBSurface pic(10, 10, 24), plane(10, 10, 8);
  plane.FillRect({3, 3, 6, 7}, 255);
  test::VelFixture fixture{.kind = 1};
  test::FrameSpec fr{.w = 10, .h = 10, .bpp = 24};
  fr.layers.push_back(
      test::LayerSpec{.alphaFlag = 1, .colour = test::RowsOf(pic), .alpha = test::RowsOf(plane)});
  fr.countA = 2;
  fr.rectsA = {{0, 0, 2, 2}, {4, 4, 9, 9}};
  fr.countB = 1;
  fr.rectsB = {{0, 0, 10, 10}};
  fixture.frames.push_back(fr);
  files.Put("t.vel", test::BuildVel(fixture));
  const TVellItem& item = cache.Acquire(&ownerA, "t.vel", true, false);
  const TVellItemFrame& f = item.frames[0];
  EXPECT_EQ(f.offsetX, 3);
  EXPECT_EQ(f.offsetY, 3);
  EXPECT_EQ(f.image->Width(), 3);
  EXPECT_EQ(f.image->Height(), 4);
  ASSERT_NE(f.mask, nullptr);  // the alpha plane becomes the mask
  EXPECT_EQ(f.mask->GetPixel(0, 0), 255u);
  // Rectangles keep the untrimmed coordinates; one outside the box is dropped.
  EXPECT_EQ(f.image->RectsA(), (std::vector<Rect>{{4, 4, 6, 7}}));
  EXPECT_EQ(f.image->RectsB(), (std::vector<Rect>{{3, 3, 6, 7}}));
  // Untrimmed, the lists arrive as stored.
  const TVellItem& whole = cache.Acquire(&ownerA, "t.vel", false, false);
  EXPECT_EQ(whole.frames[0].image->RectsA().size(), 2u);
}

TEST_F(Cache, DelaysBelowOneBecomeOne) {
  files.Put("z.vel", VelFile(2, 2, 2, 0, -1, 0));
  files.Put("n.vel", VelFile(2, 2, 1, 0, -1, -40));
  EXPECT_EQ(cache.Acquire(&ownerA, "z.vel", false, false).frames[0].delay, 1);
  EXPECT_EQ(cache.Acquire(&ownerA, "z.vel", false, false).totalDelay, 2);
  EXPECT_EQ(cache.Acquire(&ownerA, "n.vel", false, false).frames[0].delay, 1);
}

TEST_F(Cache, PurgeFreesIdleFormsOnly) {
  files.Put("p.vel", VelFile(2, 2));
  TVellItem& a = cache.Acquire(&ownerA, "p.vel", false, false);
  TVellItem& m = cache.Acquire(&ownerA, "p.vel", false, true);
  cache.Acquire(&ownerA, "p.vel", true, true);
  cache.Release(&a, &ownerA);
  cache.Release(&m, &ownerA);
  cache.Purge("p.vel");
  EXPECT_EQ(cache.Count(), 1);  // the ?m?t form is still in use
  EXPECT_NE(cache.Find("p.vel?m?t"), nullptr);
  EXPECT_TRUE(cache.Idle().empty());
}

TEST_F(Cache, ReloadPicksUpChangedFiles) {
  files.Put("r.vel", VelFile(4, 4, 1));
  TVellItem& item = cache.Acquire(&ownerA, "r.vel", false, false);
  EXPECT_EQ(item.frames[0].image->GetPixel(0, 0), 0x102030u);
  // Same shape, other pixels: refreshed in place.
  Bytes changed = VelFile(4, 4, 1);
  TVellFrameList l;
  l.LoadFromBytes(changed, "r", false, false);
  l.Frame(0).picture.SetPixel(0, 0, 0xABCDEF);
  files.Put("r.vel", l.SaveToBytes(1, 0));
  cache.ReloadAll(true);
  EXPECT_EQ(item.frames[0].image->GetPixel(0, 0), 0xABCDEFu);
  // Other frame count and size: the frames are rebuilt.
  files.Put("r.vel", VelFile(6, 5, 3));
  cache.ReloadAll(false);
  ASSERT_EQ(item.FrameCount(), 3);
  EXPECT_EQ(item.frames[2].image->Width(), 6);
  EXPECT_EQ(item.width, 6);
  EXPECT_EQ(item.totalDelay, 300);
  // A file that disappeared leaves the item alone.
  files.Remove("r.vel");
  cache.ReloadAll(true);
  EXPECT_EQ(item.FrameCount(), 3);
}

TEST_F(Cache, ConvertFlagReloadsAndIsSaved) {
  files.Put("c.vel", VelFile(2, 2));
  cache.Acquire(&ownerA, "c.vel", false, false);
  const int before = files.loads;
  cache.SetConvertFlag(false);  // unchanged: nothing
  EXPECT_EQ(files.loads, before);
  cache.SetConvertFlag(true);
  EXPECT_EQ(files.loads, before + 1);
  ByteWriter w;
  cache.WriteState(w);
  EXPECT_EQ(w.Data(), Bytes{1});
  TVellCollection other(&files);
  ByteReader r(w.Data(), "state");
  other.ReadState(r, 100);  // old saves carry no byte
  EXPECT_FALSE(other.ConvertFlag());
  other.ReadState(r, 101);
  EXPECT_TRUE(other.ConvertFlag());
}

TEST_F(Cache, PngAndBmpFilesLoadToo) {
  TDIBSurface pic(3, 2, 24);
  pic.SetPixel(1, 1, 0x336699);
  pic.CreateAlphaPlane().SetPixel(1, 1, 200);
  files.Put("p.png", WritePng(pic));
  files.Put("b.bmp", WriteBmp24(pic));
  const TVellItem& p = cache.Acquire(&ownerA, "p.png", false, false);
  EXPECT_EQ(p.frames[0].image->GetPixel(1, 1), 0x336699u);
  ASSERT_NE(p.frames[0].mask, nullptr);
  EXPECT_EQ(p.frames[0].mask->GetPixel(1, 1), 200u);
  const TVellItem& b = cache.Acquire(&ownerA, "b.bmp", false, false);
  EXPECT_EQ(b.frames[0].image->GetPixel(1, 1), 0x336699u);
  EXPECT_EQ(b.frames[0].mask, nullptr);
}

}  // namespace
}  // namespace kova
