#include <string>

#include "analysis/marker_codes.h"
#include "analysis/mcu_sampling.h"
#include "analysis/segment_length.h"
#include "analysis/segment_parsers.h"

namespace vorn {
namespace {

// The decoder's limits.
constexpr int kMaxLines = 4000;
constexpr int kMaxComponents = 3;
constexpr int kMaxComponentId = 3;
constexpr int kMaxSampling = 2;
constexpr int kMaxBlocksPerMcu = 6;

void ShowFrame(const FrameRecord& f, window::WindowModel& form) {
  form.SOF0LEN.text = std::to_string(f.FrameLength);
  form.SOF0P.text = std::to_string(f.FramePrecision);
  form.SOF0Y.text = std::to_string(f.FrameHeight);
  form.SOF0X.text = std::to_string(f.FrameWidth);
  form.SOF0Nf.text = std::to_string(f.ComponentCount);
  for (int k = 0; k < 3; ++k) {
    const bool used = k < f.ComponentCount;
    form.SOF0Ci[k].text = used ? std::to_string(f.ComponentId[k]) : "";
    form.SOF0Hi[k].text = used ? std::to_string(f.HSampling[k]) : "";
    form.SOF0Vi[k].text = used ? std::to_string(f.VSampling[k]) : "";
    form.SOF0Tqi[k].text = used ? std::to_string(f.QuantSelector[k]) : "";
  }
}

}  // namespace

ParseVerdict ParseFrameHeader(AnalysisContext& ctx, int32_t p) {
  SegmentReader r(ctx.file);
  const int64_t at = p;
  // Reports name the marker itself (C0 or C2); check messages always name SOF0.
  const uint8_t code = r.Byte(at + 1);
  const SegmentLength length = ReadSegmentLength(ctx, r, code, p);
  // A header cut short by the end of the file ends the analysis: nothing may be
  // decoded from half a header.
  if (length.state == SegmentLength::State::CutShort) return ParseVerdict::Stop;
  if (!length.Usable()) return ParseVerdict::GoOn;
  const auto cutShort = [&] {
    ReportCutShort(ctx, code, p);
    return ParseVerdict::Stop;
  };
  const auto refuse = [&](const char* fragment) { return Refuse(ctx, marker::kSOF0, fragment); };

  FrameRecord& f = ctx.rec.frame;
  f.FrameLength = static_cast<int16_t>(length.length);

  const uint8_t precision = r.Byte(at + 4);
  if (r.RanOut()) return cutShort();
  f.FramePrecision = precision;
  if (precision != 8) return refuse("のサンプル密度が８ではありません");

  const uint16_t height = r.Word(at + 5);
  if (r.RanOut()) return cutShort();
  f.FrameHeight = height;
  if (height == 0) return refuse("の縦サイズが０です");
  if (height > kMaxLines) return refuse("の縦サイズが４０００を超えています");

  const uint16_t width = r.Word(at + 7);
  if (r.RanOut()) return cutShort();
  f.FrameWidth = width;
  if (width == 0) return refuse("の横サイズが０です");
  if (width > kMaxLines) return refuse("の横サイズが４０００を超えています");

  const uint8_t count = r.Byte(at + 9);
  if (r.RanOut()) return cutShort();
  f.ComponentCount = count;
  if (count > kMaxComponents) return refuse("の成分数が３を超えています");

  for (int k = 0; k < count; ++k) {
    const int64_t c = at + 10 + 3 * k;
    const uint8_t id = r.Byte(c);
    if (r.RanOut()) return cutShort();
    f.ComponentId[k] = id;
    if (id > kMaxComponentId) return refuse("の成分番号が３を超えています");
    const uint8_t sampling = r.Byte(c + 1);
    if (r.RanOut()) return cutShort();
    f.HSampling[k] = sampling >> 4;
    if (f.HSampling[k] > kMaxSampling) return refuse("の水平サンプリングファクターが２を超えています");
    f.VSampling[k] = sampling & 0xF;
    if (f.VSampling[k] > kMaxSampling) return refuse("の垂直サンプリングファクターが２を超えています");
    const uint8_t selector = r.Byte(c + 2);
    if (r.RanOut()) return cutShort();
    f.QuantSelector[k] = selector;
    // The selector names a slot filled so far, not a table identifier.
    if (selector >= ctx.rec.quant.QuantTableCount) {
      return refuse("のセレクターに対応した量子化テーブルがありません");
    }
  }
  // Checked once every component is read: what the decoder can hold of them all.
  if (BlocksPerMcu(f) > kMaxBlocksPerMcu) return refuse("のＭＣＵ内ブロック数が６を超えています");
  ShowFrame(f, ctx.form);
  return ParseVerdict::GoOn;
}

}  // namespace vorn
