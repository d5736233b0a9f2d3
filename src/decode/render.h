// Rendering the decoded picture and the scrollable image view.
#pragma once

#include "app/app_state.h"

namespace vorn {

// Decodes the scan of the analysed file and shows it; reports a bad scan.
void RenderImage(AppState& s);

// Copies the visible window of Picture3 into Picture1 and paints the requested black
// strips beyond the picture. Returns whether the copy succeeded.
bool RefreshView(AppState& s, bool rightStrip, bool bottomStrip);

void IMAGE_Click(AppState& s);
void LIMAGE_Click(AppState& s);
void MODE_Click(AppState& s);
void HScroll1_Change(AppState& s);
void VScroll1_Change(AppState& s);

}  // namespace vorn
