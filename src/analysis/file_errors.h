// Error numbers of whole-file reads and writes, and the texts the commands show.
#pragma once

#include <string>

#include "analysis/file_image.h"

namespace vorn {

// Numbers shown in "エラーが発生しました(n)". They follow the classic BASIC runtime-error
// numbers, in which 75 is the path/file access error; only kAccessRefused has a
// message of its own.
inline constexpr int kOutOfMemory = 7;
inline constexpr int kBadFileName = 52;
inline constexpr int kFileNotFound = 53;
inline constexpr int kDeviceIoError = 57;
inline constexpr int kDiskFull = 61;
inline constexpr int kTooManyFiles = 67;
inline constexpr int kPathNotFound = 76;

// Maps an errno value to the error the commands report, keeping err as the reason.
// Refused access (permissions, a read-only file system, a busy executable, a
// directory in place of a file) is kAccessRefused.
FileError FileErrorFromErrno(int err);

enum class FileAccess { Read, Write };

// "読み取り専用です" for kAccessRefused, otherwise "エラーが発生しました(n)"; on a second
// line what caused it, when that is known ("フォルダです", "空のファイルです" ...),
// worded for a read or a write.
std::string FileErrorMessage(const FileError& error, FileAccess access = FileAccess::Read);

// The cause in Japanese, or "" when nothing more than the number is known.
std::string FileErrorCause(const FileError& error, FileAccess access);

}  // namespace vorn
