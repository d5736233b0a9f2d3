#include "fuzz_window.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "app/file_commands.h"
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

// Middle of the part [start, start + unit) of a cell that lies in `size` pixels.
int32_t CellMiddle(int32_t start, int32_t unit, int32_t size) {
  const int32_t end = std::min(start + unit, size);
  return start + (end - start) / 2;
}

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
  window::WindowModel& form = app.form;
  form.HScroll1.SetValue(std::min(column, form.HScroll1.max));
  form.VScroll1.SetValue(std::min(row, form.VScroll1.max));
  const int32_t x = CellMiddle(column * g.McuWidth, g.McuWidth, app.rec.frame.FrameWidth) -
                    form.HScroll1.value * g.McuWidth;
  const int32_t y = CellMiddle(row * g.McuHeight, g.McuHeight, app.rec.frame.FrameHeight) -
                    form.VScroll1.value * g.McuHeight;
  form.MCUX.text.clear();
  form.Picture1.onMouseDown(1, 0, static_cast<float>(x), static_cast<float>(y));
  return !form.MCUX.text.empty();
}

}  // namespace vorn::fuzz
