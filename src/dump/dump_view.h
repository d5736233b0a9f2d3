// The hexadecimal dump: one page of 256 bytes and its paging commands.
#pragma once

#include <cstdint>

#include "analysis/file_image.h"
#include "dump/dump_state.h"
#include "window/window_model.h"

namespace vorn {

inline constexpr int kDumpCells = 256;

// The last page that holds a byte, or the empty page right after a length that is a
// multiple of 256. The page after it (LastPage + 1) can still be shown, empty.
int32_t LastPage(const FileImage& file);

// File position of cell `cell` on page `page`. 64-bit: the empty page after the
// last one of a 2^31 - 1 byte file starts at 2^31, past any 32-bit position.
inline int64_t CellPosition(int32_t page, int32_t cell) {
  return int64_t{page} * kDumpCells + cell;
}

// A normal cell is black on white, the selected one white on black.
void PaintNormal(window::Label& cell);
void PaintSelected(window::Label& cell);

// Repaints row labels and cells for page dumpPage; every cell in normal colours.
void ShowDump(const FileImage& file, int32_t dumpPage, window::WindowModel& form);

// The four paging commands: 16 pages back (to page 0 at most), one back (not before
// page 0), one forward (up to LastPage + 1, the empty page after the last), 16
// forward (to LastPage at most). Each repaints the page.
enum class PageStep { FastUp, Up, Down, FastDown };
void StepDumpPage(const FileImage& file, DumpState& dump, PageStep step, window::WindowModel& form);

}  // namespace vorn
