// Which vector instructions the processor runs, asked once. The kernels that use
// them are compiled for those alone (a target attribute, without FMA, so no product
// is ever contracted into a sum) and chosen at run time: the program runs on any
// x86-64, and elsewhere on the plain loops.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#define VORN_X86 1
#include <immintrin.h>
#else
#define VORN_X86 0
#endif

namespace vorn {

enum class SimdLevel { Plain, Avx2, Avx512 };

// The highest level the kernels may use; tests lower it to run every variant on a
// machine that has them all.
inline SimdLevel& SimdCeiling() {
  static SimdLevel ceiling = SimdLevel::Avx512;
  return ceiling;
}

inline bool HasAvx2() {
  if (SimdCeiling() < SimdLevel::Avx2) return false;
#if VORN_X86
  static const bool avx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return avx2;
#else
  return false;
#endif
}

// AVX-512 F (with the AVX2 it includes); the processor's check includes the
// operating system's support for the wide registers.
inline bool HasAvx512() {
  if (SimdCeiling() < SimdLevel::Avx512) return false;
#if VORN_X86
  static const bool avx512 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx2") != 0;
  }();
  return avx512;
#else
  return false;
#endif
}

}  // namespace vorn
