// The strict scan decoder of the repair engine.
//
// It decodes the entropy-coded data as the window's decoder does (same tables, same
// code words, same failures) but holds the data to what an encoder writes: every
// interval decodes exactly its MCUs, ends on an MCU boundary with fewer than eight
// padding bits, all 1, and is followed by the right marker (RSTn in turn, EOI after
// the last). A marker anywhere else ends the decode. It starts at any point between
// two symbols, reads the file through a PatchedBytes (so a trial edit never copies
// the file) and tells a sink about every symbol, block and MCU it completes, so that
// callers can record, compare or draw what it decodes.
#pragma once

#include <array>
#include <bit>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "analysis/zigzag.h"
#include "decode/bit_rules.h"
#include "decode/entropy_reader.h"
#include "jpeg/marker_codes.h"
#include "repair/scan_edit.h"
#include "repair/scan_model.h"

namespace vorn {

// Reads the data bytes of a patched file: a data FF is followed by a stuffed 00,
// which is skipped; fill FFs before a marker and the marker's FF are no data.
using PatchedBits = EntropyReader<MarkerBytes::kFillBeforeMarker>;

// Where a decode stands between two symbols: enough to resume it there.
struct ScanPoint {
  BitPos next = 0;  // the next bit to read
  int32_t mcu = 0;  // the MCU being decoded
  int8_t block = 0;
  int8_t coef = 0;        // next zig-zag index of that block (0: its first symbol)
  int16_t pendingDc = 0;  // the block's DC difference, added when it completes
  std::array<int16_t, 3> dc{};
};

enum class StopKind : uint8_t {
  AtMarker,            // a marker follows an MCU boundary (the data of this stretch ends)
  Limit,               // the MCU limit was reached with data still to come
  SinkStopped,         // the sink ended the decode
  BadCode,             // no code word within 16 bits
  CoefficientOverrun,  // a zero run or coefficient past position 63
  DcRange,             // a DC value outside 16 bits, or larger than 8-bit samples give
                       // (it depends on the predictors, not only on the bits)
  Implausible,         // what no encoder writes: an AC coefficient larger than 8-bit
                       // samples give, or a run of zeros (ZRL) with nothing after it
  TransformOverflow,   // the inverse transform overflowed (only when transforming)
  MarkerInsideMcu,     // RSTn or EOI before the MCU's data ended
  ForeignMarker,       // a marker other than RSTn and EOI in the data
  EndOfFile,           // the file ends inside the data
};

struct DecodeStop {
  StopKind kind = StopKind::AtMarker;
  int32_t mcu = 0;          // the MCU being decoded (or about to be) when it stopped
  BitPos at = 0;            // the next unread bit; at a marker, the marker's first bit
  uint8_t marker = 0;       // the marker met, if any
  bool paddingOnes = true;  // AtMarker: the bits before the marker are all 1
};

// A sink that sets kBoundOnly wants of each block only its DC value (OnBlockDc) and
// that its transform fits: the decoder sums the overflow bound itself as it reads
// the coefficients, without laying them out, and ends with TransformOverflow when
// the block does not fit (the exact transform decides only where the bound exceeds
// 32 bits). Such sinks set kCoefficients false.
template <class Sink>
constexpr bool kSumsBound = requires {
  requires Sink::kBoundOnly;
};

// Whether a block given as its predicted DC and its AC values in zig-zag order
// (bit z of mask set for each value read) transforms without overflow, by the exact
// transform: for a block whose bound has passed 32 bits.
bool PackedTransformFits(const ScanModel& model, int block, int32_t dc, const std::array<int32_t, 64>& zigZag,
                         uint64_t mask);

// A sink that wants nothing.
struct NullSink {
  static constexpr bool kSymbols = false;
  static constexpr bool kCoefficients = false;
  void OnSymbol(const ScanPoint&) {}
  // The block's coefficients in natural order, DC predicted, and a mask of those
  // that are not 0 (the others are 0). The sink may change them: the decoder clears
  // the masked ones afterwards. False: a transform failed.
  bool OnBlock(int /*block*/, std::array<int32_t, 64>& /*natural*/, uint64_t /*nonZero*/) { return true; }
  // MCU `mcu` begins; mark is the last bit before it. False ends the decode.
  bool OnMcu(int32_t /*mcu*/, BitPos /*mark*/, const std::array<int16_t, 3>& /*dc*/) { return true; }
};

class StrictDecoder {
 public:
  explicit StrictDecoder(const ScanModel& model) : model_(model) {}

  const ScanModel& Model() const { return model_; }
  PatchedBits& Reader() { return reader_; }

  // Decodes from `start` over bytes, MCU after MCU, until a marker follows an MCU
  // boundary, MCU `limit` would begin, the data fails or the sink stops it.
  template <class Sink>
  DecodeStop Run(const PatchedBytes& bytes, const ScanPoint& start, int32_t limit, Sink& sink) {
    reader_.Start(bytes, start.next >> 3, static_cast<int>(start.next & 7), w_);
    return Continue(start, limit, sink);
  }

  // After a stop AtMarker: passes the marker and decodes on from MCU `mcu` with the
  // predictors reset, as after a restart marker.
  template <class Sink>
  DecodeStop PassMarker(int32_t mcu, int32_t limit, Sink& sink) {
    reader_.PassMarker();
    w_ = BitWindow{};
    ScanPoint p;
    p.mcu = mcu;
    return Continue(p, limit, sink);
  }

 private:
  template <class Sink>
  DecodeStop Continue(const ScanPoint& start, int32_t limit, Sink& sink);
  DecodeStop ShortOfBits(int32_t mcu) const;
  // On an MCU boundary with fewer than eight bits before a marker: whether those
  // bits are all 1 (padding: no MCU begins with a code word of 1 bits alone) or may
  // hold a whole MCU more (a plain block can be coded in six bits). s is the stop at
  // the marker either way.
  enum class Ahead : uint8_t { None, Padding, MaybeMcu };
  Ahead MarkerAhead(BitWindow& w, DecodeStop& s);

  const ScanModel& model_;
  PatchedBits reader_;
  BitWindow w_;
  alignas(64) std::array<int32_t, 64> natural_{};
};

inline DecodeStop StrictDecoder::ShortOfBits(int32_t mcu) const {
  DecodeStop s;
  s.mcu = mcu;
  s.at = reader_.NextBit(w_);
  switch (reader_.Pending()) {
    case PatchedBits::Event::kNone:
      s.kind = StopKind::BadCode;
      break;
    case PatchedBits::Event::kOutsideFile:
    case PatchedBits::Event::kEnd:  // no last byte is set: the end of the file is the end
      s.kind = StopKind::EndOfFile;
      break;
    case PatchedBits::Event::kMarker:
      s.marker = reader_.MarkerCode();
      s.at = MakeBitPos(reader_.MarkerPosition(), 0);
      s.kind = marker::IsRestartMarker(s.marker) || s.marker == marker::kEOI ? StopKind::MarkerInsideMcu
                                                                             : StopKind::ForeignMarker;
      break;
  }
  return s;
}

inline StrictDecoder::Ahead StrictDecoder::MarkerAhead(BitWindow& w, DecodeStop& s) {
  if (w.bits >= 8) return Ahead::None;
  reader_.Fill(w);
  if (w.bits >= 8 || reader_.Pending() != PatchedBits::Event::kMarker) return Ahead::None;
  s.kind = StopKind::AtMarker;
  s.marker = reader_.MarkerCode();
  s.at = MakeBitPos(reader_.MarkerPosition(), 0);
  const uint64_t ones = w.bits == 0 ? 0 : ~uint64_t{0} << (64 - w.bits);
  s.paddingOnes = (w.buffer & ones) == ones;
  if (!s.paddingOnes) return Ahead::MaybeMcu;
  w = BitWindow{};  // the padding is passed (all of it: Take cannot take none)
  w_ = w;
  return Ahead::Padding;
}

template <class Sink>
DecodeStop StrictDecoder::Continue(const ScanPoint& start, int32_t limit, Sink& sink) {
  const ScanModel& m = model_;
  std::array<int32_t, 3> dc = {start.dc[0], start.dc[1], start.dc[2]};
  int32_t mcu = start.mcu;
  int block = start.block;
  int k = start.coef;
  int32_t dcDiff = start.pendingDc;
  uint64_t nonZero = 0;                                 // of natural_, while transforming
  int64_t bound = 0;                                    // kSumsBound: of the block so far
  uint64_t read = 0;                                    // kSumsBound: zig-zag positions set in natural_
  if constexpr (Sink::kCoefficients) natural_.fill(0);  // a failed block may have left some
  BitWindow w = w_;
  // Set while the bits before a marker that follow the last MCU are decoded as one
  // more MCU: should they fail to be one, they were padding (not all 1) and the
  // stretch ended with that MCU.
  std::optional<DecodeStop> padding;
  auto fail = [&](const DecodeStop& s) {
    if (!padding) return s;
    w_ = BitWindow{};
    return *padding;
  };
  auto stop = [&](StopKind kind) {
    w_ = w;
    DecodeStop s;
    s.kind = kind;
    s.mcu = mcu;
    s.at = reader_.NextBit(w_);
    return fail(s);
  };
  for (;;) {
    // One block, from symbol k on.
    const ScanModel::Block& b = m.blocks[static_cast<size_t>(block)];
    const HuffmanLookup* table = k == 0 ? b.dc : b.ac;
    const int32_t* largest = b.largest->data();  // held here: the stores below may alias it
    const int64_t* weight = b.weight->data();
    bool first = k == 0;
    bool lastZeroRun = false;
    for (;;) {
      // The window is filled through a copy, so that w itself never has its address
      // taken and stays in registers over the loop.
      if (w.bits < 32) {
        BitWindow filled = w;
        reader_.Refill(filled);
        w = filled;
      }
      if constexpr (Sink::kSymbols) {
        w_ = w;
        ScanPoint p;
        p.next = reader_.NextBit(w_);
        p.mcu = mcu;
        p.block = static_cast<int8_t>(block);
        p.coef = static_cast<int8_t>(k);
        p.pendingDc = static_cast<int16_t>(dcDiff);
        for (int c = 0; c < 3; ++c) p.dc[c] = static_cast<int16_t>(dc[c]);
        sink.OnSymbol(p);
      }
      // A code word and its extra bits within the first 11 bits: one lookup gives
      // both, as the search below would find them; an end of block, a zero run (ZRL),
      // longer ones and a run past the block's end take the search.
      int32_t e = table->ValueEntry(w.Peek16() >> (16 - HuffmanLookup::kValueBits));
      if ((e & 0xFF) > w.bits || k + ((e >> 8) & 0x3F) > 63) e = 0;
      int32_t value = 0;
      if (e != 0) {
        w.Take(e & 0xFF);
        if ((e & HuffmanLookup::kEndOfBlock) != 0) {
          if (lastZeroRun) return stop(StopKind::Implausible);
          break;
        }
        lastZeroRun = false;
        k += (e >> 8) & 0x3F;
        value = e >> 16;
      } else {
        const HuffmanLookup::Code code = table->Peek(w.Peek16());
        if (code.length == 0 || code.length > w.bits) {
          w_ = w;
          return fail(ShortOfBits(mcu));
        }
        w.Take(code.length);
        if (!first && code.run == 0 && code.size == 0) {  // end of block
          if (lastZeroRun) return stop(StopKind::Implausible);
          break;
        }
        lastZeroRun = !first && code.run == 15 && code.size == 0;
        if (k + code.run > 63) return stop(StopKind::CoefficientOverrun);
        k += code.run;
        if (code.size != 0) {
          if (code.size > w.bits) {
            w_ = w;
            return fail(ShortOfBits(mcu));
          }
          value = ExtendSign(w.Take(code.size), code.size);
        }
      }
      if (k > 0 && std::abs(value) > largest[k]) return stop(StopKind::Implausible);
      if (first) {
        dcDiff = k == 0 ? value : 0;
        first = false;
        table = b.ac;
      }
      if constexpr (kSumsBound<Sink>) {
        // natural_ holds zig-zag values here, read only where the bound is exceeded.
        if (k > 0) {
          natural_[static_cast<size_t>(k)] = value;
          read |= uint64_t{1} << k;
          bound += std::abs(value) * weight[k];
        }
      }
      if constexpr (Sink::kCoefficients) {
        if (value != 0) {
          const int n = kNaturalOrder[static_cast<size_t>(k)];
          natural_[static_cast<size_t>(n)] = value;
          nonZero |= uint64_t{1} << n;
        }
      }
      if (++k == 64) {
        if (lastZeroRun) return stop(StopKind::Implausible);
        break;
      }
    }
    // The block is complete: DC prediction.
    const int32_t sum = dc[static_cast<size_t>(b.component)] + dcDiff;
    if (!FitsInt16(sum) || std::abs(sum) > largest[0]) return stop(StopKind::DcRange);
    dc[static_cast<size_t>(b.component)] = sum;
    dcDiff = 0;
    k = 0;
    if constexpr (kSumsBound<Sink>) {
      bound += std::abs(sum) * weight[0];
      if (bound > INT32_MAX && !PackedTransformFits(m, block, sum, natural_, read))
        return stop(StopKind::TransformOverflow);
      bound = 0;
      read = 0;
      sink.OnBlockDc(block, sum);
    }
    if constexpr (Sink::kCoefficients) {
      natural_[0] = sum;
      nonZero = sum != 0 ? nonZero | 1 : nonZero & ~uint64_t{1};
      const bool transformed = sink.OnBlock(block, natural_, nonZero);
      for (uint64_t rest = nonZero; rest != 0; rest &= rest - 1)
        natural_[static_cast<size_t>(std::countr_zero(rest))] = 0;
      nonZero = 0;
      if (!transformed) return stop(StopKind::TransformOverflow);
    }
    if (++block < m.blockCount) continue;
    block = 0;
    ++mcu;
    padding.reset();
    w_ = w;
    const std::array<int16_t, 3> dc16 = {static_cast<int16_t>(dc[0]), static_cast<int16_t>(dc[1]),
                                         static_cast<int16_t>(dc[2])};
    if (!sink.OnMcu(mcu, reader_.LastTaken(w_), dc16)) return stop(StopKind::SinkStopped);
    DecodeStop s;
    s.mcu = mcu;
    BitWindow ahead = w;
    const Ahead next = MarkerAhead(ahead, s);
    w = ahead;
    switch (next) {
      case Ahead::Padding:
        return s;
      case Ahead::MaybeMcu:
        padding = s;
        if (mcu >= limit) return fail(s);
        continue;
      case Ahead::None:
        break;
    }
    if (mcu >= limit) return stop(StopKind::Limit);
  }
}

}  // namespace vorn
