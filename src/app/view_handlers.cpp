// The image view: a window of ViewWidth x ViewHeight pixels on the decoded picture,
// moved in whole MCUs by the scroll bars, and the small commands of the image area.
#include "app/analyze.h"
#include "app/render.h"
#include "app/wiring.h"
#include "decode/view_geometry.h"

namespace vorn {

namespace {

constexpr int kCompactOuterWidth = 470;  // 7050 twips at 15 twips per pixel
constexpr int kFullOuterWidth = 1024;    // 15360 twips
const char* const kPreviewScale1 = "補正ｲﾒｰｼﾞx1";
const char* const kPreviewScale2 = "補正ｲﾒｰｼﾞx2";

void FillBlack(window::Picture& view, const std::optional<ViewRect>& strip) {
  if (strip) view.FillRect(strip->x0, strip->y0, strip->x1, strip->y1, window::kBlack);
}

}  // namespace

bool RefreshView(const DecodeState& d, window::WindowModel& form, bool rightStrip, bool bottomStrip) {
  // Scroll values are at most 4000 / 8 + 1 MCUs of at most 16 pixels: no overflow.
  const int32_t left = form.HScroll1.value * d.Geometry.McuWidth;
  const int32_t top = form.VScroll1.value * d.Geometry.McuHeight;
  window::Picture& view = form.Picture1;
  const bool copied = view.CopyFrom(form.Picture3, left, top, d.ViewWidth, d.ViewHeight, 0, 0);
  view.Repaint();
  if (rightStrip) FillBlack(view, RightStrip(d.ImageWidth, left, d.ViewWidth, d.ViewHeight));
  if (bottomStrip) FillBlack(view, BottomStrip(d.ImageHeight, top, d.ViewWidth, d.ViewHeight));
  return copied;
}

void HScroll1_Change(AppState& app) {
  RefreshView(app.decode, app.form, true, false);
}

void VScroll1_Change(AppState& app) {
  RefreshView(app.decode, app.form, false, true);
}

void IMAGE_Click(AppState& app) {
  if (AnalyzeMarkers(app)) RenderImage(app);
}

void LIMAGE_Click(AppState& app) {
  std::string& caption = app.form.LIMAGE.caption;
  caption = !caption.empty() && caption.back() == '1' ? kPreviewScale2 : kPreviewScale1;
  app.form.Picture2.Clear();
}

void MODE_Click(AppState& app) {
  // The caption names the width the next press selects.
  if (app.form.MODE.caption == "C") {
    app.form.outerWidth = kCompactOuterWidth;
    app.form.MODE.caption = "F";
  } else {
    app.form.outerWidth = kFullOuterWidth;
    app.form.MODE.caption = "C";
  }
}

void WireDecodeHandlers(AppState& app) {
  app.form.IMAGE.onClick = [&app] { IMAGE_Click(app); };
  app.form.LIMAGE.onClick = [&app] { LIMAGE_Click(app); };
  app.form.MODE.onClick = [&app] { MODE_Click(app); };
  // A dragged thumb and a changed value redraw alike.
  app.form.HScroll1.onChange = [&app] { HScroll1_Change(app); };
  app.form.HScroll1.onScroll = [&app] { HScroll1_Change(app); };
  app.form.VScroll1.onChange = [&app] { VScroll1_Change(app); };
  app.form.VScroll1.onScroll = [&app] { VScroll1_Change(app); };
}

}  // namespace vorn
