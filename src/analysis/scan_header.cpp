#include <limits>
#include <string>

#include "analysis/marker_codes.h"
#include "analysis/segment_length.h"
#include "analysis/segment_parsers.h"

namespace vorn {
namespace {

constexpr int kMaxComponents = 3;
constexpr int kMaxSelector = 3;
constexpr int kMaxTableSelector = 2;

void ShowScan(const ScanRecord& sc, window::WindowModel& form) {
  form.SOSLEN.text = std::to_string(sc.ScanLength);
  form.SOSNs.text = std::to_string(sc.ScanComponentCount);
  for (int j = 0; j < 3; ++j) {
    const bool used = j < sc.ScanComponentCount;
    form.SOSCsi[j].text = used ? std::to_string(sc.ScanComponentSelector[j]) : "";
    form.SOSTdi[j].text = used ? std::to_string(sc.DcTableSelector[j]) : "";
    form.SOSTai[j].text = used ? std::to_string(sc.AcTableSelector[j]) : "";
  }
  form.SOSSs.text = std::to_string(sc.SpectralStart);
  form.SOSSe.text = std::to_string(sc.SpectralEnd);
  form.SOSAh.text = std::to_string(sc.ApproxHigh);
  form.SOSAl.text = std::to_string(sc.ApproxLow);
}

}  // namespace

ParseVerdict ParseScanHeader(AnalysisContext& ctx, int32_t p) {
  using marker::kSOS;
  SegmentReader r(ctx.file);
  const int64_t at = p;
  const SegmentLength length = ReadSegmentLength(ctx, r, kSOS, p);
  if (length.state == SegmentLength::State::CutShort) return ParseVerdict::Stop;
  if (!length.Usable()) return ParseVerdict::GoOn;
  const auto cutShort = [&] {
    ReportCutShort(ctx, kSOS, p);
    return ParseVerdict::Stop;
  };
  const auto refuse = [&](const char* fragment) { return Refuse(ctx, kSOS, fragment); };

  ScanRecord& sc = ctx.rec.scan;
  sc.ScanLength = static_cast<int16_t>(length.length);

  const uint8_t count = r.Byte(at + 4);
  if (r.RanOut()) return cutShort();
  sc.ScanComponentCount = count;
  if (count > kMaxComponents) return refuse("の成分数が３を超えています");

  for (int j = 0; j < count; ++j) {
    const int64_t c = at + 5 + 2 * j;
    const uint8_t selector = r.Byte(c);
    if (r.RanOut()) return cutShort();
    sc.ScanComponentSelector[j] = selector;
    if (selector > kMaxSelector) return refuse("の成分セレクタが３を超えています");
    const uint8_t tables = r.Byte(c + 1);
    if (r.RanOut()) return cutShort();
    sc.DcTableSelector[j] = tables >> 4;
    if (sc.DcTableSelector[j] > kMaxTableSelector) {
      return refuse("のＤＣ成分用ハフマンテーブルセレクタが２を超えています");
    }
    sc.AcTableSelector[j] = tables & 0xF;
    if (sc.AcTableSelector[j] > kMaxTableSelector) {
      return refuse("のＡＣ成分用ハフマンテーブルセレクタが２を超えています");
    }
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
  ShowScan(sc, ctx.form);
  sc.ScanDataStart = static_cast<int32_t>(dataStart);
  return ParseVerdict::GoOn;
}

}  // namespace vorn
