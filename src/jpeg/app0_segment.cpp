#include "jpeg/cp932_text.h"
#include "jpeg/marker_codes.h"
#include "jpeg/segment_length.h"

namespace vorn {

SegmentRead ParseApp0Segment(ParseContext& ctx, int32_t p) {
  using marker::kAPP0;
  SegmentReader r(ctx.bytes);
  const SegmentLength length = ReadSegmentLength(ctx, r, kAPP0, p);
  if (!length.Usable()) return {};
  const int64_t at = p;
  App0Record& app0 = ctx.doc.app0;
  app0.App0Length = static_cast<int16_t>(length.length);
  // The JFIF fields up to the densities are read at their positions whatever the
  // length says; when the file ends among them none is read.
  if (!r.Covers(at + 4, at + 15)) {
    ReportCutShort(ctx, kAPP0, p);
    return {};
  }
  const uint8_t id[4] = {r.Byte(at + 4), r.Byte(at + 5), r.Byte(at + 6), r.Byte(at + 7)};
  // Taken as a label shows text: up to a 00 byte.
  size_t idLength = 0;
  while (idLength < 4 && id[idLength] != 0) ++idLength;
  app0.App0Identifier = Cp932ToUtf8(id, idLength);
  if (!(id[0] == 'J' && id[1] == 'F' && id[2] == 'I' && id[3] == 'F'))
    Note(ctx, FindingKind::App0NotJfif, kAPP0, at + 4);
  app0.App0VersionMajor = r.Byte(at + 9);
  app0.App0VersionMinor = r.Byte(at + 10);
  app0.App0Units = r.Byte(at + 11);
  app0.App0XDensity = r.Word(at + 12);
  app0.App0YDensity = r.Word(at + 14);
  // The rest of the segment (thumbnail size and pixels) may run past the end of the
  // file.
  if (!r.Covers(at + 16, at + 1 + length.length)) ReportCutShort(ctx, kAPP0, p);
  return {ParseVerdict::GoOn, true, length.length};
}

}  // namespace vorn
