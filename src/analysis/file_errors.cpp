#include "analysis/file_errors.h"

#include <cerrno>

namespace vorn {

namespace {

int CodeOfErrno(int err) {
  switch (err) {
    case 0:
      return 0;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EISDIR:
      return kAccessRefused;
    case ENOENT:
      return kFileNotFound;
    case ENOTDIR:
    case ELOOP:
      return kPathNotFound;
    case ENAMETOOLONG:
      return kBadFileName;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kDiskFull;
    case EMFILE:
    case ENFILE:
      return kTooManyFiles;
    case ENOMEM:
      return kOutOfMemory;
    default:
      return kDeviceIoError;
  }
}

}  // namespace

FileError FileErrorFromErrno(int err) {
  return {CodeOfErrno(err), err};
}

std::string FileErrorCause(const FileError& error, FileAccess access) {
  const bool reading = access == FileAccess::Read;
  if (error.code == kEmptyFile) return "空のファイルです";
  if (error.code == kOutOfMemory) return "メモリが足りません";
  switch (error.sysError) {
    case kNotRegularFile:
      return "通常のファイルではありません";
    case EISDIR:
      return "フォルダです";
    case EACCES:
    case EPERM:
      return reading ? "読み取る権限がありません" : "書き込む権限がありません";
    case EROFS:
      return "読み取り専用のファイルシステムです";
    case ETXTBSY:
      return "使用中のファイルです";
    case ENOENT:
      // A file being written is created: what is missing is its folder.
      return reading ? "ファイルがありません" : "フォルダがありません";
    case ENOTDIR:
      return "フォルダがありません";
    case ELOOP:
      return "シンボリックリンクが循環しています";
    case ENAMETOOLONG:
      return "名前が長すぎます";
    case ENOSPC:
    case EDQUOT:
      return "ディスクの空きが足りません";
    case EFBIG:
      return "ファイルが大きすぎます";
    case EMFILE:
    case ENFILE:
      return "開いているファイルが多すぎます";
    case EIO:
      return "入出力エラーです";
    default:
      return "";
  }
}

std::string FileErrorMessage(const FileError& error, FileAccess access) {
  // Positions are 32-bit throughout, so such a file is refused before it is read.
  if (error.code == kFileTooLarge) return "2GB以上のファイルは読み込めません";
  std::string text = error.code == kAccessRefused
                         ? std::string("読み取り専用です")
                         : "エラーが発生しました(" + std::to_string(error.code) + ")";
  // The fixed text comes first and alone on its line, the cause below it.
  const std::string cause = FileErrorCause(error, access);
  if (!cause.empty()) text += "\n" + cause;
  return text;
}

}  // namespace vorn
