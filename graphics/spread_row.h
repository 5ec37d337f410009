// Each pixel of a row repeated side by side: the inner loop of every
// whole-factor enlargement (the stretched backdrop, the enlarged window),
// four pixels at a time for the common factors.
#pragma once

#include <cstdint>
#include <cstring>

namespace kelvane {

// Unaligned loads and stores of the compiler's generic vectors (SSE2 on
// x86-64, NEON on ARM).
template <class V>
inline V LoadVec(const void* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <class V>
inline void StoreVec(void* p, V v) {
  std::memcpy(p, &v, sizeof v);
}

typedef uint32_t V4u __attribute__((vector_size(16)));
inline V4u Load4(const uint32_t* p) { return LoadVec<V4u>(p); }
inline void Store4(uint32_t* p, V4u v) { StoreVec(p, v); }
#if defined(__clang__)
#define KELVANE_SHUFFLE(v, a, b, c, d) __builtin_shufflevector(v, v, a, b, c, d)
#else
#define KELVANE_SHUFFLE(v, a, b, c, d) __builtin_shuffle(v, V4u{a, b, c, d})
#endif

// Each row entry F times into t (n entries in all; the last may be cut).
template <int F>
void SpreadBy(const uint32_t* __restrict row, uint32_t* __restrict t, int n) {
  int k = 0;
  if constexpr (F == 2) {
    for (; k + 8 <= n; k += 8, row += 4) {
      const V4u v = Load4(row);
      Store4(t + k, KELVANE_SHUFFLE(v, 0, 0, 1, 1));
      Store4(t + k + 4, KELVANE_SHUFFLE(v, 2, 2, 3, 3));
    }
  } else if constexpr (F == 3) {
    for (; k + 12 <= n; k += 12, row += 4) {
      const V4u v = Load4(row);
      Store4(t + k, KELVANE_SHUFFLE(v, 0, 0, 0, 1));
      Store4(t + k + 4, KELVANE_SHUFFLE(v, 1, 1, 2, 2));
      Store4(t + k + 8, KELVANE_SHUFFLE(v, 2, 3, 3, 3));
    }
  }
  for (; k + F <= n; k += F, ++row) {
    const uint32_t v = *row;
    for (int f = 0; f < F; ++f) t[k + f] = v;
  }
  for (; k < n; ++k) t[k] = *row;
}

// The n pixels of src, each k times, into out (n * k entries).
inline void EnlargeRow(const uint32_t* __restrict src, uint32_t* __restrict out, int n, int k) {
  switch (k) {
    case 1: std::memcpy(out, src, static_cast<size_t>(n) * 4); return;
    case 2: SpreadBy<2>(src, out, n * 2); return;
    case 3: SpreadBy<3>(src, out, n * 3); return;
    case 4: SpreadBy<4>(src, out, n * 4); return;
    default:
      for (int x = 0; x < n; ++x)
        for (int i = 0; i < k; ++i) *out++ = src[x];
  }
}

}  // namespace kelvane
