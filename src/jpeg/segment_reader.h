// Reading segment fields by absolute file position without ever leaving the file's
// bytes. The parsers read their fields by position, as the segment layouts are
// defined; a field that lies past the end of the file reads as 0 and the reader
// remembers the first such position, so the parser can report the cut segment
// instead of using a made-up value.
#pragma once

#include <cstdint>
#include <span>

namespace vorn {

class SegmentReader {
 public:
  explicit SegmentReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  uint8_t Byte(int64_t pos) {
    if (Contains(pos)) return bytes_[static_cast<size_t>(pos)];
    Miss(pos);
    return 0;
  }
  // Big-endian 16-bit value of the bytes at pos and pos + 1.
  uint16_t Word(int64_t pos) {
    const int high = Byte(pos);
    return static_cast<uint16_t>(high * 256 + Byte(pos + 1));
  }
  // Whether every byte of first .. last lies inside the file (nothing is read).
  bool Covers(int64_t first, int64_t last) {
    if (first > last) return true;
    if (!Contains(first))
      Miss(first);
    else if (!Contains(last))
      Miss(static_cast<int64_t>(bytes_.size()));
    return !RanOut();
  }

  bool RanOut() const { return ranOut_; }
  // The first position asked for that lies outside the file (meaningful once RanOut).
  int64_t MissingAt() const { return missingAt_; }

 private:
  bool Contains(int64_t pos) const { return pos >= 0 && pos < static_cast<int64_t>(bytes_.size()); }
  void Miss(int64_t pos) {
    if (ranOut_) return;
    ranOut_ = true;
    missingAt_ = pos;
  }

  std::span<const uint8_t> bytes_;
  bool ranOut_ = false;
  int64_t missingAt_ = 0;
};

}  // namespace vorn
