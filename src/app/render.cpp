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

// Forgets what the last decode found; its stores stay for the next.
void ForgetDecode(DecodeState& d) {
  d.Geometry = McuGeometry{};
  d.ImageWidth = 0;
  d.ImageHeight = 0;
  d.LastStatus.reset();
}

// Forgets the last decode and gives its stores back. Picture3 shows ImagePixels
// itself (one buffer, not a copy), so it is detached before the buffer goes.
void DropDecodedPicture(DecodeState& d, window::Picture& picture3) {
  picture3.Clear();
  PixelStore().swap(d.ImagePixels);
  d.McuStarts = McuStartTable{};
  ForgetDecode(d);
}

// Sizes ImagePixels (the off-screen picture) and McuStarts for the frame. Stores of
// the right size are kept as they are (the decode writes every pixel and entry);
// others are given back before the new ones are made, so that a 4000 x 4000
// picture never needs 128 MB. Without pixels the picture store is given back; the
// limit still applies, so that every render of a picture says the same.
bool SizeImageStores(DecodeState& d, window::Picture& picture3, int32_t width, int32_t height,
                     const McuGeometry& geometry, bool pixels) {
  const int64_t bytes = int64_t{width} * height * 4;
  if (bytes > d.PictureByteLimit) return false;
  const size_t count = pixels ? static_cast<size_t>(width) * static_cast<size_t>(height) : 0;
  try {
    if (d.ImagePixels.size() != count) {
      picture3.Clear();
      PixelStore().swap(d.ImagePixels);
      d.ImagePixels.resize(count);
    }
    if (!d.McuStarts.Fits(geometry.McusPerRow, geometry.McuRows + 1)) {
      d.McuStarts = McuStartTable{};
      d.McuStarts.Reset(geometry.McusPerRow, geometry.McuRows + 1);  // one surplus MCU row
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace

void RenderImage(AppState& app, PixelRows pixelRows) {
  DecodeState& d = app.decode;
  const int32_t width = app.rec.frame.FrameWidth;
  const int32_t height = app.rec.frame.FrameHeight;
  const McuGeometry geometry = ComputeMcuGeometry(app.rec.frame);

  ForgetDecode(d);
  // From here until a decode fills the stores, no picture stands behind the view:
  // McuStarts of an earlier file must not be taken for this one's.
  if (!geometry.Valid() || width < 1 || height < 1) {
    DropDecodedPicture(d, app.form.Picture3);
    // A zero sampling factor of component 0 leaves no MCU size to decode or scroll
    // by: the view is cleared and RenderImage ends without a message.
    app.form.Picture1.Clear();
    app.form.Picture2.Clear();
    SetImageInvalid(app, true);
    return;
  }
  if (!SizeImageStores(d, app.form.Picture3, width, height, geometry, !pixelRows.Empty())) {
    DropDecodedPicture(d, app.form.Picture3);
    SetImageInvalid(app, true);
    app.Message(kPictureTooLarge);
    return;
  }
  // A picture of which only some rows are made is not shown.
  if (pixelRows.All())
    app.form.Picture3.ShowBottomUp(&d.ImagePixels, width, height);
  else
    app.form.Picture3.Clear();
  app.form.Picture1.Clear();
  app.form.Picture2.Clear();
  d.Geometry = geometry;
  d.ImageWidth = width;
  d.ImageHeight = height;

  const DecodeStatus status =
      DecodeScan(app.file, app.rec, app.analysis.ScanDataEnd, d, DecodeThreads::Automatic, pixelRows);
  d.LastStatus = status;
  // The decoder wrote straight into the block Picture3 shows, partial or not.
  app.form.Picture3.Repaint();

  if (!app.form.Picture1.Resize(d.ViewWidth, d.ViewHeight)) return;
  // Lowering a maximum below the scroll value refreshes the view at once; the
  // refresh below comes after it and decides what is shown.
  app.form.HScroll1.SetMax(ScrollMaximum(width, d.ViewWidth, geometry.McuWidth));
  app.form.VScroll1.SetMax(ScrollMaximum(height, d.ViewHeight, geometry.McuHeight));
  const bool copied = RefreshView(d, app.form, true, true);

  if (status != DecodeStatus::Ok || !copied) {
    app.Message("スキャンデータが不正です(" + std::to_string(static_cast<int>(status)) + ")");
    return;
  }
  SetSaveEnabled(app.form, true);
  SetImageInvalid(app, false);
}

}  // namespace vorn
