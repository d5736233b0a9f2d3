// The whole file, held in memory; every position in the program is an offset into it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "base/large_buffer.h"

namespace vorn {

// Files larger than this cannot be addressed by the 32-bit positions used throughout.
inline constexpr int64_t kMaxFileLength = 2147483647;

// The bytes of a file: a vector in memory that a photo of megabytes fills without a
// page fault per 4 KB (see large_buffer.h). Takes and compares plain byte vectors
// too; it never turns into one silently, as that would copy the file.
class ByteStore : public std::vector<uint8_t, LargeBufferAllocator<uint8_t>> {
 public:
  using Base = std::vector<uint8_t, LargeBufferAllocator<uint8_t>>;
  using Base::Base;
  ByteStore() = default;
  ByteStore(const std::vector<uint8_t>& bytes) : Base(bytes.begin(), bytes.end()) {}
  ByteStore& operator=(const std::vector<uint8_t>& bytes) {
    assign(bytes.begin(), bytes.end());
    return *this;
  }
  ByteStore& operator=(std::initializer_list<uint8_t> bytes) {
    assign(bytes.begin(), bytes.end());
    return *this;
  }
  friend bool operator==(const ByteStore& a, const std::vector<uint8_t>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
  }
};

struct FileImage {
  ByteStore bytes;  // indices 0 .. FileLength() - 1

  int32_t FileLength() const { return static_cast<int32_t>(bytes.size()); }
  bool Contains(int64_t pos) const { return pos >= 0 && pos < static_cast<int64_t>(bytes.size()); }
  // Bounds-checked read: positions outside the image read as 0.
  uint8_t At(int64_t pos) const { return Contains(pos) ? bytes[static_cast<size_t>(pos)] : 0; }
};

// Outcome of a whole-file read or write. code 0 = success; 75 = access refused
// (read-only or locked); any other code is the failure's number. sysError is the
// system's reason (an errno value) when there is one, which the messages name.
struct FileError {
  int code = 0;
  int sysError = 0;
  bool ok() const { return code == 0; }
};
inline constexpr int kAccessRefused = 75;
// sysError of a name that is neither a regular file nor a folder (a device, a
// socket, or a FIFO where a file is to be written), refused as access.
inline constexpr int kNotRegularFile = -1;
// A file that holds no bytes is refused: there is nothing to analyse ("input past
// end of file" in the classic BASIC runtime-error numbers the commands show).
inline constexpr int kEmptyFile = 62;
// A file longer than kMaxFileLength is refused ("overflow": its positions would not
// fit the 32-bit positions used throughout).
inline constexpr int kFileTooLarge = 6;

// Reads the whole file at path into out. On failure (including an empty file, one
// longer than kMaxFileLength, and a name that is neither a regular file nor a FIFO,
// refused as access) out is untouched.
FileError ReadWholeFile(const std::string& path, ByteStore& out);
// ReadWholeFile into room that a caller keeps from file to file (a check of many
// files), so that its memory is had once. On failure room holds no file.
FileError ReadWholeFileInto(const std::string& path, std::vector<uint8_t>& room);
// Replaces the file at path with bytes, atomically: a temporary file in the same
// folder is written, flushed and renamed over the target. On failure the target
// is unchanged. A symbolic link (also one naming no file yet) is followed and kept;
// a file with several hard links is rewritten in place, so that every name sees
// the new bytes, and gets its old content back when that fails. A name that is not
// a regular file (folder, device, FIFO) is refused as access.
FileError WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes);

// WriteWholeFile for content made while it is written: content is called once with
// a function that appends a piece to the file and returns false once a write has
// failed (content should then stop). content returns whether it wrote everything;
// false, or any failed write, leaves the target unchanged, as every other failure.
//
// flush: ToDisk (a save of the user's file) waits until the bytes and the rename are
// on the disk before it returns; Deferred (an export that the file can give again)
// leaves that to the system, so that a 48 MB picture costs no wait for the disk. The
// file is replaced by the rename either way: a reader never sees it half-written. A
// file with several names is rewritten in place as a save does, flushed.
using FilePieceWriter = std::function<bool(std::span<const uint8_t> piece)>;
using FileContentWriter = std::function<bool(const FilePieceWriter& write)>;
enum class WriteFlush { ToDisk, Deferred };
FileError WriteWholeFileFrom(const std::string& path, const FileContentWriter& content,
                             WriteFlush flush = WriteFlush::ToDisk);

// What WriteWholeFile would refuse at path before writing anything: a name that is
// not a regular file, a read-only file, a missing folder, a folder the user may not
// write to. Lets a command refuse its output before long work.
FileError CheckWritable(const std::string& path);

}  // namespace vorn
