#include "repair/scan_edit.h"

#include "analysis/hex.h"

namespace vorn {

ScanEdit ScanEdit::ReplaceByte(int32_t position, uint8_t old, uint8_t value) {
  ScanEdit e;
  e.kind = EditKind::Replace;
  e.position = position;
  e.removed = 1;
  e.inserted = 1;
  e.old = old;
  e.value = value;
  return e;
}

ScanEdit ScanEdit::RemoveByte(int32_t position, uint8_t old) {
  ScanEdit e;
  e.kind = EditKind::Remove;
  e.position = position;
  e.removed = 1;
  e.old = old;
  return e;
}

ScanEdit ScanEdit::InsertByte(int32_t position, uint8_t value) {
  ScanEdit e;
  e.kind = EditKind::Insert;
  e.position = position;
  e.inserted = 1;
  e.value = value;
  return e;
}

ScanEdit ScanEdit::Stuffing(int32_t position) {
  ScanEdit e = InsertByte(position, 0x00);
  e.kind = EditKind::RestoreStuffing;
  return e;
}

ScanEdit ScanEdit::Marker(int32_t position, uint8_t code) {
  ScanEdit e;
  e.kind = EditKind::RemoveMarker;
  e.position = position;
  e.removed = 2;
  e.old = 0xFF;
  e.old2 = code;
  return e;
}

int ScanEdit::Size() const {
  switch (kind) {
    case EditKind::None:
      return 0;
    case EditKind::SetBit:
    case EditKind::ClearBit:
      return 1;
    case EditKind::Replace:
      return 2;
    case EditKind::Remove:
    case EditKind::Insert:
    case EditKind::RestoreStuffing:
      return 3;
    case EditKind::RemoveMarker:
      return 4;
  }
  return 5;
}

std::string EditNotation(const ScanEdit& edit) {
  std::string text = Hex8(edit.position);
  switch (edit.kind) {
    case EditKind::SetBit:
    case EditKind::ClearBit:
      return text + "-" + std::to_string(edit.bit) + ":" + Hex2(edit.old) + "→" + Hex2(edit.value);
    case EditKind::Replace:
      return text + ":" + Hex2(edit.old) + "→" + Hex2(edit.value);
    case EditKind::Remove:
      return text + ":-" + Hex2(edit.old);
    case EditKind::Insert:
    case EditKind::RestoreStuffing:
      return text + ":+" + Hex2(edit.value);
    case EditKind::RemoveMarker:
      return text + ":-" + Hex2(edit.old) + Hex2(edit.old2);
    case EditKind::None:
      break;
  }
  return text;
}

void ApplyEdit(std::vector<uint8_t>& bytes, const ScanEdit& edit) {
  const auto at = bytes.begin() + edit.position;
  if (edit.removed == 1 && edit.inserted == 1) {
    *at = edit.value;
    return;
  }
  bytes.erase(at, at + edit.removed);
  if (edit.inserted == 1) bytes.insert(bytes.begin() + edit.position, edit.value);
}

}  // namespace vorn
