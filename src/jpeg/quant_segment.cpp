#include "jpeg/marker_codes.h"
#include "jpeg/segment_length.h"

namespace vorn {
namespace {

// Every table is taken as one Pq/Tq byte and 64 one-byte values, whatever Pq says.
constexpr int kTableBytes = 65;
constexpr int kSlots = 3;
// A fall of more than this between neighbouring values (in file order) is unusual
// enough in a real table to point at a damaged byte; rises are normal.
constexpr int kLargestDrop = 55;

}  // namespace

SegmentRead ParseQuantSegment(ParseContext& ctx, int32_t p) {
  using marker::kDQT;
  using enum FindingKind;
  QuantStore& q = ctx.doc.quant;
  if (q.QuantTableCount < 0 || q.QuantTableCount >= kSlots) return {};
  SegmentReader r(ctx.bytes);
  const SegmentLength length = ReadSegmentLength(ctx, r, kDQT, p);
  if (!length.Usable()) return {};
  q.QuantLength[q.QuantTableCount] = static_cast<int16_t>(length.length);

  const SegmentRead read{ParseVerdict::GoOn, true, length.length};
  const int tables = (length.length - 2) / kTableBytes;
  for (int e = 0; e < tables; ++e) {
    const int64_t at = int64_t{p} + 4 + int64_t{kTableBytes} * e;
    // A table cut off by the end of the file is not stored: its slot stays
    // unfilled, so no frame can select it.
    if (!r.Covers(at, at + kTableBytes - 1)) {
      ReportCutShort(ctx, kDQT, p);
      return {};
    }
    const int slot = q.QuantTableCount;
    const uint8_t head = r.Byte(at);
    q.QuantPrecision[slot] = head >> 4;
    if (q.QuantPrecision[slot] != 0) Note(ctx, QuantPrecisionNotZero, kDQT, at);
    q.QuantId[slot] = head & 0xF;
    if (q.QuantId[slot] > 1) Note(ctx, QuantIdNotZeroOrOne, kDQT, at);
    int previous = r.Byte(at + 1);
    for (int k = 0; k < 64; ++k) {
      const int64_t pos = at + 1 + k;
      const int v = r.Byte(pos);
      if (previous - v > kLargestDrop) Note(ctx, QuantSteepDrop, kDQT, pos);
      previous = v;
      if (v == 0) {
        // Dequantisation must never multiply by 0.
        q.QuantValues[slot][k] = 1;
        Note(ctx, QuantZero, kDQT, pos);
      } else {
        q.QuantValues[slot][k] = static_cast<int16_t>(v);
      }
    }
    ++q.QuantTableCount;
    if (q.QuantTableCount >= kSlots) return read;
  }
  return read;
}

}  // namespace vorn
