// The row kernels eight pixels at a time with AVX2: the same arithmetic as the SSE2 versions on
// twice the lanes. This file alone is built for AVX2; it is used only when the processor has it.
#include <cstring>

#include "gfx/pixel_kernels.h"

#if defined(__AVX2__)
#include <immintrin.h>

namespace kova {

namespace {

inline __m256i Load(const uint32_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
inline void Store(uint32_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}
inline __m256i RgbMask() {
  return _mm256_set1_epi32(0x00FFFFFF);
}
inline __m256i Select(__m256i sel, __m256i a, __m256i b) {
  return _mm256_blendv_epi8(b, a, sel);
}
inline __m256i Eq(__m256i a, __m256i b) {
  return _mm256_cmpeq_epi32(a, b);
}

// As in the SSE2 kernels: even bytes (blue, red) masked in place, odd bytes (green, top)
// shifted down, each set weighted in 16-bit lanes; the top byte's weight is 0.
struct Weights {
  __m256i even, odd;
};
inline Weights SameWeight(uint32_t w) {
  return {_mm256_set1_epi16(static_cast<int16_t>(w)), _mm256_set1_epi32(static_cast<int32_t>(w))};
}
inline Weights PixelWeights(__m256i w32) {
  return {_mm256_or_si256(w32, _mm256_slli_epi32(w32, 16)), w32};
}
inline Weights Inverse(const Weights& w) {
  return {_mm256_sub_epi16(_mm256_set1_epi16(255), w.even),
          _mm256_sub_epi16(_mm256_set1_epi32(255), w.odd)};
}
inline Weights Scale(const Weights& w, __m256i k) {
  return {_mm256_srli_epi16(_mm256_mullo_epi16(w.even, k), 8),
          _mm256_srli_epi16(_mm256_mullo_epi16(w.odd, k), 8)};
}
inline __m256i Blend(__m256i d, __m256i s, const Weights& w, const Weights& iw) {
  const __m256i lo = _mm256_set1_epi16(0x00FF);
  const __m256i e = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(d, lo), iw.even),
                                     _mm256_mullo_epi16(_mm256_and_si256(s, lo), w.even));
  const __m256i o = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(d, 8), iw.odd),
                                     _mm256_mullo_epi16(_mm256_srli_epi16(s, 8), w.odd));
  return _mm256_or_si256(_mm256_srli_epi16(e, 8), _mm256_andnot_si256(lo, o));
}
inline __m256i Add(__m256i d, __m256i s, const Weights& w) {
  const __m256i lo = _mm256_set1_epi16(0x00FF);
  const __m256i e = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_and_si256(s, lo), w.even), 8);
  const __m256i o = _mm256_andnot_si256(lo, _mm256_mullo_epi16(_mm256_srli_epi16(s, 8), w.odd));
  return _mm256_and_si256(_mm256_adds_epu8(d, _mm256_or_si256(e, o)), RgbMask());
}
// Eight mask bytes as 32-bit lanes; nullopt-like false when all are clear.
inline bool MaskLanes(const uint8_t* m, __m256i& out) {
  int64_t v;
  std::memcpy(&v, m, 8);
  if (v == 0) return false;
  out = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(v));
  return true;
}

const RowKernels& Plain() {
  return GenericKernels();
}

void ACopy(uint32_t* d, const uint32_t* s, int n, bool useKey, uint32_t key) {
  if (!useKey) return Plain().copy(d, s, n, false, key);
  const __m256i k = _mm256_set1_epi32(static_cast<int32_t>(key));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i sv = Load(s + i);
    Store(d + i, Select(Eq(sv, k), Load(d + i), sv));
  }
  Plain().copy(d + i, s + i, n - i, true, key);
}
void AAlpha(uint32_t* d, const uint32_t* s, int n, uint32_t a, bool useKey, uint32_t key) {
  const Weights w = SameWeight(a), iw = Inverse(w);
  const __m256i k = _mm256_set1_epi32(static_cast<int32_t>(key));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i sv = Load(s + i), dv = Load(d + i);
    __m256i skip = Eq(sv, dv);
    if (useKey) skip = _mm256_or_si256(skip, Eq(sv, k));
    Store(d + i, Select(skip, dv, Blend(dv, sv, w, iw)));
  }
  Plain().alpha(d + i, s + i, n - i, a, useKey, key);
}
void AAdd(uint32_t* d, const uint32_t* s, int n, uint32_t kk, bool useKey, uint32_t key) {
  const Weights w = SameWeight(kk);
  const __m256i k = _mm256_set1_epi32(static_cast<int32_t>(key));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i sv = Load(s + i), dv = Load(d + i);
    const __m256i r = Add(dv, sv, w);
    Store(d + i, useKey ? Select(Eq(sv, k), dv, r) : r);
  }
  Plain().add(d + i, s + i, n - i, kk, useKey, key);
}
void AMask(uint32_t* d, const uint32_t* s, const uint8_t* m, int n) {
  const __m256i z = _mm256_setzero_si256(), full = _mm256_set1_epi32(255);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i c;
    if (!MaskLanes(m + i, c)) continue;
    const Weights w = PixelWeights(c);
    const __m256i sv = Load(s + i), dv = Load(d + i);
    const __m256i r = Select(Eq(c, full), sv, Blend(dv, sv, w, Inverse(w)));
    Store(d + i, Select(Eq(c, z), dv, r));
  }
  Plain().mask(d + i, s + i, m + i, n - i);
}
void AMaskAlpha(uint32_t* d, const uint32_t* s, const uint8_t* m, int n, uint32_t a) {
  const __m256i z = _mm256_setzero_si256(), k = _mm256_set1_epi16(static_cast<int16_t>(a));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i c;
    if (!MaskLanes(m + i, c)) continue;
    const Weights w = Scale(PixelWeights(c), k);
    const __m256i sv = Load(s + i), dv = Load(d + i);
    Store(d + i, Select(Eq(c, z), dv, Blend(dv, sv, w, Inverse(w))));
  }
  Plain().maskAlpha(d + i, s + i, m + i, n - i, a);
}
void AMaskAdd(uint32_t* d, const uint32_t* s, const uint8_t* m, int n, uint32_t kk) {
  const __m256i z = _mm256_setzero_si256(), k = _mm256_set1_epi16(static_cast<int16_t>(kk));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i c;
    if (!MaskLanes(m + i, c)) continue;
    const Weights w = Scale(PixelWeights(c), k);
    const __m256i sv = Load(s + i), dv = Load(d + i);
    Store(d + i, Select(Eq(c, z), dv, Add(dv, sv, w)));
  }
  Plain().maskAdd(d + i, s + i, m + i, n - i, kk);
}
void AFillAlpha(uint32_t* d, int n, uint32_t c, uint32_t a) {
  const Weights w = SameWeight(a), iw = Inverse(w);
  const __m256i cv = _mm256_set1_epi32(static_cast<int32_t>(c));
  int i = 0;
  for (; i + 8 <= n; i += 8)
    Store(d + i, Blend(Load(d + i), cv, w, iw));
  Plain().fillAlpha(d + i, n - i, c, a);
}
void AAddRect(uint32_t* d, int n, uint32_t c) {
  const __m256i cv = _mm256_and_si256(_mm256_set1_epi32(static_cast<int32_t>(c)), RgbMask());
  int i = 0;
  for (; i + 8 <= n; i += 8)
    Store(d + i, _mm256_and_si256(_mm256_adds_epu8(Load(d + i), cv), RgbMask()));
  Plain().addRect(d + i, n - i, c);
}
void ASubRect(uint32_t* d, int n, uint32_t c) {
  const __m256i cv = _mm256_set1_epi32(static_cast<int32_t>(c));
  int i = 0;
  for (; i + 8 <= n; i += 8)
    Store(d + i, _mm256_and_si256(_mm256_subs_epu8(Load(d + i), cv), RgbMask()));
  Plain().subRect(d + i, n - i, c);
}
void AFillMask(uint32_t* d, const uint8_t* m, int n, uint32_t c, uint32_t a) {
  const __m256i z = _mm256_setzero_si256(), k = _mm256_set1_epi16(static_cast<int16_t>(a));
  const __m256i cv = _mm256_set1_epi32(static_cast<int32_t>(c));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i r;
    if (!MaskLanes(m + i, r)) continue;
    const Weights w = Scale(PixelWeights(r), k);
    const __m256i dv = Load(d + i);
    Store(d + i, Select(Eq(r, z), dv, Blend(dv, cv, w, Inverse(w))));
  }
  Plain().fillMask(d + i, m + i, n - i, c, a);
}

const RowKernels kAvx2 = {ACopy,    AAlpha,     AAdd,     AMask,    AMaskAlpha,
                          AMaskAdd, AFillAlpha, AAddRect, ASubRect, AFillMask};

}  // namespace

const RowKernels* Avx2KernelsIfBuilt() {
  return &kAvx2;
}

}  // namespace kova

#else

namespace kova {
const RowKernels* Avx2KernelsIfBuilt() {
  return nullptr;
}
}  // namespace kova

#endif
