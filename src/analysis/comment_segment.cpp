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
  // The comment as far as the file holds it; the text ends at a 00 byte, as the
  // label showing it would end it.
  const int64_t end = std::min<int64_t>(last + 1, ctx.file.FileLength());
  std::string text;
  if (first < end) {
    const auto begin = ctx.file.bytes.begin() + first;
    const auto stop = std::find(begin, ctx.file.bytes.begin() + end, uint8_t{0});
    text = Cp932ToUtf8(&*begin, static_cast<size_t>(stop - begin));
  }
  ctx.form.COM.text = std::move(text);
  if (!r.Covers(first, last)) ReportCutShort(ctx, kCOM, p);
}

}  // namespace vorn
