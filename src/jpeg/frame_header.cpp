#include "jpeg/marker_codes.h"
#include "jpeg/mcu_sampling.h"
#include "jpeg/segment_length.h"

namespace vorn {
namespace {

// The decoder's limits.
constexpr int kMaxLines = 4000;
constexpr int kMaxComponents = 3;
constexpr int kMaxComponentId = 3;
constexpr int kMaxSampling = 2;
constexpr int kMaxBlocksPerMcu = 6;

}  // namespace

SegmentRead ParseFrameHeader(ParseContext& ctx, int32_t p) {
  using enum FindingKind;
  SegmentReader r(ctx.bytes);
  const int64_t at = p;
  // Findings name the marker itself (C0 or C2); refusals always name SOF0.
  const uint8_t code = r.Byte(at + 1);
  const SegmentLength length = ReadSegmentLength(ctx, r, code, p);
  // A header cut short by the end of the file ends the analysis: nothing may be
  // decoded from half a header.
  if (length.state == SegmentLength::State::CutShort) return {ParseVerdict::Stop};
  if (!length.Usable()) return {};
  const auto cutShort = [&] {
    ReportCutShort(ctx, code, p);
    return SegmentRead{ParseVerdict::Stop};
  };
  const auto refuse = [&](FindingKind kind) { return Refuse(ctx, kind, marker::kSOF0, p); };

  FrameRecord& f = ctx.doc.frame;
  f.FrameLength = static_cast<int16_t>(length.length);

  const uint8_t precision = r.Byte(at + 4);
  if (r.RanOut()) return cutShort();
  f.FramePrecision = precision;
  if (precision != 8) return refuse(FramePrecisionNotEight);

  const uint16_t height = r.Word(at + 5);
  if (r.RanOut()) return cutShort();
  f.FrameHeight = height;
  if (height == 0) return refuse(FrameHeightZero);
  if (height > kMaxLines) return refuse(FrameHeightOver4000);

  const uint16_t width = r.Word(at + 7);
  if (r.RanOut()) return cutShort();
  f.FrameWidth = width;
  if (width == 0) return refuse(FrameWidthZero);
  if (width > kMaxLines) return refuse(FrameWidthOver4000);

  const uint8_t count = r.Byte(at + 9);
  if (r.RanOut()) return cutShort();
  f.ComponentCount = count;
  if (count > kMaxComponents) return refuse(FrameComponentsOver3);

  for (int k = 0; k < count; ++k) {
    const int64_t c = at + 10 + 3 * k;
    const uint8_t id = r.Byte(c);
    if (r.RanOut()) return cutShort();
    f.ComponentId[k] = id;
    if (id > kMaxComponentId) return refuse(FrameComponentIdOver3);
    const uint8_t sampling = r.Byte(c + 1);
    if (r.RanOut()) return cutShort();
    f.HSampling[k] = sampling >> 4;
    if (f.HSampling[k] > kMaxSampling) return refuse(FrameHSamplingOver2);
    f.VSampling[k] = sampling & 0xF;
    if (f.VSampling[k] > kMaxSampling) return refuse(FrameVSamplingOver2);
    const uint8_t selector = r.Byte(c + 2);
    if (r.RanOut()) return cutShort();
    f.QuantSelector[k] = selector;
    // The selector names a slot filled so far, not a table identifier.
    if (selector >= ctx.doc.quant.QuantTableCount) return refuse(FrameNoQuantTable);
  }
  // Checked once every component is read: what the decoder can hold of them all.
  if (BlocksPerMcu(f) > kMaxBlocksPerMcu) return refuse(FrameBlocksOver6);
  return {ParseVerdict::GoOn, true, length.length};
}

}  // namespace vorn
