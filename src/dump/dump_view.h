// The hexadecimal dump: one page of 256 bytes and its paging commands.
#pragma once

#include <cstdint>

#include "analysis/file_image.h"
#include "app/app_state.h"
#include "window/window_model.h"

namespace vorn {

// Repaints row labels and cells for page dumpPage; every cell in normal colours.
void ShowDump(const FileImage& file, int32_t dumpPage, window::WindowModel& w);

void DMPFUP_Click(AppState& s);
void DMPUP_Click(AppState& s);
void DMPDOWN_Click(AppState& s);
void DMPFDOWN_Click(AppState& s);

}  // namespace vorn
