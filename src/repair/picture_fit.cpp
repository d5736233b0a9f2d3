#include "repair/picture_fit.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "repair/strict_decoder.h"

namespace vorn {

ScanPoint StartPointOf(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass,
                       int32_t mcu) {
  return StartPointOf(model, bytes, pass.marks[static_cast<size_t>(mcu)], mcu);
}

ScanPoint StartPointOf(const ScanModel& model, std::span<const uint8_t> bytes, const McuMark& m,
                       int32_t mcu) {
  ScanPoint p;
  p.mcu = mcu;
  const auto size = static_cast<int64_t>(bytes.size());
  const auto at = [&](int64_t i) { return i >= 0 && i < size ? bytes[static_cast<size_t>(i)] : uint8_t{0}; };
  const int64_t byte = m.mark >> 3;
  const int bit = static_cast<int>(m.mark & 7);
  // The byte after the mark's: past the stuffed 00 of a data FF.
  const int64_t following = at(byte) == 0xFF && at(byte + 1) == 0x00 ? byte + 2 : byte + 1;
  p.next = bit < 7 ? MakeBitPos(byte, bit + 1) : MakeBitPos(following, 0);
  p.dc = m.dc;
  if (model.restartInterval > 0 && mcu > 0 && mcu % model.restartInterval == 0) {
    // The interval's data begins after its restart marker (the padding bits of the
    // mark's byte before it), with the predictors reset.
    p.dc = {};
    if (at(following) == 0xFF && marker::IsRestartMarker(at(following + 1)))
      p.next = MakeBitPos(following + 2, 0);
  }
  return p;
}

namespace {

// One block's edge: the sum of the squared steps (a few large steps, a wrong pattern
// ending at the block's edge, outweigh many small ones, texture) and the square of
// their sum (a whole edge stepping one way: the DC values of what follows moved).
struct EdgeSegment {
  int64_t squares = 0;
  int64_t sum = 0;
  void Add(int32_t r, std::vector<int16_t>* steps) {
    squares += int64_t{r} * r;
    sum += r;
    if (steps != nullptr) steps->push_back(static_cast<int16_t>(r));
  }
  int64_t Fit() const { return squares + sum * sum; }
};

// Folds a row of samples (a multiple of 8) into hash eight at a time: ratings tell
// pictures apart by their hashes, and a sample at a time took three quarters of a
// rating's own time (a quarter of a search's). Each step is one-to-one in the word and
// in the hash before it, so pictures that differ in one word never hash alike.
uint64_t HashSamples(uint64_t hash, const uint8_t* row, int32_t width) {
  for (int32_t x = 0; x < width; x += 8) {
    uint64_t word;
    std::memcpy(&word, row + x, sizeof word);
    hash = (std::rotl(hash, 23) ^ word) * 0x9E3779B97F4A7C15ull;
  }
  return hash;
}

// Draws decoded blocks into planes that hold the component rows from top[c] on.
class RowsSink {
 public:
  static constexpr bool kSymbols = false;
  static constexpr bool kCoefficients = true;

  RowsSink(const ScanModel& model, ComponentPlanes& planes, const std::array<int32_t, 3>& top, int32_t mcu,
           int32_t& decodedEnd)
      : model_(model), planes_(planes), top_(top), mcu_(mcu), decodedEnd_(decodedEnd) {}
  void OnSymbol(const ScanPoint&) {}
  bool OnBlock(int block, std::array<int32_t, 64>& natural, uint64_t nonZero) {
    const ScanModel::Block& b = model_.blocks[static_cast<size_t>(block)];
    SampleBlock s;
    if (!TransformBlock(model_.kernel, model_.quantNatural[static_cast<size_t>(b.quant)], natural, nonZero,
                        s))
      return false;
    const auto c = static_cast<size_t>(b.component);
    const int32_t column = mcu_ % model_.geometry.McusPerRow;
    const int32_t row = mcu_ / model_.geometry.McusPerRow;
    const int32_t x0 = (column * model_.h[c] + b.x) * 8;
    const int32_t y0 = (row * model_.v[c] + b.y) * 8 - top_[c];
    if (y0 < 0 || y0 + 8 > planes_.height[c]) return true;
    for (int y = 0; y < 8; ++y) ClampRowToBytes(s.data() + y * 8, planes_.Row(b.component, y0 + y) + x0);
    return true;
  }
  bool OnMcu(int32_t mcu, BitPos mark, const std::array<int16_t, 3>& dc) {
    mcu_ = mcu;
    decodedEnd_ = mcu;
    if (pass_ == nullptr || mark + 1 < resumeFrom_ || mcu >= static_cast<int32_t>(pass_->marks.size()))
      return true;
    // Past the edit, at the bit and with the predictors where the pass began this MCU:
    // the rest decodes as the pass decoded it.
    const McuMark& m = pass_->marks[static_cast<size_t>(mcu)];
    if (m.mark != mark - shift_ || m.dc != dc) return true;
    metPass = true;
    return false;
  }
  // Ends the decode where it meets the pass's again after the edit: from bit
  // resumeFrom on (the byte after the edit's last), the file's own bits lie shift bits
  // later than they did.
  void StopWhereItMeets(const ScanPass& pass, BitPos resumeFrom, BitPos shift) {
    pass_ = &pass;
    resumeFrom_ = resumeFrom;
    shift_ = shift;
  }
  bool metPass = false;

 private:
  const ScanModel& model_;
  ComponentPlanes& planes_;
  const std::array<int32_t, 3>& top_;
  int32_t mcu_;
  int32_t& decodedEnd_;
  const ScanPass* pass_ = nullptr;
  BitPos resumeFrom_ = 0, shift_ = 0;
};

// Where a rating's decode with edit begins, MCU and point. The MCUs whose data ends
// before the edit decode as the pass decoded them, and the rating's copy of the pass's
// picture holds them: the decode begins at the last MCU whose data begins two bytes or
// more before the edit (a data FF just before it reads as data or as a marker by the
// byte after it). A third of a search's ratings was spent on those MCUs. Never past
// the MCU where the pass first failed: a decode from the first MCU stops there too,
// and what the pass decoded after it is no part of that decode.
std::pair<int32_t, ScanPoint> DecodeStart(const ScanModel& model, std::span<const uint8_t> bytes,
                                          const ScanPass& pass, int32_t firstMcu, int32_t limit,
                                          const ScanEdit* edit) {
  int32_t from = firstMcu;
  ScanPoint start = StartPointOf(model, bytes, pass, from);
  if (edit == nullptr) return {from, start};
  const BitPos before = MakeBitPos(edit->position - 2, 0);
  const SegmentOutcome* failure = pass.Failure();
  const int32_t last = std::min(limit - 1, failure != nullptr ? failure->stop.mcu : limit - 1);
  while (from < last && pass.marks[static_cast<size_t>(from + 1)].mark >= 0) {
    const ScanPoint next = StartPointOf(model, bytes, pass, from + 1);
    if (next.next > before) break;
    ++from;
    start = next;
  }
  return {from, start};
}

}  // namespace

PictureFit::PictureFit(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass,
                       int32_t firstMcu, int32_t span)
    : model_(model), bytes_(bytes), pass_(pass), firstMcu_(firstMcu) {
  const int32_t perRow = model.geometry.McusPerRow;
  span_ = std::max(0, std::min(span, model.totalMcus - firstMcu));
  firstRow_ = firstMcu / perRow;
  const int32_t lastRow = (firstMcu + std::max(span_, 1) - 1) / perRow;
  local_.count = model.components;
  for (int c = 0; c < model.components; ++c) {
    const auto i = static_cast<size_t>(c);
    // Two rows of the picture above the first MCU row: the context of its top edges.
    top_[i] = std::max(0, firstRow_ * 8 * model.v[i] - 2);
    local_.width[i] = pass.planes.width[i];
    local_.height[i] = (lastRow + 1) * 8 * model.v[i] - top_[i];
    local_.visibleWidth[i] = pass.planes.visibleWidth[i];
    local_.visibleHeight[i] = pass.planes.visibleHeight[i];
    local_.samples[i].assign(static_cast<size_t>(local_.width[i]) * local_.height[i], 0);
  }
}

void PictureFit::Rate(const ScanEdit* edit, RatedMcus& out, bool keepSamples) {
  out.samples.clear();
  out.steps.clear();
  out.fit = 0;
  out.hash = 0xCBF29CE484222325ull;
  out.partFit.assign(static_cast<size_t>(span_) * RatedMcus::kParts, 0);
  out.mcuHash.assign(static_cast<size_t>(span_), 0);
  if (span_ <= 0 || pass_.planes.count == 0) return;
  // The picture as the pass decoded it, then the MCUs decoded with the edit over it.
  for (int c = 0; c < model_.components; ++c) {
    const auto i = static_cast<size_t>(c);
    std::copy_n(pass_.planes.samples[i].begin() + static_cast<ptrdiff_t>(top_[i]) * local_.width[i],
                local_.samples[i].size(), local_.samples[i].begin());
  }
  const PatchedBytes patched = edit != nullptr
                                   ? PatchedBytes(bytes_.data(), static_cast<int64_t>(bytes_.size()), *edit)
                                   : PatchedBytes(bytes_.data(), static_cast<int64_t>(bytes_.size()));
  const int32_t limit = firstMcu_ + span_;
  const auto [from, start] = DecodeStart(model_, bytes_, pass_, firstMcu_, limit, edit);
  int32_t decodedEnd = from;
  {
    StrictDecoder decoder(model_);
    RowsSink sink(model_, local_, top_, from, decodedEnd);
    // Where the pass decoded every MCU, a decode that meets it again after the edit
    // goes on as it did, over the picture the copy holds: most edits of a scan that
    // decodes lose their way for an MCU or two only.
    if (edit != nullptr && pass_.Clean())
      sink.StopWhereItMeets(pass_, MakeBitPos(patched.EditEnd() + 1, 0),
                            BitPos{8} * (patched.inserted - patched.removed));
    DecodeStop stop = decoder.Run(patched, start, limit, sink);
    // The span may reach into the next restart interval.
    while (stop.kind == StopKind::AtMarker && marker::IsRestartMarker(stop.marker) && decodedEnd < limit)
      stop = decoder.PassMarker(decodedEnd, limit, sink);
    if (sink.metPass) decodedEnd = limit;
  }

  const int32_t perRow = model_.geometry.McusPerRow;
  for (int32_t m = firstMcu_; m < limit; ++m) {
    const int32_t column = m % perRow, row = m / perRow;
    std::array<int64_t, RatedMcus::kParts> part{};  // top, left, inside
    uint64_t hash = 0xCBF29CE484222325ull;
    for (int c = 0; c < model_.components; ++c) {
      const auto i = static_cast<size_t>(c);
      const int32_t w = 8 * model_.h[i], h = 8 * model_.v[i];
      const int32_t x0 = column * w, y0 = row * h;
      const int32_t xEnd = std::min(x0 + w, local_.visibleWidth[i]);
      const int32_t yEnd = std::min(y0 + h, local_.visibleHeight[i]);
      const int32_t stride = local_.width[i];
      const uint8_t* base =
          local_.samples[i].data() - static_cast<ptrdiff_t>(top_[i]) * stride;  // row y at base + y * stride
      const auto at = [&](int32_t x, int32_t y) {
        return static_cast<int32_t>(base[static_cast<ptrdiff_t>(y) * stride + x]);
      };
      if (m < decodedEnd) {
        for (int32_t y = y0; y < y0 + h; ++y)
          hash = HashSamples(hash, base + static_cast<ptrdiff_t>(y) * stride + x0, w);
      } else {
        hash = (hash ^ 0xFFFF) * 0x100000001B3ull;  // not decoded
      }
      if (keepSamples) {
        for (int32_t y = y0; y < y0 + h; ++y)
          for (int32_t x = x0; x < x0 + w; ++x) out.samples.push_back(static_cast<uint8_t>(at(x, y)));
      }
      // Horizontal edges: the MCU's top and the block rows inside it, block by block.
      for (int32_t y = y0; y < yEnd; y += 8) {
        if (y < 2 || y + 1 >= local_.visibleHeight[i]) continue;
        for (int32_t xb = x0; xb < xEnd; xb += 8) {
          EdgeSegment segment;
          for (int32_t x = xb; x < std::min(xb + 8, xEnd); ++x)
            segment.Add(EdgeStep(at(x, y - 2), at(x, y - 1), at(x, y), at(x, y + 1)),
                        keepSamples ? &out.steps : nullptr);
          part[y == y0 ? 0 : 2] += segment.Fit();
        }
      }
      // Vertical edges: the MCU's left and the block columns inside it.
      for (int32_t x = x0; x < xEnd; x += 8) {
        if (x < 2 || x + 1 >= local_.visibleWidth[i]) continue;
        for (int32_t yb = y0; yb < yEnd; yb += 8) {
          EdgeSegment segment;
          for (int32_t y = yb; y < std::min(yb + 8, yEnd); ++y)
            segment.Add(EdgeStep(at(x - 2, y), at(x - 1, y), at(x, y), at(x + 1, y)),
                        keepSamples ? &out.steps : nullptr);
          part[x == x0 ? 1 : 2] += segment.Fit();
        }
      }
    }
    const auto k = static_cast<size_t>(m - firstMcu_);
    for (int j = 0; j < RatedMcus::kParts; ++j) {
      out.partFit[k * RatedMcus::kParts + static_cast<size_t>(j)] = part[static_cast<size_t>(j)];
      out.fit += part[static_cast<size_t>(j)];
    }
    out.mcuHash[k] = hash;
    out.hash = (out.hash ^ hash) * 0x100000001B3ull;
  }
}

namespace {

// Each step where two pictures differ is a vote, (rb^2 - ra^2) / (ra^2 + rb^2 + floor):
// a strong edge of the picture itself, large in both, votes little; a step that
// only one of them breaks votes nearly 1. The floor keeps the faintest steps (a
// level or two) from voting much. Without the steps kept, the fits of whole edges
// vote instead. Clearly better: votes worth a few broken steps.
constexpr double kStepFloor = 64;
constexpr double kEdgeFloor = 2048;

}  // namespace

double FitVotes(const RatedMcus& a, const RatedMcus& b) {
  double votes = 0;
  if (!a.steps.empty() && a.steps.size() == b.steps.size()) {
    for (size_t k = 0; k < a.steps.size(); ++k) {
      if (a.steps[k] == b.steps[k]) continue;
      const double ra = a.steps[k], rb = b.steps[k];
      votes += (rb * rb - ra * ra) / (ra * ra + rb * rb + kStepFloor);
    }
    return votes;
  }
  const size_t n = std::min(a.partFit.size(), b.partFit.size());
  for (size_t k = 0; k < n; ++k) {
    const auto fa = static_cast<double>(a.partFit[k]);
    const auto fb = static_cast<double>(b.partFit[k]);
    if (fa != fb) votes += (fb - fa) / (fa + fb + kEdgeFloor);
  }
  return votes;
}

int32_t LargestDifference(const RatedMcus& a, const RatedMcus& b) {
  int32_t largest = 0;
  const size_t n = std::min(a.samples.size(), b.samples.size());
  for (size_t k = 0; k < n; ++k) largest = std::max(largest, std::abs(a.samples[k] - b.samples[k]));
  return largest;
}

bool ClearlyBetter(const RatedMcus& a, const RatedMcus& b) {
  return FitVotes(a, b) >= kClearVotes;
}

}  // namespace vorn
