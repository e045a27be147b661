// The 32-bit drawing arithmetic on both paths: edge-case tables, and a property test that the
// SSE2 path gives the same bytes as the plain one over random pixels, weights, flips and clips.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "gfx/dibx.h"
#include "gfx/pixel_kernels.h"

namespace kova {
namespace {

// Runs the test body once per available path.
class BothPaths : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam() && !Sse2Kernels()) GTEST_SKIP() << "no SSE2 path in this build";
    was_ = UseSimd(GetParam());
  }
  void TearDown() override { UseSimd(was_); }
  bool was_ = false;
};

INSTANTIATE_TEST_SUITE_P(Paths, BothPaths, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Sse2" : "Generic"; });

// A w x 1 bitmap of one colour.
std::unique_ptr<TDIBX> Row(uint32_t c, int w = 9) {
  auto b = std::make_unique<TDIBX>(w, 1, 32);
  b->Fill(c);
  return b;
}

struct PixelCase {
  const char* what;
  uint32_t dst, src;
  int32_t weight;
  uint32_t expect;
};

TEST_P(BothPaths, DrawAlphaEdgeCases) {
  const PixelCase cases[] = {
      {"half of white over black", 0x000000, 0xFFFFFF, 128, 0x7F7F7F},
      {"255 darkens a little", 0x000000, 0xFFFFFF, 255, 0xFEFEFE},
      {"255 over white", 0xFFFFFF, 0x000000, 255, 0x000000},
      {"1 barely moves", 0x000000, 0xFFFFFF, 1, 0x000000},
      {"equal pixels are skipped", 0xFFFFFF, 0xFFFFFF, 128, 0xFFFFFF},
      {"channels stay apart", 0x00FF00, 0xFF00FF, 128, 0x7F7E7F},
      {"mixed", 0x102030, 0xF0E0D0, 64, 0x474F57},
  };
  for (const auto& c : cases) {
    auto d = Row(c.dst), s = Row(c.src);
    d->DrawAlpha(0, 0, s->Bounds(), *s, c.weight);
    for (int x = 0; x < d->Width(); ++x)
      EXPECT_EQ(d->GetPixel(x, 0), c.expect) << c.what << " x=" << x;
  }
}

TEST_P(BothPaths, DrawAddEdgeCases) {
  const PixelCase cases[] = {
      {"saturates", 0x808080, 0xFFFFFF, 255, 0xFFFFFF},
      {"511 peaks at 254 over black", 0x000000, 0xFFFFFF, 255, 0xFEFEFE},
      {"half strength", 0x000000, 0xFFFFFF, 128, 0x7F7F7F},
      {"per channel saturation", 0xF00010, 0x2020F0, 255, 0xFF1FFF},
      {"zero source", 0x123456, 0x000000, 200, 0x123456},
  };
  for (const auto& c : cases) {
    auto d = Row(c.dst), s = Row(c.src);
    d->DrawAdd(0, 0, s->Bounds(), *s, c.weight);
    for (int x = 0; x < d->Width(); ++x)
      EXPECT_EQ(d->GetPixel(x, 0), c.expect) << c.what;
  }
}

TEST_P(BothPaths, MaskValues) {
  struct Case {
    uint8_t mask;
    uint32_t draw, drawAlpha200, drawAdd255;
  } cases[] = {
      // dst 0x000000, src 0xFFFFFF
      {0, 0x000000, 0x000000, 0x000000},
      {128, 0x7F7F7F, 0x636363, 0x7E7E7E},
      {254, 0xFDFDFD, 0xC5C5C5, 0xFCFCFC},
      {255, 0xFFFFFF, 0xC6C6C6, 0xFDFDFD},
  };
  for (const auto& c : cases) {
    auto s = Row(0xFFFFFF);
    TDIBX m(9, 1, 8);
    m.Fill(c.mask);
    auto d1 = Row(0), d2 = Row(0), d3 = Row(0);
    d1->DrawMask(0, 0, s->Bounds(), *s, m);
    d2->DrawMaskAlpha(0, 0, s->Bounds(), *s, 200, m);
    d3->DrawMaskAdd(0, 0, s->Bounds(), *s, 255, m);
    for (int x = 0; x < 9; ++x) {
      EXPECT_EQ(d1->GetPixel(x, 0), c.draw) << int(c.mask);
      EXPECT_EQ(d2->GetPixel(x, 0), c.drawAlpha200) << int(c.mask);
      EXPECT_EQ(d3->GetPixel(x, 0), c.drawAdd255) << int(c.mask);
    }
  }
}

TEST_P(BothPaths, FillMaskPeaksAt253) {
  TDIBX m(9, 1, 8);
  m.Fill(255);
  auto d = Row(0);
  d->FillMask(0, 0, 255, 0xFFFFFF, false, false, m.Bounds(), m);
  EXPECT_EQ(d->GetPixel(4, 0), 0xFDFDFDu);
  // A zero mask value leaves the pixel; a zero weight draws nothing at all.
  m.SetPixel(2, 0, 0);
  auto e = Row(0x102030);
  e->FillMask(0, 0, 255, 0xFFFFFF, false, false, m.Bounds(), m);
  EXPECT_EQ(e->GetPixel(2, 0), 0x102030u);
  auto f = Row(0x102030);
  f->FillMask(0, 0, 0, 0xFFFFFF, false, false, m.Bounds(), m);
  EXPECT_EQ(f->GetPixel(4, 0), 0x102030u);
  // A source rectangle reaching outside the mask draws nothing.
  f->FillMask(0, 0, 255, 0xFFFFFF, false, false, {0, 0, 10, 1}, m);
  EXPECT_EQ(f->GetPixel(4, 0), 0x102030u);
}

TEST_P(BothPaths, RectangleOperations) {
  struct Case {
    const char* what;
    uint32_t dst, c;
    int op;  // 0 alpha 128, 1 add, 2 sub
    uint32_t expect;
  } cases[] = {
      {"alpha", 0x000000, 0xFFFFFF, 0, 0x7F7F7F},
      {"alpha mixes", 0xFF0000, 0x0000FF, 0, 0x7E007F},
      {"add saturates", 0x80F080, 0x80F000, 1, 0xFFFF80},
      {"sub floors at 0", 0x102030, 0x203010, 2, 0x000020},
  };
  for (const auto& c : cases) {
    auto d = Row(c.dst, 11);
    if (c.op == 0) d->FillRectAlpha(d->Bounds(), c.c, 128);
    if (c.op == 1) d->AddRect(d->Bounds(), c.c);
    if (c.op == 2) d->SubRect(d->Bounds(), c.c);
    for (int x = 0; x < 11; ++x)
      EXPECT_EQ(d->GetPixel(x, 0), c.expect) << c.what;
  }
}

TEST_P(BothPaths, KeyedDrawSkipsKeyedPixels) {
  TDIBX s(10, 1, 32), d(10, 1, 32);
  for (int x = 0; x < 10; ++x)
    s.SetPixel(x, 0, x % 3 == 0 ? 0x00FF00 : 0x000010 * x);
  s.SetColorKey(0x00FF00);
  d.Fill(0xABCDEF);
  d.Draw(0, 0, s.Bounds(), s, false, false, true);
  for (int x = 0; x < 10; ++x)
    EXPECT_EQ(d.GetPixel(x, 0), x % 3 == 0 ? 0xABCDEFu : 0x000010u * x) << x;
  // Without useKey every pixel is copied.
  d.Draw(0, 0, s.Bounds(), s);
  EXPECT_EQ(d.GetPixel(0, 0), 0x00FF00u);
}

// ---- Property test: both paths, identical bytes. ----

struct Scene {
  TDIBX dst{53, 37, 32}, src{41, 29, 32}, mask{41, 29, 8};
};

void RandomFill(TDIBX& b, std::mt19937& rng, bool rgb) {
  // Few distinct values so that keys and equal pixels really occur.
  std::uniform_int_distribution<int> pick(0, 9);
  const uint32_t palette[10] = {0x000000, 0xFFFFFF, 0x123456, 0x00FF00, 0x808080,
                                0x7F7F7F, 0xFF0000, 0x0000FF, 0xABCDEF, 0x010203};
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      if (rgb) {
        b.SetPixel(x, y, pick(rng) < 6 ? palette[pick(rng)] : rng() & 0xFFFFFF);
      } else {
        const int k = pick(rng);
        b.SetPixel(x, y, k < 3 ? 0 : k < 5 ? 255 : k < 6 ? 128 : rng() & 255);
      }
    }
}

// One random operation on a copy of the destination; returns the destination's bytes.
std::vector<uint8_t> RunOp(const Scene& base, int op, uint32_t seed) {
  std::mt19937 rng(seed);
  auto r = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  TDIBX dst(base.dst.Width(), base.dst.Height(), 32);
  dst.Store() = base.dst.Store();
  if (r(0, 2) > 0) {
    const int l = r(-5, 30), t = r(-5, 20);
    dst.SetUpdateRect({std::max(l, 0), std::max(t, 0), r(l + 1, 60), r(t + 1, 45)});
  }
  const Rect sr{r(-3, 20), r(-3, 15), r(5, 45), r(5, 33)};
  const int x = r(-20, 50), y = r(-20, 35);
  const bool fv = r(0, 1), fh = r(0, 1), key = r(0, 1);
  const int a = r(0, 3) == 0 ? (r(0, 1) ? 255 : 1) : r(1, 255);
  switch (op) {
    case 0:
      dst.Draw(x, y, sr, base.src, fv, fh, key);
      break;
    case 1:
      dst.DrawAlpha(x, y, sr, base.src, a, fv, fh, key);
      break;
    case 2:
      dst.DrawAdd(x, y, sr, base.src, a, fv, fh, key);
      break;
    case 3:
      dst.DrawMask(x, y, sr, base.src, base.mask, fv, fh);
      break;
    case 4:
      dst.DrawMaskAlpha(x, y, sr, base.src, a, base.mask, fv, fh);
      break;
    case 5:
      dst.DrawMaskAdd(x, y, sr, base.src, a, base.mask, fv, fh);
      break;
    case 6:
      dst.FillRectAlpha({x, y, x + r(0, 40), y + r(0, 40)}, rng() & 0xFFFFFF, a);
      break;
    case 7:
      dst.AddRect({x, y, x + r(0, 40), y + r(0, 40)}, rng() & 0xFFFFFF);
      break;
    case 8:
      dst.SubRect({x, y, x + r(0, 40), y + r(0, 40)}, rng() & 0xFFFFFF);
      break;
    case 9:
      dst.FillMask(x, y, a, rng() & 0xFFFFFF, fv, fh, {1, 1, r(2, 41), r(2, 29)}, base.mask);
      break;
    case 10:
      dst.StretchDraw({x, y, x + r(1, 70), y + r(1, 50)}, base.src, r(0, 511), sr, fv, fh, key,
                      r(0, 1) ? &base.mask : nullptr);
      break;
    case 11:
      dst.DrawRotate(r(0, 53), r(0, 37), r(0, 511), fv, fh, key, r(-300, 300), r(-5, 20), r(-5, 30),
                     sr, base.src, r(32, 600), r(32, 600), r(0, 1) ? &base.mask : nullptr);
      break;
    case 12:
      dst.TileDraw(static_cast<TCustomDIBX::TileOp>(r(0, 5)), {x, y, x + r(0, 60), y + r(0, 40)},
                   r(-2, 5), r(-2, 5), r(-50, 50), r(-50, 50), sr, base.src, &base.mask, a, fv, fh,
                   key);
      break;
    case 13:
      dst.TileFillAlpha({x, y, x + r(0, 60), y + r(0, 40)}, a, fv, fh, key, r(-99, 99), r(-99, 99),
                        base.src);
      break;
  }
  return dst.Store();
}

TEST(SimdProperty, BothPathsGiveIdenticalBytes) {
  if (!Sse2Kernels()) GTEST_SKIP() << "no SSE2 path in this build";
  std::mt19937 rng(20261211);
  Scene scene;
  int differing = 0;
  int changed[14] = {};
  for (int round = 0; round < 100; ++round) {
    RandomFill(scene.dst, rng, true);
    RandomFill(scene.src, rng, true);
    RandomFill(scene.mask, rng, false);
    scene.src.SetColorKey(round % 4 == 0 ? -1 : 0x00FF00);
    for (int op = 0; op <= 13; ++op) {
      const uint32_t seed = rng();
      const RowKernels& was = UseKernels(GenericKernels());
      const auto plain = RunOp(scene, op, seed);
      for (const RowKernels* set : {Sse2Kernels(), Avx2Kernels()}) {
        if (!set) continue;
        UseKernels(*set);
        if (plain != RunOp(scene, op, seed)) {
          ++differing;
          ADD_FAILURE() << "op " << op << " seed " << seed << " differs between paths"
                        << (set == Avx2Kernels() ? " (AVX2)" : " (SSE2)");
        }
      }
      UseKernels(was);
      if (plain != scene.dst.Store()) ++changed[op];
    }
  }
  EXPECT_EQ(differing, 0);
  // The cases must really draw, or the comparison proves nothing.
  for (int op = 0; op <= 13; ++op)
    EXPECT_GE(changed[op], 20) << "op " << op << " rarely draws";
}

// Every row kernel on its own, over lengths around the 4- and 8-pixel groups, every weight,
// masks thick with 0, 255 and runs of clear bytes, keys present in the row, and pixels whose
// top byte is not 0 (the fast path must clear or keep it exactly as the plain one does).
void CheckRowKernels(const RowKernels* fast) {
  const RowKernels& plain = GenericKernels();
  std::mt19937 rng(611);
  auto pick = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
  int differing = 0;
  for (int round = 0; round < 3000; ++round) {
    const int n = static_cast<int>(pick(41));
    const uint32_t w = round < 256 ? static_cast<uint32_t>(round) : pick(256);
    const uint32_t key = pick(2) ? 0x00FF00 : pick(1u << 24);
    const bool useKey = pick(2);
    std::vector<uint32_t> d(n + 1), s(n + 1);
    std::vector<uint8_t> m(n + 1);
    const bool clearRun = pick(3) == 0;
    for (int i = 0; i < n; ++i) {
      const uint32_t top = pick(4) == 0 ? pick(256) << 24 : 0;
      d[i] = (rng() & 0xFFFFFF) | top;
      const uint32_t k = pick(8);
      s[i] = k == 0   ? key
             : k == 1 ? d[i]
                      : (rng() & 0xFFFFFF) | (pick(4) == 0 ? pick(256) << 24 : 0);
      const uint32_t c = pick(6);
      m[i] = clearRun && i < 16 ? 0 : c == 0 ? 0 : c == 1 ? 255 : c == 2 ? 128 : pick(256);
    }
    const uint32_t colour = rng();
    for (int op = 0; op < 10; ++op) {
      std::vector<uint32_t> a = d, b = d;
      auto both = [&](auto fn) { fn(plain, a.data()), fn(*fast, b.data()); };
      switch (op) {
        case 0:
          both([&](const RowKernels& k, uint32_t* p) { k.copy(p, s.data(), n, useKey, key); });
          break;
        case 1:
          both([&](const RowKernels& k, uint32_t* p) { k.alpha(p, s.data(), n, w, useKey, key); });
          break;
        case 2:
          both([&](const RowKernels& k, uint32_t* p) { k.add(p, s.data(), n, w, useKey, key); });
          break;
        case 3:
          both([&](const RowKernels& k, uint32_t* p) { k.mask(p, s.data(), m.data(), n); });
          break;
        case 4:
          both([&](const RowKernels& k, uint32_t* p) { k.maskAlpha(p, s.data(), m.data(), n, w); });
          break;
        case 5:
          both([&](const RowKernels& k, uint32_t* p) { k.maskAdd(p, s.data(), m.data(), n, w); });
          break;
        case 6:
          both([&](const RowKernels& k, uint32_t* p) { k.fillAlpha(p, n, colour, w); });
          break;
        case 7:
          both([&](const RowKernels& k, uint32_t* p) { k.addRect(p, n, colour); });
          break;
        case 8:
          both([&](const RowKernels& k, uint32_t* p) { k.subRect(p, n, colour); });
          break;
        case 9:
          both([&](const RowKernels& k, uint32_t* p) { k.fillMask(p, m.data(), n, colour, w); });
          break;
      }
      if (a != b && ++differing < 10)
        ADD_FAILURE() << "kernel " << op << " n " << n << " weight " << w << " differs";
      // The pixel past the row is never touched.
      EXPECT_EQ(b[n], 0u);
    }
  }
  EXPECT_EQ(differing, 0);
}

// The fast kernel sets this machine has.
std::vector<std::pair<const char*, const RowKernels*>> FastKernelSets() {
  std::vector<std::pair<const char*, const RowKernels*>> out;
  if (Sse2Kernels()) out.emplace_back("SSE2", Sse2Kernels());
  if (Avx2Kernels()) out.emplace_back("AVX2", Avx2Kernels());
  return out;
}

TEST(SimdProperty, RowKernelsGiveIdenticalBytes) {
  const auto sets = FastKernelSets();
  if (sets.empty()) GTEST_SKIP() << "no fast path on this machine";
  for (const auto& [name, fast] : sets) {
    SCOPED_TRACE(name);
    CheckRowKernels(fast);
  }
}

TEST(SimdProperty, StartUpChoiceFollowsTheEnvironment) {
  const char* env = std::getenv("KOVA_SIMD");
  const bool off = env && std::string(env) == "0";
  // Every test restores the choice it found, so this is still the start-up choice.
  const bool sse2Only = env && std::string(env) == "sse2";
  const RowKernels* want = off                          ? &GenericKernels()
                           : !sse2Only && Avx2Kernels() ? Avx2Kernels()
                           : Sse2Kernels()              ? Sse2Kernels()
                                                        : &GenericKernels();
  EXPECT_EQ(&Kernels(), want);
}

TEST(SimdProperty, EnvironmentSwitchForcesPlainPath) {
  // UseSimd(false) is what KOVA_SIMD=0 selects at start-up; both report the plain kernels.
  const bool was = UseSimd(false);
  EXPECT_FALSE(SimdInUse());
  EXPECT_EQ(&Kernels(), &GenericKernels());
  UseSimd(was);
}

}  // namespace
}  // namespace kova
