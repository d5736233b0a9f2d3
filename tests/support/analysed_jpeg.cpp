#include "support/analysed_jpeg.h"

#include <memory>

#include "analysis/marker_analysis.h"
#include "app/app_state.h"
#include "window/dialogs.h"

namespace vorn::testing {

AnalysedJpeg AnalyseJpeg(const std::vector<uint8_t>& bytes) {
  window::ScriptedDialogs dialogs;
  auto s = std::make_unique<AppState>(dialogs);
  FillMarkerName(s->analysis);
  s->file.bytes = bytes;
  s->analysis.AnalysisStart = 0;
  AnalysedJpeg out;
  out.completed = AnalyzeMarkers(*s);
  out.file = std::move(s->file);
  out.rec = s->rec;
  out.scanDataEnd = s->analysis.ScanDataEnd;
  return out;
}

void CreateDecodeStores(const Records& rec, DecodeState& decode) {
  const McuGeometry g = ComputeMcuGeometry(rec.frame);
  decode.geometry = g;
  decode.imageWidth = rec.frame.FrameWidth;
  decode.imageHeight = rec.frame.FrameHeight;
  decode.ImagePixels.assign(static_cast<size_t>(rec.frame.FrameWidth) * rec.frame.FrameHeight, 0);
  if (g.Valid()) decode.McuStarts.Reset(g.McusPerRow, g.McuRows + 1);
}

}  // namespace vorn::testing
