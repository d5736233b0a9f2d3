#include <array>

#include "analysis/marker_codes.h"
#include "analysis/segment_length.h"
#include "analysis/segment_parsers.h"

namespace vorn {
namespace {

constexpr int kSlots = 4;
// At most 255 codes per table: symbols are single bytes, and a table holding all
// 256 of them is refused.
constexpr int kMaxCodes = 255;

// Reads the one table at q into slot `slot`: class, identifier, counts with their
// canonical codes, then the symbols. total receives the number of codes.
ParseVerdict ReadTable(AnalysisContext& ctx, SegmentReader& r, int64_t q, int32_t p, int slot, int& total) {
  using marker::kDHT;
  HuffStore& h = ctx.rec.huff;
  const auto cutShort = [&] {
    // Ends the analysis like a cut frame header: the table (class, identifier) is
    // half written and the decoder must not use it.
    ReportCutShort(ctx, kDHT, p);
    return ParseVerdict::Stop;
  };
  const auto refuse = [&](const char* fragment) { return Refuse(ctx, kDHT, fragment); };

  const uint8_t head = r.Byte(q);
  if (r.RanOut()) return cutShort();
  h.HuffClass[slot] = head >> 4;
  if (h.HuffClass[slot] >= 2) return refuse("のTcが２以上です");
  h.HuffId[slot] = head & 0xF;
  if (h.HuffId[slot] >= 2) return refuse("のThが２以上です");
  HuffCodeTable& table = h.HuffTable[h.HuffClass[slot]][h.HuffId[slot]];

  int32_t code = 0;
  total = 0;
  for (int n = 0; n < 16; ++n) {
    const int count = r.Byte(q + 1 + n);
    if (r.RanOut()) return cutShort();
    table.Count[n] = count;
    total += count;
    if (total > kMaxCodes) return refuse("の総ハフマン符号語数が２５６を超えました");
    for (int k = 0; k < count; ++k) table.Code[n][k] = code++;
    code *= 2;
  }

  std::array<bool, 256> seen{};
  int i = 0;
  for (int n = 0; n < 16; ++n) {
    for (int k = 0; k < table.Count[n]; ++k, ++i) {
      const uint8_t v = r.Byte(q + 17 + i);
      if (r.RanOut()) return cutShort();
      if (seen[v]) return refuse("に同じ符号値情報があります");
      table.Run[n][k] = v >> 4;
      table.Size[n][k] = v & 0xF;
      seen[v] = true;
      // Of the size-0 symbols only EOB (00) and ZRL (F0) have a meaning.
      if ((v & 0xF) == 0 && v >= 0x10 && v <= 0xEF) {
        return refuse("にビット長が０でランレングスが０、１５以外の符号値情報があります");
      }
    }
  }
  return ParseVerdict::GoOn;
}

}  // namespace

ParseVerdict BuildHuffmanTable(AnalysisContext& ctx, int64_t q, int64_t end, int32_t p) {
  HuffStore& h = ctx.rec.huff;
  SegmentReader r(ctx.file);
  while (q < end) {
    // A segment with more tables than slots remain stops being read here; the
    // tables beyond are not stored.
    if (h.HuffTableCount < 0 || h.HuffTableCount >= kSlots) return ParseVerdict::GoOn;
    int total = 0;
    if (ReadTable(ctx, r, q, p, h.HuffTableCount, total) == ParseVerdict::Stop) return ParseVerdict::Stop;
    ++h.HuffTableCount;
    q += 17 + total;
  }
  return ParseVerdict::GoOn;
}

ParseVerdict ParseHuffmanSegment(AnalysisContext& ctx, int32_t p) {
  HuffStore& h = ctx.rec.huff;
  if (h.HuffTableCount < 0 || h.HuffTableCount >= kSlots) return ParseVerdict::GoOn;
  SegmentReader r(ctx.file);
  const SegmentLength length = ReadSegmentLength(ctx, r, marker::kDHT, p);
  if (length.state == SegmentLength::State::CutShort) return ParseVerdict::Stop;
  if (!length.Usable()) return ParseVerdict::GoOn;
  h.HuffLength[h.HuffTableCount] = static_cast<int16_t>(length.length);
  return BuildHuffmanTable(ctx, int64_t{p} + 4, int64_t{p} + 2 + length.length, p);
}

}  // namespace vorn
