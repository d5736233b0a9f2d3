#include "analysis/file_errors.h"

#include <cerrno>

namespace vorn {

FileError FileErrorFromErrno(int err) {
  switch (err) {
    case 0:
      return {};
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EISDIR:
      return {kAccessRefused};
    case ENOENT:
      return {kFileNotFound};
    case ENOTDIR:
    case ELOOP:
      return {kPathNotFound};
    case ENAMETOOLONG:
      return {kBadFileName};
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return {kDiskFull};
    case EMFILE:
    case ENFILE:
      return {kTooManyFiles};
    case ENOMEM:
      return {kOutOfMemory};
    default:
      return {kDeviceIoError};
  }
}

std::string FileErrorMessage(const FileError& error) {
  if (error.code == kAccessRefused) return "読み取り専用です";
  // Positions are 32-bit throughout, so such a file is refused before it is read.
  if (error.code == kFileTooLarge) return "2GB以上のファイルは読み込めません";
  return "エラーが発生しました(" + std::to_string(error.code) + ")";
}

}  // namespace vorn
