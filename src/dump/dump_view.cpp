#include "dump/dump_view.h"

#include "analysis/hex.h"

namespace vorn {

int32_t LastPage(const FileImage& file) {
  return file.FileLength() / kDumpCells;
}

void PaintNormal(window::Label& cell) {
  cell.back = window::kWhite;
  cell.fore = window::kBlack;
}

void PaintSelected(window::Label& cell) {
  cell.back = window::kBlack;
  cell.fore = window::kWhite;
}

void ShowDump(const FileImage& file, int32_t dumpPage, window::WindowModel& form) {
  const int64_t length = file.FileLength();
  // Pages reach at most LastPage + 1 = 2^23, so every row address fits in 32 bits
  // unsigned even for the largest file.
  for (int r = 0; r < 16; ++r)
    form.DMPH[r].text = HexNoZeros(static_cast<uint32_t>(CellPosition(dumpPage, r * 16)));
  for (int i = 0; i < kDumpCells; ++i) {
    const int64_t a = CellPosition(dumpPage, i);
    window::Label& cell = form.DMP[i];
    cell.text = a < length ? Hex2(file.bytes[static_cast<size_t>(a)]) : std::string();
    PaintNormal(cell);
  }
}

void StepDumpPage(const FileImage& file, DumpState& dump, PageStep step, window::WindowModel& form) {
  int32_t& page = dump.DumpPage;
  const int32_t last = LastPage(file);
  switch (step) {
    case PageStep::FastUp:
      page = page >= 16 ? page - 16 : 0;
      break;
    case PageStep::Up:
      if (page < 1) return;
      --page;
      break;
    case PageStep::Down:
      if (page > last) return;
      ++page;
      break;
    case PageStep::FastDown:
      page = page + 16 <= last ? page + 16 : last;
      break;
  }
  ShowDump(file, page, form);
}

}  // namespace vorn
