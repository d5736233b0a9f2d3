#include "app/analyze.h"

#include "analysis/file_signature.h"
#include "analysis/hex.h"
#include "analysis/marker_analysis.h"
#include "analysis/table_pages.h"
#include "app/display_state.h"
#include "app/render.h"
#include "app/wiring.h"
#include "dump/dump_view.h"
#include "repair/scan_model.h"

namespace vorn {

AnalysisContext AnalysisContextOf(AppState& app) {
  return AnalysisContext{app.file, app.rec, app.analysis, app.form, app.dialogs};
}

bool AnalyzeMarkers(AppState& app) {
  app.form.IMAGE.enabled = false;
  app.dump.DumpPage = 0;
  app.dump.SelectedPage = 0;
  app.dump.SelectedCell = 0;
  ShowDump(app.file, 0, app.form);
  app.form.DMPI.SetText(app.form.DMP[0].text);
  // What a decode and the investigations showed no longer stands behind the fields.
  ResetDisplay(app);

  AnalysisContext ctx = AnalysisContextOf(app);
  if (!AnalyzeSegments(ctx)) return false;
  SetImageInvalid(app, false);
  app.form.IMAGE.enabled = true;
  // The repair menu works from the scan, not the picture: a scan that does not
  // render can still be located and repaired.
  SetRepairEnabled(app.form, ScanModelProblem(app.rec).empty());
  return true;
}

LoadResult LoadFileImage(AppState& app, const std::string& path, bool render, MainImageAnswer mainImage) {
  ByteStore bytes;
  const FileError error = ReadWholeFile(path, bytes);
  if (!error.ok()) return {error, false};
  if (const std::string format = ForeignFormatOf(bytes); !format.empty()) {
    app.Message(ForeignFormatMessage(format));
    return {{}, false, true};
  }
  // Only a file that is taken replaces the shown name: a failed load must leave the
  // save dialog proposing the file the bytes came from.
  app.form.Fname.text = path;
  app.file.bytes = std::move(bytes);
  SetUnsaved(app, false);
  app.analysis.AnalysisStart = 0;
  app.analysis.AnalysisEnd = -1;
  app.form.STANA.text = HexNoZeros(static_cast<uint32_t>(app.analysis.AnalysisStart));
  LoadResult result;
  result.completed = AnalyzeMarkers(app);
  if (!result.completed) {
    // The restart renders what it completes.
    result.completed = RestartAtMainImage(app, mainImage, render) == MainImageRestart::Completed;
  } else if (render) {
    RenderImage(app);
  }
  return result;
}

void DQTUP_Click(AppState& app) {
  StepQuantPage(app.rec.quant, -1, app.form);
}

void DQTDOWN_Click(AppState& app) {
  StepQuantPage(app.rec.quant, +1, app.form);
}

void DHTUP_Click(AppState& app) {
  StepHuffmanPage(app.rec.huff, -1, app.form);
}

void DHTDOWN_Click(AppState& app) {
  StepHuffmanPage(app.rec.huff, +1, app.form);
}

void WireAnalysisHandlers(AppState& app) {
  app.form.DQTUP.onClick = [&app] { DQTUP_Click(app); };
  app.form.DQTDOWN.onClick = [&app] { DQTDOWN_Click(app); };
  app.form.DHTUP.onClick = [&app] { DHTUP_Click(app); };
  app.form.DHTDOWN.onClick = [&app] { DHTDOWN_Click(app); };
}

}  // namespace vorn
