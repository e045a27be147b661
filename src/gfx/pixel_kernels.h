// Row kernels of the 32-bit screen pixel operations (0x00RRGGBB, top byte 0). Each has a plain
// version that states the arithmetic per channel, and SSE2 and AVX2 versions that give the same
// bytes; the widest one the processor has is chosen at start-up.
#pragma once

#include <cstdint>

namespace kova {

struct RowKernels {
  // d := s, skipping s == key when useKey.
  void (*copy)(uint32_t* d, const uint32_t* s, int n, bool useKey, uint32_t key);
  // if s != d: d := ((d * (255 - a) + s * a) >> 8) per channel.
  void (*alpha)(uint32_t* d, const uint32_t* s, int n, uint32_t a, bool useKey, uint32_t key);
  // d := min(255, d + (s * k >> 8)) per channel.
  void (*add)(uint32_t* d, const uint32_t* s, int n, uint32_t k, bool useKey, uint32_t key);
  // c = m: 0 skip, 255 copy, else blend with c.
  void (*mask)(uint32_t* d, const uint32_t* s, const uint8_t* m, int n);
  // c = m != 0: blend with a * c >> 8.
  void (*maskAlpha)(uint32_t* d, const uint32_t* s, const uint8_t* m, int n, uint32_t a);
  // c = m != 0: add with k * c >> 8.
  void (*maskAdd)(uint32_t* d, const uint32_t* s, const uint8_t* m, int n, uint32_t k);
  // d := ((c * a + d * (255 - a)) >> 8) per channel.
  void (*fillAlpha)(uint32_t* d, int n, uint32_t c, uint32_t a);
  // d := min(255, d + c), d := max(0, d - c) per channel.
  void (*addRect)(uint32_t* d, int n, uint32_t c);
  void (*subRect)(uint32_t* d, int n, uint32_t c);
  // r = m != 0: blend colour c with a * r >> 8.
  void (*fillMask)(uint32_t* d, const uint8_t* m, int n, uint32_t c, uint32_t a);
};

const RowKernels& GenericKernels();
// Null when the processor or the build has no SSE2.
const RowKernels* Sse2Kernels();
// Null when the processor or the build has no AVX2.
const RowKernels* Avx2Kernels();
// The kernels in use: the widest the processor has, unless KOVA_SIMD says otherwise ("0" for
// the plain ones, "sse2" for SSE2 at most).
const RowKernels& Kernels();
// Switches between the fast and the plain kernels (the fast ones only when present); returns
// whether the fast ones were in use. For tests and benchmarks.
bool UseSimd(bool on);
bool SimdInUse();
// Uses exactly these kernels (for tests and benchmarks); returns the ones in use before.
const RowKernels& UseKernels(const RowKernels& k);

// Defined by the AVX2 build of the kernels; null when that build has no AVX2.
const RowKernels* Avx2KernelsIfBuilt();

}  // namespace kova
