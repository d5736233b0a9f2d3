// The sparse, bounded transform against the literal full product: the same samples
// and the same overflow failures, on worked examples, random blocks of every
// density and blocks built to sit on the 32-bit bounds.
#include "decode/idct.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <limits>
#include <random>
#include <vector>

#include "decode/simd.h"
#include "reference/reference_kernels.h"

namespace vorn {
namespace {

using Coefficients = std::array<int32_t, 64>;
using Quant = std::array<int16_t, 64>;

Quant Ones() {
  Quant q;
  q.fill(1);
  return q;
}

const IdctMatrixTable& Matrix() {
  static const IdctMatrixTable m = [] {
    IdctMatrixTable t;
    reference::BuildIdctMatrix(t);
    return t;
  }();
  return m;
}

const IdctKernel& Kernel() {
  static const IdctKernel k = [] {
    IdctKernel kernel;
    PrepareIdctKernel(Matrix(), kernel);
    return kernel;
  }();
  return k;
}

struct Result {
  bool ok = false;
  SampleBlock samples{};
};

Result Fast(Coefficients c, const Quant& q) {
  Result r;
  r.ok = InverseTransformBlock(Kernel(), c, q, r.samples);
  return r;
}

Result Literal(Coefficients c, const Quant& q) {
  Result r;
  r.ok = reference::InverseTransformBlock(Matrix(), c, q, r.samples);
  return r;
}

// Same success, and on success the same samples.
void ExpectSame(const Coefficients& c, const Quant& q) {
  const Result want = Literal(c, q);
  const Result got = Fast(c, q);
  ASSERT_EQ(got.ok, want.ok);
  if (want.ok) {
    ASSERT_EQ(got.samples, want.samples);
  }
}

TEST(Idct, MatrixIsTheCosineTable) {
  IdctMatrixTable m;
  BuildIdctMatrix(m);
  EXPECT_EQ(m, Matrix());
  for (int h = 0; h < 64; ++h) {
    EXPECT_EQ(m[h * 64], 500000);  // c(0) squared is one half
    for (int k = 0; k < 64; ++k) EXPECT_LE(std::abs(m[h * 64 + k]), 1000000);
  }
  for (int k = 0; k < 64; ++k) EXPECT_EQ(kNaturalOrder[kZigZag[k]], k);
  EXPECT_EQ(kZigZag, reference::kZigZag);
}

// A dequantised DC of 8 gives sums of 4000000: 129; 7 gives 128 (truncation);
// -8 gives 127 and -7 again 128.
TEST(Idct, DcExamples) {
  for (const auto& [dc, sample] :
       std::vector<std::pair<int, int>>{{8, 129}, {7, 128}, {-8, 127}, {-7, 128}}) {
    Coefficients c{};
    c[0] = dc;
    const Result r = Fast(c, Ones());
    ASSERT_TRUE(r.ok);
    for (int32_t s : r.samples) EXPECT_EQ(s, sample) << "DC " << dc;
  }
  // Dequantisation multiplies in zig-zag order: DC 2 with quant 4 is 8.
  Coefficients c{};
  c[0] = 2;
  Quant q = Ones();
  q[0] = 4;
  EXPECT_EQ(Fast(c, q).samples[17], 129);
}

TEST(Idct, RandomBlocksOfEveryDensity) {
  std::mt19937 rng(7);
  for (int density = 0; density <= 64; ++density) {
    // The plain, AVX2 and AVX-512 products alike, where the processor has them.
    SimdCeiling() = static_cast<SimdLevel>(density % 3);
    for (int round = 0; round < 12; ++round) {
      Coefficients c{};
      Quant q;
      for (auto& v : q) v = static_cast<int16_t>(1 + rng() % 120);
      for (int i = 0; i < density; ++i) {
        const int p = static_cast<int>(rng() % 64);
        // Mostly small values as real data has, now and then a large one.
        c[p] = rng() % 8 == 0 ? static_cast<int32_t>(rng() % 4001) - 2000
                              : static_cast<int32_t>(rng() % 41) - 20;
      }
      ExpectSame(c, q);
    }
  }
  SimdCeiling() = SimdLevel::Avx512;
}

// Every single position alone and every pair of the first sixteen zig-zag positions.
TEST(Idct, SingleAndPairedCoefficients) {
  for (int p = 0; p < 64; ++p)
    for (int32_t v : {1, -1, 7, -8, 255, -1024, 2047}) {
      Coefficients c{};
      c[p] = v;
      ExpectSame(c, Ones());
    }
  for (int a = 0; a < 16; ++a)
    for (int b = a + 1; b < 16; ++b) {
      Coefficients c{};
      c[a] = 900;
      c[b] = -700;
      ExpectSame(c, Ones());
    }
}

// Around the 32-bit bounds: a DC whose product just fits or not; blocks whose sum of
// |c| x column maxima straddles 2^31 (the fast path's limit); partial sums that
// leave 32 bits although the total comes back; dequantisation overflow.
TEST(Idct, NearTheOverflowBounds) {
  const int32_t dcLimit = std::numeric_limits<int32_t>::max() / 500000;  // 4294
  for (int32_t dc : {dcLimit, dcLimit + 1, -dcLimit, -dcLimit - 1, -4295}) {
    Coefficients c{};
    c[0] = dc;
    ExpectSame(c, Ones());
  }
  std::mt19937 rng(11);
  for (int round = 0; round < 400; ++round) {
    Coefficients c{};
    const int count = 1 + static_cast<int>(rng() % 12);
    for (int i = 0; i < count; ++i)
      c[rng() % 64] = static_cast<int32_t>(rng() % 1601) - 800 + (rng() % 2 ? 1500 : -1500);
    ExpectSame(c, Ones());
  }
  // Natural k = 0 and k = 1 push the sum of the first samples past 2^31; k = 2
  // would bring it back. The partial sum already failed.
  Coefficients c{};
  c[kZigZag[0]] = 4294;
  c[kZigZag[1]] = 2000;
  c[kZigZag[2]] = -2000;
  EXPECT_FALSE(Literal(c, Ones()).ok);
  ExpectSame(c, Ones());
  // A product alone too large.
  c = {};
  c[kZigZag[9]] = 3000;
  ExpectSame(c, Ones());
  // Dequantisation: 70000 x 32767 leaves 32 bits.
  c = {};
  c[5] = 70000;
  Quant q = Ones();
  q[5] = 32767;
  EXPECT_FALSE(Fast(c, q).ok);
  ExpectSame(c, q);
}

// Any matrix works: one that mirrors as the cosines do takes the quarter product,
// one that does not the full one. A made-up mirrored matrix puts sums exactly on and
// next to multiples of 4000000 (column 0 all 500000, column 1 +-1000000 by the side
// of x, column 2 all 1), where truncation must not slip.
TEST(Idct, MirroredAndOtherMatricesAtTheDivisorsMultiples) {
  IdctMatrixTable m{};
  for (int h = 0; h < 64; ++h) {
    m[h * 64 + 0] = 500000;
    m[h * 64 + 1] = h % 8 < 4 ? 1000000 : -1000000;
    m[h * 64 + 2] = 1;
  }
  IdctMatrixTable skewed = m;
  skewed[5 * 64 + 2] = 2;  // sample (5, 0) no longer mirrors sample (2, 0)
  for (const IdctMatrixTable* matrix : {&m, &skewed}) {
    IdctKernel kernel;
    PrepareIdctKernel(*matrix, kernel);
    EXPECT_EQ(kernel.mirrored, matrix == &m);
    for (SimdLevel level : {SimdLevel::Plain, SimdLevel::Avx2}) {
      SimdCeiling() = level;
      for (int32_t dc : {0, 8, -8, 16, 4294})
        for (int32_t ac : {0, 4, -4, 2, -1})
          for (int32_t tiny : {0, 1, -1, 2}) {
            Coefficients c{};
            c[kZigZag[0]] = dc;
            c[kZigZag[1]] = ac;
            c[kZigZag[2]] = tiny;
            Coefficients literal = c;
            Result want, got;
            want.ok = reference::InverseTransformBlock(*matrix, literal, Ones(), want.samples);
            got.ok = InverseTransformBlock(kernel, c, Ones(), got.samples);
            ASSERT_EQ(got.ok, want.ok) << dc << " " << ac << " " << tiny;
            if (want.ok) {
              ASSERT_EQ(got.samples, want.samples) << dc << " " << ac << " " << tiny;
            }
          }
    }
  }
  SimdCeiling() = SimdLevel::Avx512;
}

TEST(Idct, SamplesClampToBytesAtEveryRange) {
  // Rows of samples straddling each saturation the byte clamp passes through.
  const std::vector<int32_t> values = {INT32_MIN, -65536, -32769, -32768, -1,    0,     1,     127,
                                       128,       254,    255,    256,    32767, 32768, 65535, INT32_MAX};
  for (size_t start = 0; start + 8 <= values.size(); ++start) {
    std::array<uint8_t, 8> out{};
    ClampRowToBytes(values.data() + start, out.data());
    for (size_t x = 0; x < 8; ++x)
      EXPECT_EQ(out[x], std::clamp(values[start + x], 0, 255)) << values[start + x];
  }
}

}  // namespace
}  // namespace vorn
