// Throughput of the screen drawing operations on both paths, against memcpy of the same bytes
// and against a plain per-byte blend loop, and decoding time of layered pictures per kind.
//
// Counters (best times, each draw timed next to a memcpy in the same run): MP/s = megapixels
// drawn per second; x_memcpy = time of the operation / time of memcpy of the target's bytes (1.0
// would be memcpy speed); x_faster_than_per_byte = time of the plain per-byte loop of the same
// blend on the same bytes / time of the operation.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <random>

#include "gfx/dibx.h"
#include "gfx/pixel_kernels.h"
#include "gfx/vel.h"

namespace kova {
namespace {

struct Size {
  int w, h;
};
constexpr Size kSizes[] = {{800, 600}, {1920, 1080}};

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// The plain per-byte loops the fast paths are compared with: the operation's formula on every
// byte of the target, written as anyone would (no SIMD, nothing that slows the loop down) and
// compiled as a real function, so that the weight is not folded into the loop as a constant.
// The top byte of a pixel is worked on like the others; that only makes these loops simpler.
__attribute__((noipa)) void PerByteAlpha(uint8_t* d, const uint8_t* s, size_t n, unsigned a) {
  for (size_t i = 0; i < n; ++i)
    d[i] = static_cast<uint8_t>((d[i] * (255 - a) + s[i] * a) >> 8);
}
__attribute__((noipa)) void PerByteAdd(uint8_t* d, const uint8_t* s, size_t n, unsigned k) {
  for (size_t i = 0; i < n; ++i) {
    const unsigned t = d[i] + (s[i] * k >> 8);
    d[i] = static_cast<uint8_t>(t < 255 ? t : 255);
  }
}
__attribute__((noipa)) void PerByteMask(uint8_t* d, const uint8_t* s, const uint8_t* m, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const unsigned c = m[i >> 2];
    if (c == 255)
      d[i] = s[i];
    else if (c != 0)
      d[i] = static_cast<uint8_t>((d[i] * (255 - c) + s[i] * c) >> 8);
  }
}

void Randomise(TDIBX& b, uint32_t seed, bool mask) {
  std::mt19937 rng(seed);
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      uint32_t v = rng();
      b.SetPixel(x, y, mask ? v & 255 : v & 0xFFFFFF);
    }
}

enum class Op { kAlpha, kAdd, kMask, kKeyed, kStretch, kRotate };

void Run(benchmark::State& state, Op op) {
  const Size sz = kSizes[state.range(0)];
  const bool simd = state.range(1) != 0;
  if (simd && !Sse2Kernels()) {
    state.SkipWithError("no SSE2 path");
    return;
  }
  const bool was = UseSimd(simd);
  TDIBX dst(sz.w, sz.h, 32), src(sz.w, sz.h, 32), mask(sz.w, sz.h, 8);
  Randomise(dst, 1, false);
  Randomise(src, 2, false);
  Randomise(mask, 3, true);
  // A quarter of the source pixels carry the key.
  for (int y = 0; y < sz.h; ++y)
    for (int x = 0; x < sz.w; x += 4)
      src.SetPixel(x, y, 0x00FF00);
  src.SetColorKey(0x00FF00);
  TDIBX small(sz.w * 2 / 3, sz.h * 2 / 3, 32);
  Randomise(small, 4, false);
  // Every timed draw is followed by a memcpy of the target's bytes, so that both see the same
  // machine; the figures use the best time of each (a loaded machine only adds to a time).
  const size_t bytes = size_t(sz.w) * sz.h * 4;
  std::vector<uint8_t> from(bytes, 1), to(bytes, 2);
  double best = 1e9, bestCopy = 1e9;
  for (auto _ : state) {
    auto t0 = Clock::now();
    switch (op) {
      case Op::kAlpha:
        dst.DrawAlpha(0, 0, src.Bounds(), src, 128);
        break;
      case Op::kAdd:
        dst.DrawAdd(0, 0, src.Bounds(), src, 128);
        break;
      case Op::kMask:
        dst.DrawMask(0, 0, src.Bounds(), src, mask);
        break;
      case Op::kKeyed:
        dst.Draw(0, 0, src.Bounds(), src, false, false, true);
        break;
      case Op::kStretch:
        dst.StretchDraw(dst.Bounds(), small, 128, small.Bounds());
        break;
      case Op::kRotate:
        dst.DrawRotate(sz.w / 2, sz.h / 2, 128, false, false, false, 10, sz.h / 2, sz.w / 2,
                       src.Bounds(), src, 320, 320);
        break;
    }
    benchmark::ClobberMemory();
    best = std::min(best, Seconds(t0));
    t0 = Clock::now();
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::ClobberMemory();
    bestCopy = std::min(bestCopy, Seconds(t0));
  }
  // The plain per-byte loop of the blends on the same bytes, also best of several.
  double bestPlain = 0;
  if (op == Op::kAlpha || op == Op::kAdd || op == Op::kMask) {
    std::vector<uint8_t> d(bytes), s(bytes), m(size_t(sz.w) * sz.h);
    for (int y = 0; y < sz.h; ++y)
      for (int x = 0; x < sz.w; ++x) {
        const size_t i = size_t(y) * sz.w + x;
        const uint32_t dp = dst.GetPixel(x, y), sp = src.GetPixel(x, y);
        std::memcpy(&d[i * 4], &dp, 4);
        std::memcpy(&s[i * 4], &sp, 4);
        m[i] = static_cast<uint8_t>(mask.GetPixel(x, y));
      }
    bestPlain = 1e9;
    for (int r = 0; r < 5; ++r) {
      const auto t0 = Clock::now();
      if (op == Op::kAlpha) PerByteAlpha(d.data(), s.data(), bytes, 128);
      if (op == Op::kAdd) PerByteAdd(d.data(), s.data(), bytes, 128);
      if (op == Op::kMask) PerByteMask(d.data(), s.data(), m.data(), bytes);
      benchmark::ClobberMemory();
      bestPlain = std::min(bestPlain, Seconds(t0));
    }
    benchmark::DoNotOptimize(d.data());
  }
  UseSimd(was);
  const double pixels = double(sz.w) * sz.h;
  state.counters["MP/s"] = benchmark::Counter(pixels / 1e6 / best);
  state.counters["x_memcpy"] = best / bestCopy;
  if (bestPlain > 0) state.counters["x_faster_than_per_byte"] = bestPlain / best;
  const char* path = !simd ? " generic" : &Kernels() == Avx2Kernels() ? " avx2" : " sse2";
  state.SetLabel(std::to_string(sz.w) + "x" + std::to_string(sz.h) + path);
}

void Memcpy(benchmark::State& state) {
  const Size sz = kSizes[state.range(0)];
  const size_t n = size_t(sz.w) * sz.h * 4;
  std::vector<uint8_t> a(n, 1), b(n, 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), n);
    benchmark::ClobberMemory();
  }
  state.counters["MP/s"] = benchmark::Counter(double(sz.w) * sz.h * state.iterations() / 1e6,
                                              benchmark::Counter::kIsRate);
  state.SetLabel(std::to_string(sz.w) + "x" + std::to_string(sz.h));
}

void Args(benchmark::internal::Benchmark* b) {
  for (int size = 0; size < 2; ++size)
    for (int simd = 0; simd < 2; ++simd)
      b->Args({size, simd});
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(Run, DrawAlpha, Op::kAlpha)->Apply(Args);
BENCHMARK_CAPTURE(Run, DrawAdd, Op::kAdd)->Apply(Args);
BENCHMARK_CAPTURE(Run, DrawMask, Op::kMask)->Apply(Args);
BENCHMARK_CAPTURE(Run, DrawKeyed, Op::kKeyed)->Apply(Args);
BENCHMARK_CAPTURE(Run, StretchDraw, Op::kStretch)->Apply(Args);
BENCHMARK_CAPTURE(Run, DrawRotate, Op::kRotate)->Apply(Args);
BENCHMARK(Memcpy)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// ---- Decoding an 800 x 600 picture per compression kind. ----

Bytes Picture800(int kind) {
  TVellFrameList list;
  TVellFrame& f = list.AddFrame();
  f.picture.SetSize(800, 600, 24);
  std::mt19937 rng(6);
  // A gradient with some noise: compresses like a photograph-ish background.
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x)
      f.picture.SetPixel(
          x, y,
          ((x * 255 / 800) << 16 | (y * 255 / 600) << 8 | ((x + y) & 255)) ^ (rng() & 0x070707));
  return list.SaveToBytes(kind, 80);
}

void DecodeVel(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const Bytes data = Picture800(kind);
  for (auto _ : state) {
    TVellFrameList list;
    list.LoadFromBytes(data, "bench.vel", false, false);
    benchmark::DoNotOptimize(list.Frame(0).picture.Data().data());
  }
  state.SetLabel("800x600 24-bit kind " + std::to_string(kind) + ", " +
                 std::to_string(data.size()) + " bytes");
}
BENCHMARK(DecodeVel)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kova
