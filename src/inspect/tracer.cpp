#include "inspect/tracer.h"

#include <memory>
#include <optional>
#include <string>

#include "analysis/hex.h"
#include "analysis/message_log.h"
#include "decode/bit_rules.h"
#include "decode/colour.h"
#include "decode/entropy_reader.h"
#include "decode/huffman_lookup.h"
#include "decode/idct.h"
#include "jpeg/marker_codes.h"
#include "jpeg/mcu_sampling.h"

namespace vorn {

std::string PositionPrefix(int32_t position, int32_t bit) {
  std::string prefix = Hex8(position);
  prefix += '-';
  prefix += static_cast<char>('0' + bit);
  prefix += ':';
  return prefix;
}

namespace {

// The lowest count bits of value, most significant first.
void AppendBits(std::string& out, uint32_t value, int count) {
  for (int i = count - 1; i >= 0; --i) out += ((value >> i) & 1) ? '1' : '0';
}

// What each step of a trace returns: nothing while the trace goes on, else the
// result that ends it.
using Step = std::optional<TraceResult>;
constexpr std::nullopt_t kGoOn = std::nullopt;

// The last decode's matrix and Huffman tables, prepared for fast lookup once per
// trace (a few microseconds; a trace takes tens). A table is prepared when a code
// word is first looked up in it.
struct TraceTables {
  IdctKernel kernel;
  std::array<std::array<std::optional<HuffmanLookup>, 4>, 2> huffman;  // by class and selector
};

// One trace. The members are the working state of the bit-serial walk; every
// step returns kGoOn or the TraceResult that ends the trace.
class Tracer {
 public:
  Tracer(const TraceInputs& in, std::array<int32_t, 3>& mcuEnd, McuBuffer& pixels, int16_t lastMcu,
         TraceListing* listing)
      : in_(in), mcuEnd_(mcuEnd), pixels_(pixels), lastMcu_(lastMcu), listing_(listing) {}

  TraceResult Run();

 private:
  bool GeometryFits() const;
  Step ResumeAfterDataFf(int32_t& position, int32_t bit);
  Step NextBit();
  bool TakeWhole(Step& result);
  const HuffmanLookup* Table();
  Step CodeBit();
  Step OnCode(int run, int size);
  Step CompleteCoefficient();
  Step CompleteBlock();
  Step CompleteMcu();
  void ResetCode() {
    readingCode_ = true;
    codeValue_ = 0;
    codeLength_ = 0;
  }

  // Listing.
  void AddLine(const std::string& text);
  Step StartNextLine();

  const TraceInputs& in_;
  std::unique_ptr<TraceTables> tables_;
  std::array<int32_t, 3>& mcuEnd_;
  McuBuffer& pixels_;
  const int16_t lastMcu_;
  TraceListing* const listing_;

  int32_t h0_ = 0, v0_ = 0;
  PatchedBytes bytes_;  // the file as the trial sees it
  EntropyReader<MarkerBytes::kFfIsData> reader_;
  BitWindow window_;
  int32_t codeValue_ = 0;
  int32_t codeLength_ = 0;
  bool readingCode_ = true;
  int coefficientClass_ = 0;
  int32_t coefficientIndex_ = 0;
  int32_t extraBits_ = 0;
  int32_t blockIndex_ = 0;
  int32_t mcuCount_ = 0;
  std::array<int32_t, 3> dcPredictor_{};
  std::array<int32_t, 64> coefficients_{};
  SampleBlocks samples_{};

  std::string linePrefix_;
  int32_t lineAddress_ = 0;  // position of the line being built
  int32_t lineCount_ = 0;    // lines begun, the one being built included
};

bool Tracer::GeometryFits() const {
  const int count = in_.plan.McuBlockCount;
  if (h0_ < 1 || h0_ > 2 || v0_ < 1 || v0_ > 2 || count < 1 || count > 6) return false;
  return pixels_.width == 8 * h0_ && pixels_.height == 8 * v0_ && pixels_.count >= 0 &&
         pixels_.pixels.size() >= static_cast<size_t>(pixels_.count) * pixels_.width * pixels_.height;
}

TraceResult Tracer::Run() {
  const McuSampling sampling = ComponentSampling(in_.rec.frame, 0);
  h0_ = sampling.h;
  v0_ = sampling.v;
  if (!GeometryFits()) return TraceResult::Failure;
  tables_ = std::make_unique<TraceTables>();
  PrepareIdctKernel(in_.idct, tables_->kernel);
  if (in_.plan.McuBlockCount == 1) {
    // A grey-scale MCU: neutral chroma for the conversion.
    samples_[1].fill(128);
    samples_[2].fill(128);
  }
  for (int c = 0; c < 3; ++c) {
    if (!FitsInt16(in_.startDc[c])) return TraceResult::Failure;
    dcPredictor_[c] = in_.startDc[c];
  }
  const FileImage& file = in_.file;
  bytes_ = in_.trial.position < 0 ? PatchedBytes(file.bytes.data(), file.FileLength())
                                  : PatchedBytes(file.bytes.data(), file.FileLength(), in_.trial);
  int32_t position = in_.pointer.BytePos;
  const int32_t bit = in_.pointer.BitIndex;
  if (bit < 0 || bit > 7) return TraceResult::Failure;
  if (listing_) {
    listing_->LOG.tag = "";
    ClearLog(listing_->LOG, listing_->analysis);
  }
  if (const Step r = ResumeAfterDataFf(position, bit)) return *r;
  if (listing_) {
    linePrefix_ = PositionPrefix(position, bit);
    lineAddress_ = position;
    lineCount_ = 1;
  }

  reader_.Start(bytes_, position, bit, window_, in_.scanDataEnd);
  for (;;) {
    Step whole;
    if (codeLength_ == 0 && TakeWhole(whole)) {
      if (whole) return *whole;
    } else {
      if (const Step r = NextBit()) return *r;
      if (readingCode_) {
        if (const Step r = CodeBit()) return *r;
      }
    }
    // A matched code of size 0 completes its coefficient without taking a bit.
    if (!readingCode_ && codeLength_ == extraBits_) {
      if (const Step r = CompleteCoefficient()) return *r;
    }
  }
}

// The pointer names the bit after the last one consumed and does not skip what
// follows a data FF. When the previous MCU ended on the last bit of a data FF, the
// named byte is the stuffed 00 (or a marker), which the decoder never read as data:
// the trace takes it up where the decoder did, after that byte.
Step Tracer::ResumeAfterDataFf(int32_t& position, int32_t bit) {
  const int32_t previous = position - 1;
  if (bit != 0 || previous < in_.rec.scan.ScanDataStart || previous > in_.scanDataEnd ||
      !bytes_.Contains(previous) || bytes_.At(previous) != marker::kFill)
    return kGoOn;
  if (!bytes_.Contains(position)) return TraceResult::Failure;
  const uint8_t next = bytes_.At(position);
  ++position;
  if (next == marker::kStuffedZero) return kGoOn;
  if (marker::IsRestartMarker(next)) {
    dcPredictor_.fill(0);
    return kGoOn;
  }
  return TraceResult::ForeignMarker;
}

// Appends the next bit to the code word or extra bits being collected, meeting the
// markers before it as the decoder meets them.
Step Tracer::NextBit() {
  while (window_.bits == 0) {
    reader_.Fill(window_);
    if (window_.bits > 0) break;
    using Event = decltype(reader_)::Event;
    switch (reader_.Pending()) {
      case Event::kMarker:
        if (!marker::IsRestartMarker(reader_.MarkerCode())) return TraceResult::ForeignMarker;
        // RSTn: the collected bits are dropped, and the predictors restart from 0 as
        // the encoder restarted them.
        codeValue_ = 0;
        codeLength_ = 0;
        dcPredictor_.fill(0);
        reader_.PassMarker();
        break;
      case Event::kEnd:
        return TraceResult::EndOfData;
      case Event::kOutsideFile:
      case Event::kNone:
        return TraceResult::Failure;
    }
  }
  codeValue_ = 2 * codeValue_ + static_cast<int32_t>(window_.Take(1));
  ++codeLength_;
  return kGoOn;
}

// At the start of a code word or of its extra bits, when all of it is held before
// any marker: takes it whole, exactly as the bit-by-bit walk would have collected it.
// False (nothing taken) otherwise; the walk goes on bit by bit.
bool Tracer::TakeWhole(Step& result) {
  if (window_.bits < 32) reader_.Fill(window_);
  if (!readingCode_) {
    if (extraBits_ > 16 || extraBits_ > window_.bits) return false;
    codeValue_ = static_cast<int32_t>(window_.Take(extraBits_));
    codeLength_ = extraBits_;
    result = kGoOn;
    return true;
  }
  const HuffmanLookup* table = Table();
  if (table == nullptr) return false;
  const HuffmanLookup::Code code = table->Peek(window_.Peek16());
  if (code.length == 0 || code.length > window_.bits) return false;
  codeValue_ = static_cast<int32_t>(window_.Take(code.length));
  codeLength_ = code.length;
  result = OnCode(code.run, code.size);
  return true;
}

// The table the next code word is looked up in, prepared when first used; null when
// the block's selector names none.
const HuffmanLookup* Tracer::Table() {
  const int16_t selector = coefficientClass_ == 0 ? in_.plan.Dc(blockIndex_) : in_.plan.Ac(blockIndex_);
  if (selector < 0 || selector > 3) return nullptr;
  std::optional<HuffmanLookup>& lookup = tables_->huffman[coefficientClass_][selector];
  if (!lookup) lookup.emplace().Build(in_.rec.huff.HuffTable[coefficientClass_][selector]);
  return &*lookup;
}

Step Tracer::CodeBit() {
  if (codeLength_ > 16) return TraceResult::Failure;
  const HuffmanLookup* table = Table();
  if (table == nullptr) return TraceResult::Failure;
  // The first stored code of this length equal to the bits collected, if any.
  const int k = table->Find(codeLength_, codeValue_);
  if (k < 0) return kGoOn;
  return OnCode(table->Run(codeLength_, k), table->Size(codeLength_, k));
}

// A code word is complete: listed, then its run of zeros or its end of block.
Step Tracer::OnCode(int run, int size) {
  const int32_t length = codeLength_;
  if (listing_) {
    AppendBits(linePrefix_, static_cast<uint32_t>(codeValue_), length);
    linePrefix_.append(static_cast<size_t>(16 - length), ' ');
    constexpr char kDigits[] = "0123456789ABCDEF";
    linePrefix_ += '(';
    linePrefix_ += kDigits[run & 0xF];
    linePrefix_ += ',';
    linePrefix_ += kDigits[size & 0xF];
    linePrefix_ += ')';
  }

  if (run == 0 && size == 0 && coefficientClass_ == 1) {  // end of block
    if (listing_) {
      AddLine(linePrefix_ + "←EOB" + std::string(20, ' ') + "P:" + std::to_string(coefficientIndex_) + "(" +
              std::to_string(blockIndex_) + ")");
      if (const Step r = StartNextLine()) return r;
    }
    for (int32_t i = coefficientIndex_; i < 64; ++i) coefficients_[i] = 0;
    if (const Step r = CompleteBlock()) return r;
    ResetCode();
    coefficientClass_ = 0;
    coefficientIndex_ = 0;
    return kGoOn;
  }

  for (int i = 0; i < run; ++i) {
    if (coefficientIndex_ > 63) return TraceResult::Failure;
    coefficients_[coefficientIndex_++] = 0;
  }
  extraBits_ = size;
  readingCode_ = false;
  codeValue_ = 0;
  codeLength_ = 0;
  coefficientClass_ = 1;
  return kGoOn;
}

Step Tracer::CompleteCoefficient() {
  const int32_t value = ExtendSign(static_cast<uint32_t>(codeValue_), extraBits_);
  if (coefficientIndex_ > 63) return TraceResult::Failure;
  coefficients_[coefficientIndex_] = value;
  if (listing_) {
    std::string line = linePrefix_ + " D:";
    AppendBits(line, static_cast<uint32_t>(codeValue_), codeLength_);
    if (codeLength_ < 10) line.append(static_cast<size_t>(10 - codeLength_), ' ');
    line += " V:" + Hex8(value) + " P:" + std::to_string(coefficientIndex_) + "(" +
            std::to_string(blockIndex_) + ")";
    AddLine(line);
    if (const Step r = StartNextLine()) return r;
  }
  if (++coefficientIndex_ == 64) {
    if (const Step r = CompleteBlock()) return r;
    coefficientClass_ = 0;
    coefficientIndex_ = 0;
  }
  ResetCode();
  return kGoOn;
}

Step Tracer::CompleteBlock() {
  const int16_t component = in_.plan.Component(blockIndex_);
  const int16_t quant = in_.plan.Quant(blockIndex_);
  if (component < 0 || component > 2 || quant < 0 || quant > 2) return TraceResult::Failure;
  const int32_t dc = coefficients_[0] + dcPredictor_[component];
  if (!FitsInt16(dc)) return TraceResult::Failure;
  coefficients_[0] = dc;
  dcPredictor_[component] = dc;
  if (!InverseTransformBlock(tables_->kernel, coefficients_, in_.rec.quant.QuantValues[quant],
                             samples_[blockIndex_]))
    return TraceResult::Failure;
  if (++blockIndex_ < in_.plan.McuBlockCount) return kGoOn;
  blockIndex_ = 0;
  return CompleteMcu();
}

Step Tracer::CompleteMcu() {
  if (mcuCount_ >= pixels_.count) return TraceResult::Failure;
  uint32_t* out = &pixels_.pixels[static_cast<size_t>(mcuCount_) * pixels_.width * pixels_.height];
  if (!ConvertMcu(samples_, h0_, v0_, out)) return TraceResult::Failure;
  if (mcuCount_ == lastMcu_) return TraceResult::Done;
  if (mcuCount_ > 2) return TraceResult::Failure;  // McuEnd holds MCUs 0..2 only
  mcuEnd_[mcuCount_] = static_cast<int32_t>(reader_.LastTaken(window_) >> 3);
  ++mcuCount_;
  return kGoOn;
}

void Tracer::AddLine(const std::string& text) {
  AddLogLine(listing_->LOG, listing_->analysis, text, lineAddress_);
}

// The next line begins at the bit after the current one, without looking ahead
// for stuffed bytes or markers.
Step Tracer::StartNextLine() {
  const BitPos last = reader_.LastTaken(window_);
  int32_t p = static_cast<int32_t>(last >> 3);
  int32_t b = static_cast<int32_t>(last & 7) + 1;
  if (b == 8) {
    b = 0;
    ++p;
  }
  if (lineCount_ >= kTraceLineLimit) return TraceResult::Failure;
  linePrefix_ = PositionPrefix(p, b);
  lineAddress_ = p;
  ++lineCount_;
  return kGoOn;
}

}  // namespace

TraceResult TraceMcus(const TraceInputs& in, std::array<int32_t, 3>& mcuEnd, McuBuffer& pixels,
                      int16_t lastMcu, TraceListing* listing) {
  Tracer tracer(in, mcuEnd, pixels, lastMcu, listing);
  return tracer.Run();
}

}  // namespace vorn
