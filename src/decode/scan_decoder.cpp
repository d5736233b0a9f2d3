#include "decode/scan_decoder.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

#include "decode/bit_rules.h"
#include "decode/decode_scan.h"

namespace vorn {

namespace {

// A code word of at most 16 bits and its at most 15 extra bits: with this many bits
// held, a code word and its value can be taken whole.
constexpr int kWholeCodeWord = 16 + kLargestSize;

// A decoded value (at most 15 bits and a sign; a DC with its predictor, 16 bits)
// times a 16-bit quantization value: within 2^30, so the product always fits the
// 32 bits that the dequantisation must not leave.
inline int32_t Dequantise(int32_t value, int32_t quant) {
  return value * quant;
}

}  // namespace

ScanDecoder::ScanDecoder(const FileImage& file, const Records& rec, int32_t scanDataEnd,
                         const ScanTables& tables, const McuGeometry& geometry, DecodeState& decode,
                         McuPipeline& pixels)
    : tables_(tables),
      geometry_(geometry),
      decode_(decode),
      pixels_(pixels) {
  reader_.Start(PatchedBytes(file.bytes.data(), file.FileLength()), rec.scan.ScanDataStart, 0, window_,
                scanDataEnd);
  StartBlock();
}

void ScanDecoder::StartBlock() {
  readingCode_ = true;
  codeValue_ = 0;
  codeLength_ = 0;
  coefficientClass_ = 0;
  coefficientIndex_ = 0;
  table_ = tables_.dc[blockIndex_];
  block_ = pixels_.Block();
  block_[2] = 0;  // the DC difference, until a code word gives one
  out_ = block_ + 3;
  zigZag_ = 0;
  quant_ = tables_.blockQuant[blockIndex_];
  absSum_ = 0;
}

DecodeStatus ScanDecoder::Run() {
  for (;;) {
    if (window_.bits < kWholeCodeWord) {
      reader_.Fill(window_);
      if (window_.bits == 0) {
        using Event = decltype(reader_)::Event;
        switch (reader_.Pending()) {
          case Event::kMarker:
            if (!marker::IsRestartMarker(reader_.MarkerCode())) return DecodeStatus::ForeignMarker;
            // RSTn drops the bits collected so far and the predictors, nothing else.
            codeValue_ = 0;
            codeLength_ = 0;
            dcPredictor_ = {0, 0, 0};
            reader_.PassMarker();
            continue;
          case Event::kOutsideFile:
            return DecodeStatus::Failure;
          case Event::kEnd:
          case Event::kNone:
            return DecodeStatus::Ok;
        }
      }
    }
    if (readingCode_ && codeLength_ == 0 && table_ != nullptr && window_.bits >= kWholeCodeWord) {
      if (!WholeCodeWords()) return DecodeStatus::Failure;
      // Fewer bits are held now, or the next code word needs the bit-by-bit search:
      // one step of the general machine follows, which always takes a bit.
    }
    if (!SlowStep()) return DecodeStatus::Failure;
  }
}

bool ScanDecoder::SlowStep() {
  if (!readingCode_) {
    // Extra bits: take what is needed of what is held.
    const int n = std::min(extraBits_ - codeLength_, window_.bits);
    codeValue_ = static_cast<int32_t>((static_cast<uint32_t>(codeValue_) << n) | window_.Take(n));
    codeLength_ += n;
    if (codeLength_ < extraBits_) return true;
    return StoreCoefficient(ExtendSign(static_cast<uint32_t>(codeValue_), extraBits_));
  }
  if (table_ == nullptr) return false;  // the block's selector names no table: fails on its first bit
  if (codeLength_ == 0) {
    // A whole code word when the bits before a marker hold one.
    const HuffmanLookup::Code code = table_->Peek(window_.Peek16());
    if (code.length != 0 && code.length <= window_.bits) {
      window_.Take(code.length);
      return OnCode(code.run, code.size);
    }
  }
  // One bit, then the comparison with the codes of the new length.
  codeValue_ = 2 * codeValue_ + static_cast<int32_t>(window_.Take(1));
  ++codeLength_;
  if (codeLength_ > 16) return false;
  const int k = table_->Find(codeLength_, codeValue_);
  if (k < 0) return true;
  return OnCode(table_->Run(codeLength_, k), table_->Size(codeLength_, k));
}

bool ScanDecoder::OnCode(int run, int size) {
  if (run == 0 && size == 0 && coefficientClass_ == 1) {
    // End of block: the remaining coefficients are 0 already.
    return CompleteBlock();
  }
  // The zeros of the run go to positions coefficientIndex_ .. + run - 1.
  if (coefficientIndex_ + run > 64) return false;
  coefficientIndex_ += run;
  coefficientClass_ = 1;
  table_ = tables_.ac[blockIndex_];
  if (size > kLargestSize) return false;
  if (size == 0) return StoreCoefficient(0);
  if (size <= window_.bits) return StoreCoefficient(ExtendSign(window_.Take(size), size));
  readingCode_ = false;
  extraBits_ = size;
  codeValue_ = 0;
  codeLength_ = 0;
  return true;
}

bool ScanDecoder::StoreCoefficient(int32_t value) {
  if (coefficientIndex_ > 63) return false;
  if (value != 0 && coefficientIndex_ == 0) {
    block_[2] = value;  // the DC difference: its predictor comes first
  } else if (value != 0) {
    *out_ = Dequantise(value, quant_[coefficientIndex_]);
    absSum_ += std::abs(*out_++);
    zigZag_ |= uint64_t{1} << coefficientIndex_;
  }
  if (++coefficientIndex_ == 64) return CompleteBlock();
  readingCode_ = true;
  codeValue_ = 0;
  codeLength_ = 0;
  return true;
}

// The hot loop: the same steps as OnCode and StoreCoefficient for whole code words,
// with the state in locals (the compiler keeps them in registers) and written back
// before a block is completed or the loop is left. Most AC code words of a photo
// are short and so are their values: one lookup gives both.
bool ScanDecoder::WholeCodeWords() {
  BitWindow w = window_;
  const HuffmanLookup* table = table_;
  int index = coefficientIndex_;
  int cls = coefficientClass_;
  int32_t* out = out_;
  uint64_t zigZag = zigZag_;
  const int32_t* quant = quant_;
  int64_t absSum = absSum_;
  auto save = [&] {
    window_ = w;
    table_ = table;
    coefficientIndex_ = index;
    coefficientClass_ = cls;
    out_ = out;
    zigZag_ = zigZag;
    absSum_ = absSum;
  };
  auto load = [&] {
    table = table_;
    index = coefficientIndex_;
    cls = coefficientClass_;
    out = out_;
    zigZag = zigZag_;
    quant = quant_;
    absSum = absSum_;
  };
  auto store = [&](int32_t value) {
    *out = Dequantise(value, quant[index]);
    absSum += std::abs(*out++);
    zigZag |= uint64_t{1} << index;
  };
  for (;;) {
    if (w.bits < kWholeCodeWord) {
      // Filled through a copy: w itself never has its address taken, so that it
      // stays in registers.
      BitWindow filled = w;
      reader_.Refill(filled);
      w = filled;
      if (w.bits < kWholeCodeWord) break;
    }
    if (const int32_t e =
            table->ValueEntry(static_cast<uint32_t>(w.buffer >> (64 - HuffmanLookup::kValueBits)))) {
      // A short code word and its value in one lookup.
      w.Take(e & 0xFF);
      if (cls == 0) {
        // The DC difference (run 0): its predictor comes first.
        block_[2] = e >> 16;
        cls = 1;
        table = tables_.ac[blockIndex_];
        index = 1;
        if (table == nullptr) break;  // the AC table is missing
        continue;
      }
      if (e & HuffmanLookup::kEndOfBlock) {
        save();
        if (!CompleteBlock()) return false;
        load();
        if (table == nullptr) return true;  // the next block names no table
        continue;
      }
      index += (e >> 8) & 0xFF;
      if (index > 63) return false;
      store(e >> 16);
      if (++index == 64) {
        save();
        if (!CompleteBlock()) return false;
        load();
        if (table == nullptr) return true;  // the next block names no table
      }
      continue;
    }
    const uint32_t firstBits = static_cast<uint32_t>(w.buffer >> (64 - HuffmanLookup::kPeekBits));
    int length, run, size;
    if (const uint32_t e = table->ShortEntry(firstBits)) {
      const HuffmanLookup::Code code = HuffmanLookup::Unpack(e);
      length = code.length;
      run = code.run;
      size = code.size;
    } else {
      const HuffmanLookup::Code code = table->PeekLong(w.Peek16());
      if (code.length == 0) break;  // no code word within 16 bits: bit by bit to the failure
      length = code.length;
      run = code.run;
      size = code.size;
    }
    w.Take(length);
    if ((run | size) == 0 && cls == 1) {  // end of block
      save();
      if (!CompleteBlock()) return false;
      load();
      if (table == nullptr) return true;  // the next block names no table
      continue;
    }
    index += run;
    if (index > 64 || size > kLargestSize) return false;
    if (size != 0) {
      if (index > 63) return false;
      const int32_t value = ExtendSign(w.Take(size), size);
      if (index == 0)
        block_[2] = value;  // the DC difference: its predictor comes first
      else
        store(value);
    } else if (index > 63) {
      return false;
    }
    if (cls == 0) {
      cls = 1;
      table = tables_.ac[blockIndex_];
    }
    if (++index == 64) {
      save();
      if (!CompleteBlock()) return false;
      load();
    }
    if (table == nullptr) break;  // the AC table (or the next block's DC table) is missing
  }
  save();
  return true;
}

bool ScanDecoder::CompleteBlock() {
  const McuBlockPlan& plan = decode_.Plan;
  const int c = plan.Component(blockIndex_);
  const int32_t dc = block_[2] + dcPredictor_[c];
  if (!FitsInt16(dc)) return false;
  dcPredictor_[c] = dc;
  const int q = plan.Quant(blockIndex_);
  if (q < 0 || q > 2) return false;
  block_[2] = Dequantise(dc, tables_.quant[q][0]);
  absSum_ += std::abs(block_[2]);
  if (absSum_ <= tables_.uncheckedSum) {
    pixels_.BlockDone(zigZag_, static_cast<int>(out_ - (block_ + 3)));
  } else {
    // The quick bound does not hold: the exact one, and where even that leaves 32
    // bits, the checked product, which may fail. It runs here, so that the failure
    // comes at this block, and hands on the samples.
    std::array<int32_t, 64> natural{};
    uint64_t nonZero = dc != 0 ? 1 : 0;
    natural[0] = block_[2];
    const int32_t* value = block_ + 3;
    for (uint64_t rest = zigZag_; rest != 0; rest &= rest - 1) {
      const int k = kNaturalOrder[std::countr_zero(rest)];
      natural[k] = *value++;
      nonZero |= uint64_t{1} << k;
    }
    int64_t bound = 0;
    for (uint64_t rest = nonZero; rest != 0; rest &= rest - 1) {
      const int k = std::countr_zero(rest);
      bound += std::abs(static_cast<int64_t>(natural[k])) * tables_.kernel.columnMax[k];
    }
    if (bound <= INT32_MAX) {
      pixels_.BlockDone(zigZag_, static_cast<int>(out_ - (block_ + 3)));
    } else {
      SampleBlock samples;
      if (!TransformNatural(tables_.kernel, natural, nonZero, bound, samples)) return false;
      pixels_.BlockTransformed(samples);
    }
  }

  if (++blockIndex_ == plan.McuBlockCount) {
    blockIndex_ = 0;
    if (!CompleteMcu()) return false;
  }
  StartBlock();
  return true;
}

bool ScanDecoder::CompleteMcu() {
  pixels_.McuComplete(mcuColumn_, mcuRow_);
  if (++mcuColumn_ >= geometry_.McusPerRow) {
    mcuColumn_ = 0;
    ++mcuRow_;
  }
  // One surplus row of MCUs is recorded; a second is a failure.
  if (mcuRow_ > geometry_.McuRows) return false;
  McuStart& start = decode_.McuStarts.At(mcuColumn_, mcuRow_);
  for (int c = 0; c < 3; ++c) start.Dc[c] = dcPredictor_[c];
  const BitPos last = reader_.LastTaken(window_);
  start.BytePos = static_cast<int32_t>(last >> 3);
  start.BitIndex = static_cast<int32_t>(last & 7);
  return true;
}

}  // namespace vorn
