// Rendering the decoded picture and the scrollable image view.
#pragma once

#include "app/app_state.h"

namespace vorn {

// Decodes the scan of the analysed file and shows it; reports a bad scan.
// pixelRows: the MCU rows whose pixels are made; the window shows them all. With
// fewer (the command line's MCU pointer, trace and bit search, which show no
// picture), Picture3 stays black, ImagePixels holds only those rows (no store at all
// for none), and McuStarts, the status, the messages and the fields are as with all.
void RenderImage(AppState& app, PixelRows pixelRows = {});

// Copies the visible window of Picture3 into Picture1 and paints the requested black
// strips beyond the picture. Returns whether the copy succeeded.
bool RefreshView(const DecodeState& d, window::WindowModel& form, bool rightStrip, bool bottomStrip);

void IMAGE_Click(AppState& app);
void LIMAGE_Click(AppState& app);
void MODE_Click(AppState& app);
void HScroll1_Change(AppState& app);
void VScroll1_Change(AppState& app);

}  // namespace vorn
