#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "analysis/file_errors.h"
#include "analysis/file_image.h"

namespace vorn {
namespace {

// Closes the descriptor on every path out of the read.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

constexpr size_t kChunk = 1 << 20;

// Only a file's bytes can be analysed: a device would be read until the size limit
// (/dev/zero) or never end, and opening one can have effects of its own. A FIFO
// is read like a file, for a user who pipes a picture in.
bool IsReadable(mode_t mode) {
  return S_ISREG(mode) || S_ISFIFO(mode);
}

FileError NotReadable(mode_t mode) {
  return {kAccessRefused, S_ISDIR(mode) ? EISDIR : kNotRegularFile};
}

// Reads the file into bytes, whose room is used as it is and grown as needed.
template <class Bytes>
FileError ReadInto(const std::string& path, Bytes& bytes) {
  struct stat named {};
  if (::stat(path.c_str(), &named) == 0 && !IsReadable(named.st_mode)) return NotReadable(named.st_mode);
  const Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0) return FileErrorFromErrno(errno);
  struct stat info {};
  if (::fstat(file.fd, &info) != 0) return FileErrorFromErrno(errno);
  // Checked again on what was opened: the name may have been replaced in between.
  if (!IsReadable(info.st_mode)) return NotReadable(info.st_mode);
  if (S_ISREG(info.st_mode) && info.st_size > kMaxFileLength) return {kFileTooLarge};

  // Read until the end rather than trusting the size: the file may change while it
  // is read, and only regular files report a size at all. A regular file is read
  // into room for its size and one byte more (which shows whether it grew), so
  // that its pages are touched once and no byte is moved.
  if (S_ISREG(info.st_mode)) bytes.resize(static_cast<size_t>(info.st_size) + 1);
  size_t used = 0;
  for (;;) {
    if (used == bytes.size()) {
      if (used > static_cast<size_t>(kMaxFileLength)) return {kFileTooLarge};
      bytes.resize(used + kChunk);
    }
    const ssize_t got = ::read(file.fd, bytes.data() + used, bytes.size() - used);
    if (got < 0) {
      if (errno == EINTR) continue;
      return FileErrorFromErrno(errno);
    }
    if (got == 0) break;
    used += static_cast<size_t>(got);
  }
  bytes.resize(used);
  if (bytes.size() > static_cast<size_t>(kMaxFileLength)) return {kFileTooLarge};
  if (bytes.empty()) return {kEmptyFile};
  return {};
}

}  // namespace

FileError ReadWholeFile(const std::string& path, ByteStore& out) {
  ByteStore bytes;
  const FileError error = ReadInto(path, bytes);
  if (error.ok()) out = std::move(bytes);
  return error;
}

FileError ReadWholeFileInto(const std::string& path, std::vector<uint8_t>& room) {
  const FileError error = ReadInto(path, room);
  if (!error.ok()) room.clear();
  return error;
}

}  // namespace vorn
