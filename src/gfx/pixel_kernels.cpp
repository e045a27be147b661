#include "gfx/pixel_kernels.h"

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kova {

namespace {

// ---- Plain versions: every formula per channel mask m on the masked values (x & m). ----

constexpr uint32_t kMasks[3] = {0xFF0000u, 0x00FF00u, 0x0000FFu};

inline uint32_t BlendPx(uint32_t d, uint32_t s, uint32_t a) {
  uint32_t out = 0;
  for (uint32_t m : kMasks)
    out |= (((d & m) * (255 - a) + (s & m) * a) >> 8) & m;
  return out;
}
inline uint32_t AddPx(uint32_t d, uint32_t s, uint32_t k) {
  uint32_t out = 0;
  for (uint32_t m : kMasks) {
    uint32_t t = (d & m) + (((s & m) * k >> 8) & m);
    out |= t < m ? t : m;
  }
  return out;
}

void GCopy(uint32_t* d, const uint32_t* s, int n, bool useKey, uint32_t key) {
  if (!useKey) {
    std::memmove(d, s, static_cast<size_t>(n) * 4);
    return;
  }
  for (int i = 0; i < n; ++i)
    if (s[i] != key) d[i] = s[i];
}
void GAlpha(uint32_t* d, const uint32_t* s, int n, uint32_t a, bool useKey, uint32_t key) {
  for (int i = 0; i < n; ++i) {
    if (useKey && s[i] == key) continue;
    if (s[i] != d[i]) d[i] = BlendPx(d[i], s[i], a);
  }
}
void GAdd(uint32_t* d, const uint32_t* s, int n, uint32_t k, bool useKey, uint32_t key) {
  for (int i = 0; i < n; ++i) {
    if (useKey && s[i] == key) continue;
    d[i] = AddPx(d[i], s[i], k);
  }
}
void GMask(uint32_t* d, const uint32_t* s, const uint8_t* m, int n) {
  for (int i = 0; i < n; ++i) {
    const uint32_t c = m[i];
    if (c == 0) continue;
    d[i] = c == 255 ? s[i] : BlendPx(d[i], s[i], c);
  }
}
void GMaskAlpha(uint32_t* d, const uint32_t* s, const uint8_t* m, int n, uint32_t a) {
  for (int i = 0; i < n; ++i) {
    const uint32_t c = m[i];
    if (c != 0) d[i] = BlendPx(d[i], s[i], a * c >> 8);
  }
}
void GMaskAdd(uint32_t* d, const uint32_t* s, const uint8_t* m, int n, uint32_t k) {
  for (int i = 0; i < n; ++i) {
    const uint32_t c = m[i];
    if (c != 0) d[i] = AddPx(d[i], s[i], k * c >> 8);
  }
}
void GFillAlpha(uint32_t* d, int n, uint32_t c, uint32_t a) {
  for (int i = 0; i < n; ++i) {
    uint32_t out = 0;
    for (uint32_t m : kMasks)
      out |= (((c & m) * a + (d[i] & m) * (255 - a)) >> 8) & m;
    d[i] = out;
  }
}
void GAddRect(uint32_t* d, int n, uint32_t c) {
  for (int i = 0; i < n; ++i) {
    uint32_t out = 0;
    for (uint32_t m : kMasks) {
      uint32_t t = (c & m) + (d[i] & m);
      out |= t <= m ? t : m;
    }
    d[i] = out;
  }
}
void GSubRect(uint32_t* d, int n, uint32_t c) {
  for (int i = 0; i < n; ++i) {
    uint32_t out = 0;
    for (uint32_t m : kMasks) {
      int64_t t = int64_t{d[i] & m} - int64_t{c & m};
      out |= t >= 0 ? static_cast<uint32_t>(t) : 0;
    }
    d[i] = out;
  }
}
void GFillMask(uint32_t* d, const uint8_t* m, int n, uint32_t c, uint32_t a) {
  for (int i = 0; i < n; ++i) {
    const uint32_t r = m[i];
    if (r == 0) continue;
    const uint32_t r2 = a * r >> 8;
    uint32_t out = 0;
    for (uint32_t mk : kMasks)
      out |= (((d[i] & mk) * (255 - r2) + (c & mk) * r2) >> 8) & mk;
    d[i] = out;
  }
}

const RowKernels kGeneric = {GCopy,    GAlpha,     GAdd,     GMask,    GMaskAlpha,
                             GMaskAdd, GFillAlpha, GAddRect, GSubRect, GFillMask};

#if defined(__SSE2__)

// ---- SSE2 versions: four pixels at a time, the tail through the plain version. ----

inline __m128i Load(const uint32_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void Store(uint32_t* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
inline __m128i RgbMask() {
  return _mm_set1_epi32(0x00FFFFFF);
}
// sel ? a : b per bit.
inline __m128i Select(__m128i sel, __m128i a, __m128i b) {
  return _mm_or_si128(_mm_and_si128(sel, a), _mm_andnot_si128(sel, b));
}

// The channels are worked on in two sets of 16-bit lanes without unpacking: the even bytes
// (blue, red) masked in place and the odd bytes (green, top) shifted down. A weight pair
// (even, odd) holds the weight for blue and red in every lane of the even set, and for green
// only in the odd set: the top byte's weight is 0, so it comes out 0 as in the plain version.
struct Weights {
  __m128i even, odd;
};
// One weight for all four pixels.
inline Weights SameWeight(uint32_t w) {
  return {_mm_set1_epi16(static_cast<int16_t>(w)), _mm_set1_epi32(static_cast<int32_t>(w))};
}
// One weight per pixel from 32-bit lanes holding 0..255.
inline Weights PixelWeights(__m128i w32) {
  return {_mm_or_si128(w32, _mm_slli_epi32(w32, 16)), w32};
}
inline Weights Inverse(const Weights& w) {
  return {_mm_sub_epi16(_mm_set1_epi16(255), w.even), _mm_sub_epi16(_mm_set1_epi32(255), w.odd)};
}
// (w * k) >> 8 per lane, k in 16-bit lanes.
inline Weights Scale(const Weights& w, __m128i k) {
  return {_mm_srli_epi16(_mm_mullo_epi16(w.even, k), 8),
          _mm_srli_epi16(_mm_mullo_epi16(w.odd, k), 8)};
}
// (d * iw + s * w) >> 8 per channel; the sum is at most 255 * 255 and fits a 16-bit lane.
inline __m128i Blend(__m128i d, __m128i s, const Weights& w, const Weights& iw) {
  const __m128i lo = _mm_set1_epi16(0x00FF);
  const __m128i e = _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(d, lo), iw.even),
                                  _mm_mullo_epi16(_mm_and_si128(s, lo), w.even));
  const __m128i o = _mm_add_epi16(_mm_mullo_epi16(_mm_srli_epi16(d, 8), iw.odd),
                                  _mm_mullo_epi16(_mm_srli_epi16(s, 8), w.odd));
  return _mm_or_si128(_mm_srli_epi16(e, 8), _mm_andnot_si128(lo, o));
}
// min(255, d + (s * w >> 8)) per channel, top byte 0.
inline __m128i Add(__m128i d, __m128i s, const Weights& w) {
  const __m128i lo = _mm_set1_epi16(0x00FF);
  const __m128i e = _mm_srli_epi16(_mm_mullo_epi16(_mm_and_si128(s, lo), w.even), 8);
  const __m128i o = _mm_andnot_si128(lo, _mm_mullo_epi16(_mm_srli_epi16(s, 8), w.odd));
  return _mm_and_si128(_mm_adds_epu8(d, _mm_or_si128(e, o)), RgbMask());
}
// Four mask bytes as 32-bit lanes.
inline __m128i MaskLanes(const uint8_t* m) {
  int32_t v;
  std::memcpy(&v, m, 4);
  const __m128i z = _mm_setzero_si128();
  return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(v), z), z);
}
// Eight mask bytes, all zero.
inline bool NoneSet8(const uint8_t* m) {
  uint64_t v;
  std::memcpy(&v, m, 8);
  return v == 0;
}

void SCopy(uint32_t* d, const uint32_t* s, int n, bool useKey, uint32_t key) {
  if (!useKey) return GCopy(d, s, n, false, key);
  const __m128i k = _mm_set1_epi32(static_cast<int32_t>(key));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m128i s0 = Load(s + i), s1 = Load(s + i + 4);
    const __m128i k0 = _mm_cmpeq_epi32(s0, k), k1 = _mm_cmpeq_epi32(s1, k);
    Store(d + i, Select(k0, Load(d + i), s0));
    Store(d + i + 4, Select(k1, Load(d + i + 4), s1));
  }
  GCopy(d + i, s + i, n - i, true, key);
}
void SAlpha(uint32_t* d, const uint32_t* s, int n, uint32_t a, bool useKey, uint32_t key) {
  const Weights w = SameWeight(a), iw = Inverse(w);
  int i = 0;
  if (useKey) {
    const __m128i k = _mm_set1_epi32(static_cast<int32_t>(key));
    for (; i + 4 <= n; i += 4) {
      const __m128i sv = Load(s + i), dv = Load(d + i);
      const __m128i skip = _mm_or_si128(_mm_cmpeq_epi32(sv, dv), _mm_cmpeq_epi32(sv, k));
      Store(d + i, Select(skip, dv, Blend(dv, sv, w, iw)));
    }
  } else {
    for (; i + 8 <= n; i += 8) {
      const __m128i s0 = Load(s + i), d0 = Load(d + i);
      const __m128i s1 = Load(s + i + 4), d1 = Load(d + i + 4);
      const __m128i b0 = Blend(d0, s0, w, iw), b1 = Blend(d1, s1, w, iw);
      Store(d + i, Select(_mm_cmpeq_epi32(s0, d0), d0, b0));
      Store(d + i + 4, Select(_mm_cmpeq_epi32(s1, d1), d1, b1));
    }
  }
  GAlpha(d + i, s + i, n - i, a, useKey, key);
}
void SAdd(uint32_t* d, const uint32_t* s, int n, uint32_t kk, bool useKey, uint32_t key) {
  const Weights w = SameWeight(kk);
  int i = 0;
  if (useKey) {
    const __m128i k = _mm_set1_epi32(static_cast<int32_t>(key));
    for (; i + 4 <= n; i += 4) {
      const __m128i sv = Load(s + i), dv = Load(d + i);
      Store(d + i, Select(_mm_cmpeq_epi32(sv, k), dv, Add(dv, sv, w)));
    }
  } else {
    for (; i + 8 <= n; i += 8) {
      const __m128i r0 = Add(Load(d + i), Load(s + i), w);
      const __m128i r1 = Add(Load(d + i + 4), Load(s + i + 4), w);
      Store(d + i, r0);
      Store(d + i + 4, r1);
    }
  }
  GAdd(d + i, s + i, n - i, kk, useKey, key);
}
// The masked family skips eight pixels at a time where the mask is clear (the common case
// around a sprite); within a group every pixel is selected without branches.
void SMask(uint32_t* d, const uint32_t* s, const uint8_t* m, int n) {
  const __m128i z = _mm_setzero_si128(), full = _mm_set1_epi32(255);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    if (NoneSet8(m + i)) continue;
    for (int j = i; j < i + 8; j += 4) {
      const __m128i c = MaskLanes(m + j);
      const Weights w = PixelWeights(c);
      const __m128i sv = Load(s + j), dv = Load(d + j);
      const __m128i r = Select(_mm_cmpeq_epi32(c, full), sv, Blend(dv, sv, w, Inverse(w)));
      Store(d + j, Select(_mm_cmpeq_epi32(c, z), dv, r));
    }
  }
  GMask(d + i, s + i, m + i, n - i);
}
void SMaskAlpha(uint32_t* d, const uint32_t* s, const uint8_t* m, int n, uint32_t a) {
  const __m128i z = _mm_setzero_si128(), k = _mm_set1_epi16(static_cast<int16_t>(a));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    if (NoneSet8(m + i)) continue;
    for (int j = i; j < i + 8; j += 4) {
      const __m128i c = MaskLanes(m + j);
      const Weights w = Scale(PixelWeights(c), k);
      const __m128i sv = Load(s + j), dv = Load(d + j);
      Store(d + j, Select(_mm_cmpeq_epi32(c, z), dv, Blend(dv, sv, w, Inverse(w))));
    }
  }
  GMaskAlpha(d + i, s + i, m + i, n - i, a);
}
void SMaskAdd(uint32_t* d, const uint32_t* s, const uint8_t* m, int n, uint32_t kk) {
  const __m128i z = _mm_setzero_si128(), k = _mm_set1_epi16(static_cast<int16_t>(kk));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    if (NoneSet8(m + i)) continue;
    for (int j = i; j < i + 8; j += 4) {
      const __m128i c = MaskLanes(m + j);
      const Weights w = Scale(PixelWeights(c), k);
      const __m128i sv = Load(s + j), dv = Load(d + j);
      Store(d + j, Select(_mm_cmpeq_epi32(c, z), dv, Add(dv, sv, w)));
    }
  }
  GMaskAdd(d + i, s + i, m + i, n - i, kk);
}
void SFillAlpha(uint32_t* d, int n, uint32_t c, uint32_t a) {
  const Weights w = SameWeight(a), iw = Inverse(w);
  const __m128i cv = _mm_set1_epi32(static_cast<int32_t>(c));
  int i = 0;
  for (; i + 4 <= n; i += 4)
    Store(d + i, Blend(Load(d + i), cv, w, iw));
  GFillAlpha(d + i, n - i, c, a);
}
void SAddRect(uint32_t* d, int n, uint32_t c) {
  const __m128i cv = _mm_and_si128(_mm_set1_epi32(static_cast<int32_t>(c)), RgbMask());
  int i = 0;
  for (; i + 4 <= n; i += 4)
    Store(d + i, _mm_and_si128(_mm_adds_epu8(Load(d + i), cv), RgbMask()));
  GAddRect(d + i, n - i, c);
}
void SSubRect(uint32_t* d, int n, uint32_t c) {
  const __m128i cv = _mm_set1_epi32(static_cast<int32_t>(c));
  int i = 0;
  for (; i + 4 <= n; i += 4)
    Store(d + i, _mm_and_si128(_mm_subs_epu8(Load(d + i), cv), RgbMask()));
  GSubRect(d + i, n - i, c);
}
void SFillMask(uint32_t* d, const uint8_t* m, int n, uint32_t c, uint32_t a) {
  const __m128i z = _mm_setzero_si128(), k = _mm_set1_epi16(static_cast<int16_t>(a));
  const __m128i cv = _mm_set1_epi32(static_cast<int32_t>(c));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    if (NoneSet8(m + i)) continue;
    for (int j = i; j < i + 8; j += 4) {
      const __m128i r = MaskLanes(m + j);
      const Weights w = Scale(PixelWeights(r), k);
      const __m128i dv = Load(d + j);
      Store(d + j, Select(_mm_cmpeq_epi32(r, z), dv, Blend(dv, cv, w, Inverse(w))));
    }
  }
  GFillMask(d + i, m + i, n - i, c, a);
}

const RowKernels kSse2 = {SCopy,    SAlpha,     SAdd,     SMask,    SMaskAlpha,
                          SMaskAdd, SFillAlpha, SAddRect, SSubRect, SFillMask};
#endif

const RowKernels* Sse2() {
#if defined(__SSE2__)
  return &kSse2;
#else
  return nullptr;
#endif
}

const RowKernels* Avx2() {
#if defined(__x86_64__) || defined(__i386__)
  static const RowKernels* k = __builtin_cpu_supports("avx2") ? Avx2KernelsIfBuilt() : nullptr;
  return k;
#else
  return nullptr;
#endif
}

// The widest kernels present.
const RowKernels* Fast() {
  const char* env = std::getenv("KOVA_SIMD");
  const bool sse2Only = env && std::strcmp(env, "sse2") == 0;
  if (!sse2Only && Avx2()) return Avx2();
  return Sse2();
}

const RowKernels* ChooseAtStart() {
  const char* env = std::getenv("KOVA_SIMD");
  if (env && std::strcmp(env, "0") == 0) return &kGeneric;
  return Fast() ? Fast() : &kGeneric;
}

const RowKernels* g_active = ChooseAtStart();

}  // namespace

const RowKernels& GenericKernels() {
  return kGeneric;
}
const RowKernels* Sse2Kernels() {
  return Sse2();
}
const RowKernels* Avx2Kernels() {
  return Avx2();
}
const RowKernels& UseKernels(const RowKernels& k) {
  const RowKernels& was = *g_active;
  g_active = &k;
  return was;
}
const RowKernels& Kernels() {
  return *g_active;
}
bool SimdInUse() {
  return g_active != &kGeneric;
}
bool UseSimd(bool on) {
  const bool was = SimdInUse();
  g_active = on && Fast() ? Fast() : &kGeneric;
  return was;
}

}  // namespace kova
