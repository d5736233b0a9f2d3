// The image view: a window of ViewWidth x ViewHeight pixels on the decoded picture,
// moved in whole MCUs by the scroll bars, and the small commands of the image area.
#include "analysis/marker_analysis.h"
#include "app/wiring.h"
#include "decode/render.h"
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

bool RefreshView(AppState& s, bool rightStrip, bool bottomStrip) {
  const DecodeState& d = s.decode;
  // Scroll values are at most 4000 / 8 + 1 MCUs of at most 16 pixels: no overflow.
  const int32_t left = s.w.HScroll1.value * d.geometry.McuWidth;
  const int32_t top = s.w.VScroll1.value * d.geometry.McuHeight;
  window::Picture& view = s.w.Picture1;
  const bool copied = view.CopyFrom(s.w.Picture3, left, top, d.ViewWidth, d.ViewHeight, 0, 0);
  view.Repaint();
  if (rightStrip) FillBlack(view, RightStrip(d.imageWidth, left, d.ViewWidth, d.ViewHeight));
  if (bottomStrip) FillBlack(view, BottomStrip(d.imageHeight, top, d.ViewWidth, d.ViewHeight));
  return copied;
}

void HScroll1_Change(AppState& s) {
  RefreshView(s, true, false);
}

void VScroll1_Change(AppState& s) {
  RefreshView(s, false, true);
}

void IMAGE_Click(AppState& s) {
  if (AnalyzeMarkers(s)) RenderImage(s);
}

void LIMAGE_Click(AppState& s) {
  std::string& caption = s.w.LIMAGE.caption;
  caption = !caption.empty() && caption.back() == '1' ? kPreviewScale2 : kPreviewScale1;
  s.w.Picture2.Clear();
}

void MODE_Click(AppState& s) {
  // The caption names the width the next press selects.
  if (s.w.MODE.caption == "C") {
    s.w.outerWidth = kCompactOuterWidth;
    s.w.MODE.caption = "F";
  } else {
    s.w.outerWidth = kFullOuterWidth;
    s.w.MODE.caption = "C";
  }
}

void WireDecodeHandlers(AppState& s) {
  s.w.IMAGE.onClick = [&s] { IMAGE_Click(s); };
  s.w.LIMAGE.onClick = [&s] { LIMAGE_Click(s); };
  s.w.MODE.onClick = [&s] { MODE_Click(s); };
  // A dragged thumb and a changed value redraw alike.
  s.w.HScroll1.onChange = [&s] { HScroll1_Change(s); };
  s.w.HScroll1.onScroll = [&s] { HScroll1_Change(s); };
  s.w.VScroll1.onChange = [&s] { VScroll1_Change(s); };
  s.w.VScroll1.onScroll = [&s] { VScroll1_Change(s); };
}

}  // namespace vorn
