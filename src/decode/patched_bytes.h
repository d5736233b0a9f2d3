// The file image with at most one small edit applied, read in place, so that a trial
// edit never copies the file.
#pragma once

#include <algorithm>
#include <cstdint>

namespace vorn {

// Positions are those of the edited file ("logical"); bytes at or after the edit's
// end come from the original at an offset.
struct PatchedBytes {
  const uint8_t* data = nullptr;  // the original bytes
  int64_t length = 0;             // the original length
  int64_t position = INT64_MAX;   // first edited position
  int inserted = 0;               // bytes inserted at position
  int removed = 0;                // original bytes removed at position
  uint8_t value = 0;              // the inserted byte

  PatchedBytes() = default;
  PatchedBytes(const uint8_t* bytes, int64_t size) : data(bytes), length(size) {}
  // Any edit that names its position, the bytes it removes there and the bytes of
  // `value` it inserts in their place.
  template <class Edit>
  PatchedBytes(const uint8_t* bytes, int64_t size, const Edit& edit)
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
