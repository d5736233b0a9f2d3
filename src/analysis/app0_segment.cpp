#include <string>

#include "analysis/cp932_text.h"
#include "analysis/hex.h"
#include "analysis/marker_codes.h"
#include "analysis/message_log.h"
#include "analysis/segment_length.h"
#include "analysis/segment_parsers.h"

namespace vorn {

void ParseApp0Segment(AnalysisContext& ctx, int32_t p) {
  using marker::kAPP0;
  window::WindowModel& form = ctx.form;
  form.APP0ETC.text.clear();
  SegmentReader r(ctx.file);
  const SegmentLength length = ReadSegmentLength(ctx, r, kAPP0, p);
  if (!length.Usable()) return;
  const int64_t at = p;
  App0Record& app0 = ctx.rec.app0;
  app0.App0Length = static_cast<int16_t>(length.length);
  // The JFIF fields up to the densities are read at their positions whatever the
  // length says; when the file ends among them nothing is shown.
  if (!r.Covers(at + 4, at + 15)) {
    ReportCutShort(ctx, kAPP0, p);
    return;
  }
  const uint8_t id[4] = {r.Byte(at + 4), r.Byte(at + 5), r.Byte(at + 6), r.Byte(at + 7)};
  // Shown as a label shows text: up to a 00 byte.
  size_t idLength = 0;
  while (idLength < 4 && id[idLength] != 0) ++idLength;
  app0.App0Identifier = Cp932ToUtf8(id, idLength);
  if (!(id[0] == 'J' && id[1] == 'F' && id[2] == 'I' && id[3] == 'F')) {
    AddLogLine(form.LOG, ctx.analysis, ctx.analysis.MarkerName[kAPP0] + "がJFIFではありません",
               static_cast<int32_t>(at + 4));
  }
  app0.App0VersionMajor = r.Byte(at + 9);
  app0.App0VersionMinor = r.Byte(at + 10);
  app0.App0Units = r.Byte(at + 11);
  app0.App0XDensity = r.Word(at + 12);
  app0.App0YDensity = r.Word(at + 14);

  form.APP0LEN.text = std::to_string(app0.App0Length);
  form.APP0ID.text = app0.App0Identifier;
  form.APP0v1.text = std::to_string(app0.App0VersionMajor);
  form.APP0v2.text = std::to_string(app0.App0VersionMinor);
  form.APP0U.text = std::to_string(app0.App0Units);
  form.APP0Xd.text = std::to_string(app0.App0XDensity);
  form.APP0Yd.text = std::to_string(app0.App0YDensity);

  // The rest of the segment (thumbnail size and pixels), as far as the file holds it.
  const int64_t last = at + 1 + length.length;
  std::string rest;
  for (int64_t pos = at + 16; pos <= last && ctx.file.Contains(pos); ++pos) rest += Hex2(ctx.file.At(pos));
  form.APP0ETC.text = std::move(rest);
  if (!r.Covers(at + 16, last)) ReportCutShort(ctx, kAPP0, p);
}

}  // namespace vorn
