// Saving replaces the target atomically: the bytes go to a temporary file in the same
// folder (same file system, so the rename cannot turn into a copy), which is flushed
// to the disk (unless the caller defers that, for an export) and then renamed over
// the target. Whatever fails on the way, the
// user's existing file is never truncated or half-written. A file with several
// names (hard links) is rewritten in place instead, behind a flushed copy of its old
// content (RewriteInPlace).
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "analysis/file_errors.h"
#include "analysis/file_image.h"

namespace vorn {
namespace {

// Errors before the target's folder is known to exist come as ENOENT, which for a
// file being written means the folder is missing.
FileError WriteError(int err) {
  return err == ENOENT ? FileError{kPathNotFound, ENOENT} : FileErrorFromErrno(err);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A symbolic link is kept: the file it names is the one written, whether it exists
// or not (a dangling link gets its file). Each link is followed as the system
// would: relative to the folder that holds it, at most kMaxLinks deep.
constexpr int kMaxLinks = 40;

FileError ResolveTarget(const std::string& path, std::string& target) {
  target = path;
  for (int depth = 0;; ++depth) {
    struct stat st {};
    if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return {};
    if (depth == kMaxLinks) return FileErrorFromErrno(ELOOP);
    std::string next(PATH_MAX, '\0');
    const ssize_t n = readlink(target.c_str(), next.data(), next.size());
    if (n < 0) return FileErrorFromErrno(errno);
    if (n == 0 || static_cast<size_t>(n) == next.size()) return {kBadFileName};
    next.resize(static_cast<size_t>(n));
    target = next.front() == '/' ? next : FolderOf(target) + "/" + next;
  }
}

// The owner may lack write permission, or (as root, whom permissions do not stop)
// the file may carry no write bit at all: either way the user marked it read-only,
// and a rename would otherwise replace it silently.
bool IsReadOnly(const std::string& path, const struct stat& st) {
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
  return access(path.c_str(), W_OK) != 0 && errno != ENOENT;
}

// Only a file's content can be replaced: a folder, device, FIFO or socket under the
// name is refused, never replaced by a file; so is a file marked read-only.
FileError RefusedTarget(const std::string& target, const struct stat& st) {
  if (!S_ISREG(st.st_mode)) return {kAccessRefused, S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFile};
  if (IsReadOnly(target, st)) return {kAccessRefused, EACCES};
  return {};
}

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool WriteAllAt(int fd, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool ReadAllAt(int fd, std::vector<uint8_t>& bytes) {
  bytes.clear();
  uint8_t piece[1 << 16];
  for (;;) {
    const ssize_t n = pread(fd, piece, sizeof piece, static_cast<off_t>(bytes.size()));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    bytes.insert(bytes.end(), piece, piece + n);
  }
}

// Creates an unused temporary name next to the target. O_EXCL keeps an existing
// file safe; mode 0666 lets the umask decide, as for any new file. The target's
// name is cut to 200 bytes so that the suffix stays within the 255-byte name limit.
int CreateTemporary(const std::string& folder, const std::string& name, std::string& tempPath) {
  const std::string stem = "/." + name.substr(0, 200) + ".vorn-" + std::to_string(getpid()) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = folder + stem + std::to_string(attempt);
    const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

void SyncFolder(const std::string& folder) {
  // Makes the rename itself durable; a failure here cannot undo the save.
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

bool Rename(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0;
}

// Renames an unflushed file over an existing one by exchanging the two names, then
// removes the old file under the temporary name: readers see the old or the new file,
// never none, as with a rename. A plain rename over an existing file makes some file
// systems (ext4) write the new file out first, which is the wait for the disk that
// the caller chose to skip: 40 ms for a 48 MB picture.
bool RenameUnflushed(const std::string& from, const std::string& to, bool toExists) {
  if (!toExists || renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE) != 0)
    return Rename(from, to);  // or the file system cannot exchange
  unlink(from.c_str());
  return true;
}

// Puts bytes as the whole content of the open file fd, flushed to the disk.
bool Overwrite(int fd, std::span<const uint8_t> bytes) {
  return WriteAllAt(fd, bytes) && ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && fsync(fd) == 0;
}

// A file with several names (hard links) is one file under each of them: a rename
// would give the new bytes to this name alone and leave every other name on the old
// file. Such a file is rewritten in place, so that all its names see the new bytes,
// and only after a copy of its old content has been written and flushed beside it:
// when the rewrite fails, the old content is put back and the copy removed; when
// even that fails (or the machine stops half-way), the copy is left for the user.
// The new content is gathered first, so that a writer that gives up leaves the file
// untouched. The copy gets the file's permissions before it gets its bytes, so that
// a private file's content is never readable by others through it.
FileError RewriteInPlace(const std::string& target, const std::string& folder, mode_t mode,
                         const FileContentWriter& content) {
  std::vector<uint8_t> bytes;
  const bool complete = content([&bytes](std::span<const uint8_t> piece) {
    bytes.insert(bytes.end(), piece.begin(), piece.end());
    return true;
  });
  if (!complete) return WriteError(EIO);
  const int fd = open(target.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return WriteError(errno);
  std::vector<uint8_t> old;
  int err = ReadAllAt(fd, old) ? 0 : errno;

  std::string keepPath;
  const int keep = err == 0 ? CreateTemporary(folder, NameOf(target), keepPath) : -1;
  if (err == 0 && keep < 0) err = errno;
  if (keep >= 0) {
    if (fchmod(keep, mode & 0777) != 0 || !WriteAll(keep, old) || fsync(keep) != 0) err = errno;
    if (close(keep) != 0 && err == 0) err = errno;
    if (err != 0) unlink(keepPath.c_str());
  }
  if (err == 0 && !Overwrite(fd, bytes)) {
    err = errno;
    if (!Overwrite(fd, old)) keepPath.clear();  // the copy is all that is left of it
  }
  if (close(fd) != 0 && err == 0) err = errno;
  if (!keepPath.empty()) unlink(keepPath.c_str());
  if (err != 0) return WriteError(err);
  SyncFolder(folder);
  return {};
}

}  // namespace

FileError WriteWholeFileFrom(const std::string& path, const FileContentWriter& content, WriteFlush flush) {
  if (path.empty()) return {kBadFileName};
  std::string target;
  if (const FileError e = ResolveTarget(path, target); !e.ok()) return e;
  const std::string folder = FolderOf(target);

  struct stat targetStat {};
  const bool targetExists = stat(target.c_str(), &targetStat) == 0;
  if (targetExists) {
    if (const FileError e = RefusedTarget(target, targetStat); !e.ok()) return e;
    if (targetStat.st_nlink > 1) return RewriteInPlace(target, folder, targetStat.st_mode, content);
  }

  std::string tempPath;
  const int fd = CreateTemporary(folder, NameOf(target), tempPath);
  if (fd < 0) return WriteError(errno);

  int err = 0;
  if (targetExists) {
    // The replaced file keeps its owner where allowed (only a privileged user may give
    // a file away; the content matters more) and its permissions. The owner goes
    // first because a change of owner clears the set-id bits.
    [[maybe_unused]] const int chownResult = fchown(fd, targetStat.st_uid, targetStat.st_gid);
    if (fchmod(fd, targetStat.st_mode & 07777) != 0) err = errno;
  }
  if (err == 0) {
    const bool complete = content([&](std::span<const uint8_t> piece) {
      if (err == 0 && !WriteAll(fd, piece)) err = errno;
      return err == 0;
    });
    // A writer that gives up without a failed write has failed all the same.
    if (!complete && err == 0) err = EIO;
  }
  const bool toDisk = flush == WriteFlush::ToDisk;
  if (err == 0 && toDisk && fsync(fd) != 0) err = errno;
  if (close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && !(toDisk ? Rename(tempPath, target) : RenameUnflushed(tempPath, target, targetExists)))
    err = errno;
  if (err != 0) {
    unlink(tempPath.c_str());
    return WriteError(err);
  }
  if (toDisk) SyncFolder(folder);
  return {};
}

FileError CheckWritable(const std::string& path) {
  if (path.empty()) return {kBadFileName};
  std::string target;
  if (const FileError e = ResolveTarget(path, target); !e.ok()) return e;
  struct stat st {};
  if (stat(target.c_str(), &st) == 0) {
    if (const FileError e = RefusedTarget(target, st); !e.ok()) return e;
  }
  // Both ways of writing put a temporary file into the folder.
  const std::string folder = FolderOf(target);
  if (stat(folder.c_str(), &st) != 0) return WriteError(errno);
  if (!S_ISDIR(st.st_mode)) return WriteError(ENOTDIR);
  if (access(folder.c_str(), W_OK | X_OK) != 0) return WriteError(errno);
  if (NameOf(target).size() > NAME_MAX) return WriteError(ENAMETOOLONG);
  return {};
}

FileError WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes) {
  return WriteWholeFileFrom(path, [bytes](const FilePieceWriter& write) { return write(bytes); });
}

}  // namespace vorn
