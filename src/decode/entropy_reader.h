// The entropy-coded data as every stage reads it: the window's decoder, the tracer
// and the strict decoder of the repair engine all take their bits from here.
//
// The data bytes are the bytes of the file (or of a trial edit of it) from a start
// position on, less the byte that follows each data FF (a stuffed 00). What a marker
// does happens between two data bytes, so the reader never loads past one: the bits
// held are then exactly the bits before it, and the caller meets the marker when it
// has used them all. Whether the FF of a marker is itself data is the caller's rule
// (see MarkerBytes). Nothing outside the bytes is ever read.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "decode/patched_bytes.h"
#include "jpeg/marker_codes.h"

namespace vorn {

// A bit of the file as one number: byte * 8 + bit index (0 = most significant).
using BitPos = int64_t;
inline BitPos MakeBitPos(int64_t byte, int bit) {
  return byte * 8 + bit;
}

// The bits loaded and not yet taken, the first in the top bit. Kept apart from the
// reader so that a hot loop can hold it in registers.
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

// What an FF that is not followed by a stuffed 00 means.
enum class MarkerBytes : uint8_t {
  // The FF is a data byte like any other, and the byte after it is the marker code:
  // the tolerant reading of the window's decoder and of the tracer.
  kFfIsData,
  // The FF belongs to the marker, and so does every fill FF before it: what an
  // encoder writes, as the strict decoder holds the data to.
  kFillBeforeMarker,
};

template <MarkerBytes kRule>
class EntropyReader {
 public:
  enum class Event : uint8_t {
    kNone,
    kMarker,       // a marker (MarkerCode at MarkerPosition) follows the bits held
    kOutsideFile,  // the byte to look at lies outside the bytes
    kEnd,          // the next byte lies past the last one the reader may load
  };

  // Starts at bit `skip` of the data byte at position `next`, loading no byte after
  // `last`; w is emptied and filled.
  void Start(const PatchedBytes& bytes, int64_t next, int skip, BitWindow& w, int64_t last = INT64_MAX) {
    bytes_ = bytes;
    last_ = last;
    plainEnd_ = std::min(bytes.position, bytes.length) - 8;
    next_ = next;
    event_ = Event::kNone;
    loaded_ = 0;
    segments_ = 0;
    NewSegment();
    w = BitWindow{};
    Fill(w);
    if (skip > 0 && w.bits >= skip) w.Take(skip);
  }

  // Loads data bytes into w until it holds more than 56 bits or an event stops
  // loading: whole words while no byte of them is an FF, else byte by byte.
  void Fill(BitWindow& w) {
    while (w.bits <= 56 && event_ == Event::kNone)
      if (!LoadPlainBytes(w)) LoadByte(w);
  }
  // Fill for hot loops that refill whenever fewer than 32 bits are held: the usual
  // case, a word of plain bytes, without a call.
  void Refill(BitWindow& w) {
    if (event_ == Event::kNone && LoadPlainBytes(w)) return;
    Fill(w);
  }
  Event Pending() const { return event_; }
  int64_t MarkerPosition() const { return marker_; }  // the marker's FF
  uint8_t MarkerCode() const { return code_; }
  // Once every bit before the marker is used: goes on loading after it.
  void PassMarker() {
    next_ = marker_ + 2;
    event_ = Event::kNone;
    NewSegment();
  }
  const PatchedBytes& Bytes() const { return bytes_; }

  // The last bit taken from w (at least one must have been taken).
  BitPos LastTaken(const BitWindow& w) const {
    const uint64_t taken = loaded_ * 8 - static_cast<uint64_t>(w.bits);
    return MakeBitPos(PositionOf((taken - 1) >> 3), static_cast<int>((taken - 1) & 7));
  }
  // The next bit w would give.
  BitPos NextBit(const BitWindow& w) const {
    const uint64_t taken = loaded_ * 8 - static_cast<uint64_t>(w.bits);
    if ((taken >> 3) >= loaded_) return MakeBitPos(next_, 0);
    return MakeBitPos(PositionOf(taken >> 3), static_cast<int>(taken & 7));
  }

 private:
  // As many bytes as fit, at once, when none of them is an FF and all may be loaded;
  // false (nothing loaded) otherwise.
  bool LoadPlainBytes(BitWindow& w) {
    const int n = (64 - w.bits) >> 3;
    if (next_ < 0 || next_ + n - 1 > last_) return false;
    const uint8_t* p = bytes_.data + next_;
    if (next_ > plainEnd_ && bytes_.Run(next_, p) < 8) return false;
    uint64_t word;
    std::memcpy(&word, p, 8);
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
    if (!bytes_.Contains(next_)) {
      event_ = Event::kOutsideFile;
      return;
    }
    const uint8_t b = bytes_.At(next_);
    if constexpr (kRule == MarkerBytes::kFillBeforeMarker) {
      if (b == marker::kFill && !FillIsData()) return;
    }
    ++loaded_;
    w.buffer |= static_cast<uint64_t>(b) << (56 - w.bits);
    w.bits += 8;
    if (b != marker::kFill) {
      ++next_;
      return;
    }
    if constexpr (kRule == MarkerBytes::kFfIsData) {
      if (!bytes_.Contains(next_ + 1)) {
        event_ = Event::kOutsideFile;
        return;
      }
      const uint8_t code = bytes_.At(next_ + 1);
      if (code != marker::kStuffedZero) {
        // The FF was data; the marker is met once its bits are used.
        marker_ = next_;
        code_ = code;
        event_ = Event::kMarker;
        return;
      }
    }
    next_ += 2;  // the stuffed 00 is skipped
    NewSegment();
  }

  // With fill bytes, at an FF at next_: whether it is a data FF (a stuffed 00
  // follows); otherwise the marker event is set and the FF stays unloaded. Fill
  // bytes FF before a marker belong to it: the marker is the run's last FF and the
  // code after it. A run that ends in a stuffed 00 is no marker, and nothing an
  // encoder writes: its second FF is a foreign marker code.
  bool FillIsData() {
    const int64_t last = LastFill(next_);
    if (!bytes_.Contains(last + 1)) {
      event_ = Event::kOutsideFile;
      return false;
    }
    const uint8_t code = bytes_.At(last + 1);
    if (last == next_ && code == marker::kStuffedZero) return true;
    if (code == marker::kStuffedZero) {
      marker_ = next_;
      code_ = marker::kFill;
    } else {
      marker_ = last;
      code_ = code;
    }
    event_ = Event::kMarker;
    return false;
  }

  // The last FF of the run of FF bytes from i on, read in contiguous stretches, as a
  // run of fill bytes may be as long as the file.
  int64_t LastFill(int64_t i) const {
    for (;;) {
      const uint8_t* run = nullptr;
      const int64_t n = bytes_.Run(i + 1, run);
      if (n <= 0) {
        if (!bytes_.Contains(i + 1) || bytes_.At(i + 1) != marker::kFill) return i;
        ++i;
        continue;
      }
      int64_t k = 0;
      while (k < n && run[k] == marker::kFill) ++k;
      i += k;
      if (k < n) return i;
    }
  }

  // The data bytes from segment start on lie at consecutive positions until the next
  // segment: one begins wherever the reader skips bytes (a stuffed 00, a marker).
  void NewSegment() {
    current_ = Segment{loaded_, next_};
    segment_[segments_ & (kSegments - 1)] = current_;
    ++segments_;
  }
  // The position of data byte `index`, one of those held (at most nine bytes back,
  // each in a segment of its own at worst). Mostly in the current segment: the
  // sinks that want every symbol's position ask once per symbol.
  int64_t PositionOf(uint64_t index) const {
    if (index >= current_.firstByte) return current_.position + static_cast<int64_t>(index - current_.firstByte);
    uint64_t i = segments_ - 1;
    while (i > 0 && segments_ - i < kSegments && segment_[i & (kSegments - 1)].firstByte > index) --i;
    const Segment& s = segment_[i & (kSegments - 1)];
    return s.position + static_cast<int64_t>(index - s.firstByte);
  }

  struct Segment {
    uint64_t firstByte = 0;  // index of its first data byte
    int64_t position = 0;    // that byte's position
  };
  static constexpr uint64_t kSegments = 16;

  PatchedBytes bytes_;
  int64_t last_ = INT64_MAX;
  int64_t plainEnd_ = 0;  // the last position before the edit with 8 original bytes from it
  int64_t next_ = 0;  // position of the next byte to load
  Event event_ = Event::kNone;
  uint8_t code_ = 0;
  int64_t marker_ = 0;
  uint64_t loaded_ = 0;    // data bytes loaded so far
  uint64_t segments_ = 0;  // segments begun so far
  Segment current_;        // the last one begun
  std::array<Segment, kSegments> segment_{};
};

}  // namespace vorn
