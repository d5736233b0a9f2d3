#include "repair/odd_block.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "decode/decode_scan.h"
#include "repair/dc_hypotheses.h"
#include "repair/picture_fit.h"
#include "repair/strict_decoder.h"

namespace vorn {

namespace {

// On 431 undamaged files (the evaluation photos, those with thumbnails, 360 more from
// three encoders at qualities 30 to 98 in all layouts, the test fixtures) the best
// edit of the 32 worst-fitting blocks mended at most 0.42 of what it could where it
// led the next block's by 3 or more, and led by at most 2.9 where it mended half
// (with the removed bytes too); one-block damage that a scan keeps the syntax through
// (a flipped bit, a byte written into the data) mended 0.5 to 0.99 and led by 3.3 to 13.
// On 415 more (crops of 200 to 1280 pixels of the desktop backgrounds and the sample
// photos, cjpeg, Pillow and ImageMagick at qualities 30 to 98, all four layouts) the
// best that mended half led by at most 1.9; a lead of 3 (3.5 before) found 8 more of
// 931 visibly damaged copies and none of these files.
constexpr double kLeastFlipShare = 0.5;
constexpr double kLeastFlipLead = 3.0;

constexpr int kPatch = 12;  // the block and two samples on each side

// |r| of each pair across the four edges of the block in the middle of patch (32
// values: top, bottom, left, right), where valid.
double PatchMisfit(const std::array<uint8_t, 144>& p, uint32_t valid,
                   std::array<int32_t, 32>* out = nullptr) {
  const auto at = [&](int x, int y) { return static_cast<int32_t>(p[static_cast<size_t>(y * kPatch + x)]); };
  double sum = 0;
  for (int k = 0; k < 8; ++k) {
    const std::array<int32_t, 4> r = {
        EdgeStep(at(2 + k, 0), at(2 + k, 1), at(2 + k, 2), at(2 + k, 3)),
        EdgeStep(at(2 + k, 8), at(2 + k, 9), at(2 + k, 10), at(2 + k, 11)),
        EdgeStep(at(0, 2 + k), at(1, 2 + k), at(2, 2 + k), at(3, 2 + k)),
        EdgeStep(at(8, 2 + k), at(9, 2 + k), at(10, 2 + k), at(11, 2 + k)),
    };
    for (int e = 0; e < 4; ++e) {
      const int pair = e * 8 + k;
      const int32_t v = (valid >> pair) & 1 ? r[static_cast<size_t>(e)] : 0;
      sum += std::abs(v);
      if (out != nullptr) (*out)[static_cast<size_t>(pair)] = v;
    }
  }
  return sum;
}

// The block's patch from planes, and which pairs lie in the picture.
template <class Planes>
void FillPatch(const Planes& planes, int c, int32_t x0, int32_t y0, OddBlock& out) {
  const auto i = static_cast<size_t>(c);
  const int32_t vw = planes.visibleWidth[i], vh = planes.visibleHeight[i];
  for (int py = 0; py < kPatch; ++py) {
    const int32_t y = y0 - 2 + py;
    uint8_t* to = out.patch.data() + py * kPatch;
    if (y < 0 || y >= vh) {
      std::fill_n(to, kPatch, uint8_t{0});
      continue;
    }
    const uint8_t* row = planes.Row(c, y);  // once a row: a ring of rows costs a division
    for (int px = 0; px < kPatch; ++px) {
      const int32_t x = x0 - 2 + px;
      to[px] = x >= 0 && x < vw ? row[x] : 0;
    }
  }
  out.valid = 0;
  for (int k = 0; k < 8; ++k) {
    const int32_t x = x0 + k, y = y0 + k;
    if (x < vw && y0 >= 2 && y0 + 1 < vh) out.valid |= 1u << k;
    if (x < vw && y0 + 9 < vh) out.valid |= 1u << (8 + k);
    if (y < vh && x0 >= 2 && x0 + 1 < vw) out.valid |= 1u << (16 + k);
    if (y < vh && x0 + 9 < vw) out.valid |= 1u << (24 + k);
  }
}

// A block of one MCU decoded, and where the decode stands after it: where the next
// block's first symbol begins with the DC predictors then, or, after the MCU's last
// block, where the MCU ends. Two decodes that stand alike there read the same bits on
// in the same state, so the decode stops once the next block is read.
class BlockSink {
 public:
  static constexpr bool kSymbols = true;
  static constexpr bool kCoefficients = true;

  // Where one code word of the wanted block begins, the place it begins at, and the
  // block's DC difference then (known from its first AC code word on).
  struct Symbol {
    BitPos at;
    int coef;
    int32_t pendingDc;
  };

  BlockSink(int wanted, std::array<int32_t, 64>& natural) : wanted_(wanted), natural_(natural) {}
  void OnSymbol(const ScanPoint& p) {
    if (p.block == wanted_ && symbolCount < symbols.size())
      symbols[symbolCount++] = {p.next, p.coef, p.pendingDc};
    if (p.coef != 0) return;
    if (p.block == wanted_) first = p;
    if (p.block == wanted_ + 1) {
      after = p.next;
      lastBit = p.next - 1;
      dc = p.dc;
    }
  }
  bool OnBlock(int block, std::array<int32_t, 64>& natural, uint64_t) {
    if (block == wanted_) natural_ = natural;
    return block <= wanted_;  // stops the decode after the next block
  }
  bool OnMcu(int32_t, BitPos m, const std::array<int16_t, 3>& d) {
    if (after < 0) {
      after = m + 1;
      lastBit = m;  // the mark is the MCU's last bit
      dc = d;
    }
    return true;
  }
  bool SameAfter(const BlockSink& o) const { return after >= 0 && after == o.after && dc == o.dc; }

  ScanPoint first{-1};  // where the block's first symbol begins, as a decode resumes there
  BitPos after = -1;    // where the decode stands after the block
  BitPos lastBit = -1;  // the block's last bit
  std::array<int16_t, 3> dc{};
  // The wanted block's code words in order (64 at most: each but an end of block moves
  // on a coefficient or more); only the first symbolCount are set (not cleared: a
  // sink is made for every edit weighed).
  std::array<Symbol, 65> symbols;
  size_t symbolCount = 0;

 private:
  int wanted_;
  std::array<int32_t, 64>& natural_;
};

void DecodeBlock(const ScanModel& model, const PatchedBytes& patched, const ScanPoint& start,
                 std::array<int32_t, 64>& natural, BlockSink& sink) {
  natural.fill(0);
  StrictDecoder decoder(model);
  decoder.Run(patched, start, start.mcu + 1, sink);
}

}  // namespace

bool BlockFlipStandsOut(double gain, double most, double nextGain) {
  return most > 0 && gain >= kLeastFlipShare * most && gain >= kLeastFlipLead * nextGain;
}

namespace {

// PatchMisfit of a block whose patch lies inside the picture, read from the rows
// around its block row (rows[0] is two sample rows above it) directly: every block of
// the picture is weighed, and few are kept. r lies within -1020..1020 (weights 1 -3 3
// -1 on samples of 0..255), so eight of them fit 16 bits and their sums 32.
#if defined(__SSE2__)
__m128i Samples8(const uint8_t* p) {
  return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
}

// |r| across a horizontal edge, eight pairs, in four 32-bit lanes.
__m128i RowSteps(const uint8_t* a2, const uint8_t* a, const uint8_t* b, const uint8_t* b2) {
  const __m128i d = _mm_sub_epi16(Samples8(b), Samples8(a));
  const __m128i r =
      _mm_add_epi16(_mm_add_epi16(d, _mm_add_epi16(d, d)), _mm_sub_epi16(Samples8(a2), Samples8(b2)));
  return _mm_madd_epi16(_mm_max_epi16(r, _mm_sub_epi16(_mm_setzero_si128(), r)), _mm_set1_epi16(1));
}

int32_t InnerMisfit(const std::array<const uint8_t*, kPatch>& rows, int32_t x0) {
  __m128i across = _mm_add_epi32(RowSteps(rows[0] + x0, rows[1] + x0, rows[2] + x0, rows[3] + x0),
                                 RowSteps(rows[8] + x0, rows[9] + x0, rows[10] + x0, rows[11] + x0));
  // The side edges: the four samples a2 a b b2 across each, row by row, in the bytes of
  // one 32-bit word; each row's two halves (a2 - 3a, 3b - b2) in adjacent lanes.
  // Each word goes straight into a register: a vector load of four separate stores
  // waits for them to be written.
  const auto word = [&](size_t k) {
    int32_t w;
    std::memcpy(&w, rows[k % 8 + 2] + x0 + (k < 8 ? -2 : 6), 4);
    return _mm_cvtsi32_si128(w);
  };
  const __m128i zero = _mm_setzero_si128();
  const __m128i weights = _mm_setr_epi16(1, -3, 3, -1, 1, -3, 3, -1);
  __m128i sides = zero;
  for (size_t g = 0; g < 16; g += 4) {
    const __m128i v = _mm_unpacklo_epi64(_mm_unpacklo_epi32(word(g), word(g + 1)),
                                         _mm_unpacklo_epi32(word(g + 2), word(g + 3)));
    for (const __m128i half : {_mm_unpacklo_epi8(v, zero), _mm_unpackhi_epi8(v, zero)}) {
      const __m128i parts = _mm_madd_epi16(half, weights);
      // r in every lane, each row's twice.
      const __m128i r = _mm_add_epi32(parts, _mm_shuffle_epi32(parts, _MM_SHUFFLE(2, 3, 0, 1)));
      const __m128i sign = _mm_srai_epi32(r, 31);
      sides = _mm_add_epi32(sides, _mm_sub_epi32(_mm_xor_si128(r, sign), sign));
    }
  }
  // Each side pair is in two lanes: lanes 0 and 2 hold them once.
  across = _mm_add_epi32(across, _mm_and_si128(sides, _mm_set_epi32(0, -1, 0, -1)));
  across = _mm_add_epi32(across, _mm_shuffle_epi32(across, _MM_SHUFFLE(1, 0, 3, 2)));
  across = _mm_add_epi32(across, _mm_shuffle_epi32(across, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(across);
}
#else
int32_t InnerMisfit(const std::array<const uint8_t*, kPatch>& rows, int32_t x0) {
  std::array<uint8_t, 144> patch{};
  for (size_t py = 0; py < kPatch; ++py) std::memcpy(patch.data() + py * kPatch, rows[py] + x0 - 2, kPatch);
  return static_cast<int32_t>(PatchMisfit(patch, ~uint32_t{0}));
}
#endif

}  // namespace

OddBlockFinder::OddBlockFinder(const ScanModel& model) : model_(model) {
  for (int bi = 0; bi < model.blockCount; ++bi) {
    const ScanModel::Block& b = model.blocks[static_cast<size_t>(bi)];
    blockAt_[static_cast<size_t>(b.component)][static_cast<size_t>(b.y)][static_cast<size_t>(b.x)] =
        static_cast<int8_t>(bi);
  }
}

template <class Planes>
void OddBlockFinder::AddRow(const Planes& planes, int32_t row, const std::function<McuMark(int32_t)>& markOf,
                            const std::vector<EdgeSums>* sums) {
  const int32_t perRow = model_.geometry.McusPerRow;
  const auto better = [](const OddBlock& a, const OddBlock& b) { return a.misfit > b.misfit; };
  OddBlock candidate;
  for (int c = 0; c < model_.components; ++c) {
    const auto i = static_cast<size_t>(c);
    const int32_t h = model_.h[i], v = model_.v[i];
    const int32_t vw = planes.visibleWidth[i], vh = planes.visibleHeight[i];
    for (int32_t yb = 0; yb < v; ++yb) {
      const int32_t y0 = (row * v + yb) * 8;
      if (y0 >= vh) break;
      const bool innerRows = y0 >= 2 && y0 + 9 < vh;
      std::array<const uint8_t*, kPatch> rows{};
      if (innerRows)
        for (int py = 0; py < kPatch; ++py) rows[static_cast<size_t>(py)] = planes.Row(c, y0 - 2 + py);
      for (int32_t bx = 0; bx < perRow * h; ++bx) {
        const int32_t x0 = bx * 8;
        if (x0 >= vw) break;
        if (innerRows && x0 >= 2 && x0 + 9 < vw) {
          const int32_t summed = sums != nullptr ? (*sums)[i].AroundBlock(bx, row * v + yb) : -1;
          const double misfit = summed >= 0 ? summed : InnerMisfit(rows, x0);
          if (kept_.size() == kKept && misfit <= kept_.front().misfit) continue;
          FillPatch(planes, c, x0, y0, candidate);
          candidate.misfit = misfit;
        } else {
          FillPatch(planes, c, x0, y0, candidate);
          if (std::popcount(candidate.valid) < kLeastEdgePairs) continue;
          candidate.misfit = PatchMisfit(candidate.patch, candidate.valid);
          if (kept_.size() == kKept && candidate.misfit <= kept_.front().misfit) continue;
        }
        candidate.mcu = row * perRow + bx / h;
        candidate.block = blockAt_[i][static_cast<size_t>(yb)][static_cast<size_t>(bx % h)];
        candidate.start = markOf(candidate.mcu);
        if (kept_.size() == kKept) {
          std::pop_heap(kept_.begin(), kept_.end(), better);
          kept_.back() = candidate;
        } else {
          kept_.push_back(candidate);
        }
        std::push_heap(kept_.begin(), kept_.end(), better);
      }
    }
  }
}

template void OddBlockFinder::AddRow<ComponentPlanes>(const ComponentPlanes&, int32_t,
                                                      const std::function<McuMark(int32_t)>&,
                                                      const std::vector<EdgeSums>*);
template void OddBlockFinder::AddRow<BandPlanes>(const BandPlanes&, int32_t,
                                                 const std::function<McuMark(int32_t)>&,
                                                 const std::vector<EdgeSums>*);

namespace {

// Which bits of a decoded block are the extra bits of its values: a flip of one of
// them reads the same code words, so its effect is known without a decode (a flip of
// the DC difference's moves every DC value after it).
struct ExtraBits {
  static constexpr int32_t kCode = -1;  // a bit of a code word
  static constexpr int32_t kDc = -2;    // a bit of the DC difference
  struct Bit {
    int k;            // the coefficient's zig-zag place
    int32_t changed;  // its value with the bit flipped
  };
  BitPos from = 0;
  std::vector<int32_t> of;  // per bit from `from` on: kCode, kDc or an index into bits
  std::vector<Bit> bits;

  ExtraBits(std::span<const uint8_t> bytes, const BlockSink& as, const std::array<int32_t, 64>& plain)
      : from(as.first.next), of(static_cast<size_t>(std::max<BitPos>(as.after - as.first.next, 0)), kCode) {
    const size_t count = as.symbolCount;
    // The extra bits of a code word end where the next begins (the last, where the
    // block ends).
    const auto mark = [&](BitPos at, int32_t value) {
      if (at >= from && at - from < static_cast<BitPos>(of.size()))
        of[static_cast<size_t>(at - from)] = value;
    };
    if (count < 2 || as.symbols[1].coef != 1) return;
    drift::ForEachExtraBit(bytes, as.symbols[1].at, as.symbols[1].pendingDc,
                           [&](BitPos at, int32_t) { mark(at, kDc); });
    for (size_t i = 1; i < count; ++i) {
      const BitPos end = i + 1 < count ? as.symbols[i + 1].at : as.after;
      const int k = (i + 1 < count ? as.symbols[i + 1].coef : 64) - 1;
      if (k < 1 || k > 63) continue;
      const int32_t value = plain[static_cast<size_t>(kNaturalOrder[static_cast<size_t>(k)])];
      if (value == 0) continue;  // a run of zeros (ZRL), or the end of the block
      drift::ForEachExtraBit(bytes, end, value, [&](BitPos at, int32_t changed) {
        bits.push_back({k, changed});
        mark(at, static_cast<int32_t>(bits.size() - 1));
      });
    }
  }
  int32_t Of(BitPos at) const {
    return at >= from && at - from < static_cast<BitPos>(of.size()) ? of[static_cast<size_t>(at - from)]
                                                                    : kCode;
  }
};

// Which of the coefficients are not 0, a bit each.
uint64_t NonZeroOf(const std::array<int32_t, 64>& natural) {
#if defined(__SSE2__)
  uint64_t mask = 0;
  const __m128i zero = _mm_setzero_si128();
  for (size_t n = 0; n < 64; n += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(natural.data() + n));
    const auto zeros = static_cast<uint64_t>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(v, zero))));
    mask |= (~zeros & 0xF) << n;
  }
  return mask;
#else
  uint64_t mask = 0;
  for (size_t n = 0; n < 64; ++n)
    if (natural[n] != 0) mask |= uint64_t{1} << n;
  return mask;
#endif
}

// Where a decode of the block with a bit at `at` changed may begin: at the code word
// that bit falls in, in the state the decode from the block's start had there. Not
// right after a run of zeros (ZRL): an end of block after one is refused, which only
// a decode that read the run knows, so it begins at the run.
ScanPoint ResumePoint(const BlockSink& as, const std::array<int32_t, 64>& plain, BitPos at) {
  size_t s = 0;
  while (s + 1 < as.symbolCount && as.symbols[s + 1].at <= at) ++s;
  if (s >= 2 && as.symbols[s].coef - as.symbols[s - 1].coef == 16 &&
      plain[static_cast<size_t>(kNaturalOrder[static_cast<size_t>(as.symbols[s].coef - 1)])] == 0)
    --s;
  if (s == 0) return as.first;
  ScanPoint p = as.first;
  p.next = as.symbols[s].at;
  p.coef = static_cast<int8_t>(as.symbols[s].coef);
  p.pendingDc = static_cast<int16_t>(as.symbols[s].pendingDc);
  return p;
}

}  // namespace

std::optional<BlockFlip> BestFlipOf(const ScanModel& model, std::span<const uint8_t> bytes,
                                    const OddBlock& block) {
  const auto size = static_cast<int64_t>(bytes.size());
  const ScanPoint start = StartPointOf(model, bytes, block.start, block.mcu);
  std::array<int32_t, 64> plain{}, flipped{};
  BlockSink as(block.block, plain);
  DecodeBlock(model, PatchedBytes(bytes.data(), size), start, plain, as);
  if (as.first.next < 0 || as.after < 0) return std::nullopt;
  const BitPos last = as.lastBit;
  const ScanModel::Block& b = model.blocks[static_cast<size_t>(block.block)];
  const auto& quant = model.quantNatural[static_cast<size_t>(b.quant)];
  std::array<int32_t, 32> before{}, after{};
  PatchMisfit(block.patch, block.valid, &before);
  // The bits of the block's code words, each flipped; and each byte that begins in it,
  // removed (a byte written into the data, whose codes read on in step).
  std::vector<ScanEdit> edits;
  for (BitPos at = as.first.next; at <= last; ++at) {
    const int64_t byte = at >> 3;
    const int bit = static_cast<int>(at & 7);
    if (byte <= 0 || byte >= size) continue;
    const uint8_t old = bytes[static_cast<size_t>(byte)];
    // A data FF and its stuffed 00 hold no bits to flip, and a flip to FF would be a
    // marker.
    if (old == 0xFF || (old == 0x00 && bytes[static_cast<size_t>(byte - 1)] == 0xFF)) continue;
    if ((old ^ (0x80 >> bit)) != 0xFF) edits.push_back(ScanEdit::Bit(static_cast<int32_t>(byte), bit, old));
    if (bit == 0) edits.push_back(ScanEdit::RemoveByte(static_cast<int32_t>(byte), old));
  }
  const ExtraBits extra(bytes, as, plain);
  std::optional<BlockFlip> best;
  for (const ScanEdit& edit : edits) {
    const BitPos at = MakeBitPos(edit.position, edit.bit);
    const int32_t which = edit.kind == EditKind::Remove ? ExtraBits::kCode : extra.Of(at);
    if (which == ExtraBits::kDc) continue;  // another DC value: the blocks after it step
    if (which >= 0) {
      // A bit of a coefficient's value: the same code words, that one value changed
      // (or, beyond what an encoder writes, the decode stopped).
      const ExtraBits::Bit& bit = extra.bits[static_cast<size_t>(which)];
      if (std::abs(bit.changed) > (*b.largest)[static_cast<size_t>(bit.k)]) continue;
      flipped = plain;
      flipped[static_cast<size_t>(kNaturalOrder[static_cast<size_t>(bit.k)])] = bit.changed;
    } else {
      // Resumed at the code word the edit falls in: the blocks before it cannot change,
      // nor the block's code words before that one (their values are taken as they
      // were), and the blocks after it do not where the decode stands after it as it
      // did (a removed byte's eight bits earlier).
      const ScanPoint resume = ResumePoint(as, plain, at);
      BlockSink with(block.block, flipped);
      DecodeBlock(model, PatchedBytes(bytes.data(), size, edit), resume, flipped, with);
      const BitPos shift = edit.kind == EditKind::Remove ? 8 : 0;
      if (with.after < 0 || with.after + shift != as.after || with.dc != as.dc) continue;
      for (int k = 1; k < resume.coef; ++k) {
        const auto n = static_cast<size_t>(kNaturalOrder[static_cast<size_t>(k)]);
        flipped[n] = plain[n];
      }
      if (flipped == plain) continue;
    }
    const uint64_t nonZero = NonZeroOf(flipped);
    SampleBlock s;
    if (!TransformBlock(model.kernel, quant, flipped, nonZero, s)) continue;
    std::array<uint8_t, 144> patch = block.patch;
    for (int y = 0; y < 8; ++y) ClampRowToBytes(s.data() + y * 8, patch.data() + (y + 2) * kPatch + 2);
    int32_t moved = 0;
    for (size_t k = 0; k < patch.size(); ++k)
      moved = std::max(moved, std::abs(static_cast<int32_t>(patch[k]) - block.patch[k]));
    PatchMisfit(patch, block.valid, &after);
    BlockFlip f;
    for (size_t p = 0; p < 32; ++p) {
      f.gain += std::abs(before[p]) - std::abs(after[p]);
      f.most += std::abs(after[p] - before[p]);
    }
    if (f.most <= 0 || (best && f.gain <= best->gain)) continue;
    f.levels = moved;
    f.bit.edit = edit;
    f.bit.mcu = block.mcu;
    f.bit.component = b.component;
    best = f;
  }
  return best;
}

namespace {

// The best of the flips found (kept in the order of the blocks, nullopt where none was
// found or not looked for), the best gain among the others, and whether it stands out.
struct FlipChoice {
  std::optional<BlockFlip> best;
  double next = 0;
  bool standsOut = false;

  explicit FlipChoice(const std::vector<std::optional<BlockFlip>>& flips) {
    for (const std::optional<BlockFlip>& f : flips) {
      if (!f) continue;
      if (!best || f->gain > best->gain) {
        if (best) next = std::max(next, best->gain);
        best = f;
      } else {
        next = std::max(next, f->gain);
      }
    }
    // Only what a person sees, as for the bits of coefficients: a best flip that moves
    // no sample much is a near twin of the block as it is, whatever its edges say (a
    // faint flipped bit once had a bit of the next byte written for it).
    standsOut = best && BlockFlipStandsOut(best->gain, best->most, next) && AcBitCounts(best->levels);
  }
  // Whether blocks not looked at, each of misfit `most` or less, can change the answer.
  // A flip mends at most the block's misfit (gain <= misfit, every |r| at best 0), and
  // gains, misfits and their thirds compare exactly (sums of integers). A flip that
  // stands out stays so when no other can gain a third of it; one that does not
  // stands out only when another gains three times it (it becomes the next).
  bool Settled(double most) const {
    if (!best || best->gain <= 0) return false;
    return standsOut ? 3 * most <= best->gain : most < 3 * best->gain;
  }
};

}  // namespace

std::optional<BlockFlip> OddBlockFinder::Best(std::span<const uint8_t> bytes, bool twoThreads) const {
  if (!OneBlockWeighable(model_)) return std::nullopt;
  // Each block's best edit is its own (some ten thousand block decodes in all, the last
  // work of a check, which nothing else overlaps). The blocks are looked at from the
  // worst-fitting on, on two threads when asked, until the rest cannot change the
  // answer; the answer is taken in the order of kept_ either way.
  std::vector<size_t> order(kept_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [this](size_t a, size_t b) { return kept_[a].misfit > kept_[b].misfit; });
  std::vector<std::optional<BlockFlip>> flips(kept_.size());
  std::mutex mutex;
  size_t taken = 0;  // of order
  bool settled = false;
  const auto settledNow = [&] {
    return taken >= order.size() || FlipChoice(flips).Settled(kept_[order[taken]].misfit);
  };
  const auto work = [&] {
    for (;;) {
      size_t i = 0;
      {
        std::lock_guard lock(mutex);
        if (settled || taken >= order.size()) return;
        i = order[taken++];
      }
      std::optional<BlockFlip> f = BestFlipOf(model_, bytes, kept_[i]);
      std::lock_guard lock(mutex);
      flips[i] = std::move(f);
      settled = settledNow();
    }
  };
  std::exception_ptr failed;
  {
    std::optional<std::jthread> other;
    if (twoThreads && kept_.size() > 1) {
      try {
        other.emplace([&] {
          try {
            work();
          } catch (...) {
            std::lock_guard lock(mutex);
            failed = std::current_exception();
            settled = true;  // this thread ends the work
          }
        });
      } catch (const std::system_error&) {
        // No second thread to be had: this one takes every block.
      }
    }
    work();
  }
  if (failed) std::rethrow_exception(failed);
  // What the other thread finished after the answer seemed settled may have changed
  // it: the rest on this thread, until it is.
  settled = settledNow();
  work();
  const FlipChoice choice(flips);
  if (!choice.standsOut) return std::nullopt;
  return choice.best;
}

std::optional<DcBit> FindBlockFlip(const ScanModel& model, std::span<const uint8_t> bytes,
                                   const ScanPass& pass) {
  if (!pass.Clean() || pass.planes.count == 0) return std::nullopt;
  OddBlockFinder finder(model);
  const auto markOf = [&pass](int32_t mcu) { return pass.marks[static_cast<size_t>(mcu)]; };
  for (int32_t row = 0; row < model.geometry.McuRows; ++row) finder.AddRow(pass.planes, row, markOf);
  const std::optional<BlockFlip> best =
      finder.Best(bytes, UseTwoThreads(DecodeThreads::Automatic, model.totalMcus));
  if (!best) return std::nullopt;
  ScanPass check;
  RunScanPass(model, PatchedBytes(bytes.data(), static_cast<int64_t>(bytes.size()), best->bit.edit), false,
              check);
  if (!check.Clean()) return std::nullopt;
  return best->bit;
}

}  // namespace vorn
