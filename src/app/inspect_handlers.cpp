#include "app/inspect_handlers.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "analysis/hex.h"
#include "analysis/message_log.h"
#include "app/trace_scan.h"
#include "app/wiring.h"
#include "dump/editing.h"
#include "inspect/bit_search.h"
#include "inspect/candidates.h"
#include "inspect/correction_preview.h"
#include "inspect/mcu_pointer.h"

namespace vorn {

void Picture1_MouseDown(AppState& app, int /*button*/, int /*shift*/, float x, float y) {
  if (app.ImageInvalid) return;
  const int32_t frameWidth = app.rec.frame.FrameWidth;
  const int32_t frameHeight = app.rec.frame.FrameHeight;
  if (!std::isfinite(x) || !std::isfinite(y) || x >= frameWidth || y >= frameHeight) return;
  const McuGeometry geometry = ComputeMcuGeometry(app.rec.frame);
  if (!geometry.Valid()) return;
  const int32_t mcuWidth = geometry.McuWidth;
  const int32_t mcuHeight = geometry.McuHeight;

  // Nearest integer, halves to even (the default rounding mode).
  const auto xi = static_cast<int32_t>(std::nearbyint(x));
  const auto yi = static_cast<int32_t>(std::nearbyint(y));
  // A press left of or above the view has no cell.
  if (xi < 0 || yi < 0) return;
  window::WindowModel& form = app.form;
  const int32_t firstColumn = form.HScroll1.value;
  const int32_t firstRow = form.VScroll1.value;
  const int32_t column = xi / mcuWidth + firstColumn;
  const int32_t row = yi / mcuHeight + firstRow;
  // Near the right or bottom edge a press in the black strip names no MCU.
  if (!app.decode.McuStarts.Contains(column, row)) return;

  window::Picture& view = form.Picture1;
  const int32_t viewWidth = app.decode.ViewWidth;
  const int32_t viewHeight = app.decode.ViewHeight;
  // The copy removes the frame of an earlier press.
  view.CopyFrom(form.Picture3, firstColumn * mcuWidth, firstRow * mcuHeight, viewWidth, viewHeight, 0, 0);
  view.Repaint();
  const int32_t x0 = (xi / mcuWidth) * mcuWidth;
  const int32_t y0 = (yi / mcuHeight) * mcuHeight;
  FrameCell(view, x0, y0, x0 + mcuWidth - 1, y0 + mcuHeight - 1, frameWidth, frameHeight);
  PaintPastPicture(view, viewWidth, viewHeight, frameWidth, frameHeight, mcuWidth, mcuHeight, firstColumn,
                   firstRow, form.HScroll1.max, form.VScroll1.max);

  const McuStart& start = app.decode.McuStarts.At(column, row);
  const McuPointerState pointer = PointerToMcu(start, column, row);
  JumpToPosition(app.file, app.dump, form, pointer.BytePos);

  app.inspect.McuPointer = pointer;
  form.MCUBYTE.text = HexNoZeros(static_cast<uint32_t>(pointer.BytePos));
  form.MCUBIT.text = std::to_string(pointer.BitIndex);
  form.MCUX.text = std::to_string(column);
  form.MCUY.text = std::to_string(row);
  for (int k = 0; k < 3; ++k) form.DCV[k].text = std::to_string(start.Dc[k]);
  form.MCUCHK.enabled = true;
  form.BITCHK.enabled = true;
  form.LOG.tag = "";
  ClearLog(form.LOG, app.analysis);
}

void PressMcuCell(AppState& app, const McuGeometry& g, int32_t column, int32_t row) {
  window::WindowModel& form = app.form;
  form.HScroll1.SetValue(std::min(column, form.HScroll1.max));
  form.VScroll1.SetValue(std::min(row, form.VScroll1.max));
  // The middle of the part of the cell that lies in the picture: an MCU at the
  // right or bottom edge may be cut by the frame's size.
  const auto middle = [](int32_t start, int32_t unit, int32_t size) {
    return start + (std::min(start + unit, size) - start) / 2;
  };
  const int32_t x =
      middle(column * g.McuWidth, g.McuWidth, app.rec.frame.FrameWidth) - form.HScroll1.value * g.McuWidth;
  const int32_t y =
      middle(row * g.McuHeight, g.McuHeight, app.rec.frame.FrameHeight) - form.VScroll1.value * g.McuHeight;
  Picture1_MouseDown(app, 1, 0, static_cast<float>(x), static_cast<float>(y));
}

void MCUCHK_Click(AppState& app) {
  const McuGeometry geometry = ComputeMcuGeometry(app.rec.frame);
  McuBuffer buffer;
  if (geometry.Valid()) buffer.Reset(geometry.McuWidth, geometry.McuHeight, 1);
  const TraceResult result = TraceScan(app, buffer, 0, true);
  app.Message(result == TraceResult::Done ? "正常！" : "異常！");
}

void BITCHK_Click(AppState& app) {
  const McuGeometry& geometry = app.decode.Geometry;
  const McuPointerState& pointer = app.inspect.McuPointer;
  const RatingContext context{&app.decode.ImagePixels,
                              app.decode.ImageWidth,
                              app.decode.ImageHeight,
                              geometry.McuWidth,
                              geometry.McuHeight,
                              pointer.Column,
                              pointer.Row};
  const PointerTrace trace = TraceInputsOf(app);
  SearchSingleBits(trace.inputs, trace.known, context, app.inspect.McuEnd, app.inspect.BitCandidate);
  ListCandidates(app.inspect.BitCandidate, app.file, app.form.LOG, app.analysis);
}

void PreviewCorrection(AppState& app, int32_t position, int32_t bitIndex) {
  const McuGeometry& g = app.decode.Geometry;
  if (!g.Valid() || g.McuWidth > kMaxPreviewMcuSide || g.McuHeight > kMaxPreviewMcuSide) return;
  if (!app.file.Contains(position) || bitIndex < 0 || bitIndex > 7) return;
  McuBuffer buffer;
  buffer.Reset(g.McuWidth, g.McuHeight, kPreviewMcus);
  const auto trial = static_cast<uint8_t>(app.file.At(position) | (0x80u >> bitIndex));
  if (TraceScan(app, buffer, kPreviewMcus - 1, false, ByteOverride{position, trial}) != TraceResult::Done)
    return;
  DrawCorrectionPreview(buffer, app.form.Picture2, PreviewScale(app.form.LIMAGE.caption));
}

void WireInspectHandlers(AppState& app) {
  app.form.Picture1.onMouseDown = [&app](int button, int shift, float x, float y) {
    Picture1_MouseDown(app, button, shift, x, y);
  };
  app.form.MCUCHK.onClick = [&app] { MCUCHK_Click(app); };
  app.form.BITCHK.onClick = [&app] { BITCHK_Click(app); };
}

}  // namespace vorn
