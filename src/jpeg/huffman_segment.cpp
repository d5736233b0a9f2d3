#include <array>

#include "jpeg/marker_codes.h"
#include "jpeg/segment_length.h"

namespace vorn {
namespace {

constexpr int kSlots = 4;
// At most 255 codes per table: symbols are single bytes, and a table holding all
// 256 of them is refused.
constexpr int kMaxCodes = 255;

// Reads the one table at q into slot `slot`: class, identifier, counts with their
// canonical codes, then the symbols. total receives the number of codes.
ParseVerdict ReadTable(ParseContext& ctx, SegmentReader& r, int64_t q, int32_t p, int slot, int& total) {
  using marker::kDHT;
  using enum FindingKind;
  HuffStore& h = ctx.doc.huff;
  const auto cutShort = [&] {
    // Ends the analysis like a cut frame header: the table (class, identifier) is
    // half written and the decoder must not use it.
    ReportCutShort(ctx, kDHT, p);
    return ParseVerdict::Stop;
  };
  const auto refuse = [&](FindingKind kind) { return Refuse(ctx, kind, kDHT, p).verdict; };

  const uint8_t head = r.Byte(q);
  if (r.RanOut()) return cutShort();
  h.HuffClass[slot] = head >> 4;
  if (h.HuffClass[slot] >= 2) return refuse(HuffClassOver1);
  h.HuffId[slot] = head & 0xF;
  if (h.HuffId[slot] >= 2) return refuse(HuffIdOver1);
  HuffCodeTable& table = h.HuffTable[h.HuffClass[slot]][h.HuffId[slot]];

  int32_t code = 0;
  total = 0;
  for (int n = 0; n < 16; ++n) {
    const int count = r.Byte(q + 1 + n);
    if (r.RanOut()) return cutShort();
    table.Count[n] = count;
    total += count;
    if (total > kMaxCodes) return refuse(HuffTooManyCodes);
    for (int k = 0; k < count; ++k) table.Code[n][k] = code++;
    code *= 2;
  }

  std::array<bool, 256> seen{};
  int i = 0;
  for (int n = 0; n < 16; ++n) {
    for (int k = 0; k < table.Count[n]; ++k, ++i) {
      const uint8_t v = r.Byte(q + 17 + i);
      if (r.RanOut()) return cutShort();
      if (seen[v]) return refuse(HuffRepeatedSymbol);
      table.Run[n][k] = v >> 4;
      table.Size[n][k] = v & 0xF;
      seen[v] = true;
      // Of the size-0 symbols only EOB (00) and ZRL (F0) have a meaning.
      if ((v & 0xF) == 0 && v >= 0x10 && v <= 0xEF) return refuse(HuffZeroSizeSymbol);
    }
  }
  return ParseVerdict::GoOn;
}

// Reads the tables of one DHT segment from the table at q up to end (the first
// position after the segment), one slot each, building their canonical codes.
ParseVerdict BuildHuffmanTable(ParseContext& ctx, int64_t q, int64_t end, int32_t p) {
  HuffStore& h = ctx.doc.huff;
  SegmentReader r(ctx.bytes);
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

}  // namespace

SegmentRead ParseHuffmanSegment(ParseContext& ctx, int32_t p) {
  HuffStore& h = ctx.doc.huff;
  if (h.HuffTableCount < 0 || h.HuffTableCount >= kSlots) return {};
  SegmentReader r(ctx.bytes);
  const SegmentLength length = ReadSegmentLength(ctx, r, marker::kDHT, p);
  if (length.state == SegmentLength::State::CutShort) return {ParseVerdict::Stop};
  if (!length.Usable()) return {};
  h.HuffLength[h.HuffTableCount] = static_cast<int16_t>(length.length);
  const ParseVerdict verdict = BuildHuffmanTable(ctx, int64_t{p} + 4, int64_t{p} + 2 + length.length, p);
  return {verdict, verdict == ParseVerdict::GoOn, length.length};
}

}  // namespace vorn
