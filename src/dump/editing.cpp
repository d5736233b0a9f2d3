#include "dump/editing.h"

#include "analysis/hex.h"
#include "dump/dump_view.h"
#include "dump/hex_input.h"

namespace vorn {

namespace {

constexpr const char* kInputError = "入力エラー";

bool IsCell(int index) {
  return index >= 0 && index < kDumpCells;
}

// Shows the error and puts `restore` back into the field; the image is untouched.
bool RejectInput(AppState& s, const std::string& restore) {
  s.Message(kInputError);
  s.w.DMPI.SetText(restore);
  return false;
}

}  // namespace

void JumpToPosition(const FileImage& file, DumpState& dump, window::WindowModel& w, int32_t p) {
  if (p < 0) return;
  dump.DumpPage = p / kDumpCells;
  ShowDump(file, dump.DumpPage, w);
  const int cell = p % kDumpCells;
  PaintSelected(w.DMP[cell]);
  w.DMPI.SetText(w.DMP[cell].text);
  dump.SelectedCell = cell;
  // Keeping the old page here would let a later return to it store the field's
  // text into the cell of the same index on that page, a byte nobody selected.
  if (dump.DumpPage != dump.SelectedPage) dump.SelectedPage = kNoSelectedPage;
}

void ClearDecodeFields(window::WindowModel& w) {
  for (window::Label* label : {&w.DCV[0], &w.DCV[1], &w.DCV[2], &w.MCUX, &w.MCUY, &w.MCUBIT, &w.MCUBYTE})
    label->text.clear();
  w.MCUCHK.enabled = false;
  w.BITCHK.enabled = false;
  w.SAVE.enabled = false;
  w.LOG.Clear();
}

void PostEditReset(AppState& s) {
  ClearDecodeFields(s.w);
  s.w.UNDO.enabled = false;
  s.w.REDO.enabled = false;
  s.dump.UndoStack.Clear();
  s.dump.RedoStack.Clear();
}

bool CommitDumpInput(AppState& s) {
  DumpState& d = s.dump;
  if (!IsCell(d.SelectedCell)) return true;
  window::Label& cell = s.w.DMP[d.SelectedCell];
  const std::string text = s.w.DMPI.text;
  if (text == cell.text || d.DumpPage != d.SelectedPage) return true;

  std::vector<uint8_t>& bytes = s.file.bytes;
  const int64_t length = s.file.FileLength();
  const int64_t a = CellPosition(d.DumpPage, d.SelectedCell);
  if (a < length) {
    if (text.empty() && a == length - 1) {  // remove the last byte
      bytes.pop_back();
      cell.text.clear();
      PostEditReset(s);
      return true;
    }
    const HexInput input = ParseHexInput(text);
    if (!input.accepted) return RejectInput(s, Hex2(bytes[static_cast<size_t>(a)]));
    bytes[static_cast<size_t>(a)] = input.value;
    cell.text = Hex2(input.value);
    PostEditReset(s);
    return true;
  }
  // Only the position right after the last byte takes an appended byte.
  if (text.empty() || a != length) return true;
  const HexInput input = ParseHexInput(text);
  // A file at the 32-bit length limit cannot grow: its positions would wrap.
  if (!input.accepted || length >= kMaxFileLength) return RejectInput(s, "");
  bytes.push_back(input.value);
  cell.text = Hex2(input.value);
  PostEditReset(s);
  return true;
}

void DMPI_LostFocus(AppState& s) {
  CommitDumpInput(s);
}

void DMP_Click(AppState& s, int index) {
  if (!IsCell(index)) return;
  if (!CommitDumpInput(s)) return;
  DumpState& d = s.dump;
  // Cells up to the append position can be selected, none further.
  if (CellPosition(d.DumpPage, index) > s.file.FileLength()) return;
  if (IsCell(d.SelectedCell)) PaintNormal(s.w.DMP[d.SelectedCell]);
  PaintSelected(s.w.DMP[index]);
  s.w.DMPI.SetText(s.w.DMP[index].text);
  d.SelectedCell = index;
  d.SelectedPage = d.DumpPage;
}

}  // namespace vorn
