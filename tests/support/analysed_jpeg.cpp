#include "support/analysed_jpeg.h"

#include <memory>

#include "analysis/marker_analysis.h"
#include "app/analyze.h"
#include "app/app_state.h"
#include "window/dialogs.h"

namespace vorn::testing {

AnalysedJpeg AnalyseJpeg(const std::vector<uint8_t>& bytes) {
  window::ScriptedDialogs dialogs;
  auto app = std::make_unique<AppState>(dialogs);
  FillMarkerName(app->analysis);
  app->file.bytes = bytes;
  app->analysis.AnalysisStart = 0;
  AnalysedJpeg out;
  out.completed = AnalyzeMarkers(*app);
  out.file = std::move(app->file);
  out.rec = app->rec;
  out.scanDataEnd = app->analysis.ScanDataEnd;
  return out;
}

void CreateDecodeStores(const Records& rec, DecodeState& decode) {
  const McuGeometry g = ComputeMcuGeometry(rec.frame);
  decode.Geometry = g;
  decode.ImageWidth = rec.frame.FrameWidth;
  decode.ImageHeight = rec.frame.FrameHeight;
  decode.ImagePixels.assign(static_cast<size_t>(rec.frame.FrameWidth) * rec.frame.FrameHeight, 0);
  if (g.Valid()) decode.McuStarts.Reset(g.McusPerRow, g.McuRows + 1);
}

}  // namespace vorn::testing
