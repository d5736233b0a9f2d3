#include "fuzz_window.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "app/file_commands.h"
#include "app/inspect_handlers.h"
#include "app/wiring.h"
#include "decode/decode_state.h"

namespace vorn::fuzz {

namespace {

// An anonymous file in memory, named by its /proc path for as long as it lives.
class MemoryFile {
 public:
  MemoryFile(const uint8_t* data, size_t size) : fd_(memfd_create("vorn-fuzz", MFD_CLOEXEC)) {
    for (size_t done = 0; fd_ >= 0 && done < size;) {
      const ssize_t n = write(fd_, data + done, size - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
  }
  ~MemoryFile() {
    if (fd_ >= 0) close(fd_);
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  std::string Path() const { return "/proc/self/fd/" + std::to_string(fd_); }

 private:
  int fd_;
};

}  // namespace

FuzzWindow::FuzzWindow() {
  WireHandlers(app);
  Form_Load(app, [] { return false; });
}

void FuzzWindow::Load(const uint8_t* data, size_t size) {
  const MemoryFile file(data, size);
  LoadFromPath(app, file.Path());
}

bool FuzzWindow::PressMcu(int32_t column, int32_t row) {
  const McuGeometry g = ComputeMcuGeometry(app.rec.frame);
  if (app.ImageInvalid || !g.Valid() || column < 0 || row < 0 || column >= g.McusPerRow || row >= g.McuRows)
    return false;
  app.form.MCUX.text.clear();
  PressMcuCell(app, g, column, row);
  return !app.form.MCUX.text.empty();
}

}  // namespace vorn::fuzz
