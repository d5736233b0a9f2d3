#include "analysis/marker_codes.h"
#include "analysis/message_log.h"
#include "analysis/segment_length.h"
#include "analysis/segment_parsers.h"

namespace vorn {
namespace {

// Every table is taken as one Pq/Tq byte and 64 one-byte values, whatever Pq says.
constexpr int kTableBytes = 65;
constexpr int kSlots = 3;
// A fall of more than this between neighbouring values (in file order) is unusual
// enough in a real table to point at a damaged byte; rises are normal.
constexpr int kLargestDrop = 55;

}  // namespace

void ParseQuantSegment(AnalysisContext& ctx, int32_t p) {
  using marker::kDQT;
  QuantStore& q = ctx.rec.quant;
  if (q.QuantTableCount < 0 || q.QuantTableCount >= kSlots) return;
  SegmentReader r(ctx.file);
  const SegmentLength length = ReadSegmentLength(ctx, r, kDQT, p);
  if (!length.Usable()) return;
  q.QuantLength[q.QuantTableCount] = static_cast<int16_t>(length.length);

  const std::string& name = ctx.analysis.MarkerName[kDQT];
  const auto note = [&](const char* fragment, int64_t pos) {
    AddLogLine(ctx.form.LOG, ctx.analysis, name + fragment, static_cast<int32_t>(pos));
  };
  const int tables = (length.length - 2) / kTableBytes;
  for (int e = 0; e < tables; ++e) {
    const int64_t at = int64_t{p} + 4 + int64_t{kTableBytes} * e;
    // A table cut off by the end of the file is not stored: its slot stays
    // unfilled, so no frame can select it.
    if (!r.Covers(at, at + kTableBytes - 1)) {
      ReportCutShort(ctx, kDQT, p);
      return;
    }
    const int slot = q.QuantTableCount;
    const uint8_t head = r.Byte(at);
    q.QuantPrecision[slot] = head >> 4;
    if (q.QuantPrecision[slot] != 0) note("の精度が０以外です", at);
    q.QuantId[slot] = head & 0xF;
    if (q.QuantId[slot] > 1) note("の番号が０、１以外です", at);
    int previous = r.Byte(at + 1);
    for (int k = 0; k < 64; ++k) {
      const int64_t pos = at + 1 + k;
      const int v = r.Byte(pos);
      if (previous - v > kLargestDrop) note("の量子化値の差が５５を超えています", pos);
      previous = v;
      if (v == 0) {
        // Dequantisation must never multiply by 0.
        q.QuantValues[slot][k] = 1;
        note("の量子化値が０です", pos);
      } else {
        q.QuantValues[slot][k] = static_cast<int16_t>(v);
      }
    }
    ++q.QuantTableCount;
    if (q.QuantTableCount >= kSlots) return;
  }
}

}  // namespace vorn
