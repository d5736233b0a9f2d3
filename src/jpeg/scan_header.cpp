#include <limits>

#include "jpeg/marker_codes.h"
#include "jpeg/segment_length.h"

namespace vorn {
namespace {

constexpr int kMaxComponents = 3;
constexpr int kMaxSelector = 3;
constexpr int kMaxTableSelector = 2;

}  // namespace

SegmentRead ParseScanHeader(ParseContext& ctx, int32_t p) {
  using marker::kSOS;
  using enum FindingKind;
  SegmentReader r(ctx.bytes);
  const int64_t at = p;
  const SegmentLength length = ReadSegmentLength(ctx, r, kSOS, p);
  if (length.state == SegmentLength::State::CutShort) return {ParseVerdict::Stop};
  if (!length.Usable()) return {};
  const auto cutShort = [&] {
    ReportCutShort(ctx, kSOS, p);
    return SegmentRead{ParseVerdict::Stop};
  };
  const auto refuse = [&](FindingKind kind) { return Refuse(ctx, kind, kSOS, p); };

  ScanRecord& sc = ctx.doc.scan;
  sc.ScanLength = static_cast<int16_t>(length.length);

  const uint8_t count = r.Byte(at + 4);
  if (r.RanOut()) return cutShort();
  sc.ScanComponentCount = count;
  if (count > kMaxComponents) return refuse(ScanComponentsOver3);

  for (int j = 0; j < count; ++j) {
    const int64_t c = at + 5 + 2 * j;
    const uint8_t selector = r.Byte(c);
    if (r.RanOut()) return cutShort();
    sc.ScanComponentSelector[j] = selector;
    if (selector > kMaxSelector) return refuse(ScanSelectorOver3);
    const uint8_t tables = r.Byte(c + 1);
    if (r.RanOut()) return cutShort();
    sc.DcTableSelector[j] = tables >> 4;
    if (sc.DcTableSelector[j] > kMaxTableSelector) return refuse(ScanDcSelectorOver2);
    sc.AcTableSelector[j] = tables & 0xF;
    if (sc.AcTableSelector[j] > kMaxTableSelector) return refuse(ScanAcSelectorOver2);
  }

  const int64_t tail = at + 5 + 2 * count;
  const uint8_t ss = r.Byte(tail);
  const uint8_t se = r.Byte(tail + 1);
  const uint8_t approximation = r.Byte(tail + 2);
  if (r.RanOut()) return cutShort();
  // The data would begin past every position a file can have.
  const int64_t dataStart = at + length.length + 2;
  if (dataStart > std::numeric_limits<int32_t>::max()) return cutShort();
  sc.SpectralStart = ss;
  sc.SpectralEnd = se;
  sc.ApproxHigh = approximation >> 4;
  sc.ApproxLow = approximation & 0xF;
  sc.ScanDataStart = static_cast<int32_t>(dataStart);
  return {ParseVerdict::GoOn, true, length.length};
}

}  // namespace vorn
