// A main window's whole state with message boxes answered by script, and its parts
// by name: tests reach the window model, the file image and each subsystem's state
// through these, not through how AppState happens to group them.
#pragma once

#include "app/app_state.h"
#include "window/dialogs.h"

namespace vorn::testing {

struct TestApp {
  TestApp() = default;
  TestApp(const TestApp&) = delete;
  TestApp& operator=(const TestApp&) = delete;

  window::ScriptedDialogs dialogs;
  AppState app{dialogs};
  window::WindowModel& form = app.form;
  FileImage& file = app.file;
  AnalysisState& analysis = app.analysis;
  JpegDocument& rec = app.rec;
  DecodeState& decode = app.decode;
  InspectState& inspect = app.inspect;
  DumpState& dump = app.dump;
};

}  // namespace vorn::testing
