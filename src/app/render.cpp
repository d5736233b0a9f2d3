// RenderImage: decodes the analysed scan into the picture and shows it.
#include "app/render.h"

#include <new>
#include <string>

#include "app/display_state.h"
#include "decode/decode_scan.h"
#include "decode/view_geometry.h"

namespace vorn {

namespace {

const char* const kPictureTooLarge = "画像が大き過ぎます\rディスプレイを１６ビットカラーにしてみてください";

// Forgets the last decode. Picture3 shows ImagePixels itself (one buffer, not a
// copy), so it is detached before the buffer goes; freeing the old buffer before
// the new one is made keeps a 4000 x 4000 picture from ever needing 128 MB.
void DropDecodedPicture(AppState& app) {
  DecodeState& d = app.decode;
  app.form.Picture3.Clear();
  std::vector<uint32_t>().swap(d.ImagePixels);
  d.McuStarts = McuStartTable{};
  d.Geometry = McuGeometry{};
  d.ImageWidth = 0;
  d.ImageHeight = 0;
  d.LastStatus.reset();
}

// Creates ImagePixels (the off-screen picture) and McuStarts, all zero.
bool CreateImageStores(DecodeState& d, int32_t width, int32_t height, const McuGeometry& geometry) {
  const int64_t bytes = int64_t{width} * height * 4;
  if (bytes > d.PictureByteLimit) return false;
  try {
    d.ImagePixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    d.McuStarts.Reset(geometry.McusPerRow, geometry.McuRows + 1);  // one surplus MCU row
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace

void RenderImage(AppState& app) {
  DecodeState& d = app.decode;
  const int32_t width = app.rec.frame.FrameWidth;
  const int32_t height = app.rec.frame.FrameHeight;
  const McuGeometry geometry = ComputeMcuGeometry(app.rec.frame);

  DropDecodedPicture(app);
  // From here until a decode fills the stores, no picture stands behind the view:
  // McuStarts of an earlier file must not be taken for this one's.
  if (!geometry.Valid() || width < 1 || height < 1) {
    // A zero sampling factor of component 0 leaves no MCU size to decode or scroll
    // by: the view is cleared and RenderImage ends without a message.
    app.form.Picture1.Clear();
    app.form.Picture2.Clear();
    SetImageInvalid(app, true);
    return;
  }
  if (!CreateImageStores(d, width, height, geometry)) {
    DropDecodedPicture(app);
    SetImageInvalid(app, true);
    app.Message(kPictureTooLarge);
    return;
  }
  app.form.Picture3.ShowBottomUp(&d.ImagePixels, width, height);
  app.form.Picture1.Clear();
  app.form.Picture2.Clear();
  d.Geometry = geometry;
  d.ImageWidth = width;
  d.ImageHeight = height;

  const DecodeStatus status = DecodeScan(app.file, app.rec, app.analysis.ScanDataEnd, d);
  d.LastStatus = status;
  // The decoder wrote straight into the block Picture3 shows, partial or not.
  app.form.Picture3.Repaint();

  if (!app.form.Picture1.Resize(d.ViewWidth, d.ViewHeight)) return;
  // Lowering a maximum below the scroll value refreshes the view at once; the
  // refresh below comes after it and decides what is shown.
  app.form.HScroll1.SetMax(ScrollMaximum(width, d.ViewWidth, geometry.McuWidth));
  app.form.VScroll1.SetMax(ScrollMaximum(height, d.ViewHeight, geometry.McuHeight));
  const bool copied = RefreshView(app, true, true);

  if (status != DecodeStatus::Ok || !copied) {
    app.Message("スキャンデータが不正です(" + std::to_string(static_cast<int>(status)) + ")");
    return;
  }
  SetSaveEnabled(app.form, true);
  SetImageInvalid(app, false);
}

}  // namespace vorn
