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
bool RejectInput(AppState& app, const std::string& restore) {
  app.Message(kInputError);
  app.form.DMPI.SetText(restore);
  return false;
}

}  // namespace

void JumpToPosition(const FileImage& file, DumpState& dump, window::WindowModel& form, int32_t p) {
  if (p < 0) return;
  dump.DumpPage = p / kDumpCells;
  ShowDump(file, dump.DumpPage, form);
  const int cell = p % kDumpCells;
  PaintSelected(form.DMP[cell]);
  form.DMPI.SetText(form.DMP[cell].text);
  dump.SelectedCell = cell;
  // Keeping the old page here would let a later return to it store the field's
  // text into the cell of the same index on that page, a byte nobody selected.
  if (dump.DumpPage != dump.SelectedPage) dump.SelectedPage = kNoSelectedPage;
}

void ClearDecodeFields(window::WindowModel& form) {
  for (window::Label* label :
       {&form.DCV[0], &form.DCV[1], &form.DCV[2], &form.MCUX, &form.MCUY, &form.MCUBIT, &form.MCUBYTE})
    label->text.clear();
  form.MCUCHK.enabled = false;
  form.BITCHK.enabled = false;
  form.SAVE.enabled = false;
  form.LOG.Clear();
}

void PostEditReset(AppState& app) {
  ClearDecodeFields(app.form);
  app.form.UNDO.enabled = false;
  app.form.REDO.enabled = false;
  app.dump.UndoStack.Clear();
  app.dump.RedoStack.Clear();
}

bool CommitDumpInput(AppState& app) {
  DumpState& d = app.dump;
  if (!IsCell(d.SelectedCell)) return true;
  window::Label& cell = app.form.DMP[d.SelectedCell];
  const std::string text = app.form.DMPI.text;
  if (text == cell.text || d.DumpPage != d.SelectedPage) return true;

  std::vector<uint8_t>& bytes = app.file.bytes;
  const int64_t length = app.file.FileLength();
  const int64_t a = CellPosition(d.DumpPage, d.SelectedCell);
  if (a < length) {
    if (text.empty() && a == length - 1) {  // remove the last byte
      bytes.pop_back();
      cell.text.clear();
      PostEditReset(app);
      return true;
    }
    const HexInput input = ParseHexInput(text);
    if (!input.accepted) return RejectInput(app, Hex2(bytes[static_cast<size_t>(a)]));
    bytes[static_cast<size_t>(a)] = input.value;
    cell.text = Hex2(input.value);
    PostEditReset(app);
    return true;
  }
  // Only the position right after the last byte takes an appended byte.
  if (text.empty() || a != length) return true;
  const HexInput input = ParseHexInput(text);
  // A file at the 32-bit length limit cannot grow: its positions would wrap.
  if (!input.accepted || length >= kMaxFileLength) return RejectInput(app, "");
  bytes.push_back(input.value);
  cell.text = Hex2(input.value);
  PostEditReset(app);
  return true;
}

void DMPI_LostFocus(AppState& app) {
  CommitDumpInput(app);
}

void DMP_Click(AppState& app, int index) {
  if (!IsCell(index)) return;
  if (!CommitDumpInput(app)) return;
  DumpState& d = app.dump;
  // Cells up to the append position can be selected, none further.
  if (CellPosition(d.DumpPage, index) > app.file.FileLength()) return;
  if (IsCell(d.SelectedCell)) PaintNormal(app.form.DMP[d.SelectedCell]);
  PaintSelected(app.form.DMP[index]);
  app.form.DMPI.SetText(app.form.DMP[index].text);
  d.SelectedCell = index;
  d.SelectedPage = d.DumpPage;
}

}  // namespace vorn
