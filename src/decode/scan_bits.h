// The entropy-coded data as the decoder consumes it, many bits at a time.
//
// The data bytes are the file bytes from the scan's first byte to its last, less
// every byte that follows a 0xFF (a stuffed 0x00 or a marker): the 0xFF itself is
// data. What a marker does happens between two data bytes, after all bits of the
// 0xFF, so the reader never loads past one: the bits in the buffer are then exactly
// the bits before it, and the caller meets the event when it has used them all.
// Nothing outside the file image is ever read.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "jpeg/marker_codes.h"

namespace vorn {

// The bits loaded and not yet taken, the first in the top bit. Kept apart from the
// loader so that a hot loop can hold it in registers.
struct BitWindow {
  uint64_t buffer = 0;
  int bits = 0;

  // The next 16 bits, the first in bit 15 (zeros beyond the bits held).
  uint32_t Peek16() const { return static_cast<uint32_t>(buffer >> 48); }
  // Takes n bits (1..32, at most bits).
  uint32_t Take(int n) {
    const uint32_t v = static_cast<uint32_t>(buffer >> (64 - n));
    buffer <<= n;
    bits -= n;
    return v;
  }
};

class ScanBits {
 public:
  enum class Event {
    kNone,
    kRestart,        // RST0..RST7 after the last loaded 0xFF
    kForeignMarker,  // any other marker after it
    kOutsideFile,    // the byte to look at lies outside the file image
    kEnd,            // the next byte lies past the scan's last byte
  };

  // data/fileLength: the whole file image; first, last: the scan's first and last
  // byte (last < first: an empty scan).
  ScanBits(const uint8_t* data, int32_t fileLength, int32_t first, int32_t last)
      : data_(data), fileLength_(fileLength), last_(last), first_(first), next_(first) {}

  // Loads data bytes into w until it holds more than 56 bits or an event stops
  // loading.
  void Fill(BitWindow& w) {
    while (w.bits <= 56 && event_ == Event::kNone)
      if (!LoadPlainBytes(w)) LoadByte(w);
  }
  Event Pending() const { return event_; }
  // Once every bit before a restart marker is used: go on loading after it.
  void PassRestart() { event_ = Event::kNone; }

  // The file position of the byte holding the last bit taken from w, and the bit's
  // index in it (0 = most significant). Only after at least one bit was taken.
  void LastTaken(const BitWindow& w, int32_t& position, int32_t& bitIndex) const {
    const uint64_t taken = loaded_ * 8 - static_cast<uint64_t>(w.bits);
    const uint64_t byte = (taken - 1) >> 3;  // its index among the data bytes
    // Its file position: the data bytes before it, and the bytes skipped after the
    // FFs among them. The buffer holds at most 64 bits, so the byte is one of the
    // last nine loaded, and sixteen remembered FFs reach back past it.
    uint64_t skipped = skipped_;
    while (skipped > 0 && skipped_ - skipped < 16 && skippedAfter_[(skipped - 1) & 15] >= byte) --skipped;
    position = static_cast<int32_t>(first_ + static_cast<int64_t>(byte + skipped));
    bitIndex = static_cast<int32_t>((taken - 1) & 7);
  }

 private:
  // As many bytes as fit, at once, when none of them is an FF and all lie inside the
  // scan and the file; false (nothing loaded) otherwise.
  bool LoadPlainBytes(BitWindow& w) {
    const int n = (64 - w.bits) >> 3;
    if (next_ < 0 || next_ + 8 > fileLength_ || next_ + n - 1 > last_) return false;
    uint64_t word;
    std::memcpy(&word, data_ + next_, 8);
    word = __builtin_bswap64(word);  // the first byte in the top bits
    const uint64_t keep = n == 8 ? ~uint64_t{0} : ~(~uint64_t{0} >> (8 * n));
    // A byte of word is FF where a byte of ~word is 0; bytes past the n are made
    // non-zero. The classic zero-byte test: exact for whether there is one.
    const uint64_t inverse = ~word | ~keep;
    constexpr uint64_t kOnes = 0x0101010101010101, kHighs = 0x8080808080808080;
    if (((inverse - kOnes) & ~inverse & kHighs) != 0) return false;
    w.buffer |= (word & keep) >> w.bits;
    w.bits += 8 * n;
    loaded_ += n;
    next_ += n;
    return true;
  }

  void LoadByte(BitWindow& w) {
    if (next_ > last_) {
      event_ = Event::kEnd;
      return;
    }
    if (next_ < 0 || next_ >= fileLength_) {
      event_ = Event::kOutsideFile;
      return;
    }
    const uint8_t b = data_[next_];
    ++loaded_;
    w.buffer |= static_cast<uint64_t>(b) << (56 - w.bits);
    w.bits += 8;
    if (b != 0xFF) {
      ++next_;
      return;
    }
    if (next_ + 1 >= fileLength_) {
      event_ = Event::kOutsideFile;
      return;
    }
    const uint8_t marker = data_[next_ + 1];
    next_ += 2;
    // The byte after the FF is skipped (a foreign marker ends the loading anyway).
    skippedAfter_[skipped_ & 15] = loaded_ - 1;
    ++skipped_;
    if (marker == marker::kStuffedZero) return;
    event_ = marker::IsRestartMarker(marker) ? Event::kRestart : Event::kForeignMarker;
  }

  const uint8_t* data_;
  int64_t fileLength_;
  int64_t last_;
  int64_t first_;
  int64_t next_;  // file position of the next byte to load
  Event event_ = Event::kNone;
  uint64_t loaded_ = 0;   // data bytes loaded so far
  uint64_t skipped_ = 0;  // bytes skipped after an FF so far
  // The data byte index of the FF before each of the last sixteen skipped bytes.
  std::array<uint64_t, 16> skippedAfter_{};
};

}  // namespace vorn
