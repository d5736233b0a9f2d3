#include <algorithm>
#include <string>

#include "analysis/cp932_text.h"
#include "analysis/marker_codes.h"
#include "analysis/segment_length.h"
#include "analysis/segment_parsers.h"

namespace vorn {

void ParseCommentSegment(AnalysisContext& ctx, int32_t p) {
  using marker::kCOM;
  SegmentReader r(ctx.file);
  const SegmentLength length = ReadSegmentLength(ctx, r, kCOM, p);
  if (!length.Usable()) return;
  ctx.form.COMLEN.text = std::to_string(length.length);
  const int64_t first = int64_t{p} + 4;
  const int64_t last = int64_t{p} + 1 + length.length;
  // Every byte of the comment as far as the file holds it. A 00 byte is kept with
  // what follows it: encoders end their names with one (ffmpeg writes "Lavc59.37.100"
  // and a 00), and cutting the text there would hide the rest of the segment.
  const int64_t end = std::min<int64_t>(last + 1, ctx.file.FileLength());
  std::string text;
  if (first < end)
    text = Cp932ToUtf8(&ctx.file.bytes[static_cast<size_t>(first)], static_cast<size_t>(end - first));
  ctx.form.COM.text = std::move(text);
  if (!r.Covers(first, last)) ReportCutShort(ctx, kCOM, p);
}

}  // namespace vorn
