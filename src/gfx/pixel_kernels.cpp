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
// (d * iw + s * w) >> 8 per byte with iw = 255 - w; the weights hold one value per 16-bit lane,
// Lo for pixels 0-1 and Hi for 2-3.
inline __m128i BlendWI(__m128i d, __m128i s, __m128i wLo, __m128i wHi, __m128i iLo, __m128i iHi) {
  const __m128i z = _mm_setzero_si128();
  __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, z), iLo),
                             _mm_mullo_epi16(_mm_unpacklo_epi8(s, z), wLo));
  __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, z), iHi),
                             _mm_mullo_epi16(_mm_unpackhi_epi8(s, z), wHi));
  return _mm_and_si128(_mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8)), RgbMask());
}
inline __m128i BlendW(__m128i d, __m128i s, __m128i wLo, __m128i wHi) {
  const __m128i c255 = _mm_set1_epi16(255);
  return BlendWI(d, s, wLo, wHi, _mm_sub_epi16(c255, wLo), _mm_sub_epi16(c255, wHi));
}
// min(255, d + (s * w >> 8)) per byte.
inline __m128i AddW(__m128i d, __m128i s, __m128i wLo, __m128i wHi) {
  const __m128i z = _mm_setzero_si128();
  __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, z), wLo), 8);
  __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, z), wHi), 8);
  return _mm_and_si128(_mm_adds_epu8(d, _mm_packus_epi16(lo, hi)), RgbMask());
}
// Four mask bytes as 32-bit lanes, and spread to 16-bit lanes for pixels 0-1 and 2-3.
inline void MaskLanes(const uint8_t* m, __m128i& c32, __m128i& cLo, __m128i& cHi) {
  int32_t v;
  std::memcpy(&v, m, 4);
  const __m128i z = _mm_setzero_si128();
  __m128i c16 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(v), z);  // c0 c1 c2 c3 as 16-bit
  c32 = _mm_unpacklo_epi16(c16, z);
  __m128i pairs = _mm_unpacklo_epi16(c16, c16);  // c0 c0 c1 c1 c2 c2 c3 c3
  cLo = _mm_unpacklo_epi32(pairs, pairs);
  cHi = _mm_unpackhi_epi32(pairs, pairs);
}

void SCopy(uint32_t* d, const uint32_t* s, int n, bool useKey, uint32_t key) {
  if (!useKey) return GCopy(d, s, n, false, key);
  const __m128i k = _mm_set1_epi32(static_cast<int32_t>(key));
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    __m128i sv = Load(s + i);
    __m128i skip = _mm_cmpeq_epi32(sv, k);
    if (_mm_movemask_epi8(skip) == 0xFFFF) continue;
    Store(d + i, Select(skip, Load(d + i), sv));
  }
  GCopy(d + i, s + i, n - i, true, key);
}
void SAlpha(uint32_t* d, const uint32_t* s, int n, uint32_t a, bool useKey, uint32_t key) {
  const __m128i w = _mm_set1_epi16(static_cast<int16_t>(a));
  const __m128i iw = _mm_set1_epi16(static_cast<int16_t>(255 - a));
  const __m128i k = _mm_set1_epi32(static_cast<int32_t>(key));
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    __m128i sv = Load(s + i), dv = Load(d + i);
    __m128i skip = _mm_cmpeq_epi32(sv, dv);
    if (useKey) skip = _mm_or_si128(skip, _mm_cmpeq_epi32(sv, k));
    if (_mm_movemask_epi8(skip) == 0xFFFF) continue;
    Store(d + i, Select(skip, dv, BlendWI(dv, sv, w, w, iw, iw)));
  }
  GAlpha(d + i, s + i, n - i, a, useKey, key);
}
void SAdd(uint32_t* d, const uint32_t* s, int n, uint32_t kk, bool useKey, uint32_t key) {
  const __m128i w = _mm_set1_epi16(static_cast<int16_t>(kk));
  const __m128i k = _mm_set1_epi32(static_cast<int32_t>(key));
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    __m128i sv = Load(s + i), dv = Load(d + i);
    __m128i r = AddW(dv, sv, w, w);
    if (useKey) r = Select(_mm_cmpeq_epi32(sv, k), dv, r);
    Store(d + i, r);
  }
  GAdd(d + i, s + i, n - i, kk, useKey, key);
}
void SMask(uint32_t* d, const uint32_t* s, const uint8_t* m, int n) {
  const __m128i z = _mm_setzero_si128(), full = _mm_set1_epi32(255);
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    __m128i c32, cLo, cHi;
    MaskLanes(m + i, c32, cLo, cHi);
    __m128i zero = _mm_cmpeq_epi32(c32, z);
    if (_mm_movemask_epi8(zero) == 0xFFFF) continue;
    __m128i sv = Load(s + i), dv = Load(d + i);
    __m128i r = Select(_mm_cmpeq_epi32(c32, full), sv, BlendW(dv, sv, cLo, cHi));
    Store(d + i, Select(zero, dv, r));
  }
  GMask(d + i, s + i, m + i, n - i);
}
void SMaskAlpha(uint32_t* d, const uint32_t* s, const uint8_t* m, int n, uint32_t a) {
  const __m128i z = _mm_setzero_si128(), w = _mm_set1_epi16(static_cast<int16_t>(a));
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    __m128i c32, cLo, cHi;
    MaskLanes(m + i, c32, cLo, cHi);
    __m128i zero = _mm_cmpeq_epi32(c32, z);
    if (_mm_movemask_epi8(zero) == 0xFFFF) continue;
    cLo = _mm_srli_epi16(_mm_mullo_epi16(cLo, w), 8);
    cHi = _mm_srli_epi16(_mm_mullo_epi16(cHi, w), 8);
    __m128i sv = Load(s + i), dv = Load(d + i);
    Store(d + i, Select(zero, dv, BlendW(dv, sv, cLo, cHi)));
  }
  GMaskAlpha(d + i, s + i, m + i, n - i, a);
}
void SMaskAdd(uint32_t* d, const uint32_t* s, const uint8_t* m, int n, uint32_t k) {
  const __m128i z = _mm_setzero_si128(), w = _mm_set1_epi16(static_cast<int16_t>(k));
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    __m128i c32, cLo, cHi;
    MaskLanes(m + i, c32, cLo, cHi);
    __m128i zero = _mm_cmpeq_epi32(c32, z);
    if (_mm_movemask_epi8(zero) == 0xFFFF) continue;
    cLo = _mm_srli_epi16(_mm_mullo_epi16(cLo, w), 8);
    cHi = _mm_srli_epi16(_mm_mullo_epi16(cHi, w), 8);
    __m128i sv = Load(s + i), dv = Load(d + i);
    Store(d + i, Select(zero, dv, AddW(dv, sv, cLo, cHi)));
  }
  GMaskAdd(d + i, s + i, m + i, n - i, k);
}
void SFillAlpha(uint32_t* d, int n, uint32_t c, uint32_t a) {
  const __m128i w = _mm_set1_epi16(static_cast<int16_t>(a));
  const __m128i cv = _mm_set1_epi32(static_cast<int32_t>(c));
  int i = 0;
  for (; i + 4 <= n; i += 4)
    Store(d + i, BlendW(Load(d + i), cv, w, w));
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
  const __m128i z = _mm_setzero_si128(), w = _mm_set1_epi16(static_cast<int16_t>(a));
  const __m128i cv = _mm_set1_epi32(static_cast<int32_t>(c));
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    __m128i c32, rLo, rHi;
    MaskLanes(m + i, c32, rLo, rHi);
    __m128i zero = _mm_cmpeq_epi32(c32, z);
    if (_mm_movemask_epi8(zero) == 0xFFFF) continue;
    rLo = _mm_srli_epi16(_mm_mullo_epi16(rLo, w), 8);
    rHi = _mm_srli_epi16(_mm_mullo_epi16(rHi, w), 8);
    __m128i dv = Load(d + i);
    Store(d + i, Select(zero, dv, BlendW(dv, cv, rLo, rHi)));
  }
  GFillMask(d + i, m + i, n - i, c, a);
}

const RowKernels kSse2 = {SCopy,    SAlpha,     SAdd,     SMask,    SMaskAlpha,
                          SMaskAdd, SFillAlpha, SAddRect, SSubRect, SFillMask};
#endif

const RowKernels* Fast() {
#if defined(__SSE2__)
  return &kSse2;
#else
  return nullptr;
#endif
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
  return Fast();
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
