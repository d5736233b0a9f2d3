// One small edit of the file image, and the edited bytes as a reader sees them
// without a copy of the file.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

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

// "00000E62-7:7E→7F" (a bit), "00000E62:7E→3A" (a byte replaced), "00000E62:+3A"
// (inserted before), "00000E62:-7E" (removed), "00000E62:-FFC4" (a marker removed).
std::string EditNotation(const ScanEdit& edit);

// Applies the edit to bytes (which must contain its position).
void ApplyEdit(std::vector<uint8_t>& bytes, const ScanEdit& edit);

// The file image with one edit applied, read in place: positions are those of the
// edited file ("logical"); bytes at or after the edit's end come from the original
// at an offset.
struct PatchedBytes {
  const uint8_t* data = nullptr;  // the original bytes
  int64_t length = 0;             // the original length
  int64_t position = INT64_MAX;   // first edited position
  int inserted = 0;               // bytes inserted at position
  int removed = 0;                // original bytes removed at position
  uint8_t value = 0;              // the inserted byte

  PatchedBytes() = default;
  PatchedBytes(const uint8_t* bytes, int64_t size) : data(bytes), length(size) {}
  PatchedBytes(const uint8_t* bytes, int64_t size, const ScanEdit& edit)
      : data(bytes),
        length(size),
        position(edit.position),
        inserted(edit.inserted),
        removed(edit.removed),
        value(edit.value) {}

  int64_t Length() const { return length - removed + inserted; }
  bool Contains(int64_t i) const { return i >= 0 && i < Length(); }
  uint8_t At(int64_t i) const {
    return i < position ? data[i] : (i < position + inserted ? value : data[i - inserted + removed]);
  }
  // Original bytes from logical position i on, contiguous: their pointer and how many
  // (0 inside the inserted bytes).
  int64_t Run(int64_t i, const uint8_t*& out) const {
    if (i < position) {
      out = data + i;
      return std::min(position, length) - i;
    }
    if (i < position + inserted) return 0;
    out = data + (i - inserted + removed);
    return length - (i - inserted + removed);
  }
  // The original position of logical position i, which must lie after the edit.
  int64_t ToOriginal(int64_t i) const { return i < position ? i : i - inserted + removed; }
  // First logical position that is an original byte again.
  int64_t EditEnd() const { return position == INT64_MAX ? 0 : position + inserted; }
};

}  // namespace vorn
