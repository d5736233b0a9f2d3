// The whole file, held in memory; every position in the program is an offset into it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorn {

// Files larger than this cannot be addressed by the 32-bit positions used throughout.
inline constexpr int64_t kMaxFileLength = 2147483647;

struct FileImage {
  std::vector<uint8_t> bytes;  // indices 0 .. FileLength() - 1

  int32_t FileLength() const { return static_cast<int32_t>(bytes.size()); }
  bool Contains(int64_t pos) const { return pos >= 0 && pos < static_cast<int64_t>(bytes.size()); }
  // Bounds-checked read: positions outside the image read as 0.
  uint8_t At(int64_t pos) const { return Contains(pos) ? bytes[static_cast<size_t>(pos)] : 0; }
};

// Outcome of a whole-file read or write. code 0 = success; 75 = access refused
// (read-only or locked); any other code is the failure's number.
struct FileError {
  int code = 0;
  bool ok() const { return code == 0; }
};
inline constexpr int kAccessRefused = 75;
// A file that holds no bytes is refused: there is nothing to analyse ("input past
// end of file" in the classic BASIC runtime-error numbers the commands show).
inline constexpr int kEmptyFile = 62;
// A file longer than kMaxFileLength is refused ("overflow": its positions would not
// fit the 32-bit positions used throughout).
inline constexpr int kFileTooLarge = 6;

// Reads the whole file at path into out. On failure (including an empty file and
// one longer than kMaxFileLength) out is untouched.
FileError ReadWholeFile(const std::string& path, std::vector<uint8_t>& out);
// Replaces the file at path with bytes, atomically: a temporary file in the same
// folder is written, flushed and renamed over the target. On failure the target
// is unchanged.
FileError WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace vorn
