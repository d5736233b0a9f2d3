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

}  // namespace

FileError ReadWholeFile(const std::string& path, std::vector<uint8_t>& out) {
  const Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0) return FileErrorFromErrno(errno);
  struct stat info {};
  if (::fstat(file.fd, &info) != 0) return FileErrorFromErrno(errno);
  if (S_ISDIR(info.st_mode)) return FileErrorFromErrno(EISDIR);
  if (S_ISREG(info.st_mode) && info.st_size > kMaxFileLength) return {kFileTooLarge};

  // Read until the end rather than trusting the size: the file may change while it
  // is read, and only regular files report a size at all.
  std::vector<uint8_t> bytes;
  if (S_ISREG(info.st_mode)) bytes.reserve(static_cast<size_t>(info.st_size) + kChunk);
  for (;;) {
    const size_t used = bytes.size();
    if (used > static_cast<size_t>(kMaxFileLength)) return {kFileTooLarge};
    bytes.resize(used + kChunk);
    const ssize_t got = ::read(file.fd, bytes.data() + used, kChunk);
    if (got < 0) {
      if (errno == EINTR) {
        bytes.resize(used);
        continue;
      }
      return FileErrorFromErrno(errno);
    }
    bytes.resize(used + static_cast<size_t>(got));
    if (got == 0) break;
  }
  if (bytes.size() > static_cast<size_t>(kMaxFileLength)) return {kFileTooLarge};
  if (bytes.empty()) return {kEmptyFile};
  out = std::move(bytes);
  return {};
}

}  // namespace vorn
