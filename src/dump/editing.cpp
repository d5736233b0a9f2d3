#include "dump/editing.h"

#include <string>

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
EditOutcome RejectInput(DumpContext& ctx, const std::string& restore) {
  ctx.dialogs.MessageBox(kInputError, window::Buttons::Ok);
  ctx.form.DMPI.SetText(restore);
  return EditOutcome::Rejected;
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

EditOutcome StoreDumpInput(DumpContext& ctx) {
  DumpState& d = ctx.dump;
  if (!IsCell(d.SelectedCell)) return EditOutcome::Unchanged;
  window::Label& cell = ctx.form.DMP[d.SelectedCell];
  const std::string text = ctx.form.DMPI.text;
  if (text == cell.text || d.DumpPage != d.SelectedPage) return EditOutcome::Unchanged;

  ByteStore& bytes = ctx.file.bytes;
  const int64_t length = ctx.file.FileLength();
  const int64_t a = CellPosition(d.DumpPage, d.SelectedCell);
  if (a < length) {
    if (text.empty() && a == length - 1) {  // remove the last byte
      bytes.pop_back();
      cell.text.clear();
      return EditOutcome::Stored;
    }
    const HexInput input = ParseHexInput(text);
    if (!input.accepted) return RejectInput(ctx, Hex2(bytes[static_cast<size_t>(a)]));
    bytes[static_cast<size_t>(a)] = input.value;
    cell.text = Hex2(input.value);
    return EditOutcome::Stored;
  }
  // Only the position right after the last byte takes an appended byte.
  if (text.empty() || a != length) return EditOutcome::Unchanged;
  const HexInput input = ParseHexInput(text);
  // A file at the 32-bit length limit cannot grow: its positions would wrap.
  if (!input.accepted || length >= kMaxFileLength) return RejectInput(ctx, "");
  bytes.push_back(input.value);
  cell.text = Hex2(input.value);
  return EditOutcome::Stored;
}

bool SelectDumpCell(const FileImage& file, DumpState& dump, window::WindowModel& form, int index) {
  // Cells up to the append position can be selected, none further.
  if (!IsCell(index) || CellPosition(dump.DumpPage, index) > file.FileLength()) return false;
  if (IsCell(dump.SelectedCell)) PaintNormal(form.DMP[dump.SelectedCell]);
  PaintSelected(form.DMP[index]);
  form.DMPI.SetText(form.DMP[index].text);
  dump.SelectedCell = index;
  dump.SelectedPage = dump.DumpPage;
  return true;
}

void PushUndo(DumpState& dump, window::WindowModel& form, int32_t address, uint8_t byte, int32_t length) {
  PushUndo(dump, form, HistoryEntry{.Address = address, .Length = length, .PutBack = {byte}});
}

void PushUndo(DumpState& dump, window::WindowModel& form, const HistoryEntry& record) {
  form.UNDO.enabled = true;
  form.REDO.enabled = false;
  dump.UndoStack.Push(record);
}

}  // namespace vorn
