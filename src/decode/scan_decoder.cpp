#include "decode/scan_decoder.h"

#include <bit>

#include "decode/colour.h"
#include "decode/decode_scan.h"

namespace vorn {

namespace {

// The sign extension of the extra bits (ISO/IEC 10918-1 F.2.2.1).
inline int32_t Extend(uint32_t v, int size) {
  return v >= (1u << (size - 1)) ? static_cast<int32_t>(v) : static_cast<int32_t>(v) - (1 << size) + 1;
}

// A DHT segment gives 4-bit sizes. A larger one (only a hand-made table can hold
// one) would collect more extra bits than a 32-bit value keeps: a failure.
constexpr int kLargestSize = 15;

}  // namespace

ScanDecoder::ScanDecoder(const FileImage& file, const Records& rec, int32_t scanDataEnd,
                         const ScanTables& tables, const McuGeometry& geometry, DecodeState& decode)
    : rec_(rec),
      tables_(tables),
      geometry_(geometry),
      decode_(decode),
      bits_(file.bytes.data(), file.FileLength(), rec.scan.ScanDataStart, scanDataEnd) {
  if (decode.plan.McuBlockCount == 1) {
    // Neutral chroma for a grey-scale picture: blocks 1 and 2 are read as Cb and Cr.
    samples_[1].fill(128);
    samples_[2].fill(128);
  }
  StartBlock();
}

void ScanDecoder::StartBlock() {
  readingCode_ = true;
  codeValue_ = 0;
  codeLength_ = 0;
  coefficientClass_ = 0;
  coefficientIndex_ = 0;
  table_ = tables_.dc[blockIndex_];
}

int ScanDecoder::Run() {
  for (;;) {
    if (bits_.Available() < 32) {
      bits_.Fill();
      if (bits_.Available() == 0) {
        switch (bits_.Pending()) {
          case ScanBits::Event::kRestart:
            // Drops the bits collected so far and the predictors, nothing else.
            codeValue_ = 0;
            codeLength_ = 0;
            dcPredictor_ = {0, 0, 0};
            bits_.PassRestart();
            continue;
          case ScanBits::Event::kForeignMarker:
            return kDecodeForeignMarker;
          case ScanBits::Event::kOutsideFile:
            return kDecodeFailure;
          case ScanBits::Event::kEnd:
          case ScanBits::Event::kNone:
            return kDecodeOk;
        }
      }
    }
    bool ok;
    if (!readingCode_) {
      ok = SlowExtraBits();
    } else if (table_ == nullptr) {
      ok = false;  // the block's selector names no table: fails on its first bit
    } else if (codeLength_ == 0) {
      const HuffmanLookup::Code code = table_->Peek(bits_.Peek16());
      if (code.length != 0 && code.length <= bits_.Available()) {
        bits_.Take(code.length);
        ok = OnCode(code.run, code.size);
      } else {
        ok = SlowCodeBit();
      }
    } else {
      ok = SlowCodeBit();
    }
    if (!ok) return kDecodeFailure;
  }
}

bool ScanDecoder::SlowCodeBit() {
  codeValue_ = 2 * codeValue_ + static_cast<int32_t>(bits_.Take(1));
  ++codeLength_;
  if (codeLength_ > 16) return false;
  const int k = table_->Find(codeLength_, codeValue_);
  if (k < 0) return true;
  return OnCode(table_->Run(codeLength_, k), table_->Size(codeLength_, k));
}

bool ScanDecoder::SlowExtraBits() {
  const int n = std::min(extraBits_ - codeLength_, bits_.Available());
  codeValue_ = static_cast<int32_t>((static_cast<uint32_t>(codeValue_) << n) | bits_.Take(n));
  codeLength_ += n;
  if (codeLength_ < extraBits_) return true;
  return StoreCoefficient(Extend(static_cast<uint32_t>(codeValue_), extraBits_));
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
  if (size <= bits_.Available()) return StoreCoefficient(Extend(bits_.Take(size), size));
  readingCode_ = false;
  extraBits_ = size;
  codeValue_ = 0;
  codeLength_ = 0;
  return true;
}

bool ScanDecoder::StoreCoefficient(int32_t value) {
  if (coefficientIndex_ > 63) return false;
  if (value != 0) {
    const int k = kNaturalOrder[coefficientIndex_];
    natural_[k] = value;
    nonZero_ |= uint64_t{1} << k;
  }
  if (++coefficientIndex_ == 64) return CompleteBlock();
  readingCode_ = true;
  codeValue_ = 0;
  codeLength_ = 0;
  return true;
}

bool ScanDecoder::CompleteBlock() {
  const McuBlockPlan& plan = decode_.plan;
  const int c = plan.Component(blockIndex_);
  const int32_t dc = natural_[0] + dcPredictor_[c];
  if (dc < -32768 || dc > 32767) return false;
  dcPredictor_[c] = dc;
  natural_[0] = dc;
  nonZero_ = dc != 0 ? nonZero_ | 1 : nonZero_ & ~uint64_t{1};

  const int q = plan.Quant(blockIndex_);
  if (q < 0 || q > 2) return false;
  // Decoded values are 16-bit (the DC sum just checked, AC values at most 15 bits)
  // and quantization values are 16-bit, so no product leaves 32 bits; checked anyway.
  for (uint64_t rest = nonZero_; rest != 0; rest &= rest - 1) {
    const int k = std::countr_zero(rest);
    const int64_t v = static_cast<int64_t>(natural_[k]) * tables_.quant[q][k];
    if (v < INT32_MIN || v > INT32_MAX) return false;
    natural_[k] = static_cast<int32_t>(v);
  }
  const bool transformed = TransformNatural(tables_.kernel, natural_, nonZero_, samples_[blockIndex_]);
  for (uint64_t rest = nonZero_; rest != 0; rest &= rest - 1) natural_[std::countr_zero(rest)] = 0;
  nonZero_ = 0;
  if (!transformed) return false;

  if (++blockIndex_ == plan.McuBlockCount) {
    blockIndex_ = 0;
    if (!CompleteMcu()) return false;
  }
  StartBlock();
  return true;
}

bool ScanDecoder::CompleteMcu() {
  const FrameRecord& frame = rec_.frame;
  if (!StoreMcuPixels(decode_.ImagePixels, frame.FrameWidth, frame.FrameHeight, samples_, frame.HSampling[0],
                      frame.VSampling[0], mcuColumn_, mcuRow_))
    return false;
  if (++mcuColumn_ >= geometry_.McusPerRow) {
    mcuColumn_ = 0;
    ++mcuRow_;
  }
  // One surplus row of MCUs is recorded; a second is a failure.
  if (mcuRow_ > geometry_.McuRows) return false;
  McuStart& start = decode_.McuStarts.At(mcuColumn_, mcuRow_);
  for (int c = 0; c < 3; ++c) start.dc[c] = dcPredictor_[c];
  bits_.LastTaken(start.bytePos, start.bitIndex);
  return true;
}

}  // namespace vorn
