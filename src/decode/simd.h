// Whether the processor runs AVX2, asked once. The kernels that use it are compiled
// for AVX2 alone (a target attribute, without FMA, so no product is ever contracted
// into a sum) and chosen at run time: the program runs on any x86-64, and elsewhere
// on the plain loops.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#define VORN_X86 1
#include <immintrin.h>
#else
#define VORN_X86 0
#endif

namespace vorn {

// Set by tests to run the plain loops on a machine that has AVX2.
inline bool& UsePlainLoops() {
  static bool plain = false;
  return plain;
}

inline bool HasAvx2() {
  if (UsePlainLoops()) return false;
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

}  // namespace vorn
