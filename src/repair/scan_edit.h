// One small edit of the file image, and the edited bytes as a reader sees them
// without a copy of the file.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "decode/patched_bytes.h"

namespace vorn {

enum class EditKind : uint8_t {
  None,
  SetBit,           // one bit 0 -> 1
  ClearBit,         // one bit 1 -> 0
  Replace,          // one byte replaced by another value
  Remove,           // one byte removed
  Insert,           // one byte inserted before position
  RestoreStuffing,  // a 00 inserted after a data FF (position is the 00's)
  RemoveMarker,     // the two bytes of a marker removed
};

// The bytes [position, position + removed) become `inserted` bytes of `value`.
struct ScanEdit {
  EditKind kind = EditKind::None;
  int32_t position = 0;
  int8_t bit = 0;        // SetBit, ClearBit: 0 = most significant
  uint8_t removed = 0;   // 0, 1 or 2 bytes
  uint8_t inserted = 0;  // 0 or 1 byte
  uint8_t value = 0;     // the inserted or replacing byte
  uint8_t old = 0;       // the first byte removed or replaced
  uint8_t old2 = 0;      // the second byte of a removed marker

  static ScanEdit Bit(int32_t position, int bit, uint8_t old);
  static ScanEdit ReplaceByte(int32_t position, uint8_t old, uint8_t value);
  static ScanEdit RemoveByte(int32_t position, uint8_t old);
  static ScanEdit InsertByte(int32_t position, uint8_t value);
  static ScanEdit Stuffing(int32_t position);
  static ScanEdit Marker(int32_t position, uint8_t code);

  // How much the file grows (negative: shrinks).
  int32_t Growth() const { return static_cast<int32_t>(inserted) - static_cast<int32_t>(removed); }
  // A rough size for ranking: a bit < a byte < a length change < a marker.
  int Size() const;
  bool operator==(const ScanEdit&) const = default;
};

// Inline: the checks make one for every candidate bit they weigh, millions a picture.
inline ScanEdit ScanEdit::Bit(int32_t position, int bit, uint8_t old) {
  ScanEdit e;
  const auto mask = static_cast<uint8_t>(0x80 >> bit);
  e.kind = (old & mask) != 0 ? EditKind::ClearBit : EditKind::SetBit;
  e.position = position;
  e.bit = static_cast<int8_t>(bit);
  e.removed = 1;
  e.inserted = 1;
  e.old = old;
  e.value = static_cast<uint8_t>(old ^ mask);
  return e;
}

// "00000E62-7:7E→7F" (a bit), "00000E62:7E→3A" (a byte replaced), "00000E62:+3A"
// (inserted before), "00000E62:-7E" (removed), "00000E62:-FFC4" (a marker removed).
std::string EditNotation(const ScanEdit& edit);

// Applies the edit to bytes (which must contain its position).
void ApplyEdit(std::vector<uint8_t>& bytes, const ScanEdit& edit);


}  // namespace vorn
