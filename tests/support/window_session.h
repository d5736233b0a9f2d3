// A main window driven as a user drives it: handlers wired, start-up run, message
// boxes answered by script. For tests that load whole files and press on MCUs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "support/test_app.h"
#include "window/dialogs.h"

namespace vorn::testing {

struct WindowSession : TestApp {
  WindowSession();
  // Loads the file at path as a load does (analysis, then rendering); returns
  // whether the analysis completed.
  bool LoadFile(const std::string& path);
  // Loads bytes written to a file of the test's temporary folder.
  bool Load(const std::vector<uint8_t>& bytes);
  // A press in the middle of the part of MCU (column, row) inside the picture;
  // the picture must fit the view unscrolled.
  void PressMcu(int32_t column, int32_t row);
  // The text of the last message box, or "" when none was shown.
  std::string LastMessage() const;
};

}  // namespace vorn::testing
