// A main window for the fuzz targets: handlers wired, start-up run, message boxes
// answered OK / Yes, and files loaded from memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/app_state.h"
#include "window/dialogs.h"

namespace vorn::fuzz {

struct FuzzWindow {
  FuzzWindow();
  FuzzWindow(const FuzzWindow&) = delete;
  FuzzWindow& operator=(const FuzzWindow&) = delete;

  // Loads the bytes as the load command loads a file (Fname, read, analysis,
  // rendering, a failure in a message box). The bytes live in an anonymous memory
  // file, so nothing is written to the disk.
  void Load(const uint8_t* data, size_t size);

  // Scrolls MCU (column, row) of the last decode into view and presses the middle
  // of the part of its cell inside the picture. False when the picture has no such
  // MCU or the press chose none.
  bool PressMcu(int32_t column, int32_t row);

  window::ScriptedDialogs dialogs;
  AppState app{dialogs};
};

// The input's bytes in order, as operands; 0 once they run out.
class InputReader {
 public:
  InputReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return pos_ >= size_; }
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t U16() { return static_cast<uint16_t>(Byte() << 8 | Byte()); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace vorn::fuzz
