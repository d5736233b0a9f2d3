#include "analysis/segment_parsers.h"

#include <algorithm>
#include <string>

#include "analysis/finding_texts.h"
#include "analysis/hex.h"
#include "jpeg/cp932_text.h"
#include "jpeg/marker_codes.h"

namespace vorn {
namespace {

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

void ShowApp0(const App0Record& app0, window::WindowModel& form) {
  form.APP0LEN.text = std::to_string(app0.App0Length);
  form.APP0ID.text = app0.App0Identifier;
  form.APP0v1.text = std::to_string(app0.App0VersionMajor);
  form.APP0v2.text = std::to_string(app0.App0VersionMinor);
  form.APP0U.text = std::to_string(app0.App0Units);
  form.APP0Xd.text = std::to_string(app0.App0XDensity);
  form.APP0Yd.text = std::to_string(app0.App0YDensity);
}

void ShowApp0Read(AnalysisContext& ctx, int32_t p, const SegmentRead& read) {
  window::WindowModel& form = ctx.form;
  form.APP0ETC.text.clear();
  if (!read.whole) return;
  ShowApp0(ctx.rec.app0, form);
  // The rest of the segment (thumbnail size and pixels), as far as the file holds it.
  const int64_t last = int64_t{p} + 1 + read.length;
  std::string rest;
  for (int64_t pos = int64_t{p} + 16; pos <= last && ctx.file.Contains(pos); ++pos)
    rest += Hex2(ctx.file.At(pos));
  form.APP0ETC.text = std::move(rest);
}

void ShowCommentRead(AnalysisContext& ctx, int32_t p, const SegmentRead& read) {
  if (!read.whole) return;
  ctx.form.COMLEN.text = std::to_string(read.length);
  const int64_t first = int64_t{p} + 4;
  const int64_t last = int64_t{p} + 1 + read.length;
  // Every byte of the comment as far as the file holds it. A 00 byte is kept with
  // what follows it: encoders end their names with one (ffmpeg writes "Lavc59.37.100"
  // and a 00), and cutting the text there would hide the rest of the segment.
  const int64_t end = std::min<int64_t>(last + 1, ctx.file.FileLength());
  std::string text;
  if (first < end)
    text = Cp932ToUtf8(&ctx.file.bytes[static_cast<size_t>(first)], static_cast<size_t>(end - first));
  ctx.form.COM.text = std::move(text);
}

void ShowRestartRead(AnalysisContext& ctx, const SegmentRead& read) {
  if (!read.whole) return;
  ctx.form.DRILEN.text = std::to_string(read.length);
  ctx.form.DRI.text = std::to_string(ctx.rec.Restarts.back().Interval);
}

}  // namespace

void ShowSegmentRead(AnalysisContext& ctx, const Segment& segment, const SegmentRead& read) {
  using namespace marker;
  switch (segment.Marker) {
    case kSOF0:
    case kSOF2:
      if (read.whole) ShowFrame(ctx.rec.frame, ctx.form);
      break;
    case kSOS:
      if (read.whole) ShowScan(ctx.rec.scan, ctx.form);
      break;
    case kAPP0:
      ShowApp0Read(ctx, segment.Offset, read);
      break;
    case kCOM:
      ShowCommentRead(ctx, segment.Offset, read);
      break;
    case kDRI:
      ShowRestartRead(ctx, read);
      break;
    default:
      // The tables are shown a page at a time once the analysis is done.
      break;
  }
}

ParseVerdict ParseFrameHeader(AnalysisContext& ctx, int32_t p) {
  const SegmentRead read = RunParser(ctx, ParseFrameHeader, p);
  if (read.whole) ShowFrame(ctx.rec.frame, ctx.form);
  return read.verdict;
}

ParseVerdict ParseScanHeader(AnalysisContext& ctx, int32_t p) {
  const SegmentRead read = RunParser(ctx, ParseScanHeader, p);
  if (read.whole) ShowScan(ctx.rec.scan, ctx.form);
  return read.verdict;
}

void ParseQuantSegment(AnalysisContext& ctx, int32_t p) {
  RunParser(ctx, ParseQuantSegment, p);
}

ParseVerdict ParseHuffmanSegment(AnalysisContext& ctx, int32_t p) {
  return RunParser(ctx, ParseHuffmanSegment, p).verdict;
}

void ParseApp0Segment(AnalysisContext& ctx, int32_t p) {
  ShowApp0Read(ctx, p, RunParser(ctx, ParseApp0Segment, p));
}

void ParseCommentSegment(AnalysisContext& ctx, int32_t p) {
  ShowCommentRead(ctx, p, RunParser(ctx, ParseCommentSegment, p));
}

void ParseRestartInterval(AnalysisContext& ctx, int32_t p) {
  ShowRestartRead(ctx, RunParser(ctx, ParseRestartInterval, p));
}

}  // namespace vorn
